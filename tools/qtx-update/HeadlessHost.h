#pragma once

// The main screen without a window: the screen's own rules (ScreenRules) with
// the worker on a thread of its own, requested states applied on the message
// thread, scaled time limits, and the trace kept. qtx-update, the end-to-end
// tests and the fault campaign all run transfers through it.

#include "ui/rules/ScreenRules.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qtx
{

class HeadlessHost : public ScreenRules
{
public:
    struct Options
    {
        double timeScale = 1.0; // applied to every time limit and pause
        bool echoTrace = false; // trace lines also to standard error
        // When set, every trace line also goes here (on the worker thread) instead.
        std::function<void (const char* line)> traceSink;
    };

    // Message thread: opens the device link with the selector.
    HeadlessHost (const UpdateFileInfo& info, const UpdateBlocks& blocks, int selector, Options options);
    // Message thread: stops a running worker as a quit does, then closes the link.
    ~HeadlessHost() override;

    bool workerRunning() const override { return running; }
    // Any thread: waits until the worker has ended; false on time-out.
    bool waitForEnd (int timeoutMs);
    // Any thread: waits until the screen state is `state` (applied on the message
    // thread, as a device arrival's Ready is); false on time-out.
    bool waitForState (int state, int timeoutMs);

    std::vector<std::string> traces() const;
    std::vector<int> traceSites() const;

    // TransferPort, on the worker thread: limits and pauses scaled.
    bool waitForAnswer (int timeoutMs, Answer& answer) override;
    void pause (int ms) override;
    void trace (const char* line) override;

protected:
    void triggerStateUpdate() override;
    void startWorker() override;
    void waitForWorkerEnd() override;

private:
    int scaled (int ms) const;

    Options options;

    std::atomic<bool> running{false};
    std::mutex endLock;
    std::condition_variable ended;
    std::condition_variable stateApplied; // under endLock
    std::thread worker;

    std::shared_ptr<bool> alive = std::make_shared<bool> (true); // message thread only

    mutable std::mutex traceLock;
    std::vector<std::string> traceLines;
};

} // namespace qtx
