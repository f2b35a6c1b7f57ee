#include "ScreenRules.h"

#include <algorithm>
#include <chrono>

namespace qtx
{

ScreenRules::ScreenRules (const UpdateFileInfo& info, const UpdateBlocks& blocks)
    : transfer (*this, info, blocks)
{
}

bool ScreenRules::changeState (int newState)
{
    if (screenState != SelectLanguage && packageUsable == 0)
        return false;
    if (screenState == Complete || screenState == Failed)
        return false;
    screenState = newState;
    return true;
}

void ScreenRules::requestState (int newState)
{
    const std::lock_guard<std::mutex> lock (stateLock);
    pendingState = newState;
    triggerStateUpdate();
}

bool ScreenRules::applyPendingState()
{
    if (screenState == SelectLanguage)
        return false;
    const std::lock_guard<std::mutex> lock (stateLock);
    const bool applied = pendingState != -1 && changeState (pendingState);
    pendingState = -1;
    return applied;
}

bool ScreenRules::leaveLanguageScreen()
{
    // The only time the screen looks for a controller by itself; afterwards
    // it follows the device link's events.
    if (deviceLink.linkState != 0)
    {
        deviceVersion = deviceLink.firmwareVersion;
        return changeState (Ready);
    }
    deviceVersion = -1;
    return changeState (NotRecognised);
}

bool ScreenRules::start (const std::string& deviceName)
{
    if (screenState != Ready || packageUsable != 1 || workerRunning())
        return false;
    transferDeviceName = deviceName;
    transferStarted = true;
    response.reset();
    startWorker();
    return true;
}

void ScreenRules::runTransfer()
{
    transfer.run (transferDeviceName);
}

void ScreenRules::stopWorker()
{
    interrupt();
    waitForWorkerEnd();
}

void ScreenRules::interrupt()
{
    {
        const std::lock_guard<std::mutex> lock (sendLock);
        stopping = true;
    }
    // The worker has nothing more to wait for: every wait from now on ends at
    // once, whether or not the thread that delivers answers still runs.
    response.stop();
    cutPauses();
}

void ScreenRules::cutPauses()
{
    {
        const std::lock_guard<std::mutex> lock (pauseLock);
        pausesCut = true;
    }
    pauseEnd.notify_all();
}

//==============================================================================
void ScreenRules::hidDeviceRemoved()
{
    deviceVersion = -1;
    if (!transferStarted)
        requestState (NotRecognised);
    else
        response.zeroAndWake();
}

void ScreenRules::hidDeviceArrived()
{
    deviceVersion = deviceLink.firmwareVersion;
    if (!transferStarted)
        requestState (Ready);
    else
        response.zeroAndWake();
}

void ScreenRules::hidInputReceived()
{
    const int length = std::clamp<int> (deviceLink.inputLength, 0, AnswerMailbox::bufferSize);
    response.store (deviceLink.inputBuffer, length, transferStarted);
}

//==============================================================================
void ScreenRules::resetAnswer()
{
    response.reset();
}

bool ScreenRules::send (const uint8_t (&command)[commandSize])
{
    const std::lock_guard<std::mutex> lock (sendLock);
    if (stopping)
        return false;
    deviceLink.send (command, commandSize);
    return true;
}

bool ScreenRules::waitForAnswer (int timeoutMs, Answer& answer)
{
    return response.wait (timeoutMs, answer);
}

void ScreenRules::pause (int ms)
{
    std::unique_lock<std::mutex> lock (pauseLock);
    pauseEnd.wait_for (lock, std::chrono::milliseconds (ms), [this] { return pausesCut; });
}

void ScreenRules::setProgress (double fraction)
{
    progress = fraction;
    progressChanged();
}

} // namespace qtx
