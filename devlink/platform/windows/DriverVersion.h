// The product versions of the maker's installed driver sets, from the files' version resources.
#pragma once

#include <functional>
#include <string>

namespace qtx::devlink::winos
{
// Product version text of a file under the Windows folder ("System32\\Drivers\\x.sys"),
// "" when the file can't be opened or has none.
using VersionOf = std::function<std::string (const std::string& relativePath)>;

// Set 1 (argument 1 or 2) or 2 (argument 3): fills text (256 bytes, always ended) and
// returns 1 or 0 as HID_GetDriverVersion does. nt50: the system is Windows 2000, where
// the MIDI driver must be there too.
int driverVersion (int driverSet, char* text, const VersionOf& versionOf, bool nt50);

// Reads the real files' version resources.
std::string productVersionOf (const std::string& relativePath);
bool isWindows2000();
} // namespace qtx::devlink::winos
