// The single-client lock across processes: one winner among racing processes, and a killed
// holder frees the lock for the next client.
#include "devlink.h"
#include "LockIsolation.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{
// A child process that calls HID_Initialize, reports the result on its stdout and holds the
// library until its stdin closes.
struct Holder
{
    pid_t pid = -1;
    int toChild = -1;
    int fromChild = -1;

    bool spawn()
    {
        int in[2], out[2];
        // Close-on-exec: other holders must not inherit this child's pipe ends.
        if (::pipe2 (in, O_CLOEXEC) != 0 || ::pipe2 (out, O_CLOEXEC) != 0)
            return false;
        pid = ::fork();
        if (pid == 0)
        {
            ::dup2 (in[0], 0);
            ::dup2 (out[1], 1);
            ::close (in[1]);
            ::close (out[0]);
            char self[] = "/proc/self/exe";
            char mode[] = "--hold";
            char* argv[] = {self, mode, nullptr};
            ::execv (self, argv);
            ::_exit (127);
        }
        ::close (in[0]);
        ::close (out[1]);
        toChild = in[1];
        fromChild = out[0];
        return pid > 0;
    }

    // The child's HID_Initialize result, -1 if it said nothing.
    int result()
    {
        char c = 0;
        return ::read (fromChild, &c, 1) == 1 ? c - '0' : -1;
    }

    void release()
    {
        if (toChild >= 0)
            ::close (toChild);
        toChild = -1;
        reap();
    }

    void kill()
    {
        ::kill (pid, SIGKILL);
        reap();
    }

    void reap()
    {
        if (pid > 0)
            ::waitpid (pid, nullptr, 0);
        pid = -1;
        if (fromChild >= 0)
            ::close (fromChild);
        fromChild = -1;
    }

    ~Holder()
    {
        if (toChild >= 0)
            ::close (toChild);
        if (pid > 0)
            kill();
    }
};

int holdMode()
{
    const int result = HID_Initialize (nullptr);
    const char c = char ('0' + result);
    if (::write (1, &c, 1) != 1)
        return 1;
    char sink;
    while (::read (0, &sink, 1) > 0)
    {
    }
    HID_Finalize();
    return 0;
}
} // namespace

TEST (LockAcrossProcesses, KilledHolderFreesTheLock)
{
    Holder holder;
    ASSERT_TRUE (holder.spawn());
    ASSERT_EQ (holder.result(), 1);
    EXPECT_EQ (HID_Initialize (nullptr), 0); // held by the other process
    HID_Finalize();                          // harmless after a failed initialise
    holder.kill();
    EXPECT_EQ (HID_Initialize (nullptr), 1);
    // ... and now this process holds it against the others.
    Holder second;
    ASSERT_TRUE (second.spawn());
    EXPECT_EQ (second.result(), 0);
    second.release();
    HID_Finalize();
}

TEST (LockAcrossProcesses, OneWinnerAmongRacingProcesses)
{
    for (int round = 0; round < 3; ++round)
    {
        std::vector<Holder> holders (4);
        for (auto& h : holders)
            ASSERT_TRUE (h.spawn());
        int winners = 0;
        for (auto& h : holders)
        {
            const int r = h.result();
            ASSERT_TRUE (r == 0 || r == 1);
            winners += r;
        }
        EXPECT_EQ (winners, 1) << "round " << round;
        for (auto& h : holders)
            h.release();
    }
    EXPECT_EQ (HID_Initialize (nullptr), 1); // all released
    HID_Finalize();
}

int main (int argc, char** argv)
{
    // Holders share the test's namespace: the lock they race for is the test's.
    if (argc > 1 && std::strcmp (argv[1], "--hold") == 0)
        return holdMode();
    qtx::devlink::test::isolateLockNamespace();
    ::testing::InitGoogleTest (&argc, argv);
    return RUN_ALL_TESTS();
}
