// The transfer worker as the screen runs it: started once by "Start", and
// stopped without waiting out the controller's answer limits.

#include "ScreenFixture.h"

#include <chrono>

namespace qtx::test
{
namespace
{
    class Worker : public ScreenFixture
    {
    protected:
        // Ready with a usable package whose transfer has something to send; no
        // controller is held, so the worker sits in its first 10 s answer wait.
        void startTransfer()
        {
            openWindow();
            screen->updateFileInfo.totalLength = 62;
            screen->setScreenState (Ready);
            screen->buttonClicked (screen->okButton);
            ASSERT_TRUE (screen->isThreadRunning());
            // A second "Start" while it runs starts nothing new.
            screen->buttonClicked (screen->okButton);
            // The worker's first act is to ask for the Updating screen.
            for (int i = 0; i < 500 && screen->getScreenState() != Updating; ++i)
            {
                juce::Thread::sleep (10);
                screen->handleUpdateNowIfNeeded();
            }
            ASSERT_EQ (screen->getScreenState(), Updating);
        }
    };

    TEST_F (Worker, QuitEndsTheCurrentWaitEmptyAndTheRemainingStepsAtOnce)
    {
        testing::internal::CaptureStderr(); // the worker's trace
        startTransfer();
        const auto start = std::chrono::steady_clock::now();
        screen->quitProgram();
        EXPECT_FALSE (screen->isThreadRunning());
        // Only a hang is caught here: the worker's own limits add up to minutes.
        EXPECT_LT (std::chrono::steady_clock::now() - start, std::chrono::seconds (8));

        // The woken wait finds answer code 0, a counted attempt; the other
        // fourteen find no answer; then the worker gives up and asks for Failed.
        std::string expected;
        for (int attempt = 0; attempt < 15; ++attempt)
            expected +=
                "send HID_UPDATE_COM_MODE_CHANGE to request for update. @515\nunexpected response(0x0).\n";
        const auto trace = testing::internal::GetCapturedStderr();
        EXPECT_EQ (trace.substr (std::min (trace.size(), trace.find ("send"))),
                   expected + "ERROR: retry error\n");
        screen->handleUpdateNowIfNeeded();
        EXPECT_EQ (screen->getScreenState(), Failed);
    }

    TEST_F (Worker, ClosingTheScreenDuringAnUpdateStopsTheWorkerFirst)
    {
        startTransfer();
        window.reset(); // the session ends while the worker runs
        screen = nullptr;
        SUCCEED();
    }

    TEST_F (Worker, RemovalDuringAnUpdateWakesTheWorkerAndKeepsTheState)
    {
        startTransfer();
        screen->hidDeviceRemoved();
        screen->handleUpdateNowIfNeeded();
        EXPECT_EQ (screen->getScreenState(), Updating);
        EXPECT_EQ (screen->deviceVersion, -1);
        screen->quitProgram();
    }

} // namespace
} // namespace qtx::test
