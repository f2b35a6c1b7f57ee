#include "ReportStore.h"

#include <algorithm>
#include <cstring>

namespace qtx::devlink
{
ReportStore::ReportStore (int length)
    : byteLength (std::clamp (length, 0, DEVLINK_MAX_REPORT))
{
}

bool ReportStore::store (const std::uint8_t* report, int size)
{
    // Only this report's own bytes: a shorter report must not carry the previous one's tail.
    const int n = std::clamp (size - 1, 0, keptBytes);
    std::lock_guard<std::mutex> lock (mutex);
    if (n > 0)
        std::memcpy (data, report + 1, std::size_t (n));
    std::memset (data + n, 0, std::size_t (keptBytes - n));
    if (noticeOutstanding)
        return false;
    noticeOutstanding = true;
    return true;
}

void ReportStore::noticeNotPosted()
{
    std::lock_guard<std::mutex> lock (mutex);
    noticeOutstanding = false;
}

int ReportStore::fetch (std::uint8_t* destination)
{
    std::lock_guard<std::mutex> lock (mutex);
    if (byteLength > 0)
        std::memcpy (destination, data, std::size_t (byteLength));
    noticeOutstanding = false;
    return byteLength;
}
} // namespace qtx::devlink
