// Under wine, JUCE paints a window once and then waits for vertical blanks that never
// come (wine stubs IDXGIOutput::WaitForVBlank), so nothing is redrawn. There, pending
// repaints are flushed on a timer instead. Real Windows needs nothing.

#include "../../WindowUpkeep.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <windows.h>

namespace qtx
{
namespace
{
    bool runningUnderWine()
    {
        const HMODULE ntdll = GetModuleHandleW (L"ntdll.dll");
        return ntdll != nullptr && GetProcAddress (ntdll, "wine_get_version") != nullptr;
    }

    class WineRepaints final : public WindowUpkeep, private juce::Timer
    {
    public:
        WineRepaints() { startTimerHz (60); }
        ~WineRepaints() override { stopTimer(); }

    private:
        void timerCallback() override
        {
            for (int i = juce::ComponentPeer::getNumPeers(); --i >= 0;)
                if (auto* peer = juce::ComponentPeer::getPeer (i))
                    peer->performAnyPendingRepaintsNow();
        }
    };
} // namespace

std::unique_ptr<WindowUpkeep> WindowUpkeep::create()
{
    if (runningUnderWine())
        return std::make_unique<WineRepaints>();
    return nullptr;
}

} // namespace qtx
