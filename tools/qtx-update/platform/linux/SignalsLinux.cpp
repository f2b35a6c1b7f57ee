#include "Signals.h"

#include <cerrno>
#include <csignal>
#include <ctime>

namespace qtx::cli
{

namespace
{
    sigset_t watchedSignals()
    {
        sigset_t set;
        sigemptyset (&set);
        sigaddset (&set, SIGINT);
        sigaddset (&set, SIGTERM);
        sigaddset (&set, SIGHUP);
        return set;
    }
} // namespace

SignalWatch::SignalWatch()
{
    const sigset_t set = watchedSignals();
    pthread_sigmask (SIG_BLOCK, &set, nullptr);
    std::signal (SIGPIPE, SIG_IGN);
}

int SignalWatch::wait (int timeoutMs)
{
    const sigset_t set = watchedSignals();
    timespec timeout{timeoutMs / 1000, (long) (timeoutMs % 1000) * 1000000L};
    for (;;)
    {
        const int taken = sigtimedwait (&set, nullptr, &timeout);
        if (taken > 0)
            return taken;
        if (errno != EINTR)
            return 0;
    }
}

bool SignalWatch::isHangUp (int signal)
{
    return signal == SIGHUP;
}

} // namespace qtx::cli
