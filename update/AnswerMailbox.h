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

    // Zeroes the whole buffer and wakes the waiter with a wake-up that reset()
    // does not drop: the current wait, or the next one if none runs now, ends
    // with answer code 0, so a device event or a stop request landing between
    // two commands is not lost. Until the first reset() after a wait has taken
    // that wake-up (the worker's next command), stored answers leave the zeros
    // alone: an answer landing before the worker has read them is stale and
    // must not hide the event. Answers are taken as before afterwards.
    void zeroAndWake();

    // For a worker being stopped: a zeroAndWake() after which every later wait
    // ends at once as a time-out and nothing is stored any more.
    void stop();

    // Drops a pending answer's wake-up (a stale one); the wake-ups of
    // zeroAndWake() and stop() are kept until a wait has taken them.
    void reset();

    // Waits up to timeoutMs (negative: without limit) for a wake-up and consumes
    // it. True when woken, false on time-out (at once once stopped and consumed).
    // Bytes 0 and 1 of the buffer go to `answer` under the same lock: an event
    // after the wake-up cannot change the answer it woke for.
    bool wait (int timeoutMs, Answer& answer);

    // Copies the first `size` bytes of the buffer (at most bufferSize).
    void copyTo (uint8_t* destination, int size) const;

private:
    void zeroAndSignal (bool forGood);

    mutable std::mutex lock;
    std::condition_variable woken;
    bool signalled = false;
    bool held = false;   // the pending wake-up is zeroAndWake()'s or stop()'s: reset() keeps it
    bool zeroed = false; // the zeros are that wake-up's answer: store() leaves them
    bool stopped = false;
    uint8_t buffer[bufferSize] = {};
};

} // namespace qtx
