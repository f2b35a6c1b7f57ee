// A 64-bit program runs only on the NT line from version 5.2 on, so the association's
// condition on the system's version always holds here.
#include "SystemAudio.h"

#include "WideText.h"

#include <windows.h>
// windows.h first: these build on its types.
#include <dsound.h>
#include <mmddk.h>
#include <mmsystem.h>

#include <cstring>
#include <cwchar>

namespace qtx::devlink::winos
{
namespace
{
    // Registry values are read as strings of at most 260 bytes with their ending zero.
    constexpr std::size_t maxValueChars = 259;
    // Far above any device-interface path; a larger answer is not one.
    constexpr ULONG maxInterfaceBytes = 32768;

    std::u16string fromWide (const wchar_t* text, std::size_t maxChars)
    {
        const std::size_t length = wcsnlen (text, maxChars);
        return std::u16string (text, text + length);
    }

    BOOL CALLBACK addPlayback (LPGUID id, LPCWSTR description, LPCWSTR, LPVOID context)
    {
        PlaybackDevice device;
        if (id != nullptr)
        {
            device.hasId = true;
            std::memcpy (device.id.data(), id, device.id.size());
        }
        if (description != nullptr)
            device.description = fromWide (description, std::wcslen (description));
        static_cast<std::vector<PlaybackDevice>*> (context)->push_back (std::move (device));
        return TRUE;
    }

    std::string readString (HKEY root, const std::string& key, const std::string& value)
    {
        HKEY opened = nullptr;
        if (RegOpenKeyExW (root, widen (key).c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
            return {};
        // One character more than the longest text, so that a text stored without its ending
        // zero is still seen to be too long.
        wchar_t text[maxValueChars + 2] = {};
        DWORD type = 0;
        DWORD size = DWORD ((maxValueChars + 1) * sizeof (wchar_t));
        const LONG result = RegQueryValueExW (opened, widen (value).c_str(), nullptr, &type,
                                              reinterpret_cast<BYTE*> (text), &size);
        RegCloseKey (opened);
        if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
            return {};
        // The stored text need not end in a zero.
        const std::size_t length = wcsnlen (text, size / sizeof (wchar_t));
        return length > maxValueChars ? std::string() : narrow (text, length);
    }
} // namespace

std::vector<PlaybackDevice> SystemAudio::playbackDevices()
{
    std::vector<PlaybackDevice> devices;
    if (FAILED (DirectSoundEnumerateW (addPlayback, &devices)))
        devices.clear();
    return devices;
}

std::vector<std::u16string> SystemAudio::waveOutNames()
{
    std::vector<std::u16string> names;
    const UINT count = waveOutGetNumDevs();
    for (UINT n = 0; n < count; ++n)
    {
        WAVEOUTCAPSW caps{};
        // A device that can't be asked keeps its place (nameless), so the indexes stay the
        // system's.
        if (waveOutGetDevCapsW (n, &caps, sizeof caps) == MMSYSERR_NOERROR)
            names.push_back (fromWide (caps.szPname, MAXPNAMELEN - 1));
        else
            names.emplace_back();
    }
    return names;
}

std::u16string SystemAudio::waveOutInterface (int index)
{
    if (index < 0)
        return {};
    // Device messages take the device's number in place of an open handle.
    const auto device = reinterpret_cast<HWAVEOUT> (static_cast<UINT_PTR> (index));
    ULONG size = 0;
    if (waveOutMessage (device, DRV_QUERYDEVICEINTERFACESIZE, reinterpret_cast<DWORD_PTR> (&size), 0) !=
            MMSYSERR_NOERROR ||
        size < sizeof (wchar_t) || size > maxInterfaceBytes)
        return {};
    std::vector<wchar_t> path (size / sizeof (wchar_t) + 1, L'\0');
    if (waveOutMessage (device, DRV_QUERYDEVICEINTERFACE, reinterpret_cast<DWORD_PTR> (path.data()), size) !=
        MMSYSERR_NOERROR)
        return {};
    return fromWide (path.data(), path.size() - 1);
}

std::string SystemAudio::machineString (const std::string& key, const std::string& value)
{
    return readString (HKEY_LOCAL_MACHINE, key, value);
}

std::string SystemAudio::userString (const std::string& key, const std::string& value)
{
    return readString (HKEY_CURRENT_USER, key, value);
}
} // namespace qtx::devlink::winos
