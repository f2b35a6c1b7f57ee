// The screen holds logind's inhibitor lock exactly while it shows Updating.

#include "FakeLogind.h"

#include "tests/ui/ScreenFixture.h"

#include <cstdlib>

namespace qtx::test
{
namespace
{
    constexpr int waitMs = 10000; // only a hang runs into these

    class ScreenInhibitor : public ScreenFixture
    {
    protected:
        void SetUp() override
        {
            ScreenFixture::SetUp();
            ASSERT_TRUE (logind.ready()) << "dbus-daemon did not start";
            ::setenv ("DBUS_SYSTEM_BUS_ADDRESS", logind.address().c_str(), 1);
        }

        void TearDown() override
        {
            ScreenFixture::TearDown();
            ::unsetenv ("DBUS_SYSTEM_BUS_ADDRESS");
        }

        void startUpdating()
        {
            openWindow();
            screen->setScreenState (Ready);
            screen->setScreenState (Updating);
            ASSERT_TRUE (logind.waitForCalls (1, waitMs));
            EXPECT_EQ (logind.calls().at (0).why, "Updating controller firmware");
        }

        FakeLogind logind;
    };

    TEST_F (ScreenInhibitor, TheOutcomeLetsTheLockGo)
    {
        for (const int outcome : {Complete, Failed})
        {
            SCOPED_TRACE (outcome);
            startUpdating();
            screen->requestScreenState (outcome); // as the worker does
            screen->handleUpdateNowIfNeeded();
            EXPECT_TRUE (logind.waitReleased (logind.calls().size() - 1, waitMs));
            window.reset();
        }
    }

    TEST_F (ScreenInhibitor, ClosingTheWindowDuringAnUpdateLetsTheLockGo)
    {
        startUpdating();
        window.reset(); // the session ends
        screen = nullptr;
        EXPECT_TRUE (logind.waitReleased (0, waitMs));
    }

    TEST_F (ScreenInhibitor, NoLockOutsideAnUpdate)
    {
        openWindow();
        for (const int state : {Ready, NotRecognised, Ready})
            screen->setScreenState (state);
        window.reset();
        EXPECT_FALSE (logind.waitForCalls (1, 300));
    }

} // namespace
} // namespace qtx::test
