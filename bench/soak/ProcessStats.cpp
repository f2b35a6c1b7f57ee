#include "ProcessStats.h"

#include <dirent.h>
#include <fstream>
#include <malloc.h>
#include <sstream>

namespace qtx::campaign
{

ProcessStats readProcessStats()
{
    ProcessStats stats;
    std::ifstream status ("/proc/self/status");
    for (std::string line; std::getline (status, line);)
    {
        std::istringstream fields (line);
        std::string key;
        long value = 0;
        fields >> key >> value;
        if (key == "VmRSS:")
            stats.rssKb = value;
        else if (key == "VmHWM:")
            stats.peakRssKb = value;
        else if (key == "Threads:")
            stats.threads = (int) value;
    }

    stats.heapKb = (long) (mallinfo2().uordblks / 1024);

    if (DIR* fds = ::opendir ("/proc/self/fd"))
    {
        while (const dirent* entry = ::readdir (fds))
            if (entry->d_name[0] != '.')
                ++stats.fds;
        ::closedir (fds);
        --stats.fds; // the directory's own
    }
    return stats;
}

} // namespace qtx::campaign
