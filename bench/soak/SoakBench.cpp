// bench_soak [--updates N]: whole updates in a row (default 200) against a
// simulated controller that answers at once, each through a freshly opened and
// closed host (library lock, device table, readers, worker), watching memory,
// descriptors and threads. The figures after the first update are the baseline:
// a leak grows with every update after it. Exit status 1 when one grew.

#include "ProcessStats.h"
#include "Rig.h"

#include "devlink/LockIsolation.h"
#include "VirtualHid.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace qtx::campaign
{

namespace
{
    constexpr int updateTimeoutMs = 60000;
    // Allocator arenas and caches settle after the first updates; a leak grows
    // with every update, so the second half of the run must not add more.
    constexpr long settledGrowthKb = 256;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // The sanitizers' allocators keep freed memory for a while and count no
    // heap of their own; under ASan LeakSanitizer checks at the end instead.
    constexpr bool memoryJudged = false;
#else
    constexpr bool memoryJudged = true;
#endif

    void print (const char* when, const ProcessStats& s)
    {
        std::printf ("soak_rss_kb_%s: %ld\nsoak_peak_rss_kb_%s: %ld\nsoak_heap_kb_%s: %ld\nsoak_fds_%s: %d\n"
                     "soak_threads_%s: %d\n",
                     when, s.rssKb, when, s.peakRssKb, when, s.heapKb, when, s.fds, when, s.threads);
    }
} // namespace

int runSoak (int updates)
{
    const auto package = test::TestPackage::mixed();
    sim::ControllerOptions controller;
    controller.answerDelayUs = 0;
    Rig rig (controller, 1.0);

    const ProcessStats before = readProcessStats();
    ProcessStats first, half, last;
    int complete = 0;
    double seconds = 0.0;
    bool ok = true;
    for (int k = 1; k <= updates; ++k)
    {
        const RunResult run = rig.update (package, updateTimeoutMs);
        if (!run.ended)
        {
            std::printf ("soak: update %d hung\nsoak: FAIL\n", k);
            std::fflush (stdout);
            std::_Exit (1); // the hung worker cannot be joined
        }
        rig.controller().waitIdle();
        const bool delivered = rig.controller().completed() && rig.controller().allBlocksGood() &&
                               rig.controller().receivedImage() == package.expectedImage();
        if (run.state == Complete && delivered)
            ++complete;
        else if (ok)
        {
            std::printf ("soak: update %d ended in state %d%s\n", k, run.state,
                         delivered ? "" : ", the controller lacks blocks");
            ok = false;
        }
        seconds += run.seconds;
        rig.controller().reset();
        if (k == 1)
            first = readProcessStats();
        if (k == updates / 2)
            half = readProcessStats();
    }
    last = readProcessStats();

    std::printf ("soak_updates: %d\nsoak_complete: %d\nsoak_seconds_per_update: %.3f\n", updates, complete,
                 seconds / updates);
    std::printf ("soak_rss_end_vs_start: %.3f\nsoak_heap_end_vs_start: %.3f\n",
                 (double) last.rssKb / (double) std::max (1L, first.rssKb),
                 (double) last.heapKb / (double) std::max (1L, first.heapKb));
    print ("before", before);
    print ("start", first);
    print ("half", half);
    print ("end", last);

    if (last.fds != first.fds || last.threads != first.threads)
    {
        std::printf ("soak: descriptors or threads grew\n");
        ok = false;
    }
    if (!memoryJudged)
        std::printf ("soak: memory not judged in a sanitizer build\n");
    else if (last.peakRssKb - half.peakRssKb > settledGrowthKb || last.heapKb - half.heapKb > settledGrowthKb)
    {
        std::printf ("soak: memory still grows in the second half\n");
        ok = false;
    }
    std::printf ("soak: %s\n", ok ? "PASS" : "FAIL");
    return ok ? 0 : 1;
}

} // namespace qtx::campaign

int main (int argc, char** argv)
{
    // A lock of our own, then the testbed's preload.
    qtx::devlink::test::isolateLockNamespace();
    qtx::vhid::runUnderPreload (argc, argv);
    int updates = 200;
    if (argc == 3 && std::string (argv[1]) == "--updates" && std::atoi (argv[2]) > 0)
        updates = std::atoi (argv[2]);
    else if (argc != 1)
    {
        std::fprintf (stderr, "usage: bench_soak [--updates N]\n");
        return 2;
    }
    return qtx::campaign::runSoak (updates);
}
