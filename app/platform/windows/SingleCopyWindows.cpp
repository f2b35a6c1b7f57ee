// JUCE's own single-copy check works on Windows: a second copy finds the first one's
// lock, hands it its command line (the first copy's anotherInstanceStarted brings its
// window forward) and ends before initialise. Every copy first allows any process to
// set the foreground window, so the first copy may come to the front when asked.

#include "../../SingleCopy.h"

#include <windows.h>

namespace qtx
{
namespace
{
    class SingleCopyWindows final : public SingleCopy
    {
    public:
        bool claim (std::function<void()>) override { return true; }
        void notifyRunningCopy() override {}
    };
} // namespace

std::unique_ptr<SingleCopy> SingleCopy::create (const std::string&)
{
    return std::make_unique<SingleCopyWindows>();
}

bool SingleCopy::frameworkKeepsSingleCopy()
{
    AllowSetForegroundWindow (ASFW_ANY);
    return true;
}

} // namespace qtx
