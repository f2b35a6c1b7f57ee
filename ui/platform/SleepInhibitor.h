#pragma once

#include <memory>

namespace qtx
{

// Keeps the computer from sleeping, idling into a suspend, or shutting down
// while the controller's firmware is being written: an update cut half-way
// leaves the controller without working firmware. Both calls return at once and
// never fail visibly; where the platform offers no such lock the program runs
// without it. Message thread only.
class SleepInhibitor
{
public:
    virtual ~SleepInhibitor() = default;

    // Asks for the lock; calling it again while held changes nothing.
    virtual void hold() = 0;
    // Lets the lock go (also done by the destructor).
    virtual void release() = 0;
};

// For platforms without such a facility, and for screens that need none.
class NullSleepInhibitor : public SleepInhibitor
{
public:
    void hold() override {}
    void release() override {}
};

// The platform's inhibitor.
std::unique_ptr<SleepInhibitor> createSleepInhibitor();

} // namespace qtx
