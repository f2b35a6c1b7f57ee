// Whole updates in a row against a simulated controller that answers at once,
// each through a freshly opened and closed host (library lock, device table,
// readers, worker), watching memory, descriptors and threads.

#include "Campaign.h"
#include "ProcessStats.h"
#include "Rig.h"

#include <cstdio>

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

int runSoak (const SoakOptions& options)
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
    for (int k = 1; k <= options.updates; ++k)
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
        if (k == options.updates / 2)
            half = readProcessStats();
    }
    last = readProcessStats();

    std::printf ("soak_updates: %d\nsoak_complete: %d\nsoak_seconds_per_update: %.3f\n", options.updates,
                 complete, seconds / options.updates);
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
