#pragma once

// The signals that must not kill qtx-update in the middle of a transfer
// (SIGINT, SIGTERM, SIGHUP; on Windows the console's Ctrl-C, Ctrl-Break and
// close events) are taken here, one at a time, by the thread that drives the
// update. On Linux they are blocked in every thread and SIGPIPE is ignored: a
// closed output must not end a transfer either.

namespace qtx::cli
{

class SignalWatch
{
public:
    // Before any other thread is started, so that they all inherit the mask.
    // They stay blocked to the end of the process: one left pending must not
    // kill it on its way out.
    SignalWatch();

    // Waits up to timeoutMs for one of the watched signals; its number, or 0.
    int wait (int timeoutMs);

    // A hang-up (a dropped session), which a running transfer outlasts.
    static bool isHangUp (int signal);

    SignalWatch (const SignalWatch&) = delete;
    SignalWatch& operator= (const SignalWatch&) = delete;
};

} // namespace qtx::cli
