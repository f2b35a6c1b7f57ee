// XKB's "detectable auto-repeat" holds for one client connection, so it is set on
// JUCE's own, which JUCE hands out for this through its X headers.

#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include "../HeldKeys.h"

#include <juce_gui_basics/juce_gui_basics.h>

namespace qtx
{

void reportHeldKeysAsHeld()
{
    auto* display = juce::XWindowSystem::getInstance()->getDisplay();
    if (display == nullptr)
        return;
    const juce::XWindowSystemUtilities::ScopedXLock lock;
    Bool supported = False;
    XkbSetDetectableAutoRepeat (display, True, &supported);
}

} // namespace qtx
