#pragma once

// A virtual QTX-ORB9 on a umockdev testbed: the controller model answers the
// output reports written to the device's hidraw node, from a thread of its own
// (the testbed's handlers must never block), with the configured delays.

#include "ControllerModel.h"
#include "VirtualHid.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qtx::sim
{

// The controller as the library sees it: type-9 vendor/product, bcdDevice.
vhid::DeviceConfig controllerConfig (uint16_t release = 0x0102, const std::string& port = "1-2");

class SimController
{
public:
    // Plugs a controller into the testbed and answers its writes. The testbed's
    // write handler is taken over; one SimController per testbed.
    SimController (vhid::Testbed& bed, ControllerOptions options,
                   vhid::DeviceConfig config = controllerConfig());
    ~SimController();

    int device() const { return deviceHandle; }

    // Any thread: the controller leaves, or comes back at the same port.
    void unplug();
    void replug();

    void setAnswerDelayUs (int us);

    // Waits until idle, then forgets everything received (as a controller
    // plugged in afresh), so one simulator can serve many updates in a row.
    void reset();

    // Copies of the model's state, safe while the transfer runs.
    std::vector<Report> commands() const;
    std::vector<uint8_t> receivedImage() const;
    bool allBlocksGood() const;
    bool completed() const;
    size_t blockCount() const;
    // Writes that were not report ID 0 and 64 bytes (left unanswered).
    int refusedWrites() const { return refused; }

    // Waits until every command so far has been answered (or dropped).
    void waitIdle() const;

    // Writes the received blocks' bytes, concatenated in block order.
    bool writeImage (const std::string& path) const;
    // One line of hex per command received.
    bool writeWireLog (const std::string& path) const;

private:
    long onWrite (int device, const vhid::Bytes& bytes);
    void serve();

    vhid::Testbed& bed;
    std::atomic<int> deviceHandle{-1}; // read on the testbed's thread
    std::atomic<int> refused{0};

    mutable std::mutex lock;
    mutable std::condition_variable changed;
    ControllerModel model;
    std::deque<Report> pending;
    bool busy = false;
    bool quit = false;
    std::thread server;
};

} // namespace qtx::sim
