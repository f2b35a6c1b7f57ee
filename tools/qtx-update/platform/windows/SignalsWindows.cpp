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

    BOOL WINAPI onConsoleEvent (DWORD event)
    {
        // Ctrl-C and Ctrl-Break ask to stop; a closed console, a log-off or a shut-down end
        // the process a few seconds after this returns, whatever it answers.
        pending = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? SIGINT : SIGTERM;
        SetEvent (arrived);
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
