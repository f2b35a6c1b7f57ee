#include "CommandLine.h"

#include <cstdlib>

namespace qtx::cli
{

const char* const usageText =
    "Usage: qtx-update [OPTIONS] [PACKAGE]\n"
    "       qtx-update --check [OPTIONS] [PACKAGE]\n"
    "       qtx-update --list [--json]\n"
    "Installs the firmware of an update package into the connected QTX-ORB9\n"
    "controller, without a window. PACKAGE defaults to QTX-ORB9_UP.upd in the\n"
    "folder of this program, as for QtxUpdate. Only a package newer than the\n"
    "controller's firmware is installed unless allowed below.\n"
    "\n"
    "  -y, --yes          update without asking (otherwise the question is asked on\n"
    "                     the terminal; without a terminal and without --yes, and\n"
    "                     always with --json, nothing is done)\n"
    "  -c, --check        say both versions and whether an update would be made;\n"
    "                     sends nothing to the controller\n"
    "  --allow-reinstall  also install the version the controller already has\n"
    "  --allow-older      also install a version older than the controller's\n"
    "  --wait SECONDS     wait up to SECONDS for a controller to be plugged in\n"
    "  --json             one JSON document on standard output and nothing else\n"
    "                     there: no progress, no question (keys: qtx-update(1))\n"
    "  -l, --list         list the connected supported devices: number, type, firmware\n"
    "                     (several devices of one type: versions in the system's order)\n"
    "  -h, --help         this text\n"
    "\n"
    "Progress goes to standard output (a bar on a terminal, otherwise one line per\n"
    "percent), the transfer's developer trace and every failure's reason to\n"
    "standard error.\n"
    "\n"
    "Exit status: 0 update complete (--check: an update would be made; --list:\n"
    "listed), 1 transfer failed, 2 wrong usage, 3 bad package, 4 no controller,\n"
    "5 the HID library is in use by another program, 6 not confirmed, 7 nothing to\n"
    "do: the controller already has the package's version or a newer one (nothing\n"
    "was sent), 130 stopped by a signal (Ctrl-C, SIGTERM; on Windows also\n"
    "Ctrl-Break or a closed console): no command is written after it, and the\n"
    "message says whether any firmware was written.\n";

namespace
{
    constexpr int longestWaitSeconds = 86400;

    bool parseSeconds (const char* text, int& seconds)
    {
        if (text == nullptr || *text < '0' || *text > '9')
            return false;
        char* end = nullptr;
        const long value = std::strtol (text, &end, 10);
        if (*end != 0 || value > longestWaitSeconds)
            return false;
        seconds = (int) value;
        return true;
    }

    // What a combination of options cannot mean; nullptr when it makes sense.
    const char* conflict (const Options& options, bool list, bool check, int packages)
    {
        if (packages > 1)
            return "more than one package given";
        if (list && (check || packages > 0 || options.assumeYes || options.allowReinstall ||
                     options.allowOlder || options.waitSeconds > 0))
            return "--list takes no package and no option but --json";
        if (check && options.assumeYes)
            return "--check sends nothing and takes no --yes";
        return nullptr;
    }
} // namespace

bool asksForJson (int argc, const char* const* argv)
{
    for (int k = 1; k < argc && std::string (argv[k]) != "--"; ++k)
        if (std::string (argv[k]) == "--json")
            return true;
    return false;
}

bool parseCommandLine (int argc, const char* const* argv, Options& options, std::string& error)
{
    options = Options{};
    bool list = false, check = false, help = false, endOfOptions = false;
    int packages = 0;
    for (int k = 1; k < argc; ++k)
    {
        const std::string arg = argv[k];
        if (!endOfOptions && arg == "--")
            endOfOptions = true;
        else if (!endOfOptions && (arg == "-y" || arg == "--yes"))
            options.assumeYes = true;
        else if (!endOfOptions && (arg == "-l" || arg == "--list"))
            list = true;
        else if (!endOfOptions && (arg == "-c" || arg == "--check"))
            check = true;
        else if (!endOfOptions && arg == "--json")
            options.json = true;
        else if (!endOfOptions && arg == "--allow-reinstall")
            options.allowReinstall = true;
        else if (!endOfOptions && arg == "--allow-older")
            options.allowOlder = true;
        else if (!endOfOptions && arg == "--wait")
        {
            if (!parseSeconds (k + 1 < argc ? argv[++k] : nullptr, options.waitSeconds))
            {
                error = "--wait needs a number of seconds from 0 to " + std::to_string (longestWaitSeconds);
                return false;
            }
        }
        else if (!endOfOptions && (arg == "-h" || arg == "--help"))
            help = true;
        else if (!endOfOptions && arg.size() > 1 && arg[0] == '-')
        {
            error = "unknown option " + arg;
            return false;
        }
        else if (arg.empty())
        {
            error = "empty package name";
            return false;
        }
        else
        {
            options.package = arg;
            ++packages;
        }
    }

    if (help)
    {
        options.action = Options::Action::help;
        return true;
    }
    if (const char* why = conflict (options, list, check, packages))
    {
        error = why;
        return false;
    }
    options.action = list ? Options::Action::list : check ? Options::Action::check : Options::Action::update;
    return true;
}

} // namespace qtx::cli
