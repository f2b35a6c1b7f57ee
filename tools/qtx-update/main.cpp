// qtx-update: installs a QTX-ORB9 update package without a window, for
// administrators working over ssh or from scripts.

#include "CommandLine.h"
#include "Console.h"
#include "Report.h"
#include "Signals.h"
#include "Terminal.h"
#include "Updater.h"

#include <cstdio>
#include <vector>

namespace
{
const char* actionName (qtx::cli::Options::Action action)
{
    using Action = qtx::cli::Options::Action;
    return action == Action::list ? "list" : action == Action::check ? "check" : "update";
}
} // namespace

int main (int argc, char** argv)
{
    using namespace qtx::cli;
    SignalWatch signals; // first: every thread started later inherits its mask

    terminal::OutputMode outputMode;

    const std::vector<std::string> arguments = terminal::arguments (argc, argv);
    std::vector<const char*> argumentTexts;
    for (const auto& argument : arguments)
        argumentTexts.push_back (argument.c_str());
    const int count = (int) argumentTexts.size();
    Options options;
    Report report;
    std::string error;
    if (!parseCommandLine (count, argumentTexts.data(), options, error))
    {
        std::fprintf (stderr, "qtx-update: %s\nTry 'qtx-update --help'.\n", error.c_str());
        report.finish (exitUsage, error);
        if (asksForJson (count, argumentTexts.data()))
            std::fputs (report.toJson().c_str(), stdout);
        return exitUsage;
    }
    if (options.action == Options::Action::help)
    {
        std::fputs (usageText, stdout);
        return exitComplete;
    }

    Console console (options.json);
    report.action = actionName (options.action);
    if (options.action == Options::Action::list)
        listDevices (console, report);
    else
        runUpdate (options, console, signals, report);
    if (options.json)
        std::fputs (report.toJson().c_str(), stdout);
    return report.exitStatus;
}
