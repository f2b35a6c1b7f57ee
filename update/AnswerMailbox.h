#pragma once

// Hands the controller's answers from the thread that receives them to the
// transfer worker: the latest answer bytes under a lock, and an auto-reset
// wake-up with a timed wait. std only, so the program, the tests and a
// headless updater share one implementation.

#include "TransferPort.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace qtx
{

class AnswerMailbox
{
public:
    static constexpr int bufferSize = 1024;

    // Copies up to bufferSize bytes to the start of the buffer (bytes behind
    // them keep their earlier contents); wakes the waiter when wake is set.
    void store (const uint8_t* data, int length, bool wake);

    // Zeroes the whole buffer and wakes the waiter: its wait ends with answer code 0.
    void zeroAndWake();

    // Zeroes the buffer and wakes the waiter with a wake-up that reset() does not
    // drop, so the current wait, or the next one if none runs now, ends with
    // answer code 0 (a stop request landing between two commands is not lost).
    // Answers are taken as before afterwards.
    void interrupt();

    // For a worker being stopped by the thread that would deliver its answers:
    // an interrupt() after which every later wait ends at once as a time-out
    // and nothing is stored any more.
    void stop();

    // Wakes the waiter without touching the buffer.
    void wake();

    // Drops a pending wake-up (not the one of interrupt() or stop()).
    void reset();

    // Waits up to timeoutMs (negative: without limit) for a wake-up and consumes
    // it. True when woken, false on time-out (at once once stopped and consumed).
    bool wait (int timeoutMs);

    // Bytes 0 and 1 of the buffer.
    Answer latest() const;

    // Copies the first `size` bytes of the buffer (at most bufferSize).
    void copyTo (uint8_t* destination, int size) const;

private:
    enum class Hold
    {
        no,
        untilTaken,
        forGood
    };
    void zeroAndSignal (Hold hold);

    mutable std::mutex lock;
    std::condition_variable woken;
    bool signalled = false;
    bool held = false; // the pending wake-up is interrupt()'s or stop()'s: reset() keeps it
    bool stopped = false;
    uint8_t buffer[bufferSize] = {};
};

} // namespace qtx
