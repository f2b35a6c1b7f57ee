#pragma once

// What the firmware transfer needs from its surroundings. The screen's rules
// (ui/rules/ScreenRules) implement it for the window and the headless updater
// alike (responseEvent, responseBuffer, stateLock, the device link); tests
// implement their own.

#include <cstdint>

namespace qtx
{

constexpr int commandSize = 64;

struct Answer
{
    uint8_t code = 0;  // byte 0 of the answer
    uint8_t value = 0; // byte 1: status or percent
};

class TransferPort
{
public:
    virtual ~TransferPort() = default;

    // Clears any pending wake-up. Called just before each command is written, so
    // a wake-up left from an earlier answer is never taken for the new one.
    virtual void resetAnswer() = 0;

    // Writes one 64-byte command to the controller. False only when the transfer
    // is being stopped: then nothing is written, now or later. (Whether the
    // controller got it shows in its answer, or in the time-out without one.)
    virtual bool send (const uint8_t (&command)[commandSize]) = 0;

    // Waits up to timeoutMs for an answer or a wake-up. True when woken (the
    // wake-up is consumed, as by an auto-reset event), false on time-out.
    // `answer` gets bytes 0 and 1 of the latest answer, taken under the same
    // lock as the wake-up, so an event landing just after it belongs to the
    // next wait (after a time-out: the last answer received, or zeros).
    virtual bool waitForAnswer (int timeoutMs, Answer& answer) = 0;

    // Pause of at most ms on the worker's own notification (a stop shortens it).
    virtual void pause (int ms) = 0;

    // ScreenState number to apply on the message thread.
    virtual void requestState (int screenState) = 0;

    // Progress bar value, 0.0 to 1.0.
    virtual void setProgress (double fraction) = 0;

    // One formatted trace line (at most 1023 bytes plus the terminator).
    virtual void trace (const char* line) = 0;
};

} // namespace qtx
