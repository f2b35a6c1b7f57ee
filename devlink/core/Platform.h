// What the core needs from the operating system, one narrow interface per concern.
// The Linux layer lives in platform/linux; another system adds its own folder.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qtx::devlink
{
// One HID interface of a USB device, as the system lists it.
struct HidInterface
{
    std::string path;     // stable for one USB port and interface; holds "vid_xxxx&pid_xxxx"
    std::string instance; // changes whenever the device is plugged in again ("" if unknown)
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    std::uint16_t release = 0; // bcdDevice
    int inputReportLength = 0; // bytes, report ID byte included; 0 = no input report
    int outputReportLength = 0;
    int inputValueBytes = 0; // first input value: bit size x count, in whole bytes; 0 = none
};

// A present USB device: what the firmware version query reads.
struct UsbDevice
{
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    std::uint16_t release = 0;
};

class DeviceEnumerator
{
public:
    using PathFilter = std::function<bool (const std::string& path)>;
    virtual ~DeviceEnumerator() = default;
    // Present HID interfaces whose path `wanted` accepts, in the system's order. False when
    // the system's device list can't be had (then `out` is left empty).
    virtual bool enumerate (const PathFilter& wanted, std::vector<HidInterface>& out) = 0;
    // Present USB devices in the system's order.
    virtual std::vector<UsbDevice> usbDevices() = 0;
};

enum class ReadResult
{
    report,  // one input report, report ID in byte 0
    timeout, // the slice passed without a report
    stopped, // wake() was called
    ended    // the device is gone or failed: read no more
};

// A device opened for reading input reports (one per reader).
class InputStream
{
public:
    virtual ~InputStream() = default;
    // Waits at most sliceMs for one report; on `report`, `got` is its length in bytes.
    virtual ReadResult read (std::uint8_t* buffer, int capacity, int& got, int sliceMs) = 0;
    // Thread-safe: makes a waiting or the next read return `stopped`.
    virtual void wake() = 0;
};

class DeviceIo
{
public:
    virtual ~DeviceIo() = default;
    // Null when the device can't be opened for reading.
    virtual std::unique_ptr<InputStream> openInput (const HidInterface& device) = 0;
    // Opens the device at `path`, writes one report (report ID first), closes it. Returns the
    // byte count the system reports written, -1 on failure.
    virtual int writeReport (const std::string& path, const std::uint8_t* report, int length) = 0;
};

// Tells the core that devices came or went; calls `changed` from a thread of its own.
class DeviceWatch
{
public:
    virtual ~DeviceWatch() = default;
    virtual bool start (std::function<void()> changed) = 0;
    // Returns when no call of `changed` runs any more.
    virtual void stop() = 0;
};

// A machine-wide lock that the system frees when its holder dies.
class SystemLock
{
public:
    virtual ~SystemLock() = default;
    // True when this call took the lock; false when anyone (this process too) holds it.
    virtual bool acquire (const std::string& name) = 0;
    virtual void release() = 0;
};

// One DirectSound playback device.
struct PlaybackDevice
{
    bool hasId = false; // the default device comes without an identifier
    std::array<std::uint8_t, 16> id{};
    std::u16string description;
};

// The system's audio device lists and the registry values that tie an audio device to the
// HID device beside it.
class AudioSystem
{
public:
    virtual ~AudioSystem() = default;
    // DirectSound playback devices, in the system's order.
    virtual std::vector<PlaybackDevice> playbackDevices() = 0;
    // Wave-out device names (at most 31 characters each), in device order.
    virtual std::vector<std::u16string> waveOutNames() = 0;
    // Device-interface path of wave-out device `index`; empty when the system has none.
    virtual std::u16string waveOutInterface (int index) = 0;
    // A string value under the local machine's or the current user's root, read from a key
    // opened for reading only; "" when the key or the value is missing, is not a string or
    // is longer than 259 characters. Texts are UTF-8.
    virtual std::string machineString (const std::string& key, const std::string& value) = 0;
    virtual std::string userString (const std::string& key, const std::string& value) = 0;
};

struct Platform
{
    DeviceEnumerator* enumerator = nullptr;
    DeviceIo* io = nullptr;
    DeviceWatch* watch = nullptr;
    SystemLock* lock = nullptr;
    AudioSystem* audio = nullptr; // none: no audio device is ever tied to a HID device
};
} // namespace qtx::devlink

namespace qtx::devlink
{
// The running system's platform; each platform folder defines it. The objects live as
// long as the process.
Platform systemPlatform();
} // namespace qtx::devlink
