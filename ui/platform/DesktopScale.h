#pragma once

namespace qtx
{

// Draws the program's windows at the scale the desktop asks for (2 at 200 %), where
// JUCE does not take it by itself; layout stays in logical pixels. Call on the
// message thread before the first window is made.
void applyDesktopScale();

} // namespace qtx
