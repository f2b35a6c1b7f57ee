// The device link over a scripted library: which device it holds, what it
// reports to its handler, and how the library's notices reach the message thread.

#include "FakeDevlink.h"
#include "support/MessageThread.h"

#include "devicelink/HidCtrl.h"
#include "devicelink/HidUtil.h"
#include "devicelink/NoticeQueue.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <string>

using namespace qtx;
using qtx::test::MessageThread;
using Strings = std::vector<std::string>;

namespace
{

struct Recorder : HidHandler
{
    Recorder (HidCtrl& c, std::thread::id t)
        : ctrl (c)
        , messageThread (t)
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
    void hidInputReceived() override
    {
        note ("input");
        inputs.emplace_back (ctrl.inputBuffer, ctrl.inputBuffer + ctrl.inputLength);
    }

    HidCtrl& ctrl;
    std::thread::id messageThread;
    Strings events;
    std::vector<std::vector<uint8_t>> inputs;
    int offThread = 0;
    int afterClose = 0;
    bool closed = false;
};

class DeviceLink : public ::testing::Test
{
protected:
    void SetUp() override { fake::reset(); }

    void TearDown() override
    {
        loop.call ([this] { ctrl.close(); });
        EXPECT_EQ (recorder.offThread, 0);
    }

    bool open (int selector)
    {
        return loop.call ([&] { return ctrl.open (&recorder, selector); });
    }

    // Lets every notice posted so far reach the handler. A drain that found
    // more notices queued behind it queues itself again: the second flush
    // comes after that one.
    void settle()
    {
        loop.flush();
        loop.flush();
    }

    template <typename Read>
    auto onLoop (Read read)
    {
        return loop.call ([&] { return read (ctrl); });
    }

    Strings events()
    {
        return loop.call ([this] { return recorder.events; });
    }

    MessageThread loop;
    HidCtrl ctrl;
    Recorder recorder{ctrl, loop.id};
};

const uint8_t command[64] = {0xF4};

} // namespace

TEST_F (DeviceLink, TakesTheLowestNumberedControllerWithItsVersionOrNone)
{
    const struct
    {
        std::vector<std::array<int, 3>> devices; // number, type, version
        int linkState, number, version;
    } cases[] = {
        {{{0, 3, 555}, {2, 9, 102}, {5, 9, 204}}, 1, 2, 102},
        {{{0, 3, 555}}, 0, -1, 0},
    };
    for (const auto& c : cases)
    {
        fake::reset();
        for (const auto& d : c.devices)
            fake::plug (d[0], d[1], d[2]);
        ASSERT_TRUE (open (1));
        EXPECT_EQ (ctrl.linkState, c.linkState);
        EXPECT_EQ (onLoop ([] (HidCtrl& l) { return l.util->deviceNumber.load(); }), c.number);
        EXPECT_EQ (onLoop ([] (HidCtrl& l) { return l.firmwareVersion; }), c.version);
        EXPECT_EQ (onLoop ([] (HidCtrl& l) { return l.inputLength; }), c.linkState != 0 ? 64 : 0);
        EXPECT_EQ (ctrl.send (command, 64), c.linkState != 0);
        loop.call ([this] { ctrl.close(); });
    }
}

TEST_F (DeviceLink, NoticesThatConcernNoHeldDeviceReachNoHandler)
{
    // Selector 0 takes nothing, not even a controller that arrives later.
    fake::plug (0, 9, 102);
    ASSERT_TRUE (open (0));
    EXPECT_TRUE (fake::started());
    fake::plug (1, 9, 102);
    fake::input (0, {0xF6, 1});
    settle();
    EXPECT_TRUE (events().empty());
    EXPECT_EQ (ctrl.linkState, 0);
    EXPECT_FALSE (ctrl.send (command, 64));
    EXPECT_TRUE (fake::writes().empty());
    loop.call ([this] { ctrl.close(); });

    // Input of another device, unknown notices, removal of a number not held.
    fake::reset();
    fake::plug (1, 3, 0);
    fake::plug (2, 9, 101);
    ASSERT_TRUE (open (1));
    fake::input (1, std::vector<uint8_t> (64, 0xAA));
    fake::postRaw (4242, 2);
    fake::postRaw (WM_HID_REMOVAL, 7);
    settle();
    EXPECT_TRUE (events().empty());
    EXPECT_EQ (ctrl.linkState, 1);
}

