// Watches hidraw nodes come and go through a udev monitor, on a thread of its own.
#pragma once

#include "Platform.h"

#include <thread>

struct udev;
struct udev_monitor;

namespace qtx::devlink::linuxos
{
class UdevWatch : public DeviceWatch
{
public:
    ~UdevWatch() override { stop(); }
    bool start (std::function<void()> changed) override;
    void stop() override;

private:
    void run (udev* u, udev_monitor* monitor);

    std::function<void()> changed;
    std::thread thread;
    int wakeFd = -1;
};
} // namespace qtx::devlink::linuxos
