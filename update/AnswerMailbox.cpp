#include "AnswerMailbox.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace qtx
{

void AnswerMailbox::store (const uint8_t* data, int length, bool wakeWaiter)
{
    {
        std::lock_guard<std::mutex> guard (lock);
        if (stopped)
            return;
        if (data != nullptr && length > 0)
            std::memcpy (buffer, data, (size_t) std::min (length, bufferSize));
        if (wakeWaiter)
            signalled = true;
    }
    if (wakeWaiter)
        woken.notify_one();
}

void AnswerMailbox::zeroAndWake()
{
    zeroAndSignal (Hold::no);
}

void AnswerMailbox::interrupt()
{
    zeroAndSignal (Hold::untilTaken);
}

void AnswerMailbox::stop()
{
    zeroAndSignal (Hold::forGood);
}

void AnswerMailbox::zeroAndSignal (Hold hold)
{
    {
        std::lock_guard<std::mutex> guard (lock);
        std::memset (buffer, 0, sizeof (buffer));
        signalled = true;
        held = held || hold != Hold::no;
        stopped = stopped || hold == Hold::forGood;
    }
    woken.notify_one();
}

void AnswerMailbox::wake()
{
    {
        std::lock_guard<std::mutex> guard (lock);
        signalled = true;
    }
    woken.notify_one();
}

void AnswerMailbox::reset()
{
    std::lock_guard<std::mutex> guard (lock);
    if (!held && !stopped)
        signalled = false;
}

bool AnswerMailbox::wait (int timeoutMs)
{
    std::unique_lock<std::mutex> guard (lock);
    const auto ready = [this] { return signalled || stopped; };
    if (timeoutMs < 0)
        woken.wait (guard, ready);
    else
        woken.wait_for (guard, std::chrono::milliseconds (timeoutMs), ready);
    const bool wasSignalled = signalled;
    signalled = false;
    held = false;
    return wasSignalled;
}

Answer AnswerMailbox::latest() const
{
    std::lock_guard<std::mutex> guard (lock);
    return Answer{buffer[0], buffer[1]};
}

void AnswerMailbox::copyTo (uint8_t* destination, int size) const
{
    if (destination == nullptr || size <= 0)
        return;
    std::lock_guard<std::mutex> guard (lock);
    std::memcpy (destination, buffer, (size_t) std::min (size, bufferSize));
}

} // namespace qtx
