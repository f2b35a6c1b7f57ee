#include "update/DebugOutput.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace qtx
{

void debugOutput (const char* line)
{
    // The debugger's output window (or DebugView) shows each call as one line. The line is
    // UTF-8 (a device name in the user's language); the wide call keeps every character,
    // where the narrow one would read it in the ANSI code page.
    if (line == nullptr)
        return;
    const int bytes = int (std::strlen (line));
    std::vector<wchar_t> wide (std::size_t (bytes) + 1, L'\0');
    MultiByteToWideChar (CP_UTF8, 0, line, bytes, wide.data(), bytes);
    OutputDebugStringW (wide.data());
}

} // namespace qtx
