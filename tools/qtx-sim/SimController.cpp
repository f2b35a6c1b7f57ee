#include "SimController.h"

#include "devlink/include/devlink_ids.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace qtx::sim
{

vhid::DeviceConfig controllerConfig (uint16_t release, const std::string& port)
{
    vhid::DeviceConfig config;
    config.vendor = DEVLINK_VENDOR_ID;
    config.product = DEVLINK_CONTROLLER_PRODUCT_ID;
    config.release = release;
    config.reportDescriptor = vhid::vendorDescriptor (64, 64);
    config.port = port;
    config.manufacturer = "QTX";
    config.productName = "QTX-ORB9";
    config.serial = "SIM" + port;
    return config;
}

SimController::SimController (vhid::Testbed& b, ControllerOptions options, vhid::DeviceConfig config)
    : bed (b)
    , model (std::move (options))
{
    bed.setWriteHandler ([this] (int device, const vhid::Bytes& bytes) { return onWrite (device, bytes); });
    server = std::thread ([this] { serve(); });
    deviceHandle = bed.plug (config);
}

SimController::~SimController()
{
    bed.setWriteHandler (nullptr);
    {
        std::lock_guard<std::mutex> g (lock);
        quit = true;
    }
    changed.notify_all();
    server.join();
}

long SimController::onWrite (int device, const vhid::Bytes& bytes)
{
    if (device != deviceHandle)
        return (long) bytes.size();
    // The controller has one output report of 64 bytes and no report IDs: a write is report
    // ID 0 and the 64 bytes. Anything else reaches no command handler of a real controller.
    Report command{};
    if (bytes.size() != command.size() + 1 || bytes[0] != 0)
    {
        ++refused;
        return (long) bytes.size();
    }
    std::memcpy (command.data(), bytes.data() + 1, command.size());
    {
        std::lock_guard<std::mutex> g (lock);
        pending.push_back (command);
    }
    changed.notify_all();
    return (long) bytes.size();
}

void SimController::serve()
{
    std::unique_lock<std::mutex> g (lock);
    for (;;)
    {
        changed.wait (g, [this] { return quit || !pending.empty(); });
        if (quit)
            return;
        const Report command = pending.front();
        pending.pop_front();
        busy = true;
        const auto actions = model.handle (command.data(), command.size());
        g.unlock();
        for (const auto& action : actions)
        {
            if (action.delayUs > 0)
                std::this_thread::sleep_for (std::chrono::microseconds (action.delayUs));
            switch (action.kind)
            {
                case Action::Send:
                    bed.queueInput (deviceHandle, vhid::Bytes (action.report.begin(), action.report.end()));
                    break;
                case Action::Unplug:
                    unplug();
                    break;
                case Action::Replug:
                    replug();
                    break;
            }
        }
        g.lock();
        busy = false;
        changed.notify_all();
    }
}

void SimController::setAnswerDelayUs (int us)
{
    std::lock_guard<std::mutex> g (lock);
    model.setAnswerDelayUs (us);
}

void SimController::reset()
{
    std::unique_lock<std::mutex> g (lock);
    changed.wait (g, [this] { return quit || (pending.empty() && !busy); });
    model.reset();
    bed.clearWrites (deviceHandle);
}

void SimController::unplug()
{
    // The testbed sends "remove" while the device is still in sysfs, as a real
    // system may: the library's second look after a quiet moment finds it gone.
    bed.unplug (deviceHandle);
}

void SimController::replug()
{
    bed.replug (deviceHandle);
}

void SimController::waitIdle() const
{
    std::unique_lock<std::mutex> g (lock);
    changed.wait (g, [this] { return quit || (pending.empty() && !busy); });
}

std::vector<Report> SimController::commands() const
{
    std::lock_guard<std::mutex> g (lock);
    return model.commands();
}

std::vector<uint8_t> SimController::receivedImage() const
{
    std::lock_guard<std::mutex> g (lock);
    return model.receivedImage();
}

bool SimController::allBlocksGood() const
{
    std::lock_guard<std::mutex> g (lock);
    return model.allBlocksGood();
}

bool SimController::completed() const
{
    std::lock_guard<std::mutex> g (lock);
    return model.completed();
}

size_t SimController::blockCount() const
{
    std::lock_guard<std::mutex> g (lock);
    return model.blocks().size();
}

bool SimController::writeImage (const std::string& path) const
{
    const auto image = receivedImage();
    std::ofstream out (path, std::ios::binary | std::ios::trunc);
    out.write (reinterpret_cast<const char*> (image.data()), (std::streamsize) image.size());
    return (bool) out;
}

bool SimController::writeWireLog (const std::string& path) const
{
    std::ofstream out (path, std::ios::trunc);
    for (const auto& command : commands())
    {
        char hex[3];
        for (uint8_t byte : command)
        {
            std::snprintf (hex, sizeof (hex), "%02x", byte);
            out << hex;
        }
        out << '\n';
    }
    return (bool) out;
}

} // namespace qtx::sim
