// Virtual USB HID devices for tests, on a umockdev testbed.
//
// How to use:
//   1. The process must run with the umockdev preload library:
//        umockdev-wrapper ./prog        or   LD_PRELOAD=libumockdev-preload.so.0 ./prog
//      (ASan builds: ASAN_OPTIONS=verify_asan_link_order=0, or libasan first in LD_PRELOAD).
//      A test program can call qtx::vhid::runUnderPreload (argc, argv) first thing in main():
//      it re-executes the program under the preload when it is missing, so the binary works
//      from ctest, from gtest discovery and by hand.
//   2. Create one Testbed per test, before anything calls udev_new () (libudev, hidapi, the
//      code under test). Only one Testbed may exist in a process at a time.
//   3. plug () adds a USB device (usb_device + usb_interface + hid + hidraw) at a port path
//      such as "1-2" and emits "add" uevents. The hidraw node answers the descriptor ioctls,
//      serves queued input reports one per read() with real poll(), and hands every write()
//      to the device's write handler (and records it).
//   4. unplug () sends "remove" and deletes the device; replug () plugs the same device in
//      again at the same port (the hid instance and possibly the hidraw number change, as
//      on a real machine).
//
// Handlers run on umockdev's own thread: they must not block.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qtx::vhid
{
using Bytes = std::vector<std::uint8_t>;

struct DeviceConfig
{
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    std::uint16_t release = 0x0100; // bcdDevice
    Bytes reportDescriptor;
    std::string port = "1-2"; // USB port path: bus 1, port 2 ("1-2.3" = behind a hub)
    int interfaceNumber = 0;
    std::string manufacturer = "Virtual";
    std::string productName = "Virtual HID";
    std::string serial;
};

// Called for each write() on the node, with the bytes as written (report ID first).
// Return the count the write() reports (the size for a full write, -1 to fail it).
using WriteHandler = std::function<long (int device, const Bytes& bytes)>;

// A report descriptor with one vendor-defined input and one output report of `size`
// bytes each, without report IDs (what the maker's devices use).
Bytes vendorDescriptor (int inputBytes = 64, int outputBytes = 64);

class Testbed
{
public:
    Testbed();
    ~Testbed();
    Testbed (const Testbed&) = delete;
    Testbed& operator= (const Testbed&) = delete;

    // Returns a device handle (0, 1, ...), or -1 on failure.
    int plug (const DeviceConfig& config);
    void unplug (int device);
    // Same device, same port; returns the device handle (unchanged).
    int replug (int device);
    bool isPlugged (int device) const;

    // Queues one input report exactly as read() should return it (devices without
    // report IDs: no ID byte in front).
    void queueInput (int device, const Bytes& report);
    // Returns when no call of the handler it replaces is running any more.
    void setWriteHandler (WriteHandler handler);

    // Every write so far (report ID byte first), in order.
    std::vector<Bytes> writes (int device) const;
    // Forgets the writes kept so far (a long run would otherwise keep them all).
    void clearWrites (int device);
    // Waits until `count` writes were seen; false on timeout.
    bool waitForWrites (int device, std::size_t count, std::chrono::milliseconds timeout) const;

    std::string devnode (int device) const; // "/dev/hidraw0"
    std::string syspath (int device) const; // of the hidraw node
    std::string rootDir() const;            // the testbed's directory

    // Number of hidraw open()s that read input (served reads) so far: lets a test wait
    // until a reader runs.
    int readersConnected (int device) const;

    struct Impl;

private:
    bool replugAt (int device);
    std::unique_ptr<Impl> impl;
};

// Re-executes the program under libumockdev-preload when it is not loaded yet (keeps
// argv and the environment; puts libasan first in ASan builds). Returns only when the
// preload is present.
void runUnderPreload (int argc, char** argv);
bool preloadActive();
} // namespace qtx::vhid
