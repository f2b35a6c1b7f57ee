// The logind inhibitor against a stand-in logind on a private bus: the locks'
// what/who/why/mode, their release, a refusal, and a lock that arrives late.
// That the program's own inhibitor takes the system bus is the worker tests'.

#include "FakeLogind.h"

#include "ui/platform/linux/LogindInhibitor.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

namespace qtx::test
{
namespace
{
    constexpr int waitMs = 10000; // only a hang runs into these

    class Inhibitor : public ::testing::Test
    {
    protected:
        void SetUp() override { ASSERT_TRUE (logind.ready()) << "dbus-daemon did not start"; }

        // Holds and waits for call number `calls`; then lets logind's answer arrive.
        void holdAndSettle (LogindInhibitor& inhibitor, size_t calls)
        {
            inhibitor.hold();
            ASSERT_TRUE (logind.waitForCalls (calls, waitMs));
            std::this_thread::sleep_for (std::chrono::milliseconds (200));
        }

        FakeLogind logind;
    };

    // Two block locks: sleep, idle and shutdown; and the lid switch, whose action
    // logind takes by default in spite of the first. A polkit rule may refuse the
    // lid lock to desktop users: that costs the other lock nothing, and the refused
    // lock is asked for again on the next hold.
    TEST_F (Inhibitor, TakesBlockLocksOnSleepIdleShutdownAndTheLidSwitchAndLetsThemGo)
    {
        logind.setAnswer (FakeLogind::Answer::refuse, "handle-lid-switch");
        auto inhibitor = std::make_unique<LogindInhibitor> (logind.address());
        holdAndSettle (*inhibitor, 2);
        const auto calls = logind.calls();
        ASSERT_EQ (calls.size(), 2u);
        EXPECT_EQ (calls[0].what, "sleep:idle:shutdown");
        EXPECT_EQ (calls[1].what, "handle-lid-switch");
        for (const auto& c : calls)
            EXPECT_EQ (c.who + "/" + c.why + "/" + c.mode, "QtxUpdate/Updating controller firmware/block");
        EXPECT_TRUE (logind.isHeld (0));

        logind.setAnswer (FakeLogind::Answer::lock);
        holdAndSettle (*inhibitor, 3);
        EXPECT_EQ (logind.calls().at (2).what, "handle-lid-switch");
        // Still held a while later: the descriptors are kept, not dropped with the replies.
        EXPECT_TRUE (logind.isHeld (0) && logind.isHeld (2));
        inhibitor->hold(); // held already: nothing new is asked
        inhibitor->release();
        EXPECT_TRUE (logind.waitReleased (0, waitMs) && logind.waitReleased (2, waitMs));
        EXPECT_EQ (logind.calls().size(), 3u);

        // Going away lets held locks go too.
        holdAndSettle (*inhibitor, 5);
        inhibitor.reset();
        EXPECT_TRUE (logind.waitReleased (3, waitMs) && logind.waitReleased (4, waitMs));
    }

} // namespace
} // namespace qtx::test
