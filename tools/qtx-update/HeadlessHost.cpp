#include "HeadlessHost.h"

#include "update/DebugOutput.h"

#include <juce_events/juce_events.h>

#include <chrono>
#include <cmath>
#include <cstdlib>

namespace qtx
{

HeadlessHost::HeadlessHost (const UpdateFileInfo& info, const UpdateBlocks& blocks, int selector, Options o)
    : ScreenRules (info, blocks)
    , options (std::move (o))
{
    packageUsable = selector;
    deviceLink.open (this, selector);
}

HeadlessHost::~HeadlessHost()
{
    // The worker uses the link, the package and the mailbox: it ends first.
    stopWorker();
    deviceLink.close();
    *alive = false; // state requests still queued find the host gone
}

bool HeadlessHost::waitForEnd (int timeoutMs)
{
    std::unique_lock<std::mutex> g (endLock);
    return ended.wait_for (g, std::chrono::milliseconds (timeoutMs), [this] { return !running; });
}

bool HeadlessHost::waitForState (int state, int timeoutMs)
{
    std::unique_lock<std::mutex> g (endLock);
    return stateApplied.wait_for (g, std::chrono::milliseconds (timeoutMs),
                                  [this, state] { return getScreenState() == state; });
}

std::vector<std::string> HeadlessHost::traces() const
{
    std::lock_guard<std::mutex> g (traceLock);
    return traceLines;
}

std::vector<int> HeadlessHost::traceSites() const
{
    std::vector<int> sites;
    for (const auto& line : traces())
        if (auto at = line.rfind ('@'); at != std::string::npos)
            sites.push_back (std::atoi (line.c_str() + at + 1));
    return sites;
}

int HeadlessHost::scaled (int ms) const
{
    return (int) std::lround (ms * options.timeScale);
}

bool HeadlessHost::waitForAnswer (int timeoutMs, Answer& answer)
{
    return ScreenRules::waitForAnswer (scaled (timeoutMs), answer);
}

void HeadlessHost::pause (int ms)
{
    ScreenRules::pause (scaled (ms));
}

void HeadlessHost::trace (const char* line)
{
    if (options.traceSink)
        options.traceSink (line);
    else if (options.echoTrace)
        debugOutput (line);
    std::lock_guard<std::mutex> g (traceLock);
    traceLines.emplace_back (line);
}

void HeadlessHost::triggerStateUpdate()
{
    // As the window's asynchronous update: applied on the message thread.
    juce::MessageManager::callAsync (
        [this, token = alive]
        {
            if (!*token)
                return;
            applyPendingState();
            // Taken between the change and the notice, so a waiter cannot miss it.
            {
                const std::lock_guard<std::mutex> g (endLock);
            }
            stateApplied.notify_all();
        });
}

void HeadlessHost::startWorker()
{
    waitForWorkerEnd(); // an earlier worker has ended, but its thread is still to be joined
    running = true;
    worker = std::thread (
        [this]
        {
            runTransfer();
            {
                std::lock_guard<std::mutex> g (endLock);
                running = false;
            }
            ended.notify_all();
        });
}

void HeadlessHost::waitForWorkerEnd()
{
    if (worker.joinable())
        worker.join();
}

} // namespace qtx
