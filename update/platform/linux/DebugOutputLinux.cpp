#include "update/DebugOutput.h"

#include <cstdio>

namespace qtx
{

void debugOutput (const char* line)
{
    if (line == nullptr)
        return;
    // One write per line, so lines of several threads never interleave.
    std::fputs (line, stderr);
    std::fflush (stderr);
}

} // namespace qtx
