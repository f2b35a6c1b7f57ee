#include "AudioAssociation.h"

#include <algorithm>
#include <cstring>

namespace qtx::devlink
{
namespace
{
    constexpr std::string_view enumRoot = "SYSTEM\\CurrentControlSet\\Enum";
    constexpr std::string_view parentIdPrefix = "ParentIdPrefix";
    // "\\?\": the device namespace before the instance path.
    constexpr std::size_t namespaceLength = 3;

    // From the product text at `at`: the character before each of the next two "#" becomes
    // "8" (the composite device's HID interface instead of its audio interface), the text ends
    // at the second, and every "#" becomes "\". False when a "#" is missing.
    template <typename Text>
    bool rewriteFrom (Text& text, std::size_t at)
    {
        const auto first = text.find ('#', at);
        if (first == Text::npos || first == 0)
            return false;
        const auto second = text.find ('#', first + 1);
        if (second == Text::npos)
            return false;
        text[first - 1] = '8';
        text[second - 1] = '8';
        text.resize (second);
        std::replace (text.begin(), text.end(), typename Text::value_type ('#'),
                      typename Text::value_type ('\\'));
        return true;
    }

    std::string enumKey (std::string_view instancePath)
    {
        return std::string (enumRoot) +
               std::string (instancePath.substr (std::min (namespaceLength, instancePath.size())));
    }

    void store (AudioEndpoints& e, const PlaybackDevice& device, const std::u16string& name)
    {
        auto none = [] (const DevlinkGuid& g) {
            return std::all_of (std::begin (g.bytes), std::end (g.bytes),
                                [] (unsigned char b) { return b == 0; });
        };
        auto take = [&] (DevlinkGuid& id, std::u16string& slotName)
        {
            std::memcpy (id.bytes, device.id.data(), sizeof id.bytes);
            slotName = name;
        };
        if (none (e.first))
            take (e.first, e.firstName);
        else if (e.firstName == name)
            e.repeat = true;
        else if (none (e.second))
            take (e.second, e.secondName);
        else if (e.secondName == name)
            e.repeat = true;
    }
} // namespace

std::optional<std::string> audioInterfaceKey (std::u16string path)
{
    for (auto& c : path)
        if (c >= 0x60)
            c = char16_t (c - 32);
    auto at = path.find (u"PID_0140");
    if (at == std::u16string::npos)
        at = path.find (u"PID_0143");
    if (at == std::u16string::npos || !rewriteFrom (path, at))
        return std::nullopt;
    // Device instance paths are plain ASCII; any other text names no registry key.
    if (std::any_of (path.begin(), path.end(), [] (char16_t c) { return c >= 0x80; }))
        return std::nullopt;
    return enumKey (std::string (path.begin(), path.end()));
}

std::optional<std::string> asioInterfaceKey (std::string path, std::string_view product)
{
    for (auto& c : path)
    {
        const auto code = static_cast<unsigned char> (c);
        if (code >= 0x60 && code <= 0x7F)
            c = char (code - 32);
    }
    const auto at = path.find (product);
    if (product.empty() || at == std::string::npos || !rewriteFrom (path, at))
        return std::nullopt;
    return enumKey (path);
}

std::vector<AudioEndpoints> associateAudio (AudioSystem& audio, const std::vector<AudioTableEntry>& table)
{
    std::vector<AudioEndpoints> found (table.size());
    const std::vector<PlaybackDevice> playback = audio.playbackDevices();
    if (playback.empty())
        return found;
    const std::vector<std::u16string> waveOut = audio.waveOutNames();
    for (const PlaybackDevice& device : playback)
    {
        if (!device.hasId)
            continue;
        // Only the first wave-out device of that name counts.
        const auto match = std::find (waveOut.begin(), waveOut.end(), device.description);
        if (match == waveOut.end())
            continue;
        const auto key = audioInterfaceKey (audio.waveOutInterface (int (match - waveOut.begin())));
        if (!key)
            continue;
        const std::string prefix = audio.machineString (*key, std::string (parentIdPrefix));
        if (prefix.empty())
            continue;
        const std::u16string name = device.description.substr (0, maxAudioName);
        for (std::size_t n = 0; n < table.size(); ++n)
            if (table[n].type >= 1 && table[n].path.find (prefix) != std::string_view::npos)
                store (found[n], device, name);
    }
    return found;
}

std::string asioParentIdPrefix (AudioSystem& audio, int driverSet, unsigned int index)
{
    std::string key;
    std::string_view product;
    if (driverSet == 1)
    {
        key = "SOFTWARE\\LYRA-55 ASIO";
        product = "PID_0140";
    }
    else if (driverSet == 3)
    {
        key = "SOFTWARE\\VEGA-12 ASIO";
        product = "PID_0143";
    }
    else
        return {};
    // Two channels per stored interface path, named "0", "1", ...
    const auto instanceKey = asioInterfaceKey (audio.userString (key, std::to_string (index / 2)), product);
    if (!instanceKey)
        return {};
    return audio.machineString (*instanceKey, std::string (parentIdPrefix));
}
} // namespace qtx::devlink
