#include "HeadlessHost.h"

#include "update/DebugOutput.h"

#include <juce_events/juce_events.h>

#include <chrono>
#include <cmath>
#include <cstdio>

namespace qtx
{

HeadlessHost::HeadlessHost (const UpdateFileInfo& i, const UpdateBlocks& b, int selector, Options o)
    : info (i)
    , blocks (b)
    , options (o)
    , packageUsable (selector)
{
    deviceLink.open (this, selector);
}

HeadlessHost::~HeadlessHost()
{
    // The worker uses the link, the package and the mailbox: it ends first.
    quit();
    deviceLink.close();
    *alive = false; // state requests still queued find the host gone
}

void HeadlessHost::leaveLanguageScreen()
{
    if (deviceLink.linkState != 0)
    {
        deviceVersion = deviceLink.firmwareVersion;
        setScreenState (Ready);
    }
    else
    {
        deviceVersion = -1;
        setScreenState (NotRecognised);
    }
}

bool HeadlessHost::start (const std::string& deviceName)
{
    if (state != Ready || packageUsable != 1 || running || worker.joinable())
        return false;
    mailbox.reset();
    running = true;
    worker = std::thread (
        [this, deviceName]
        {
            FirmwareTransfer transfer (*this, info, blocks);
            transfer.run (deviceName);
            {
                std::lock_guard<std::mutex> g (endLock);
                running = false;
            }
            ended.notify_all();
        });
    return true;
}

void HeadlessHost::quit()
{
    interrupt();
    if (worker.joinable())
        worker.join();
}

void HeadlessHost::interrupt()
{
    mailbox.interrupt();
    {
        std::lock_guard<std::mutex> g (stopLock);
        stopRequested = true;
    }
    stopSignal.notify_all();
}

bool HeadlessHost::waitForEnd (int timeoutMs)
{
    std::unique_lock<std::mutex> g (endLock);
    return ended.wait_for (g, std::chrono::milliseconds (timeoutMs), [this] { return !running; });
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

void HeadlessHost::resetAnswer()
{
    mailbox.reset();
}

void HeadlessHost::send (const uint8_t (&command)[commandSize])
{
    deviceLink.send (command, commandSize);
}

bool HeadlessHost::waitForAnswer (int timeoutMs)
{
    return mailbox.wait (scaled (timeoutMs));
}

Answer HeadlessHost::latestAnswer()
{
    return mailbox.latest();
}

void HeadlessHost::pause (int ms)
{
    std::unique_lock<std::mutex> g (stopLock);
    stopSignal.wait_for (g, std::chrono::milliseconds (scaled (ms)), [this] { return stopRequested; });
}

void HeadlessHost::requestState (int newState)
{
    std::lock_guard<std::mutex> g (stateLock);
    pendingState = newState;
    // Stands for triggerAsyncUpdate: applied on the message thread.
    juce::MessageManager::callAsync (
        [this, token = alive]
        {
            if (*token)
                applyPendingState();
        });
}

void HeadlessHost::applyPendingState()
{
    if (state == SelectLanguage)
        return;
    std::lock_guard<std::mutex> g (stateLock);
    if (pendingState != -1)
        setScreenState (pendingState);
    pendingState = -1;
}

void HeadlessHost::setScreenState (int newState)
{
    if (state != SelectLanguage && packageUsable == 0)
        return;
    if (state == Complete || state == Failed)
        return;
    state = newState;
}

void HeadlessHost::setProgress (double fraction)
{
    progress = fraction;
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

void HeadlessHost::hidDeviceRemoved()
{
    deviceVersion = -1;
    if (state != Updating)
        requestState (NotRecognised);
    else
        mailbox.zeroAndWake();
}

void HeadlessHost::hidDeviceArrived()
{
    deviceVersion = deviceLink.firmwareVersion;
    if (state != Updating)
        requestState (Ready);
    else
        mailbox.zeroAndWake();
}

void HeadlessHost::hidInputReceived()
{
    mailbox.store (deviceLink.inputBuffer, std::min (deviceLink.inputLength, 1024), state == Updating);
}

} // namespace qtx
