#pragma once

#include <juce_graphics/juce_graphics.h>

namespace qtx
{

// The platform's choice of an installed family standing in for `name`, already
// made known to JUCE's typeface list; empty when there is none.
juce::String findInstalledFamily (const juce::String& name);

} // namespace qtx
