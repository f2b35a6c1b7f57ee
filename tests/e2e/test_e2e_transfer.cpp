// Whole updates through the real library, its Linux layer, the device link and
// the message thread, against the simulated controller on a virtual device.
// Time limits run scaled down through the worker's port. The failure table
// itself is the transfer's unit tests' and the fault campaign's.

#include "devlink/LockIsolation.h"
#include "HeadlessHost.h"
#include "SimController.h"
#include "support/MessageThread.h"
#include "support/TestPackage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
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
    void openOn (ControllerOptions options, double scale = timeScale,
                 std::function<void (const char*)> traceSink = {})
    {
        controller = std::make_unique<SimController> (bed, options);
        ASSERT_GE (controller->device(), 0);
        HeadlessHost::Options hostOptions;
        hostOptions.timeScale = scale;
        hostOptions.traceSink = std::move (traceSink);
        host = loop.call (
            [&] { return std::make_unique<HeadlessHost> (package.info, package.blocks, 1, hostOptions); });
        loop.call ([this] { host->leaveLanguageScreen(); });
    }

    // Starts an update whose second chunk the controller leaves unanswered, and
    // waits until the worker sits in that chunk's wait.
    void startIntoASilentChunk (double scale)
    {
        ControllerOptions options;
        options.faults = {{Fault::Silent, Step::DataSend, 2}};
        openOn (options, scale);
        ASSERT_TRUE (loop.call ([this] { return host->start ("QTX-ORB9"); }));
        for (int k = 0; k < 2000; ++k)
        {
            auto sites = host->traceSites();
            if (std::count (sites.begin(), sites.end(), 363) >= 2)
                break;
            std::this_thread::sleep_for (std::chrono::milliseconds (5));
        }
    }

    std::vector<std::string> lastTraces (size_t count) const
    {
        const auto all = host->traces();
        return {all.end() - (long) std::min (count, all.size()), all.end()};
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

TEST_F (EndToEnd, FullUpdateDeliversExactlyTheUpdateBlocks)
{
    ControllerOptions options;
    options.interimPerBlock = 2;
    options.interimAtCompletion = 2;
    openOn (options);
    EXPECT_EQ (host->deviceVersion, 102);
    ASSERT_EQ (host->getScreenState(), Ready);
    EXPECT_TRUE (loop.call ([this] { return host->start ("QTX-ORB9"); }));
    EXPECT_TRUE (host->waitForEnd (endTimeoutMs)) << "the worker hung";
    loop.flush(); // the final state request is applied on the message thread
    EXPECT_EQ (host->getScreenState(), Complete);
    EXPECT_TRUE (controller->completed());
    EXPECT_TRUE (controller->allBlocksGood());
    EXPECT_EQ (controller->receivedImage(), package.expectedImage());
    EXPECT_DOUBLE_EQ (host->progressValue(), 1.0);
}

// The window's quit, from the message thread: that thread now waits for the
// worker and delivers no answer, so every later wait ends at once.
TEST_F (EndToEnd, QuitDuringAChunksWaitEndsEveryLaterWaitAtOnce)
{
    startIntoASilentChunk (2.0); // the progress check's limit becomes 20 s
    const auto began = std::chrono::steady_clock::now();
    loop.call ([this] { host->stopWorker(); });
    EXPECT_LT (std::chrono::steady_clock::now() - began, std::chrono::seconds (10)) << "a wait ran its limit";
    EXPECT_FALSE (host->workerRunning());
    EXPECT_EQ (lastTraces (3), (std::vector<std::string>{"ERROR: unexpected response(0x0). @404\n",
                                                         "send HID_UPDATE_COM_PROGRESS_CHK. @438\n",
                                                         "ERROR: no response from QTX-ORB9. @444\n"}));
}

// qtx-update's first Ctrl-C, from another thread: the current wait ends, and
// the remaining steps run with the controller's answers.
TEST_F (EndToEnd, InterruptDuringAChunksWaitRunsTheRemainingStepsWithTheirAnswers)
{
    startIntoASilentChunk (timeScale);
    host->interrupt();
    EXPECT_TRUE (host->waitForEnd (endTimeoutMs)) << "the worker hung";
    EXPECT_EQ (lastTraces (3), (std::vector<std::string>{"ERROR: unexpected response(0x0). @404\n",
                                                         "send HID_UPDATE_COM_PROGRESS_CHK. @438\n",
                                                         "ERROR: unexpected response(0xfd). @459\n"}));
}

// Unplugged in the completion phase's pause, between two progress checks: the
// removal survives the drop of stale wake-ups, so the next check's wait ends at
// once with answer code 0.
TEST_F (EndToEnd, UnplugInTheCompletionPauseEndsTheNextWait)
{
    ControllerOptions options;
    options.interimAtCompletion = 1;
    openOn (options, timeScale,
            [this] (const char* line)
            {
                if (std::strstr (line, "@457") == nullptr)
                    return;
                controller->unplug();
                // On only once the screen has taken the removal: it lands in the pause.
                for (int k = 0; k < 2000 && host->deviceVersion != -1; ++k)
                    std::this_thread::sleep_for (std::chrono::milliseconds (5));
            });
    ASSERT_TRUE (loop.call ([this] { return host->start ("QTX-ORB9"); }));
    EXPECT_TRUE (host->waitForEnd (endTimeoutMs)) << "the worker hung";
    loop.flush(); // the final state request is applied on the message thread
    EXPECT_EQ (host->getScreenState(), Failed);
    EXPECT_EQ (lastTraces (2), (std::vector<std::string>{"send HID_UPDATE_COM_PROGRESS_CHK. @438\n",
                                                         "ERROR: unexpected response(0x0). @459\n"}));
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
