#include "update/DebugOutput.h"

#include <windows.h>

namespace qtx
{

void debugOutput (const char* line)
{
    // The debugger's output window (or DebugView) shows each call as one line.
    if (line != nullptr)
        OutputDebugStringA (line);
}

} // namespace qtx
