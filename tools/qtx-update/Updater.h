#pragma once

// The jobs of qtx-update: install a package into the controller through the
// same reader, device link, library and transfer worker as the window (or only
// check whether it would), and list the connected supported devices. Each
// returns an ExitStatus and leaves what it found in the report.

#include <string>

namespace qtx::cli
{

class Console;
class SignalWatch;
struct Options;
struct Report;

// The update, or with --check only the decision.
int runUpdate (const Options& options, Console& console, SignalWatch& signals, Report& report);
int listDevices (Console& console, Report& report);

// "Ver. 1.23" for 123, as the window shows versions.
std::string versionText (int version);

} // namespace qtx::cli
