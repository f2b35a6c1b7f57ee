#pragma once

// The two jobs of qtx-update: install a package into the controller through
// the same reader, device link, library and transfer worker as the window, and
// list the connected supported devices. Both return an ExitStatus.

#include <string>

namespace qtx::cli
{

class Console;
class SignalWatch;
struct Options;

int runUpdate (const Options& options, Console& console, SignalWatch& signals);
int listDevices (Console& console);

// "Ver. 1.23" for 123, as the window shows versions.
std::string versionText (int version);

} // namespace qtx::cli
