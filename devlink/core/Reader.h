// One reader thread per open device: reads input reports, stores the latest, posts notices.
// It touches only its own stream, its store and the notifier, never the device table.
#pragma once

#include "Notifier.h"
#include "Platform.h"
#include "ReportStore.h"

#include <atomic>
#include <memory>
#include <thread>

namespace qtx::devlink
{
class Reader
{
public:
    // A stop request is seen within one slice even if the stream ignores wake().
    static constexpr int sliceMs = 1000;

    Reader (int deviceNumber, std::unique_ptr<InputStream> stream, std::shared_ptr<ReportStore> store,
            Notifier& notifier);
    // Stops and joins.
    ~Reader();

    // Asks the thread to end and waits until it has.
    void stop();
    bool finished() const { return done.load(); }

private:
    void run();

    const int deviceNumber;
    std::unique_ptr<InputStream> stream;
    std::shared_ptr<ReportStore> store;
    Notifier& notifier;
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> done{false};
    std::thread thread;
};
} // namespace qtx::devlink
