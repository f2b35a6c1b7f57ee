#include "Notifier.h"

namespace qtx::devlink
{
void Notifier::set (const DevlinkNotifyTarget* newTarget, unsigned int input, unsigned int arrival,
                    unsigned int removal)
{
    std::lock_guard<std::mutex> lock (mutex);
    target = newTarget != nullptr ? *newTarget : DevlinkNotifyTarget{};
    inputMessage = input;
    arrivalMessage = arrival;
    removalMessage = removal;
}

bool Notifier::post (Kind kind, int deviceNumber)
{
    std::lock_guard<std::mutex> lock (mutex);
    const unsigned int message = kind == Kind::input     ? inputMessage
                                 : kind == Kind::arrival ? arrivalMessage
                                                         : removalMessage;
    if (target.post == nullptr || message == 0)
        return false;
    target.post (target.context, message, deviceNumber);
    return true;
}
} // namespace qtx::devlink
