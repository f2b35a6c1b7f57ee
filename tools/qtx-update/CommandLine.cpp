#include "CommandLine.h"

namespace qtx::cli
{

const char* const usageText =
    "Usage: qtx-update [--yes] [PACKAGE]\n"
    "       qtx-update --list\n"
    "Installs the firmware of an update package into the connected QTX-ORB9\n"
    "controller, without a window. PACKAGE defaults to QTX-ORB9_UP.upd in the\n"
    "folder of this program, as for QtxUpdate.\n"
    "\n"
    "  -y, --yes    update without asking (otherwise the question is asked on the\n"
    "               terminal; without a terminal and without --yes nothing is done)\n"
    "  -l, --list   list the connected supported devices: number, type, firmware\n"
    "               (several devices of one type: versions in the system's order)\n"
    "  -h, --help   this text\n"
    "\n"
    "Progress goes to standard output (a bar on a terminal, otherwise one line per\n"
    "percent), the transfer's developer trace to standard error.\n"
    "\n"
    "Exit status: 0 update complete, 1 transfer failed, 2 wrong usage, 3 bad\n"
    "package, 4 no controller, 5 the HID library is in use by another program,\n"
    "6 not confirmed, 130 stopped by a signal (Ctrl-C, SIGTERM; on Windows also\n"
    "Ctrl-Break or a closed console): no command is written after it, and the\n"
    "message says whether any firmware was written.\n";

bool parseCommandLine (int argc, const char* const* argv, Options& options, std::string& error)
{
    options = Options{};
    bool list = false, help = false, endOfOptions = false;
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
    if (packages > 1)
    {
        error = "more than one package given";
        return false;
    }
    if (list && (packages > 0 || options.assumeYes))
    {
        error = "--list takes no package and no --yes";
        return false;
    }
    options.action = list ? Options::Action::list : Options::Action::update;
    return true;
}

} // namespace qtx::cli
