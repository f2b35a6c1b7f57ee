#pragma once

// One whole update through the headless host, timed chunk by chunk: shared by the chunk
// benchmark and the Linux/wine comparison.

#include "HeadlessHost.h"
#include "support/MessageThread.h"
#include "support/TestPackage.h"

#include "devlink/include/devlink.h"
#include "update/TransferProtocol.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace qtx::bench
{
using Clock = std::chrono::steady_clock;

// Times each chunk from the write of the command to the worker holding its answer.
class TimedHost : public HeadlessHost
{
public:
    using HeadlessHost::HeadlessHost;

    bool send (const uint8_t (&command)[commandSize]) override
    {
        timing = command[0] == HID_UPDATE_COM_DATA_SEND;
        sentAt = Clock::now();
        const bool sent = HeadlessHost::send (command);
        if (timing)
            writeTimes.push_back (std::chrono::duration<double, std::micro> (Clock::now() - sentAt).count());
        return sent;
    }

    bool waitForAnswer (int timeoutMs, Answer& answer) override
    {
        const bool woken = HeadlessHost::waitForAnswer (timeoutMs, answer);
        if (timing && woken)
            roundTrips.push_back (std::chrono::duration<double, std::micro> (Clock::now() - sentAt).count());
        timing = false;
        return woken;
    }

    std::vector<double> roundTrips;
    std::vector<double> writeTimes;

private:
    bool timing = false;
    Clock::time_point sentAt;
};

inline double percentile (std::vector<double> values, double p)
{
    if (values.empty())
        return 0.0;
    std::sort (values.begin(), values.end());
    const size_t at = std::min (values.size() - 1, (size_t) (p * (double) (values.size() - 1) + 0.5));
    return values[at];
}

inline bool takeLibrary()
{
    for (int k = 0; k < 6000; ++k)
    {
        if (HID_Initialize (nullptr) == 1)
            return true;
        std::this_thread::sleep_for (std::chrono::milliseconds (10));
    }
    return false;
}

// Runs one whole update; returns the host (for its timings) or null on failure.
inline std::unique_ptr<TimedHost> update (test::MessageThread& loop, const test::TestPackage& package,
                                          double& seconds)
{
    HeadlessHost::Options options;
    auto host = loop.call (
        [&] {
            return takeLibrary() ? std::make_unique<TimedHost> (package.info, package.blocks, 1, options)
                                 : nullptr;
        });
    if (host == nullptr)
        return nullptr;
    loop.call ([&] { host->leaveLanguageScreen(); });
    const auto began = Clock::now();
    if (!loop.call ([&] { return host->start ("QTX-ORB9"); }) || !host->waitForEnd (600000))
        return nullptr;
    seconds = std::chrono::duration<double> (Clock::now() - began).count();
    loop.flush();
    if (host->getScreenState() != Complete)
        return nullptr;
    return host;
}

} // namespace qtx::bench
