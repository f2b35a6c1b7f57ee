// The audio device lists of Windows (DirectSound playback devices, wave-out devices and their
// device-interface paths) and the registry reads that tie them to HID devices.
#pragma once

#include "Platform.h"

namespace qtx::devlink::winos
{
class SystemAudio : public AudioSystem
{
public:
    std::vector<PlaybackDevice> playbackDevices() override;
    std::vector<std::u16string> waveOutNames() override;
    std::u16string waveOutInterface (int index) override;
    std::string machineString (const std::string& key, const std::string& value) override;
    std::string userString (const std::string& key, const std::string& value) override;
};
} // namespace qtx::devlink::winos
