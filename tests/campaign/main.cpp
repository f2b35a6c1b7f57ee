// qtx-campaign: the fault campaign against the simulated controller.
//   qtx-campaign faults [--seeds A,B,... | --seed N] [--scale S] [--verbose]

#include "Campaign.h"

#include "devlink/LockIsolation.h"
#include "VirtualHid.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

namespace
{
const char* const usage =
    "usage: qtx-campaign faults [--seeds A,B,...]    one fault per seed (default: 45 fixed seeds)\n"
    "       qtx-campaign faults --seed N [--verbose] replay one seed in this process\n"
    "       faults also take --scale S: the worker's time limits times S (default 0.05)\n";

// A whole number within 32 bits, nothing after it.
bool seed (const std::string& text, uint32_t& value)
{
    char* end = nullptr;
    const unsigned long long n = std::strtoull (text.c_str(), &end, 10);
    value = (uint32_t) n;
    return !text.empty() && *end == 0 && n <= 0xFFFFFFFFull && text[0] != '-';
}

int wrongUsage (const std::string& what)
{
    std::fprintf (stderr, "qtx-campaign: %s\n%s", what.c_str(), usage);
    return 2;
}
} // namespace

int main (int argc, char** argv)
{
    // A lock of our own (children included), then the testbed's preload.
    qtx::devlink::test::isolateLockNamespace();
    qtx::vhid::runUnderPreload (argc, argv);

    using namespace qtx::campaign;
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "faults")
    {
        FaultOptions options;
        for (int k = 2; k < argc; ++k)
        {
            const std::string arg = argv[k];
            const std::string next = k + 1 < argc ? argv[k + 1] : "";
            uint32_t n = 0;
            if (arg == "--seed" && seed (next, n))
            {
                options.seeds = {n};
                options.single = true;
                ++k;
            }
            else if (arg == "--seeds" && !next.empty())
            {
                std::istringstream list (next);
                for (std::string item; std::getline (list, item, ',');)
                {
                    if (!seed (item, n))
                        return wrongUsage ("bad seed " + item);
                    options.seeds.push_back (n);
                }
                ++k;
            }
            else if (arg == "--scale" && std::atof (next.c_str()) > 0.0 && std::atof (next.c_str()) <= 1.0)
                options.timeScale = std::atof (next.c_str()), ++k;
            else if (arg == "--verbose")
                options.verbose = true;
            else
                return wrongUsage ("bad option " + arg);
        }
        return runFaults (options, std::filesystem::read_symlink ("/proc/self/exe").string());
    }
    return wrongUsage (mode.empty() ? "no mode given" : "unknown mode " + mode);
}
