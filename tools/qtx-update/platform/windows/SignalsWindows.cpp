#include "Signals.h"

#include <windows.h>

#include <atomic>
#include <csignal>

namespace qtx::cli
{

namespace
{
    // The console's events arrive on a thread of their own; they are kept here for wait().
    std::atomic<int> pending{0};
    HANDLE arrived = nullptr;

    // Windows allows about 5 s after a closed console (5 to 20 s at a log-off or a
    // shut-down) before it ends the process anyway; a stop takes well under one.
    constexpr DWORD closeHoldMs = 4000;

    BOOL WINAPI onConsoleEvent (DWORD event)
    {
        const bool keyed = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
        pending = keyed ? SIGINT : SIGTERM;
        SetEvent (arrived);
        // A closed console, a log-off or a shut-down end the process as soon as this
        // returns: it is held here while the driving thread takes the stop path and
        // the program ends by itself (its exit ends this thread too).
        if (!keyed)
            Sleep (closeHoldMs);
        return TRUE;
    }
} // namespace

SignalWatch::SignalWatch()
{
    arrived = CreateEventA (nullptr, FALSE, FALSE, nullptr);
    SetConsoleCtrlHandler (onConsoleEvent, TRUE);
}

int SignalWatch::wait (int timeoutMs)
{
    if (const int taken = pending.exchange (0); taken != 0)
        return taken;
    WaitForSingleObject (arrived, (DWORD) timeoutMs);
    return pending.exchange (0);
}

bool SignalWatch::isHangUp (int)
{
    return false; // a Windows console has no hang-up that leaves the process running
}

} // namespace qtx::cli
