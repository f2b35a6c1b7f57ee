#include "DriverVersion.h"

#include "WideText.h"
#include "WinHandle.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace qtx::devlink::winos
{
namespace
{
    constexpr std::size_t textSize = 256;

    int answer (char* text, const std::string& version, int result)
    {
        // The client's buffer holds 256 bytes: a longer version is cut, never overrun.
        const std::size_t length = version.size() < textSize - 1 ? version.size() : textSize - 1;
        std::memcpy (text, version.data(), length);
        text[length] = 0;
        return result;
    }
} // namespace

int driverVersion (int driverSet, char* text, const VersionOf& versionOf, bool nt50)
{
    if (text == nullptr)
        return 0;
    if (driverSet == 1 || driverSet == 2)
    {
        const std::string cdc = versionOf ("System32\\Drivers\\LYRACdc.sys");
        const std::string audio = versionOf ("System32\\Drivers\\LYRAAudio.sys");
        const std::string midi = versionOf ("System32\\Drivers\\SYNXMidi.sys");
        const std::string asio = versionOf ("System32\\LYRA-55_Asio.dll");
        const bool midiOk = !midi.empty() || !nt50;
        if (cdc == audio && midiOk && cdc == asio)
            return answer (text, cdc, cdc.empty() ? 0 : 1);
        // All installed, but their versions differ.
        if (!cdc.empty() && !audio.empty() && !asio.empty() && midiOk)
            return answer (text, {}, 1);
        return answer (text, {}, 0);
    }
    if (driverSet == 3)
    {
        const std::string asio = versionOf ("System32\\VEGA-12_Asio.dll");
        const std::string midi = versionOf ("System32\\Drivers\\SYNXMidi.sys");
        if (!asio.empty() && (!midi.empty() || !nt50))
            return answer (text, asio, 1);
        return answer (text, {}, 0);
    }
    return answer (text, {}, 0);
}

std::string productVersionOf (const std::string& relativePath)
{
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetWindowsDirectoryW (folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    const std::wstring path = std::wstring (folder) + L"\\" + widen (relativePath);

    // A file that can't be opened for reading counts as missing.
    Handle file (
        CreateFileW (path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.valid())
        return {};
    file.reset();

    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW (path.c_str(), &ignored);
    if (size == 0)
        return {};
    std::vector<char> info (size);
    if (!GetFileVersionInfoW (path.c_str(), 0, size, info.data()))
        return {};
    for (const wchar_t* block :
         {L"\\StringFileInfo\\040904B0\\ProductVersion", L"\\StringFileInfo\\04090000\\ProductVersion"})
    {
        void* value = nullptr;
        UINT chars = 0;
        // The count includes the ending zero when there is one.
        if (VerQueryValueW (info.data(), block, &value, &chars) && value != nullptr && chars > 0)
            return narrow (static_cast<const wchar_t*> (value), chars);
    }
    return {};
}

bool isWindows2000()
{
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExW (&version))
        return false;
#pragma GCC diagnostic pop
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion == 5 &&
           version.dwMinorVersion == 0;
}
} // namespace qtx::devlink::winos
