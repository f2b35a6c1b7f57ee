#pragma once

// What this process holds right now: resident and peak resident memory, heap
// in use (the allocator's own count: no page or arena noise), open file
// descriptors, threads.

namespace qtx::campaign
{

struct ProcessStats
{
    long rssKb = 0;
    long peakRssKb = 0;
    long heapKb = 0;
    int fds = 0;
    int threads = 0;
};

ProcessStats readProcessStats();

} // namespace qtx::campaign
