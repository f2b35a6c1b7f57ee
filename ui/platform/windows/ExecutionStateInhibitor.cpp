#include "ui/platform/SleepInhibitor.h"

#include <windows.h>

namespace qtx
{
namespace
{

    // Windows keeps a per-thread execution state: while it carries
    // ES_SYSTEM_REQUIRED the system does not go to sleep on idle. hold() and
    // release() both run on the message thread, so the state belongs to it.
    class ExecutionStateInhibitor : public SleepInhibitor
    {
    public:
        ~ExecutionStateInhibitor() override { release(); }

        void hold() override
        {
            if (!held)
                held = SetThreadExecutionState (ES_CONTINUOUS | ES_SYSTEM_REQUIRED) != 0;
        }

        void release() override
        {
            if (held)
                SetThreadExecutionState (ES_CONTINUOUS);
            held = false;
        }

    private:
        bool held = false;
    };

} // namespace

std::unique_ptr<SleepInhibitor> createSleepInhibitor()
{
    return std::make_unique<ExecutionStateInhibitor>();
}

} // namespace qtx
