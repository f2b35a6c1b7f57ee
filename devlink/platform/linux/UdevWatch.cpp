#include "UdevWatch.h"

#include <cerrno>
#include <cstdio>
#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace qtx::devlink::linuxos
{
bool UdevWatch::start (std::function<void()> onChange)
{
    if (thread.joinable())
        return true;
    udev* u = udev_new();
    udev_monitor* monitor = u != nullptr ? udev_monitor_new_from_netlink (u, "udev") : nullptr;
    if (monitor == nullptr ||
        udev_monitor_filter_add_match_subsystem_devtype (monitor, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving (monitor) < 0)
    {
        std::fprintf (stderr, "devlink: cannot watch for device changes (udev monitor unavailable)\n");
        if (monitor != nullptr)
            udev_monitor_unref (monitor);
        if (u != nullptr)
            udev_unref (u);
        return false;
    }
    wakeFd = ::eventfd (0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0)
    {
        udev_monitor_unref (monitor);
        udev_unref (u);
        return false;
    }
    changed = std::move (onChange);
    thread = std::thread ([this, u, monitor] { run (u, monitor); });
    return true;
}

void UdevWatch::stop()
{
    if (!thread.joinable())
        return;
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write (wakeFd, &one, sizeof one);
    thread.join();
    ::close (wakeFd);
    wakeFd = -1;
    changed = nullptr;
}

void UdevWatch::run (udev* u, udev_monitor* monitor)
{
    const int monitorFd = udev_monitor_get_fd (monitor);
    // A "remove" can come while the node is still listed in sysfs, and then no later
    // event says it has gone: after a burst of events, look once more when things
    // have been quiet for a moment.
    constexpr int settleMs = 250;
    bool settleLook = false;
    for (;;)
    {
        pollfd fds[2] = {{monitorFd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const int ready = ::poll (fds, 2, settleLook ? settleMs : -1);
        if (ready < 0)
        {
            if (errno == EINTR)
                continue;
            break;
        }
        if (ready == 0)
        {
            settleLook = false;
            changed();
            continue;
        }
        if (fds[1].revents != 0)
            break;
        // Take every event that is queued, then look at the devices once.
        bool any = false;
        while (udev_device* d = udev_monitor_receive_device (monitor))
        {
            udev_device_unref (d);
            any = true;
        }
        if (any)
        {
            changed();
            settleLook = true;
        }
    }
    udev_monitor_unref (monitor);
    udev_unref (u);
}
} // namespace qtx::devlink::linuxos
