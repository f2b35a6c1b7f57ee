#pragma once

// The fault campaign: a randomised fault run over a fixed list of seeds, bounded,
// ending by itself; it prints "name: value" lines and returns the process's exit
// status. (The soak run of whole updates in a row is the benchmark bench/soak.)

#include <cstdint>
#include <string>
#include <vector>

namespace qtx::campaign
{

struct FaultOptions
{
    std::vector<uint32_t> seeds; // the fixed list when empty
    bool single = false;         // run seeds[0] in this process (replay, or one child of the driver)
    double timeScale = 0.05;     // every time limit of the worker, scaled down
    bool verbose = false;        // print each run's trace
};

// self: this program, run once per seed.
int runFaults (const FaultOptions& options, const std::string& self);

} // namespace qtx::campaign
