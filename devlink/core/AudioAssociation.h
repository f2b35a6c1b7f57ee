// Which audio endpoints belong to which HID device. An audio device's interface path names the
// USB interface that it sits on; rewritten, it names the registry key of the composite
// device's HID interface, whose "ParentIdPrefix" occurs in the HID device's own path.
#pragma once

#include "devlink.h"
#include "Platform.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qtx::devlink
{
// Longest stored endpoint name, in characters (its text holds 1024 with the ending zero).
constexpr std::size_t maxAudioName = 1023;

// The audio endpoints found for one device number.
struct AudioEndpoints
{
    DevlinkGuid first{};
    DevlinkGuid second{};
    std::u16string firstName;
    std::u16string secondName;
    bool repeat = false; // the same endpoint name came again
};

// One device number as the refresh left it.
struct AudioTableEntry
{
    std::string_view path;
    int type = -1; // -1: no device
};

// "SYSTEM\CurrentControlSet\Enum\USB\VID_..." for an interface path, as the association reads
// it: upper-cased (32 off every code from 0x60 on), then rewritten from "PID_0140" or, failing
// that, "PID_0143". Nothing when neither occurs or a "#" is missing.
std::optional<std::string> audioInterfaceKey (std::u16string interfacePath);

// The same for an ASIO driver's stored interface path (upper-cased from 0x60 to 0x7F only),
// rewritten from `product`.
std::optional<std::string> asioInterfaceKey (std::string interfacePath, std::string_view product);

// Runs the association over the device table: one result per entry, in table order.
std::vector<AudioEndpoints> associateAudio (AudioSystem& audio, const std::vector<AudioTableEntry>& table);

// The "ParentIdPrefix" that ASIO set 1 or 3 stores for the audio channel `index`; "" for
// another set or when any step finds nothing. The device type to look for equals the set.
std::string asioParentIdPrefix (AudioSystem& audio, int driverSet, unsigned int index);
} // namespace qtx::devlink
