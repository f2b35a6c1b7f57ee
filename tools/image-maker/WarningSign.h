#pragma once

#include <juce_graphics/juce_graphics.h>

namespace qtx
{

// The program's warning sign: a rounded triangle with a grey rim, a black band,
// a yellow field and a black exclamation mark, on a transparent background.
// `scale` draws the same picture with that many pixels per unit, for high-DPI screens.
juce::Image drawWarningSign (int width, int height, int scale = 1);

} // namespace qtx
