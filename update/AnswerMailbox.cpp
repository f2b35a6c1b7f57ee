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
        if (zeroed)
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
    zeroAndSignal (false);
}

void AnswerMailbox::stop()
{
    zeroAndSignal (true);
}

void AnswerMailbox::zeroAndSignal (bool forGood)
{
    {
        std::lock_guard<std::mutex> guard (lock);
        std::memset (buffer, 0, sizeof (buffer));
        signalled = true;
        held = true;
        zeroed = true;
        stopped = stopped || forGood;
    }
    woken.notify_one();
}

void AnswerMailbox::reset()
{
    std::lock_guard<std::mutex> guard (lock);
    if (held)
        return;
    signalled = false;
    zeroed = stopped;
}

bool AnswerMailbox::wait (int timeoutMs, Answer& answer)
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
    answer = Answer{buffer[0], buffer[1]};
    return wasSignalled;
}

void AnswerMailbox::copyTo (uint8_t* destination, int size) const
{
    if (destination == nullptr || size <= 0)
        return;
    std::lock_guard<std::mutex> guard (lock);
    std::memcpy (destination, buffer, (size_t) std::min (size, bufferSize));
}

} // namespace qtx
