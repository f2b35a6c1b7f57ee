#pragma once

// The main screen's rules apart from what it shows: which state changes are
// allowed, state requests from other threads, the controller's comings and
// goings during and outside an update, the start of the transfer worker and
// the two ways to stop it. The window's screen and the headless updater both
// build on it and add only what is shown and the worker thread itself, so the
// end-to-end tests and the fault campaign run the rules the window runs.
// Needs no window: std and the device link only.

#include "devicelink/HidCtrl.h"
#include "update/AnswerMailbox.h"
#include "update/FirmwareTransfer.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

namespace qtx
{

class ScreenRules : public HidHandler, public TransferPort
{
public:
    // The package stays the owner's; it must outlive these rules.
    ScreenRules (const UpdateFileInfo& info, const UpdateBlocks& blocks);

    int getScreenState() const { return screenState; }
    double progressValue() const { return progress; }

    // Message thread: the one place where the state changes. False when the
    // rules keep the state: once the language is chosen with an unusable
    // package, and in the two final states.
    bool changeState (int newState);

    // Any thread: pendingState under stateLock, applied by applyPendingState
    // on the message thread.
    void requestState (int newState) override;

    // Message thread: applies the last request; true when a state was applied.
    // Requests made while the language is being chosen wait; "OK" decides then.
    bool applyPendingState();

    // Message thread, "OK" on the language screen: Ready with the held
    // controller's version, or NotRecognised.
    bool leaveLanguageScreen();

    // Message thread, "Start" in Ready with a usable package: starts the worker
    // unless it runs already. False when nothing was started.
    bool start (const std::string& deviceName);

    // The worker thread's body: the whole transfer.
    void runTransfer();

    // Message thread, the quit path: interrupt(), then the worker is waited for.
    void stopWorker();

    // Any thread, a stop for good: once it returns no command is written any
    // more (one under way has been), the worker's current wait ends with answer
    // code 0 and every later wait and pause at once, so it ends within moments.
    void interrupt();

    // Whether the worker has written any firmware chunk (read once it has ended).
    bool firmwareWritten() const { return transfer.wroteFirmware(); }

    // Message thread, from the device link. From "Start" on (an update, or one
    // whose Updating request is still to be applied) they hand the worker an
    // empty answer and request nothing, so no request of the worker is
    // replaced; before it, they ask for Ready or NotRecognised.
    void hidDeviceRemoved() override;
    void hidDeviceArrived() override;
    void hidInputReceived() override;

    // TransferPort, on the worker thread (trace is the owner's).
    void resetAnswer() override;
    bool send (const uint8_t (&command)[commandSize]) override;
    bool waitForAnswer (int timeoutMs, Answer& answer) override;
    void pause (int ms) override;
    void setProgress (double fraction) override;

    HidCtrl deviceLink;
    int32_t packageUsable = 0;
    std::atomic<int32_t> deviceVersion{-1};

protected:
    // Any thread: have applyPendingState run on the message thread soon.
    virtual void triggerStateUpdate() = 0;
    // Worker thread: progress has a new value.
    virtual void progressChanged() {}

    // The worker thread, which runs runTransfer. Started and waited for on the
    // message thread.
    virtual void startWorker() = 0;
    virtual bool workerRunning() const = 0;
    virtual void waitForWorkerEnd() = 0;

private:
    void cutPauses();

    std::atomic<int32_t> screenState{SelectLanguage}; // written on the message thread only
    bool transferStarted = false;                     // message thread: set by start(), never cleared
    std::mutex stateLock;
    int32_t pendingState = -1;

    AnswerMailbox response; // responseBuffer and responseEvent
    std::atomic<double> progress{0.0};

    std::mutex sendLock; // a stop waits for a write under way, and none follows it
    bool stopping = false;

    std::mutex pauseLock;
    std::condition_variable pauseEnd;
    bool pausesCut = false;

    FirmwareTransfer transfer;
    std::string transferDeviceName;
};

} // namespace qtx
