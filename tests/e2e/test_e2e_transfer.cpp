// The screen rules through the real library, its Linux layer, the device link and
// the message thread, against the simulated controller on a virtual device: the
// window's quit and qtx-update's Ctrl-C, and the controller's comings and goings
// outside an update. Time
// limits run scaled down through the worker's port. A whole update is
// qtx-update's end-to-end test; the failure table is the transfer's unit tests'
// and the fault campaign's.

#include "devlink/LockIsolation.h"
#include "HeadlessHost.h"
#include "SimController.h"
#include "support/MessageThread.h"
#include "support/TestPackage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
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
            [&] { return std::make_unique<HeadlessHost> (package.info, package.blocks, 1, hostOptions); });
        loop.call ([this] { host->leaveLanguageScreen(); });
    }

    int waitForState (int state)
    {
        for (int k = 0; k < 1000 && host->getScreenState() != state; ++k)
            std::this_thread::sleep_for (std::chrono::milliseconds (5));
        return host->getScreenState();
    }

    vhid::Testbed bed; // first: before the library looks at udev
    MessageThread loop;
    TestPackage package = TestPackage::mixed();
    std::unique_ptr<SimController> controller;
    std::unique_ptr<HeadlessHost> host;
};

} // namespace

// A stop during a chunk's wait. The window's quit comes from the message
// thread, which then delivers no answer: every later wait ends at once (the
// progress check's, 20 s here). qtx-update's first Ctrl-C comes from another
// thread: the current wait ends and the remaining steps run with the answers.
TEST_F (EndToEnd, StopDuringAChunksWait)
{
    ControllerOptions options;
    options.faults = {{Fault::Silent, Step::DataSend, 2}};
    // The Ctrl-C first: after the quit the controller's answer to the last
    // progress check is left unread, and would reach a later update.
    for (bool quit : {false, true})
    {
        SCOPED_TRACE (quit ? "quit" : "Ctrl-C");
        if (!quit)
            openOn (options, 2.0);
        else
        {
            loop.call ([this] { host.reset(); });
            controller->reset();
            openHost (2.0);
        }
        ASSERT_TRUE (loop.call ([this] { return host->start ("QTX-ORB9"); }));
        for (int k = 0; k < 2000; ++k) // until the worker waits for the second chunk's answer
        {
            const auto sites = host->traceSites();
            if (std::count (sites.begin(), sites.end(), 363) >= 2)
                break;
            std::this_thread::sleep_for (std::chrono::milliseconds (5));
        }

        const auto began = std::chrono::steady_clock::now();
        if (quit)
            loop.call ([this] { host->stopWorker(); });
        else
            host->interrupt();
        EXPECT_TRUE (host->waitForEnd (endTimeoutMs)) << "the worker hung";
        EXPECT_LT (std::chrono::steady_clock::now() - began, std::chrono::seconds (10))
            << "a wait ran its limit";
        const auto lines = host->traces();
        ASSERT_GE (lines.size(), 3u);
        EXPECT_EQ (lines[lines.size() - 3], "ERROR: unexpected response(0x0). @404\n");
        EXPECT_EQ (lines.back(), quit ? "ERROR: no response from QTX-ORB9. @444\n"
                                      : "ERROR: unexpected response(0xfd). @459\n");
    }
}

// Outside an update the screen follows the controller.
TEST_F (EndToEnd, UnplugAndReplugOutsideAnUpdateSwitchStates)
{
    openOn ({});
    ASSERT_EQ (host->getScreenState(), Ready);
    controller->unplug();
    EXPECT_EQ (waitForState (NotRecognised), NotRecognised);
    controller->replug();
    EXPECT_EQ (waitForState (Ready), Ready);
    EXPECT_EQ (host->deviceVersion, 102);
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
