// The device link over the library's own exports and core, on the core tests' fake platform:
// which device it holds, what it reports to its handler, how the library's notices reach
// the message thread, and its writes against a removal.

#include "FakePlatform.h"
#include "support/MessageThread.h"

#include "devicelink/HidCtrl.h"
#include "devicelink/HidUtil.h"
#include "devicelink/NoticeQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

using namespace qtx;
using qtx::devlink::HidInterface;
using qtx::devlink::test::Bytes;
using qtx::devlink::test::FakePlatform;
using qtx::test::MessageThread;
using Strings = std::vector<std::string>;
using Writes = std::vector<std::pair<std::string, Bytes>>;

namespace
{
// The system the exports see, for the whole run: the library is never destroyed either.
FakePlatform& fake()
{
    static auto* platform = new FakePlatform;
    return *platform;
}
} // namespace

qtx::devlink::Platform qtx::devlink::systemPlatform()
{
    return fake().platform();
}

namespace
{

HidInterface controller (const char* port)
{
    return FakePlatform::device (port, DEVLINK_VENDOR_ID, DEVLINK_CONTROLLER_PRODUCT_ID);
}

const HidInterface ctrlA = controller ("1-2"), ctrlB = controller ("1-3"), ctrlC = controller ("1-5");
const HidInterface other = FakePlatform::device ("1-4", DEVLINK_VENDOR_ID, 0x0016); // type 2

const uint8_t command[64] = {0xF4};

Bytes onTheWire() // the command behind report ID 0
{
    Bytes wire (65, 0);
    wire[1] = command[0];
    return wire;
}

Bytes report (uint8_t fill)
{
    Bytes r (65, fill);
    r[0] = 0; // report ID
    return r;
}

struct Recorder : HidHandler
{
    explicit Recorder (std::thread::id t)
        : messageThread (t)
    {
    }

    void note (const char* what)
    {
        offThread += std::this_thread::get_id() != messageThread ? 1 : 0;
        afterClose += closed ? 1 : 0;
        events.push_back (what);
    }

    void hidDeviceRemoved() override { note ("removed"); }
    void hidDeviceArrived() override { note ("arrived"); }
    void hidInputReceived() override { note ("input"); }

    std::thread::id messageThread;
    Strings events;
    int offThread = 0;
    int afterClose = 0;
    bool closed = false;
};

class DeviceLink : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::lock_guard<std::mutex> lock (fake().mutex);
        fake().present.clear();
        fake().usb = {{DEVLINK_VENDOR_ID, DEVLINK_CONTROLLER_PRODUCT_ID, 0x0102}};
        fake().writes.clear();
        fake().lockTakenElsewhere = false;
    }

    void TearDown() override
    {
        loop.call ([this] { ctrl.close(); });
        EXPECT_EQ (recorder.offThread, 0);
    }

    bool open (int selector)
    {
        return loop.call ([&] { return ctrl.open (&recorder, selector); });
    }

    // A device comes or goes while the library watches, and its notices reach the handler.
    void plug (const HidInterface& d)
    {
        fake().plug (d);
        changed();
    }
    void unplug (const HidInterface& d)
    {
        fake().unplug (d.path);
        changed();
    }
    void changed()
    {
        fake().fireChange();
        settle();
    }

    // Lets every notice posted so far reach the handler. A drain that found
    // more notices queued behind it queues itself again: the second flush
    // comes after that one.
    void settle()
    {
        loop.flush();
        loop.flush();
    }

    // Input comes from a reader thread: waits (generously) until `done` holds on the loop.
    template <typename Done>
    bool waitUntil (Done done)
    {
        for (int i = 0; i < 20000; ++i)
        {
            if (loop.call ([&] { return done(); }))
                return true;
            std::this_thread::sleep_for (std::chrono::milliseconds (1));
        }
        return false;
    }

    template <typename Read>
    auto onLoop (Read read)
    {
        return loop.call ([&] { return read (ctrl); });
    }

    int held()
    {
        return onLoop ([] (HidCtrl& l) { return l.util->deviceNumber.load(); });
    }

    Strings events()
    {
        return loop.call ([this] { return recorder.events; });
    }

    Writes writes()
    {
        std::lock_guard<std::mutex> lock (fake().mutex);
        return fake().writes;
    }

    MessageThread loop;
    HidCtrl ctrl;
    Recorder recorder{loop.id};
};

} // namespace

