// The randomised fault run. Each seed runs in a child process of its own, under
// a watchdog: a hang is killed and a crash ends only that child, and every
// failing seed is printed with the command that replays it in one process.

#include "Campaign.h"
#include "FaultCase.h"
#include "Rig.h"

#include "update/TransferProtocol.h"

#include "support/Command.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace qtx::campaign
{

namespace
{
    using Clock = std::chrono::steady_clock;

    enum ChildStatus
    {
        childOk = 0,
        childMismatch = 1,
        childHung = 3
    };

    // Far above the slowest legal run: every mode attempt timed out, a chunk's
    // and an interim limit passed, a late answer slept out, plus a margin.
    int watchdogMs (double timeScale)
    {
        return 20000 + (int) ((20 * answerTimeoutMs + 3 * chunkTimeoutMs + 3 * interimTimeoutMs) * timeScale);
    }

    // The names of this process's threads, sorted, separated by spaces.
    std::string threadNames (int* count = nullptr)
    {
        std::vector<std::string> names;
        for (const auto& task : std::filesystem::directory_iterator ("/proc/self/task"))
        {
            std::ifstream comm (task.path() / "comm");
            std::getline (comm, names.emplace_back());
        }
        std::sort (names.begin(), names.end());
        std::string joined;
        for (const auto& name : names)
            joined += (joined.empty() ? "" : " ") + name;
        if (count != nullptr)
            *count = (int) names.size();
        return joined;
    }

    int runOne (uint32_t seed, double timeScale, bool verbose)
    {
        const FaultCase c = makeFaultCase (seed, timeScale);
        Rig rig (c.options, timeScale);
        int threadsBeforeCount = 0;
        const std::string threadsBefore = threadNames (&threadsBeforeCount);
        const RunResult run = rig.update (c.package, watchdogMs (timeScale));
        if (!run.ended)
        {
            std::printf ("seed %u: %s -> HANG after %.1f s\n", seed, c.describe().c_str(), run.seconds);
            for (const auto& line : run.traces)
                std::printf ("  %s", line.c_str());
            std::fflush (stdout);
            std::_Exit (childHung); // the hung worker cannot be joined
        }
        // Late answers, replugs: the simulator is done before anything is counted.
        rig.controller().waitIdle();
        int threadsAfterCount = 0;
        const std::string threadsAfter = threadNames (&threadsAfterCount);
        const bool delivered = rig.controller().completed() && rig.controller().allBlocksGood() &&
                               rig.controller().receivedImage() == c.acceptedImage();

        Judgement verdict = judge (c, run, delivered);
        if (verdict.ok && threadsAfterCount != threadsBeforeCount)
            verdict = {false,
                       "threads before the host: " + threadsBefore + "; after it closed: " + threadsAfter};
        std::printf ("seed %u: %s -> %s %s (%.1f s)\n", seed, c.describe().c_str(),
                     run.state == Complete ? "Complete" : "Failed", verdict.ok ? "ok" : "MISMATCH",
                     run.seconds);
        if (!verdict.ok)
            std::printf ("  %s\n", verdict.reason.c_str());
        if (!verdict.ok || verbose)
            for (const auto& line : run.traces)
                std::printf ("  %s", line.c_str());
        std::fflush (stdout);
        return verdict.ok ? childOk : childMismatch;
    }

    // One seed in a child process, killed by the watchdog (exit status 137) when it hangs.
    test::CommandResult runChild (const std::string& self, uint32_t seed, double timeScale, int limitMs)
    {
        return test::run ("timeout -s KILL " + std::to_string (limitMs / 1000) + " " + test::quoted (self) +
                          " faults --seed " + std::to_string (seed) + " --scale " +
                          std::to_string (timeScale));
    }

    // Seeds 1 to 24, and the first seed at which each
    // fault kind meets each step: all 35 pairs are run.
    const std::vector<uint32_t> defaultSeeds{1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13,  14,  15,
                                             16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 29, 32, 34,  35,  39,
                                             41, 43, 48, 49, 51, 52, 62, 71, 77, 78, 82, 84, 100, 128, 194};
} // namespace

int runFaults (const FaultOptions& options, const std::string& self)
{
    if (options.single)
        return runOne (options.seeds.front(), options.timeScale, options.verbose);

    const auto seeds = options.seeds.empty() ? defaultSeeds : options.seeds;
    const int watchdog = watchdogMs (options.timeScale) + 10000;
    const auto began = Clock::now();
    std::vector<uint32_t> failing;
    int complete = 0;
    for (uint32_t seed : seeds)
    {
        const auto r = runChild (self, seed, options.timeScale, watchdog);
        const auto firstLine = r.output.substr (0, r.output.find ('\n'));
        if (r.status == childOk)
        {
            std::printf ("%s\n", firstLine.c_str());
            complete += firstLine.find ("-> Complete") != std::string::npos ? 1 : 0;
            continue;
        }
        failing.push_back (seed);
        if (r.status == 128 + SIGKILL)
            std::printf ("seed %u: HANG (killed by the watchdog after %d ms)\n", seed, watchdog);
        else if (r.status != childMismatch && r.status != childHung)
            std::printf ("seed %u: CRASH (exit status %d)\n", seed, r.status);
        std::printf ("%s", r.output.c_str());
    }

    const double seconds = std::chrono::duration<double> (Clock::now() - began).count();
    std::printf ("faults_runs: %zu\nfaults_passed: %zu\nfaults_complete: %d\nfaults_failed_as_expected: %zu\n"
                 "faults_seconds: %.1f\n",
                 seeds.size(), seeds.size() - failing.size(), complete,
                 seeds.size() - failing.size() - complete, seconds);
    if (failing.empty())
    {
        std::printf ("faults: PASS\n");
        return 0;
    }
    std::printf ("faults: FAIL; failing seeds:");
    for (uint32_t seed : failing)
        std::printf (" %u", seed);
    std::printf ("\nreplay one: qtx-campaign faults --seed N --scale %g --verbose\n", options.timeScale);
    return 1;
}

} // namespace qtx::campaign
