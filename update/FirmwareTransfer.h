#pragma once

// The conversation with the controller that installs the firmware: mode change,
// START, every block in 62-byte chunks, progress and completion. Stop-and-wait:
// one command outstanding at a time. Protocol: docs/transfer-protocol.md.

#include "TransferPort.h"
#include "UpdateFile.h"

#include <atomic>
#include <string>

namespace qtx
{

// Screen states the transfer requests (numbers shared with the main screen).
enum ScreenState : int32_t
{
    SelectLanguage = 0,
    NotRecognised = 1,
    Ready = 2,
    Updating = 3,
    Complete = 4,
    Failed = 5
};

class FirmwareTransfer
{
public:
    FirmwareTransfer (TransferPort& port, const UpdateFileInfo& info, const UpdateBlocks& blocks);

    // The worker body. deviceName is the UTF-8 model name used in traces.
    void run (const std::string& deviceName);

    // 0 when the controller reports update mode, -1 otherwise.
    int requestUpdateMode();

    // 0 when the current answer is not an interim progress answer (any more),
    // -1 when the controller stopped answering.
    int followProgress();

    // printf-style trace into a 1024-byte buffer (longer output is cut).
    void debugPrint (const char* format, ...) __attribute__ ((format (printf, 2, 3)));

    // Whether a chunk of firmware was written (any thread).
    bool wroteFirmware() const { return firmwareSent; }

    double lastPercent = 0.0;

private:
    // Drops any pending wake-up, then writes the command: an answer can never
    // come before its command, so a wake-up already pending is stale. False
    // once the transfer is being stopped: the caller then ends its phase.
    bool sendCommand (const uint8_t (&command)[commandSize]);

    // Waits for an answer and takes a copy of it into `answer` (also after a
    // time-out: the buffer then still holds the last answer, or zeros).
    bool awaitAnswer (int timeoutMs);

    bool runBlockPhase();
    bool runCompletionPhase();

    TransferPort& port;
    const UpdateFileInfo& info;
    const UpdateBlocks& blocks;
    std::string deviceName;
    Answer answer;
    bool stopped = false;
    std::atomic<bool> firmwareSent{false};
};

} // namespace qtx
