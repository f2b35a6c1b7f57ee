// The update: read the package, take the library, find the controller, show
// both versions, ask, then run the transfer worker and follow its progress.

#include "Updater.h"

#include "CommandLine.h"
#include "Console.h"
#include "HeadlessHost.h"
#include "MessageThread.h"
#include "Signals.h"

#include "devlink/include/devlink.h"

#include <juce_core/juce_core.h>

#include <cstdio>
#include <memory>

namespace qtx::cli
{

namespace
{
    // Text entry 2 of the language tables: the model name in the trace.
    constexpr const char* modelName = "QTX-ORB9";
    constexpr int pollMs = 100;

    std::string packagePath (const Options& options)
    {
        if (!options.package.empty())
            return options.package;
        // Where the window looks: beside the running image (not argv[0]).
        return juce::File::getSpecialLocation (juce::File::hostApplicationPath)
            .getSiblingFile (juce::String (updateFileName))
            .getFullPathName()
            .toStdString();
    }

    struct Package
    {
        UpdateFileInfo info;
        UpdateBlocks blocks;
    };

    // Follows a running transfer to its end. A first SIGINT or SIGTERM takes
    // the stop path of a quit: no command is written after it, and the worker
    // ends within moments. A hang-up is ignored, so a dropped ssh session does
    // not cut the transfer.
    bool followTransfer (HeadlessHost& host, Console& console, SignalWatch& signals)
    {
        bool stopped = false;
        console.progress (0.0);
        while (host.workerRunning())
        {
            const int signal = signals.wait (pollMs);
            if (signal != 0 && !SignalWatch::isHangUp (signal) && !stopped)
            {
                stopped = true;
                console.fail ("stopping the transfer");
                host.interrupt();
            }
            console.progress (host.progressValue());
        }
        console.progress (host.progressValue());
        console.endProgress();
        return stopped;
    }

    int updateThrough (HeadlessHost& host, MessageThread& loop, const Package& package,
                       const std::string& path, const Options& options, Console& console,
                       SignalWatch& signals)
    {
        loop.call ([&] { host.leaveLanguageScreen(); });
        if (host.getScreenState() != Ready)
        {
            console.fail (std::string ("no ") + modelName + " controller is connected");
            return exitNoController;
        }
        console.say ("Current Version: " + versionText (host.deviceVersion));
        console.say ("Update Version: " + versionText (package.info.version) + " (" + path + ")");

        if (!options.assumeYes)
        {
            switch (console.confirm (std::string ("Update the ") + modelName + " firmware?", signals))
            {
                case Console::Answer::yes:
                    break;
                case Console::Answer::no:
                    console.fail ("not confirmed; nothing was sent");
                    return exitNotConfirmed;
                case Console::Answer::noTerminal:
                    console.fail ("not confirmed: no terminal to ask on (use --yes); nothing was sent");
                    return exitNotConfirmed;
                case Console::Answer::interrupted:
                    console.fail ("interrupted; nothing was sent");
                    return exitInterrupted;
            }
        }
        if (signals.wait (0) != 0)
        {
            console.fail ("interrupted; nothing was sent");
            return exitInterrupted;
        }

        if (!loop.call ([&] { return host.start (modelName); }))
        {
            console.fail (std::string ("the ") + modelName + " controller went away; nothing was sent");
            return exitNoController;
        }
        const bool stopped = followTransfer (host, console, signals);
        loop.flush(); // the worker's last state request is applied there
        // Complete only when the controller confirmed it, also if a signal came after that.
        if (host.getScreenState() == Complete)
        {
            console.say ("Update complete.");
            return exitComplete;
        }
        if (!stopped)
        {
            console.fail ("transfer failed");
            return exitTransferFailed;
        }
        console.fail (host.firmwareWritten()
                          ? "stopped by a signal after part of the firmware was written: the firmware is "
                            "incomplete, run the update again"
                          : "stopped by a signal before any firmware was written; the controller may be "
                            "left in its update mode");
        return exitInterrupted;
    }
} // namespace

std::string versionText (int version)
{
    char text[32];
    std::snprintf (text, sizeof (text), "Ver. %d.%02d", version / 100, version % 100);
    return text;
}

int runUpdate (const Options& options, Console& console, SignalWatch& signals)
{
    const std::string path = packagePath (options);
    auto package = std::make_unique<Package>();
    Crc32Table table;
    buildCrc32Table (table);
    PackageVerdict verdict;
    const uint32_t read = readUpdateFile (path, table, package->info, package->blocks, verdict);
    if (read == 0)
    {
        console.fail ("bad package " + path + ": " + describePackageError (verdict.error));
        return exitBadPackage;
    }
    if (packageUsableFrom (read, package->info) != 1)
    {
        console.fail ("bad package " + path + ": its version " + versionText (package->info.version) +
                      " is below 0.01");
        return exitBadPackage;
    }

    MessageThread loop;
    // One client per machine. The window would run on without device notices;
    // a tool for scripts says so instead.
    if (!loop.call ([] { return HID_Initialize (nullptr) == 1; }))
    {
        console.fail ("the HID library is in use by another program (QtxUpdate or qtx-update)");
        return exitLibraryInUse;
    }

    HeadlessHost::Options hostOptions;
    hostOptions.traceSink = [&console] (const char* line) { console.trace (line); };
    // The host's own initialisation then finds the lock held (by us) and goes on.
    auto host = loop.call (
        [&] { return std::make_unique<HeadlessHost> (package->info, package->blocks, 1, hostOptions); });
    const int status = updateThrough (*host, loop, *package, path, options, console, signals);
    loop.call ([&] { host.reset(); }); // closing the link releases the library
    return status;
}

} // namespace qtx::cli
