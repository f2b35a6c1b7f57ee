// What the program's window needs beside JUCE on Windows: a frame in whole logical pixels
// (WholePixelFrame), and under wine repaints. JUCE paints a window once there and then
// waits for vertical blanks that never come (wine stubs IDXGIOutput::WaitForVBlank), so
// nothing is redrawn; pending repaints are flushed on a timer instead.

#include "../../WindowUpkeep.h"
#include "WholePixelFrame.h"

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

    class WindowsUpkeep final : public WindowUpkeep, private juce::Timer
    {
    public:
        WindowsUpkeep()
        {
            if (runningUnderWine())
                startTimerHz (60);
        }
        ~WindowsUpkeep() override { stopTimer(); }

    private:
        void timerCallback() override
        {
            for (int i = juce::ComponentPeer::getNumPeers(); --i >= 0;)
                if (auto* peer = juce::ComponentPeer::getPeer (i))
                    peer->performAnyPendingRepaintsNow();
        }

        WholePixelFrame frame;
    };
} // namespace

std::unique_ptr<WindowUpkeep> WindowUpkeep::create()
{
    return std::make_unique<WindowsUpkeep>();
}

} // namespace qtx
