#pragma once

// qtx-update's command line and the exit statuses it promises to scripts.

#include <string>

namespace qtx::cli
{

enum ExitStatus : int
{
    exitComplete = 0,       // the controller took the whole package
    exitTransferFailed = 1, // the transfer ended Failed
    exitUsage = 2,          // wrong command line
    exitBadPackage = 3,     // the package is missing, damaged or unusable
    exitNoController = 4,   // no QTX-ORB9 is connected
    exitLibraryInUse = 5,   // another program holds the HID library
    exitNotConfirmed = 6,   // the update was not confirmed (no --yes and no terminal to ask on)
    exitUpToDate = 7,       // nothing to do: the controller has the package's version or a newer one
    exitInterrupted = 130   // stopped by a signal, before or during the transfer
};

struct Options
{
    enum class Action
    {
        update,
        check, // read both versions and decide, write nothing
        list,
        help
    };

    Action action = Action::update;
    std::string package; // empty: QTX-ORB9_UP.upd next to the executable
    bool assumeYes = false;
    bool json = false; // one JSON document on standard output, nothing else there
    bool allowReinstall = false;
    bool allowOlder = false;
    int waitSeconds = 0; // for a controller to be plugged in
};

extern const char* const usageText;

// False, with a one-line reason in error, when the arguments make no sense.
bool parseCommandLine (int argc, const char* const* argv, Options& options, std::string& error);

// Whether --json is among the options, so that even a command line that makes no sense
// answers in JSON.
bool asksForJson (int argc, const char* const* argv);

} // namespace qtx::cli
