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

    // Wakes the waiter without touching the buffer.
    void wake();

    // Drops a pending wake-up.
    void reset();

    // Waits up to timeoutMs (negative: without limit) for a wake-up and consumes
    // it. True when woken, false on time-out.
    bool wait (int timeoutMs);

    // Bytes 0 and 1 of the buffer.
    Answer latest() const;

    // Copies the first `size` bytes of the buffer (at most bufferSize).
    void copyTo (uint8_t* destination, int size) const;

private:
    mutable std::mutex lock;
    std::condition_variable woken;
    bool signalled = false;
    uint8_t buffer[bufferSize] = {};
};

} // namespace qtx
