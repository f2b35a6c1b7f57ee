// The single-client lock across processes: a holder keeps others out, and one that dies
// frees the lock for the next client.
#include "devlink.h"
#include "LockIsolation.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
// A child process that calls HID_Initialize, writes the result to its standard output and
// holds the library until it is killed.
struct Holder
{
    pid_t pid = -1;
    int fromChild = -1;

    Holder()
    {
        int out[2];
        if (::pipe2 (out, O_CLOEXEC) != 0) // other holders must not inherit this child's pipe
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init (&actions);
        posix_spawn_file_actions_adddup2 (&actions, out[1], 1);
        char self[] = "/proc/self/exe", mode[] = "--hold";
        char* argv[] = {self, mode, nullptr};
        if (::posix_spawn (&pid, self, &actions, nullptr, argv, environ) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy (&actions);
        ::close (out[1]);
        fromChild = out[0];
    }
    Holder (const Holder&) = delete;
    Holder& operator= (const Holder&) = delete;

    // The child's HID_Initialize result, -1 if it said nothing.
    int result()
    {
        char c = 0;
        return ::read (fromChild, &c, 1) == 1 ? c - '0' : -1;
    }

    void kill()
    {
        if (pid > 0 && ::kill (pid, SIGKILL) == 0)
            ::waitpid (pid, nullptr, 0);
        pid = -1;
    }

    ~Holder()
    {
        kill();
        ::close (fromChild);
    }
};

int holdMode()
{
    const char c = char ('0' + HID_Initialize (nullptr));
    if (::write (1, &c, 1) != 1)
        return 1;
    for (;;)
        ::pause();
}
} // namespace

TEST (LockAcrossProcesses, KilledHolderFreesTheLock)
{
    Holder holder;
    ASSERT_EQ (holder.result(), 1);
    EXPECT_EQ (HID_Initialize (nullptr), 0); // held by the other process
    HID_Finalize();                          // harmless after a failed initialise
    holder.kill();
    EXPECT_EQ (HID_Initialize (nullptr), 1);
    EXPECT_EQ (HID_Initialize (nullptr), 0); // ... and this process holds it, against itself too
    Holder second;                           // ... and against the others
    EXPECT_EQ (second.result(), 0);
    HID_Finalize();
    Holder third; // finalising frees it
    EXPECT_EQ (third.result(), 1);
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
