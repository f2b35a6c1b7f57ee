#pragma once

// Plays the main screen's part in a transfer without a window: owns the device
// link and the answer mailbox, runs the worker on a thread of its own, applies
// requested states on the message thread, and keeps the trace. qtx-update, the
// end-to-end tests and the fault campaign all run transfers through it.

#include "devicelink/HidCtrl.h"
#include "update/AnswerMailbox.h"
#include "update/FirmwareTransfer.h"

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

class HeadlessHost : public TransferPort, public HidHandler
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
    // Message thread: stops a running worker first, then closes the link.
    ~HeadlessHost();

    // Message thread: as "OK" on the language screen: Ready or NotRecognised.
    void leaveLanguageScreen();
    // Message thread: as "Start" in Ready; false when not in Ready.
    bool start (const std::string& deviceName);
    // Message thread: the stop path of a quit: wake the worker, wait for its end.
    void quit();
    // Any thread: the first half of quit without the wait: ends the worker's
    // current wait with answer code 0 and shortens its pauses, so it runs its
    // remaining steps (the message thread stays free to deliver their answers).
    void interrupt();

    bool workerRunning() const { return running; }
    // Any thread: waits until the worker has ended; false on time-out.
    bool waitForEnd (int timeoutMs);

    int screenState() const { return state; }
    double progressValue() const { return progress; }
    std::vector<std::string> traces() const;
    std::vector<int> traceSites() const;

    HidCtrl deviceLink;
    std::atomic<int> deviceVersion{-1};

    // TransferPort, on the worker thread.
    void resetAnswer() override;
    void send (const uint8_t (&command)[commandSize]) override;
    bool waitForAnswer (int timeoutMs) override;
    Answer latestAnswer() override;
    void pause (int ms) override;
    void requestState (int screenState) override;
    void setProgress (double fraction) override;
    void trace (const char* line) override;

    // HidHandler, on the message thread.
    void hidDeviceRemoved() override;
    void hidDeviceArrived() override;
    void hidInputReceived() override;

private:
    int scaled (int ms) const;
    void applyPendingState();
    void setScreenState (int newState);

    const UpdateFileInfo& info;
    const UpdateBlocks& blocks;
    Options options;
    int packageUsable;

    AnswerMailbox mailbox;
    std::atomic<int> state{SelectLanguage}; // written on the message thread only
    std::atomic<double> progress{0.0};

    std::mutex stateLock;
    int pendingState = -1;

    std::mutex stopLock;
    std::condition_variable stopSignal;
    bool stopRequested = false;

    std::atomic<bool> running{false};
    std::mutex endLock;
    std::condition_variable ended;
    std::thread worker;

    std::shared_ptr<bool> alive = std::make_shared<bool> (true); // message thread only

    mutable std::mutex traceLock;
    std::vector<std::string> traceLines;
};

} // namespace qtx
