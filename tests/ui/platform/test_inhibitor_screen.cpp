// The screen holds logind's inhibitor lock, on the bus DBUS_SYSTEM_BUS_ADDRESS
// names, exactly while it shows Updating.

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
    };

    TEST_F (ScreenInhibitor, HeldWhileUpdatingUntilTheOutcomeOrTheWindowGoes)
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
            ASSERT_TRUE (logind.waitForCalls (call + 1, waitMs));
            EXPECT_EQ (logind.calls().back().why, "Updating controller firmware");
            if (outcome >= 0)
            {
                screen->requestScreenState (outcome); // as the worker does
                screen->handleUpdateNowIfNeeded();
            }
            else
                window.reset();
            EXPECT_TRUE (logind.waitReleased (call, waitMs));
            window.reset();
        }
        ::unsetenv ("DBUS_SYSTEM_BUS_ADDRESS");
    }

} // namespace
} // namespace qtx::test
