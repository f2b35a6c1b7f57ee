// The update and the check: read the package, take the library, find (or wait
// for) the controller, show both versions, decide by the version policy, ask,
// then run the transfer worker and follow its progress.

#include "Updater.h"

#include "CommandLine.h"
#include "Console.h"
#include "HeadlessHost.h"
#include "MessageThread.h"
#include "Report.h"
#include "Signals.h"
#include "VersionPolicy.h"

#include "devlink/include/devlink.h"

#include <juce_core/juce_core.h>

#include <algorithm>
#include <chrono>
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

    // One run's surroundings, and its two ways to end: a failure's reason on
    // standard error, any other end's message on standard output; both kept in
    // the report.
    struct Run
    {
        const Options& options;
        Console& console;
        SignalWatch& signals;
        Report& report;

        int fail (int status, const std::string& reason)
        {
            console.fail (reason);
            return report.finish (status, reason);
        }

        int end (int status, const std::string& message)
        {
            console.say (message);
            return report.finish (status, message);
        }
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

    // Until a controller is plugged in or `seconds` have passed; false when a stop
    // signal came first. The device link's arrival notice makes the host Ready,
    // which wakes this wait at once; signals are looked at between slices.
    bool waitForController (HeadlessHost& host, int seconds, SignalWatch& signals)
    {
        using Clock = std::chrono::steady_clock;
        const auto end = Clock::now() + std::chrono::seconds (seconds);
        while (host.getScreenState() != Ready)
        {
            const int signal = signals.wait (0);
            if (signal != 0 && !SignalWatch::isHangUp (signal))
                return false;
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds> (end - Clock::now()).count();
            if (left <= 0)
                break;
            host.waitForState (Ready, (int) std::min<long long> (left, pollMs));
        }
        return true;
    }

    std::string skipReason (int packageVersion, int controllerVersion)
    {
        if (packageVersion == controllerVersion)
            return "Nothing to do: the controller already has " + versionText (controllerVersion) +
                   ", the package's version (--allow-reinstall installs it again); nothing was sent.";
        return "Nothing to do: the controller has " + versionText (controllerVersion) +
               ", newer than the package's " + versionText (packageVersion) +
               " (--allow-older installs it); nothing was sent.";
    }

    // Asks on the terminal unless --yes; exitComplete when the update may go on.
    int confirmation (Run& run)
    {
        if (run.options.assumeYes)
            return exitComplete;
        if (run.options.json)
            return run.fail (exitNotConfirmed,
                             "not confirmed: --json asks nothing (use --yes); nothing was sent");
        switch (run.console.confirm (std::string ("Update the ") + modelName + " firmware?", run.signals))
        {
            case Console::Answer::yes:
                return exitComplete;
            case Console::Answer::no:
                return run.fail (exitNotConfirmed, "not confirmed; nothing was sent");
            case Console::Answer::noTerminal:
                return run.fail (exitNotConfirmed,
                                 "not confirmed: no terminal to ask on (use --yes); nothing was sent");
            case Console::Answer::interrupted:
                break;
        }
        return run.fail (exitInterrupted, "interrupted; nothing was sent");
    }

    int transfer (HeadlessHost& host, MessageThread& loop, const Package& package, Run& run)
    {
        if (run.signals.wait (0) != 0)
            return run.fail (exitInterrupted, "interrupted; nothing was sent");
        if (!loop.call ([&] { return host.start (modelName); }))
            return run.fail (exitNoController,
                             std::string ("the ") + modelName + " controller went away; nothing was sent");

        for (int k = 0; k < package.info.blockCount && k < maxUpdateBlocks; ++k)
            if (const auto& block = package.blocks[(size_t) k]; block.update)
                run.report.blocks.push_back ({k + 1, block.tag, block.length, block.crc});
        const bool stopped = followTransfer (host, run.console, run.signals);
        loop.flush(); // the worker's last state request is applied there
        // Complete only when the controller confirmed it, also if a signal came after that.
        if (host.getScreenState() == Complete)
            return run.end (exitComplete, "Update complete.");
        if (!stopped)
            return run.fail (exitTransferFailed, "transfer failed");
        return run.fail (exitInterrupted,
                         host.firmwareWritten()
                             ? "stopped by a signal after part of the firmware was written: the firmware "
                               "is incomplete, run the update again"
                             : "stopped by a signal before any firmware was written; the controller may "
                               "be left in its update mode");
    }

    int updateThrough (HeadlessHost& host, MessageThread& loop, const Package& package,
                       const std::string& path, Run& run)
    {
        loop.call ([&] { host.leaveLanguageScreen(); });
        if (host.getScreenState() != Ready && run.options.waitSeconds > 0)
        {
            run.console.note ("waiting up to " + std::to_string (run.options.waitSeconds) + " s for a " +
                              modelName + " controller to be plugged in");
            if (!waitForController (host, run.options.waitSeconds, run.signals))
                return run.fail (exitInterrupted, "interrupted; nothing was sent");
        }
        if (host.getScreenState() != Ready)
            return run.fail (exitNoController, std::string ("no ") + modelName + " controller is connected");

        const int current = host.deviceVersion;
        run.report.controllerFound = true;
        run.report.controllerVersion = current;
        run.console.say ("Current Version: " + versionText (current));
        run.console.say ("Update Version: " + versionText (package.info.version) + " (" + path + ")");

        const Decision decision =
            decide (package.info.version, current, run.options.allowReinstall, run.options.allowOlder);
        run.report.decision = decisionName (decision);
        if (decision == Decision::skip)
            return run.end (exitUpToDate, skipReason (package.info.version, current));
        if (run.options.action == Options::Action::check)
            return run.end (exitComplete, "An update would be made: " + versionText (current) + " to " +
                                              versionText (package.info.version) + ".");
        if (const int refused = confirmation (run); refused != exitComplete)
            return refused;
        return transfer (host, loop, package, run);
    }
} // namespace

std::string versionText (int version)
{
    return "Ver. " + versionNumberText (version);
}

int runUpdate (const Options& options, Console& console, SignalWatch& signals, Report& report)
{
    Run run{options, console, signals, report};
    const std::string path = packagePath (options);
    report.packagePath = path;
    auto package = std::make_unique<Package>();
    Crc32Table table;
    buildCrc32Table (table);
    PackageVerdict verdict;
    const uint32_t read = readUpdateFile (path, table, package->info, package->blocks, verdict);
    if (read == 0)
        return run.fail (exitBadPackage, "bad package " + path + ": " + describePackageError (verdict.error));
    report.packageVersion = package->info.version;
    if (packageUsableFrom (read, package->info) != 1)
        return run.fail (exitBadPackage, "bad package " + path + ": its version " +
                                             versionText (package->info.version) + " is below 0.01");

    MessageThread loop;
    // One client per machine. The window would run on without device notices;
    // a tool for scripts says so instead.
    if (!loop.call ([] { return HID_Initialize (nullptr) == 1; }))
        return run.fail (exitLibraryInUse,
                         "the HID library is in use by another program (QtxUpdate or qtx-update)");

    HeadlessHost::Options hostOptions;
    hostOptions.traceSink = [&console] (const char* line) { console.trace (line); };
    // The host's own initialisation then finds the lock held (by us) and goes on.
    auto host = loop.call (
        [&] { return std::make_unique<HeadlessHost> (package->info, package->blocks, 1, hostOptions); });
    const int status = updateThrough (*host, loop, *package, path, run);
    loop.call ([&] { host.reset(); }); // closing the link releases the library
    return status;
}

} // namespace qtx::cli
