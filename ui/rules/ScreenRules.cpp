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
    response.stop();
    cutPauses();
    waitForWorkerEnd();
}

void ScreenRules::interrupt()
{
    response.zeroAndWake();
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
    if (screenState != Updating)
        requestState (NotRecognised);
    else
        response.zeroAndWake();
}

void ScreenRules::hidDeviceArrived()
{
    deviceVersion = deviceLink.firmwareVersion;
    if (screenState != Updating)
        requestState (Ready);
    else
        response.zeroAndWake();
}

void ScreenRules::hidInputReceived()
{
    const int length = std::clamp<int> (deviceLink.inputLength, 0, AnswerMailbox::bufferSize);
    response.store (deviceLink.inputBuffer, length, screenState == Updating);
}

//==============================================================================
void ScreenRules::resetAnswer()
{
    response.reset();
}

void ScreenRules::send (const uint8_t (&command)[commandSize])
{
    deviceLink.send (command, commandSize);
}

bool ScreenRules::waitForAnswer (int timeoutMs)
{
    return response.wait (timeoutMs);
}

Answer ScreenRules::latestAnswer()
{
    return response.latest();
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
