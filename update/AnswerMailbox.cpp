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
    {
        std::lock_guard<std::mutex> guard (lock);
        std::memset (buffer, 0, sizeof (buffer));
        signalled = true;
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
    signalled = false;
}

bool AnswerMailbox::wait (int timeoutMs)
{
    std::unique_lock<std::mutex> guard (lock);
    if (timeoutMs < 0)
        woken.wait (guard, [this] { return signalled; });
    else if (!woken.wait_for (guard, std::chrono::milliseconds (timeoutMs), [this] { return signalled; }))
        return false;
    signalled = false;
    return true;
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