TEST_F (DeviceLink, RemovalBeforeAnyWriteTakesTheOtherController)
{
    fake::plug (1, 9, 101);
    fake::plug (4, 9, 101);
    ASSERT_TRUE (open (1));

    fake::unplug (4); // not held: nothing happens
    settle();
    EXPECT_TRUE (events().empty());

    fake::plug (4, 9, 101);
    fake::unplug (1);
    settle();
    EXPECT_EQ (events(), Strings{"arrived"});
    EXPECT_EQ (ctrl.linkState, 1);
    EXPECT_EQ (onLoop ([] (HidCtrl& l) { return l.util->deviceNumber.load(); }), 4);
}

TEST_F (DeviceLink, RemovalAfterASendIsReportedEvenWithAnotherController)
{
    fake::plug (1, 9, 101);
    fake::plug (4, 9, 101);
    ASSERT_TRUE (open (1));
    EXPECT_TRUE (ctrl.send (command, 64));
    EXPECT_EQ (ctrl.linkState, 2);
    ASSERT_EQ (fake::writes().size(), 1u);
    EXPECT_EQ (fake::writes()[0].deviceNumber, 1);
    EXPECT_EQ (fake::writes()[0].data, std::vector<uint8_t> (command, command + 64));

    fake::unplug (1);
    settle();
    EXPECT_EQ (events(), Strings{"removed"});
    EXPECT_EQ (ctrl.linkState, 0);
    EXPECT_EQ (onLoop ([] (HidCtrl& l) { return l.firmwareVersion; }), 0);

    // A later arrival is taken again.
    fake::plug (6, 9, 300);
    settle();
    EXPECT_EQ (events(), (Strings{"removed", "arrived"}));
    EXPECT_EQ (onLoop ([] (HidCtrl& l) { return l.firmwareVersion; }), 101);
}

TEST_F (DeviceLink, InputReachesTheHandlerOnceANoticeAndShorterInputKeepsOlderBytes)
{
    fake::plug (3, 9, 100);
    ASSERT_TRUE (open (1));
    constexpr int reports = 250; // one byte tells them apart
    for (int k = 0; k < reports; ++k)
        fake::input (3, std::vector<uint8_t> (64, (uint8_t) k));
    settle();
    EXPECT_EQ (events(), Strings (reports, "input"));
    // Only the latest report is stored, so later notices may fetch newer data,
    // never older.
    auto inputs = loop.call ([this] { return recorder.inputs; });
    for (size_t k = 1; k < inputs.size(); ++k)
        ASSERT_LE (inputs[k - 1][0], inputs[k][0]);
    EXPECT_EQ (inputs.back()[0], reports - 1);

    fake::input (3, {0x22, 0x22});
    settle();
    const auto buffer =
        onLoop ([] (HidCtrl& l) { return std::vector<uint8_t> (l.inputBuffer, l.inputBuffer + 64); });
    EXPECT_EQ (onLoop ([] (HidCtrl& l) { return l.inputLength; }), 2);
    std::vector<uint8_t> expected (64, reports - 1);
    expected[0] = expected[1] = 0x22;
    EXPECT_EQ (buffer, expected);
}

TEST (NoticeQueue, ServesNoticesFromManyThreadsInPostingOrder)
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
    constexpr int perThread = 5000;
    std::vector<std::thread> posters;
    for (unsigned int t = 0; t < 3; ++t)
        posters.emplace_back (
            [&queue, t]
            {
                for (int k = 0; k < perThread; ++k)
                    queue.target().post (queue.target().context, t, k);
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
    loop.call ([&] { queue.close(); });
}

TEST_F (DeviceLink, NothingIsHandledAfterClose)
{
    fake::plug (0, 9, 101);
    ASSERT_TRUE (open (1));
    std::atomic<bool> stop{false};
    std::thread flood (
        [&]
        {
            for (uint8_t k = 0; !stop; ++k)
                fake::input (0, {k});
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
    EXPECT_FALSE (fake::started());
}

TEST_F (DeviceLink, SecondOpenFailsAndARefusedLibraryStillFindsThePresentDevice)
{
    fake::setInitializeResult (0); // another client holds the library
    fake::plug (0, 9, 120);
    ASSERT_TRUE (open (1));
    EXPECT_EQ (ctrl.linkState, 1);
    EXPECT_TRUE (fake::started());
    EXPECT_EQ (fake::inputMessage(), WM_HID_INPUT);

    HidCtrl second;
    EXPECT_FALSE (loop.call ([&] { return second.open (&recorder, 1); }));
    EXPECT_EQ (second.util, nullptr);
    EXPECT_FALSE (second.send (command, 64));
    EXPECT_EQ (fake::initializeCalls(), 1);
}
