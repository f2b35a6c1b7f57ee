// The supported devices: which vendor/product pair is which device type (1..9).
#pragma once

#include <cstdint>
#include <string>

namespace qtx::devlink
{
constexpr int firstDeviceType = 1;
constexpr int lastDeviceType = 9;

struct SupportedDevice
{
    std::uint16_t vendor;
    std::uint16_t product;
};

// Row of a device type; the type must be 1..9.
SupportedDevice supportedDevice (int deviceType);

// "vid_7a51&pid_0046": what a device path holds for that type (lower case).
std::string pathPattern (int deviceType);

// The last type whose pattern occurs in the path (case-sensitive), -1 for none.
int classifyPath (const std::string& path);

// The device's release number as four upper-case hex digits, read as a decimal number as
// far as they are digits: 0x0102 gives 102, 0x1A00 gives 1, 0xA100 gives 0.
int releaseToVersion (std::uint16_t release);
} // namespace qtx::devlink
