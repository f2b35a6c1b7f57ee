#include "LogindInhibitor.h"

#include "SdBus.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace qtx
{
namespace
{
    // logind answers in milliseconds; this only bounds a bus that never does.
    constexpr uint64_t callTimeoutUsec = 10'000'000;

    struct BusCloser
    {
        const sdbus::Functions* sd = nullptr;
        void operator() (sd_bus* bus) const { sd->closeUnref (bus); }
    };
    using BusPtr = std::unique_ptr<sd_bus, BusCloser>;

    BusPtr openBus (const sdbus::Functions& sd, const std::string& address)
    {
        sd_bus* bus = nullptr;
        if (address.empty())
            return BusPtr (sd.openSystem (&bus) >= 0 ? bus : nullptr, BusCloser{&sd});

        if (sd.create (&bus) < 0)
            return BusPtr (nullptr, BusCloser{&sd});
        BusPtr owned (bus, BusCloser{&sd});
        if (sd.setAddress (bus, address.c_str()) < 0 || sd.setBusClient (bus, 1) < 0 || sd.start (bus) < 0)
            owned.reset();
        return owned;
    }

    struct Reply
    {
        bool arrived = false;
        int fd = -1;
    };

    int onReply (sd_bus_message* message, void* userdata, sd_bus_error*)
    {
        auto& reply = *static_cast<Reply*> (userdata);
        const auto& sd = *sdbus::load(); // loaded: the call was made through it
        reply.arrived = true;
        int fd = -1;
        // An error answer (no logind, not allowed, time-out) leaves fd at -1.
        if (sd.messageIsMethodError (message, nullptr) == 0 && sd.messageReadBasic (message, 'h', &fd) > 0)
            reply.fd = fcntl (fd, F_DUPFD_CLOEXEC, 3); // the message closes its own copy
        return 0;
    }

    // Milliseconds until sd-bus's next deadline (absolute, CLOCK_MONOTONIC), -1 for none.
    int pollTimeout (const sdbus::Functions& sd, sd_bus* bus)
    {
        uint64_t until = UINT64_MAX;
        if (sd.getTimeout (bus, &until) < 0 || until == UINT64_MAX)
            return -1;
        timespec now{};
        clock_gettime (CLOCK_MONOTONIC, &now);
        const auto nowUsec = (uint64_t) now.tv_sec * 1'000'000 + (uint64_t) now.tv_nsec / 1000;
        return until > nowUsec ? (int) ((until - nowUsec + 999) / 1000) : 0;
    }
} // namespace

LogindInhibitor::LogindInhibitor (std::string busAddress)
    : address (std::move (busAddress))
    , wakeFd (eventfd (0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

LogindInhibitor::~LogindInhibitor()
{
    {
        const std::lock_guard<std::mutex> lock (mutex);
        closing = true;
        wanted = false;
        closeLocks();
    }
    changed.notify_all();
    if (wakeFd >= 0)
    {
        const uint64_t one = 1;
        [[maybe_unused]] const auto written = write (wakeFd, &one, sizeof one);
    }
    if (helper.joinable())
        helper.join();
    if (wakeFd >= 0)
        close (wakeFd);
}

void LogindInhibitor::hold()
{
    {
        const std::lock_guard<std::mutex> lock (mutex);
        wanted = true;
        if (allHeld())
            return;
        asked = true;
        if (!helper.joinable())
            helper = std::thread ([this] { serve(); });
    }
    changed.notify_all();
}

void LogindInhibitor::release()
{
    const std::lock_guard<std::mutex> lock (mutex);
    wanted = false;
    closeLocks();
}

bool LogindInhibitor::allHeld() const
{
    return std::all_of (lockFds.begin(), lockFds.end(), [] (int fd) { return fd >= 0; });
}

void LogindInhibitor::closeLocks()
{
    for (int& fd : lockFds)
    {
        if (fd >= 0)
            close (fd);
        fd = -1;
    }
}

void LogindInhibitor::serve()
{
    std::unique_lock<std::mutex> lock (mutex);
    for (;;)
    {
        changed.wait (lock, [this] { return closing || asked; });
        if (closing)
            return;
        asked = false;
        if (!wanted || allHeld())
            continue;

        const Locks held = lockFds;
        lock.unlock();
        const Locks got = requestLocks (held);
        lock.lock();
        for (size_t i = 0; i < lockCount; ++i)
        {
            if (got[i] < 0)
                continue;
            if (wanted && lockFds[i] < 0)
                lockFds[i] = got[i];
            else
                close (got[i]); // released (or gone) while the call was on its way
        }
    }
}

LogindInhibitor::Locks LogindInhibitor::requestLocks (const Locks& held) const
{
    // Without libsystemd, a bus or logind the program runs as before, silently.
    const auto* functions = sdbus::load();
    if (functions == nullptr)
        return {-1, -1};
    const auto& sd = *functions;
    const auto bus = openBus (sd, address);
    if (bus == nullptr)
        return {-1, -1};
    sd.setMethodCallTimeout (bus.get(), callTimeoutUsec);

    // Both calls at once; one already held is not asked for again.
    const char* const whats[lockCount] = {what, lidWhat};
    std::array<Reply, lockCount> replies;
    std::array<sd_bus_slot*, lockCount> slots{};
    for (size_t i = 0; i < lockCount; ++i)
        replies[i].arrived =
            held[i] >= 0 ||
            sd.callMethodAsync (bus.get(), &slots[i], "org.freedesktop.login1", "/org/freedesktop/login1",
                                "org.freedesktop.login1.Manager", "Inhibit", onReply, &replies[i], "ssss",
                                whats[i], who, why, mode) < 0;

    const auto allArrived = [&replies]
    { return std::all_of (replies.begin(), replies.end(), [] (const Reply& r) { return r.arrived; }); };
    while (!allArrived())
    {
        const int processed = sd.process (bus.get(), nullptr);
        if (processed < 0)
            break;
        if (processed > 0)
            continue;
        pollfd fds[2] = {{sd.getFd (bus.get()), (short) sd.getEvents (bus.get()), 0}, {wakeFd, POLLIN, 0}};
        if (poll (fds, 2, pollTimeout (sd, bus.get())) < 0 && errno != EINTR)
            break;
        if (fds[1].revents != 0)
            break; // the inhibitor is going away
    }
    for (auto* slot : slots)
        sd.slotUnref (slot); // drops the call if it is still pending
    return {replies[0].fd, replies[1].fd};
}

std::unique_ptr<SleepInhibitor> createSleepInhibitor()
{
    return std::make_unique<LogindInhibitor>();
}

} // namespace qtx
