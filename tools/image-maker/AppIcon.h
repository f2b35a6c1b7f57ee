#pragma once

#include <juce_graphics/juce_graphics.h>

namespace qtx
{

// The program's desktop icon in the warning sign's style: a rounded square with
// a grey rim, a black band and a yellow field, holding a black arrow that goes
// down into a tray (new firmware going into the device). Square, any size.
juce::Image drawAppIcon (int size);

} // namespace qtx
