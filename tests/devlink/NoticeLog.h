// A notification target for tests: collects every notice the library posts; thread-safe.
#pragma once

#include "devlink.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>
#include <vector>

namespace qtx::devlink::test
{
constexpr unsigned inputMsg = 1027, arrivalMsg = 1026, removalMsg = 1025;

struct NoticeLog
{
    using Notice = std::pair<unsigned, int>;
    using Notices = std::vector<Notice>;
    static constexpr int anyNumber = -1;

    std::mutex mutex;
    std::condition_variable cv;
    Notices notices;
    int refuse = 0; // the next this many notices are not queued, as a closed queue does

    static int post (void* context, unsigned message, int deviceNumber)
    {
        auto* log = static_cast<NoticeLog*> (context);
        std::lock_guard<std::mutex> lock (log->mutex);
        if (log->refuse > 0)
        {
            --log->refuse;
            return 0;
        }
        log->notices.emplace_back (message, deviceNumber);
        log->cv.notify_all();
        return 1;
    }

    DevlinkNotifyTarget target() { return {&NoticeLog::post, this}; }

    Notices take()
    {
        std::lock_guard<std::mutex> lock (mutex);
        return std::exchange (notices, {});
    }

    std::size_t count (unsigned message, int number = anyNumber)
    {
        std::lock_guard<std::mutex> lock (mutex);
        return countLocked (message, number);
    }

    // Generous: only catches a notice that never comes.
    bool waitFor (unsigned message, std::size_t n = 1, int number = anyNumber)
    {
        std::unique_lock<std::mutex> lock (mutex);
        return cv.wait_for (lock, std::chrono::seconds (20),
                            [&] { return countLocked (message, number) >= n; });
    }

private:
    std::size_t countLocked (unsigned message, int number) const
    {
        std::size_t n = 0;
        for (const auto& [m, d] : notices)
            n += m == message && (number == anyNumber || d == number);
        return n;
    }
};
} // namespace qtx::devlink::test
