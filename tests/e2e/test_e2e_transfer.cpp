// The screen rules through the real library, its Linux layer, the device link and
// the message thread, against the simulated controller on a virtual device: the
// window's quit and qtx-update's Ctrl-C, and a device event just after a
// wake-up. Time limits run scaled down through the worker's port. A whole update
// is qtx-update's end-to-end test; the failure table is the transfer's unit tests'
// and the fault campaign's.

#include "devlink/LockIsolation.h"
#include "HeadlessHost.h"
#include "SimController.h"
#include "support/MessageThread.h"
#include "support/TestPackage.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

using namespace qtx;
using namespace qtx::sim;
using qtx::test::MessageThread;
using qtx::test::TestPackage;

namespace
{

// 10 s answers become 200 ms, a chunk's 180 s 3.6 s, interim 20 s 400 ms.
constexpr double timeScale = 0.02;
// Only catches a hang: the slowest scripted run is well below it.
constexpr int endTimeoutMs = 60000;

// The host with a hook after each of the worker's waits, for events landing there.
struct ProbeHost : HeadlessHost
{
    using HeadlessHost::HeadlessHost;
    bool waitForAnswer (int timeoutMs, Answer& answer) override
    {
        const bool woken = HeadlessHost::waitForAnswer (timeoutMs, answer);
        if (afterWait)
            afterWait (++waits);
        return woken;
    }
    std::function<void (int wait)> afterWait;
    int waits = 0;
};

class EndToEnd : public ::testing::Test
{
protected:
    void TearDown() override
    {
        if (host != nullptr)
            loop.call ([this] { host.reset(); });
        controller.reset();
    }

    // Plugs the controller, opens the host and leaves the language screen.
    void openOn (ControllerOptions options, double scale = timeScale)
    {
        controller = std::make_unique<SimController> (bed, options);
        ASSERT_GE (controller->device(), 0);
        openHost (scale);
    }

    void openHost (double scale)
    {
        HeadlessHost::Options hostOptions;
        hostOptions.timeScale = scale;
        host = loop.call (
            [&] { return std::make_unique<ProbeHost> (package.info, package.blocks, 1, hostOptions); });
        loop.call ([this] { host->leaveLanguageScreen(); });
    }

    vhid::Testbed bed; // first: before the library looks at udev
    MessageThread loop;
    TestPackage package = TestPackage::mixed();
    std::unique_ptr<SimController> controller;
    std::unique_ptr<ProbeHost> host;
};

} // namespace

// A stop while the worker waits for the mode change, a block announcement or
// a chunk: the window's quit from the message thread, which then delivers no
// answer, and qtx-update's signal from another thread. Nothing more reaches the
// controller, the worker ends at once, Failed, and knows whether it wrote firmware.
struct StopRow
{
    const char* name;
    Step step; // silent there, so the stop lands in its wait
    int occurrence;
    size_t commands; // received by then
    bool written;
};
void PrintTo (const StopRow& row, std::ostream* out)
{
    *out << row.name;
}

class Stop : public EndToEnd, public ::testing::WithParamInterface<StopRow>
{
};

TEST_P (Stop, NothingMoreIsWritten)
{
    const auto& row = GetParam();
    ControllerOptions options;
    options.faults = {{Fault::Silent, row.step, row.occurrence}};
    for (bool quit : {false, true})
    {
        SCOPED_TRACE (quit ? "quit" : "signal");
        if (!quit)
            openOn (options, 2.0);
        else
        {
            loop.call ([this] { host.reset(); });
            controller->reset();
            openHost (2.0);
        }
        ASSERT_TRUE (loop.call ([this] { return host->start ("QTX-ORB9"); }));
        for (int k = 0; k < 2000 && controller->commands().size() < row.commands; ++k)
            std::this_thread::sleep_for (std::chrono::milliseconds (5));

        const auto began = std::chrono::steady_clock::now();
        if (quit)
            loop.call ([this] { host->stopWorker(); });
        else
            host->interrupt();
        EXPECT_TRUE (host->waitForEnd (endTimeoutMs)) << "the worker hung";
        EXPECT_LT (std::chrono::steady_clock::now() - began, std::chrono::seconds (10))
            << "a wait ran its limit";
        controller->waitIdle();
        EXPECT_EQ (controller->commands().size(), row.commands);
        EXPECT_EQ (host->firmwareWritten(), row.written);
        loop.flush();
        EXPECT_EQ (host->getScreenState(), Failed);
        EXPECT_EQ (host->traces().back(), "stopped: no further command is sent.\n");
    }
}

INSTANTIATE_TEST_SUITE_P (EndToEnd, Stop,
                          ::testing::Values (StopRow{"ModeChange", Step::ModeChange, 1, 1, false},
                                             StopRow{"BlockAnnouncement", Step::BlockSend, 1, 3, false},
                                             StopRow{"Chunk", Step::DataSend, 2, 5, true}),
                          [] (const auto& row) { return std::string (row.param.name); });

// From "Start" on, a device event ends one wait and requests no state: a removal right
// after the Start click ends the first mode change's wait (left unanswered); an arrival
// after the block announcement's answer woke the worker ends the first chunk's wait, and
// that answer still counts.
TEST_F (EndToEnd, FromStartOnEachDeviceEventEndsOneWait)
{
    ControllerOptions options;
    options.faults = {{Fault::Silent, Step::ModeChange, 1}};
    openOn (options);
    host->afterWait = [this] (int wait)
    {
        if (wait == 4)
            loop.call ([this] { host->hidDeviceArrived(); });
    };
    ASSERT_TRUE (loop.call (
        [this]
        {
            const bool started = host->start ("QTX-ORB9");
            host->hidDeviceRemoved();
            return started;
        }));
    ASSERT_TRUE (host->waitForEnd (endTimeoutMs));
    const auto lines = host->traces();
    ASSERT_GE (lines.size(), 8u);
    EXPECT_EQ (lines[1], "unexpected response(0x0).\n");
    EXPECT_EQ (lines[6], "send HID_UPDATE_COM_DATA_SEND. @363\n");
    EXPECT_EQ (lines[7], "ERROR: unexpected response(0x0). @404\n");
}

int main (int argc, char** argv)
{
    qtx::vhid::runUnderPreload (argc, argv);
    // A lock of our own: other test runs on the machine would take the
    // library's machine-wide one, and with it the device notices.
    qtx::devlink::test::isolateLockNamespace();
    ::testing::InitGoogleTest (&argc, argv);
    return RUN_ALL_TESTS();
}
