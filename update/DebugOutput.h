#pragma once

// Where the transfer's developer trace goes: standard error on Linux, the
// debugger output on Windows. One call, one line, written whole.

namespace qtx
{

void debugOutput (const char* line);

} // namespace qtx
