#pragma once

#include <juce_graphics/juce_graphics.h>

namespace qtx
{

// Starts loading the platform's font configuration on a helper thread, so that
// the first lookup does not wait for all of it. Optional; call once, early.
void prepareInstalledFonts();

// The platform's choice of an installed family standing in for `name`, already
// made known to JUCE's typeface list; empty when there is none.
juce::String findInstalledFamily (const juce::String& name);

// Whether the installed family has a glyph for every character of text
// (whitespace and control characters aside).
bool familyCoversText (const juce::String& family, const juce::String& text);

} // namespace qtx