// Selector 1 takes the lowest-numbered controller, or one that arrives later while it
// holds none; selector 0 takes nothing, not even a controller that arrives later.
// Arrivals are ignored while a device is held. A send and a removal of the held
// controller race; whichever comes first decides. A send that came first makes the
// removal final even with another controller there; a removal that came between the
// send's look at linkState and its claim wins: nothing is claimed or written, and the
// other controller, if taken, receives nothing. A removal before any send takes the
// other controller.
TEST_F (DeviceLink, TakesTheLowestControllerAndASendAndARemovalNeverWriteToAnother)
{
    const struct
    {
        const char* name;
        std::vector<HidInterface> devices; // numbered in this order
        int selector;
        bool send, removal, removalInTheGap, sent;
        int linkState, held;
        Strings events; // after the race, then a new controller's arrival
    } cases[] = {
        {"lowest of three", {other, ctrlA, ctrlB}, 1, false, false, false, false, 1, 1, {}},
        {"none yet", {other}, 1, true, false, false, false, 0, -1, {"arrived"}},
        {"selector 0", {ctrlA}, 0, true, false, false, false, 0, -1, {}},
        {"send first", {ctrlA, ctrlB}, 1, true, true, false, true, 0, -1, {"removed", "arrived"}},
        {"removal first", {ctrlA}, 1, true, true, true, false, 0, -1, {"removed", "arrived"}},
        {"removal first, another taken", {ctrlA, ctrlB}, 1, true, true, true, false, 1, 1, {"arrived"}},
        {"removal and no send", {ctrlA, ctrlB}, 1, false, true, false, false, 1, 1, {"arrived"}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        SetUp();
        recorder.events.clear();
        for (const auto& d : c.devices)
            fake().plug (d);
        ASSERT_TRUE (open (c.selector));
        if (!c.removal)
        {
            EXPECT_EQ (onLoop ([] (HidCtrl& l) { return l.inputLength; }), c.linkState != 0 ? 64 : 0);
        }
        if (c.removalInTheGap)
            ctrl.beforeClaim = [this] { unplug (ctrlA); };
        if (c.send)
        {
            EXPECT_EQ (ctrl.send (command, 64), c.sent);
        }
        ctrl.beforeClaim = nullptr;
        if (c.removal && !c.removalInTheGap)
            unplug (ctrlA);

        EXPECT_EQ (ctrl.linkState, c.linkState);
        EXPECT_EQ (held(), c.held);
        EXPECT_EQ (onLoop ([] (HidCtrl& l) { return l.firmwareVersion; }), c.linkState != 0 ? 102 : 0);
        EXPECT_EQ (writes(), (c.sent ? Writes{{ctrlA.path, onTheWire()}} : Writes{}));
        plug (ctrlC);
        EXPECT_EQ (events(), c.events);
        EXPECT_EQ (ctrl.linkState, c.selector);
        loop.call ([this] { ctrl.close(); });
    }
}

TEST_F (DeviceLink, NoticesThatConcernNoHeldDeviceReachNoHandler)
{
    // Selector 0 holds nothing: a controller's input reaches no handler.
    fake().plug (ctrlA);
    ASSERT_TRUE (open (0));
    ASSERT_TRUE (fake().feed (ctrlA.path, report (1)));
    ASSERT_TRUE (fake().drained (ctrlA.path));
    settle();
    EXPECT_TRUE (events().empty());
    loop.call ([this] { ctrl.close(); });

    // Unknown notices, removal of a number not held.
    SetUp();
    fake().plug (ctrlA);
    ASSERT_TRUE (open (1));
    const DevlinkNotifyTarget target = ctrl.util->notices->target();
    target.post (target.context, 4242, 1);
    target.post (target.context, WM_HID_REMOVAL, 7);
    ASSERT_TRUE (fake().feed (ctrlA.path, report (0x55)));
    ASSERT_TRUE (waitUntil ([this] { return !recorder.events.empty(); }));
    settle();
    EXPECT_EQ (events(), Strings{"input"});
    EXPECT_EQ (ctrl.linkState, 1);
}

TEST (NoticeQueue, ServesNoticesFromManyThreadsInPostingOrderAndSaysWhenItCannot)
{
    MessageThread loop;
    std::vector<std::pair<unsigned int, int>> served;
    int offThread = 0;
    NoticeQueue queue (
        [&] (unsigned int message, int number)
        {
            offThread += std::this_thread::get_id() != loop.id ? 1 : 0;
            served.emplace_back (message, number);
        });
    const DevlinkNotifyTarget target = queue.target();
    constexpr int perThread = 5000;
    std::atomic<int> refused{0};
    std::vector<std::thread> posters;
    for (unsigned int t = 0; t < 3; ++t)
        posters.emplace_back (
            [&, t]
            {
                for (int k = 0; k < perThread; ++k)
                    refused += target.post (target.context, t, k) == 0;
            });
    for (auto& p : posters)
        p.join();
    // A drain may hand the thread back and continue later: wait for all of them.
    for (int k = 0; k < 10000 && loop.call ([&] { return served.size(); }) < (size_t) perThread * 3; ++k)
        std::this_thread::sleep_for (std::chrono::milliseconds (1));
    auto result = loop.call ([&] { return served; });
    ASSERT_EQ (result.size(), (size_t) perThread * 3);
    int next[3] = {};
    for (const auto& [message, number] : result)
        ASSERT_EQ (number, next[message]++) << "thread " << message;
    EXPECT_EQ (loop.call ([&] { return offThread; }), 0);
    EXPECT_EQ (refused, 0);
    loop.call ([&] { queue.close(); });
    EXPECT_EQ (target.post (target.context, WM_HID_INPUT, 0), 0); // closed: the library re-arms
}

TEST_F (DeviceLink, NothingIsHandledAfterClose)
{
    fake().plug (ctrlA);
    ASSERT_TRUE (open (1));
    std::atomic<bool> stop{false};
    std::thread flood (
        [&]
        {
            for (uint8_t k = 0; !stop; ++k)
            {
                fake().feed (ctrlA.path, report (k));
                std::this_thread::sleep_for (std::chrono::microseconds (50));
            }
        });
    std::this_thread::sleep_for (std::chrono::milliseconds (20));
    loop.call (
        [this]
        {
            ctrl.close();
            recorder.closed = true;
        });
    stop = true;
    flood.join();
    settle();
    EXPECT_EQ (loop.call ([this] { return recorder.afterClose; }), 0);
    EXPECT_EQ (ctrl.linkState, 1); // close forgets the device, not the state read by the screen
    std::lock_guard<std::mutex> lock (fake().mutex);
    EXPECT_FALSE (fake().watching); // the library was finalised
}

TEST_F (DeviceLink, SecondOpenFailsAndARefusedLibraryStillFindsThePresentDevice)
{
    {
        std::lock_guard<std::mutex> lock (fake().mutex);
        fake().lockTakenElsewhere = true; // another client holds the library
    }
    fake().plug (ctrlA);
    ASSERT_TRUE (open (1));
    EXPECT_EQ (ctrl.linkState, 1);

    HidCtrl second;
    EXPECT_FALSE (loop.call ([&] { return second.open (&recorder, 1); }));
    // The failed second open left the first link's library running: input still comes.
    ASSERT_TRUE (fake().feed (ctrlA.path, report (7)));
    EXPECT_TRUE (waitUntil ([this] { return recorder.events == Strings{"input"}; }));
}
