// The single-client lock is machine-wide, so a test that takes it would meet every other
// client on the machine (other test runs included). Its name lives in the network namespace
// (an abstract socket): a private namespace gives the test process and its children a lock
// of their own. Call first thing in main(), while the process has one thread.
#pragma once

#include <cerrno>
#include <cstdio>
#include <sched.h>

namespace qtx::devlink::test
{
inline void isolateLockNamespace()
{
    if (::unshare (CLONE_NEWNET) == 0)
        return;
    if (::unshare (CLONE_NEWUSER | CLONE_NEWNET) == 0)
        return;
    std::fprintf (stderr, "note: no private network namespace; lock tests may meet other clients\n");
}
} // namespace qtx::devlink::test
