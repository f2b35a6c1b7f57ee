#include "FirmwareTransfer.h"

#include "TransferProtocol.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace qtx
{

FirmwareTransfer::FirmwareTransfer (TransferPort& p, const UpdateFileInfo& i, const UpdateBlocks& b)
    : port (p)
    , info (i)
    , blocks (b)
{
}

void FirmwareTransfer::debugPrint (const char* format, ...)
{
    char line[1024];
    va_list args;
    va_start (args, format);
    std::vsnprintf (line, sizeof (line), format, args);
    va_end (args);
    port.trace (line);
}

bool FirmwareTransfer::sendCommand (const uint8_t (&command)[commandSize])
{
    port.resetAnswer();
    if (!port.send (command))
    {
        debugPrint ("stopped: no further command is sent.\n");
        stopped = true;
        return false;
    }
    if (command[0] == HID_UPDATE_COM_DATA_SEND)
        firmwareSent = true;
    return true;
}

bool FirmwareTransfer::awaitAnswer (int timeoutMs)
{
    return port.waitForAnswer (timeoutMs, answer);
}

void FirmwareTransfer::run (const std::string& name)
{
    deviceName = name;
    port.requestState (Updating);
    port.setProgress (0.0);

    if (info.totalLength == 0)
    {
        port.requestState (Failed);
        return;
    }

    if (requestUpdateMode() == -1)
    {
        port.requestState (Failed);
        return;
    }

    Command command;
    buildStartCommand (info, blocks, command);
    if (!sendCommand (command))
    {
        port.requestState (Failed);
        return;
    }
    debugPrint ("send HID_UPDATE_COM_START. @%d\n", 290);
    if (!awaitAnswer (answerTimeoutMs) || answer.code != HID_UPDATE_ANS_START)
    {
        port.requestState (Failed);
        return;
    }

    bool transferOk = runBlockPhase();
    // The completion phase also runs after a failed block phase, so the
    // controller is asked where it stands either way (not after a stop).
    if (stopped || !runCompletionPhase())
        transferOk = false;

    port.requestState (transferOk ? Complete : Failed);
}

bool FirmwareTransfer::runBlockPhase()
{
    Command command;
    const int count = std::min<int> (info.blockCount, maxUpdateBlocks);
    for (int i = 0; i < count; ++i)
    {
        const UpdateBlock& block = blocks[(size_t) i];
        if (!block.update)
        {
            debugPrint ("Skip to update %d.\n", i);
            continue;
        }

        buildBlockSendCommand (i, block, command);
        if (!sendCommand (command))
            return false;
        debugPrint ("send HID_UPDATE_COM_BLOCK_SEND. @%d\n", 328);
        if (!awaitAnswer (answerTimeoutMs))
        {
            debugPrint ("ERROR: no response from %s. @%d\n", deviceName.c_str(), 334);
            return false;
        }
        if (answer.code != HID_UPDATE_ANS_RCV_OK)
        {
            // The controller turned this block down; the others may still go in.
            debugPrint ("ERROR: unexpected response(0x%x). @%d\n", answer.code, 414);
            continue;
        }

        const uint32_t chunks = chunkCount (block.length);
        for (uint32_t j = 0; j < chunks; ++j)
        {
            buildDataSendCommand (i, block, j, command);
            if (!sendCommand (command))
                return false;
            debugPrint ("send HID_UPDATE_COM_DATA_SEND. @%d\n", 363);
            if (!awaitAnswer (chunkTimeoutMs))
            {
                debugPrint ("ERROR: no response from %s. @%d\n", deviceName.c_str(), 368);
                return false;
            }
            if (followProgress() == -1)
                return false;

            if (j + 1 < chunks)
            {
                if (answer.code != HID_UPDATE_ANS_RCV_OK)
                {
                    debugPrint ("ERROR: unexpected response(0x%x). @%d\n", answer.code, 404);
                    return false;
                }
                debugPrint ("HID_UPDATE_ANS_RCV_OK(0x%x, %d). @%d\n", HID_UPDATE_ANS_RCV_OK, answer.value,
                            400);
            }
            else if (answer.code == HID_UPDATE_ANS_DL_OK)
            {
                debugPrint ("HID_UPDATE_ANS_DL_OK(0x%x, %d). @%d\n", HID_UPDATE_ANS_DL_OK, answer.value, 385);
            }
            else if (answer.code == HID_UPDATE_ANS_REQ_NEXT)
            {
                debugPrint ("HID_UPDATE_ANS_REQ_NEXT(0x%x, %d). @%d\n", answer.code, answer.value, 390);
            }
            else
            {
                debugPrint ("ERROR: unexpected response(0x%x). @%d\n", answer.code, 392);
                return false;
            }

            lastPercent = answer.value;
            port.setProgress (lastPercent / 100.0);
        }
    }
    return true;
}

bool FirmwareTransfer::runCompletionPhase()
{
    Command command;
    buildProgressCheckCommand (command);
    for (;;)
    {
        if (!sendCommand (command))
            return false;
        debugPrint ("send HID_UPDATE_COM_PROGRESS_CHK. @%d\n", 438);
        if (!awaitAnswer (answerTimeoutMs))
        {
            debugPrint ("ERROR: no response from %s. @%d\n", deviceName.c_str(), 444);
            return false;
        }
        if (answer.code == HID_UPDATE_ANS_COMPLETE)
        {
            port.setProgress (answer.value / 100.0);
            debugPrint ("HID_UPDATE_ANS_COMPLETE(0x%x, %d). @%d\n", answer.code, answer.value, 453);
            port.pause (progressPauseMs);
            return true;
        }
        if (answer.code != HID_UPDATE_ANS_PRGRESS_CHK)
        {
            debugPrint ("ERROR: unexpected response(0x%x). @%d\n", answer.code, 459);
            return false;
        }
        port.setProgress (answer.value / 100.0);
        debugPrint ("HID_UPDATE_ANS_PRGRESS_CHK(0x%x, %d). @%d\n", answer.code, answer.value, 457);
        port.pause (progressPauseMs);
    }
}

int FirmwareTransfer::requestUpdateMode()
{
    Command command;
    buildModeChangeCommand (command);
    for (int attempts = 0;;)
    {
        if (!sendCommand (command))
            return -1;
        debugPrint ("send HID_UPDATE_COM_MODE_CHANGE to request for update. @%d\n", 515);
        // Judged whether or not the wait timed out: the buffer then holds the
        // last answer received, or zeros.
        awaitAnswer (answerTimeoutMs);

        if (answer.code == HID_UPDATE_ANS_MODE_CHANGE && answer.value == 1)
        {
            debugPrint ("succeeded to change to Update mode.\n");
            return 0;
        }
        if (answer.code == HID_UPDATE_ANS_MODE_CHANGE && answer.value == 0)
        {
            debugPrint ("failed to change to Update mode.\n");
        }
        else if (answer.code == HID_UPDATE_ANS_MODE_CHANGE)
        {
            debugPrint ("failed to change to Update mode by unexpected response(0x%0x).\n", answer.value);
            return -1;
        }
        else
        {
            debugPrint ("unexpected response(0x%0x).\n", answer.code);
        }

        if (++attempts >= modeChangeAttempts)
        {
            debugPrint ("ERROR: retry error\n");
            return -1;
        }
    }
}

int FirmwareTransfer::followProgress()
{
    while (answer.code == HID_UPDATE_ANS_PRGRESS_CHK)
    {
        if ((double) answer.value != lastPercent)
            debugPrint ("HID_UPDATE_ANS_PRGRESS_CHK(0x%x, %d). @%d\n", answer.code, answer.value, 475);
        lastPercent = answer.value;
        port.setProgress (answer.value / 100.0);
        if (!awaitAnswer (interimTimeoutMs))
        {
            debugPrint ("ERROR: no response from %s. @%d\n", deviceName.c_str(), 483);
            return -1;
        }
    }
    return 0;
}

} // namespace qtx
