#pragma once

#include <juce_graphics/juce_graphics.h>

namespace qtx
{

// The platform's choice of an installed family standing in for `name`, already
// made known to JUCE's typeface list; empty when there is none.
juce::String findInstalledFamily (const juce::String& name);

// Whether the installed family has a glyph for every character of text
// (whitespace and control characters aside).
bool familyCoversText (const juce::String& family, const juce::String& text);

} // namespace qtx
