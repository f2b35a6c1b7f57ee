// qtx-update: installs a QTX-ORB9 update package without a window, for
// administrators working over ssh or from scripts.

#include "CommandLine.h"
#include "Console.h"
#include "Signals.h"
#include "Terminal.h"
#include "Updater.h"

#include <cstdio>
#include <vector>

int main (int argc, char** argv)
{
    using namespace qtx::cli;
    SignalWatch signals; // first: every thread started later inherits its mask

    terminal::OutputMode outputMode;

    const std::vector<std::string> arguments = terminal::arguments (argc, argv);
    std::vector<const char*> argumentTexts;
    for (const auto& argument : arguments)
        argumentTexts.push_back (argument.c_str());
    Options options;
    std::string error;
    if (!parseCommandLine ((int) argumentTexts.size(), argumentTexts.data(), options, error))
    {
        std::fprintf (stderr, "qtx-update: %s\nTry 'qtx-update --help'.\n", error.c_str());
        return exitUsage;
    }
    if (options.action == Options::Action::help)
    {
        std::fputs (usageText, stdout);
        return exitComplete;
    }

    Console console;
    if (options.action == Options::Action::list)
        return listDevices (console);
    return runUpdate (options, console, signals);
}
