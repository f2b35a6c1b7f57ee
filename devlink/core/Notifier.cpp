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

Notifier::Outcome Notifier::post (Kind kind, int deviceNumber)
{
    std::lock_guard<std::mutex> lock (mutex);
    const unsigned int message = kind == Kind::input     ? inputMessage
                                 : kind == Kind::arrival ? arrivalMessage
                                                         : removalMessage;
    if (target.post == nullptr || message == 0)
        return Outcome::notWanted;
    return target.post (target.context, message, deviceNumber) != 0 ? Outcome::posted : Outcome::refused;
}
} // namespace qtx::devlink
