// The transfer worker as the screen runs it: started once by "Start", woken by
// a removal, and stopped without waiting out the controller's answer limits;
// and the sleep lock the screen holds while it runs.

#include "platform/FakeLogind.h"
#include "ScreenFixture.h"

#include <chrono>
#include <cstdlib>

namespace qtx::test
{
namespace
{
    class Worker : public ScreenFixture
    {
    protected:
        // Ready with a usable package whose transfer has something to send, and a
        // stale answer in the buffer; no controller is held, so the worker sits in
        // its first 10 s answer wait. A removal queued behind the Start click is
        // handled before the worker's Updating request is applied.
        void startTransfer (bool removalQueued = false)
        {
            openWindow();
            screen->updateFileInfo.totalLength = 62;
            screen->setScreenState (Ready);
            deliver (0xAB, 0); // found by a wait that ends without the buffer zeroed
            screen->buttonClicked (screen->okButton);
            ASSERT_TRUE (screen->isThreadRunning());
            // A second "Start" while it runs starts nothing new.
            screen->buttonClicked (screen->okButton);
            if (removalQueued)
                screen->hidDeviceRemoved();
            // The worker's first act is to ask for the Updating screen.
            for (int i = 0; i < 500 && screen->getScreenState() != Updating; ++i)
            {
                juce::Thread::sleep (10);
                screen->handleUpdateNowIfNeeded();
            }
            ASSERT_EQ (screen->getScreenState(), Updating);
        }

        // An input report of the held controller, as the device link hands it on.
        void deliver (uint8_t code, uint8_t value)
        {
            screen->deviceLink.inputBuffer[0] = code;
            screen->deviceLink.inputBuffer[1] = value;
            screen->deviceLink.inputLength = 2;
            screen->hidInputReceived();
        }

        // The worker's trace from its first command on.
        static std::string traceSinceFirstCommand()
        {
            const auto text = testing::internal::GetCapturedStderr();
            return text.substr (std::min (text.size(), text.find ("send")));
        }
    };

    // By a quit, or by the session ending with the screen up: the screen's
    // destructor must end the worker before its link and data go.
    TEST_F (Worker, AQuitOrTheScreenGoingEndsTheWorkerFirstAndItsWaitsAtOnce)
    {
        for (bool quit : {true, false})
        {
            SCOPED_TRACE (quit ? "quitProgram" : "the screen goes");
            testing::internal::CaptureStderr(); // the worker's trace
            startTransfer();
            const auto start = std::chrono::steady_clock::now();
            if (quit)
                screen->quitProgram();
            else
                window.reset();
            // Only a hang is caught here: the worker's own limits add up to minutes.
            EXPECT_LT (std::chrono::steady_clock::now() - start, std::chrono::seconds (8));

            // The woken wait finds answer code 0, a counted attempt; the next
            // attempt is not written, all before the stop returned.
            EXPECT_EQ (
                traceSinceFirstCommand(),
                "send HID_UPDATE_COM_MODE_CHANGE to request for update. @515\nunexpected response(0x0).\n"
                "stopped: no further command is sent.\n");
            if (!quit)
                continue;
            EXPECT_FALSE (screen->isThreadRunning());
            screen->handleUpdateNowIfNeeded();
            EXPECT_EQ (screen->getScreenState(), Failed);
        }
        screen = nullptr;
    }

    // A removal, during the update or queued behind the Start click, ends the first
    // attempt's wait (answer code 0, no state); the second takes the refusal and the
    // worker ends Failed, which a later arrival does not replace.
    TEST_F (Worker, RemovalDuringAnUpdateWakesTheWorkerAndKeepsTheState)
    {
        for (bool queued : {false, true})
        {
            SCOPED_TRACE (queued ? "queued behind Start" : "during the update");
            testing::internal::CaptureStderr();
            startTransfer (queued);
            if (!queued)
                screen->hidDeviceRemoved();
            screen->handleUpdateNowIfNeeded();
            EXPECT_EQ (screen->getScreenState(), Updating);
            EXPECT_EQ (screen->deviceVersion, -1);
            for (int i = 0; i < 500 && screen->isThreadRunning(); ++i)
            {
                deliver (0xF6, 2);
                juce::Thread::sleep (10);
            }
            EXPECT_FALSE (screen->isThreadRunning());
            EXPECT_EQ (
                traceSinceFirstCommand(),
                "send HID_UPDATE_COM_MODE_CHANGE to request for update. @515\nunexpected response(0x0).\n"
                "send HID_UPDATE_COM_MODE_CHANGE to request for update. @515\n"
                "failed to change to Update mode by unexpected response(0x2).\n");
            screen->hidDeviceArrived();
            screen->handleUpdateNowIfNeeded();
            EXPECT_EQ (screen->getScreenState(), Failed);
        }
    }

    // The screen holds logind's inhibitor lock, on the bus DBUS_SYSTEM_BUS_ADDRESS
    // names, exactly while it shows Updating.
    TEST_F (Worker, TheSleepLockIsHeldWhileUpdatingUntilTheOutcomeOrTheWindowGoes)
    {
        FakeLogind logind;
        ASSERT_TRUE (logind.ready()) << "dbus-daemon did not start";
        ::setenv ("DBUS_SYSTEM_BUS_ADDRESS", logind.address().c_str(), 1);

        openWindow();
        for (const int state : {Ready, NotRecognised, Ready})
            screen->setScreenState (state);
        EXPECT_FALSE (logind.waitForCalls (1, 300)) << "a lock outside an update";

        for (const int outcome : {(int) Complete, (int) Failed, -1}) // -1: the session ends during the update
        {
            SCOPED_TRACE (outcome);
            if (window == nullptr)
                openWindow();
            const auto call = logind.calls().size(); // before the helper thread can make it
            screen->setScreenState (Ready);
            screen->setScreenState (Updating);
            ASSERT_TRUE (logind.waitForCalls (call + 1, 10000));
            EXPECT_EQ (logind.calls().back().why, "Updating controller firmware");
            if (outcome >= 0)
            {
                screen->requestScreenState (outcome); // as the worker does
                screen->handleUpdateNowIfNeeded();
            }
            else
                window.reset();
            EXPECT_TRUE (logind.waitReleased (call, 10000));
            window.reset();
        }
        ::unsetenv ("DBUS_SYSTEM_BUS_ADDRESS");
    }

} // namespace
} // namespace qtx::test
