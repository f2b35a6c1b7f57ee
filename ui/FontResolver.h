#pragma once

// The language tables name fonts as the program's original platform knows them
// ("Arial", "Microsoft YaHei", ...). These helpers turn such a name into a family
// that is installed here and that JUCE can draw, at the moment a Font is made.

#include <juce_graphics/juce_graphics.h>

namespace qtx
{

// An installed family for `name`; JUCE's placeholder names ("<Sans-Serif>") and
// names that cannot be resolved come back unchanged.
juce::String resolveFontFamily (const juce::String& name);

// A Font of the resolved family, height and JUCE style flags (0 plain, 1 bold, 2 italic).
juce::Font makeFont (const juce::String& name, float height, int styleFlags);

// Makes the resolved family JUCE's fallback typeface for characters a font lacks.
void setFallbackFont (const juce::String& name);

// JUCE on Linux draws a font's "missing glyph" box instead of asking the fallback
// typeface, so text that the font cannot show is given the fallback's family
// (the current fallback typeface when fallbackName is empty).
juce::Font withGlyphsFor (const juce::Font& font, const juce::String& text,
                          const juce::String& fallbackName = {});

} // namespace qtx
