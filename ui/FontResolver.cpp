#include "FontResolver.h"

#include "platform/InstalledFonts.h"

#include <map>

namespace qtx
{
namespace
{
    const juce::String& asciiCharacters()
    {
        static const juce::String ascii = []
        {
            juce::String all;
            for (juce::juce_wchar c = 32; c < 127; ++c)
                all += juce::String::charToString (c);
            return all;
        }();
        return ascii;
    }
} // namespace

juce::String resolveFontFamily (const juce::String& name)
{
    if (name.isEmpty() || name.startsWithChar ('<'))
        return name;

    // Only the message thread makes fonts; the cache saves a fontconfig query per paint.
    static std::map<juce::String, juce::String> resolved;
    if (auto found = resolved.find (name); found != resolved.end())
        return found->second;

    auto family = findInstalledFamily (name);
    if (family.isEmpty())
        family = name;
    resolved.emplace (name, family);
    return family;
}

juce::Font makeFont (const juce::String& name, float height, int styleFlags)
{
    return juce::Font (resolveFontFamily (name), height, styleFlags);
}

void setFallbackFont (const juce::String& name)
{
    juce::Font::setFallbackFontName (resolveFontFamily (name));
}

juce::Font withGlyphsFor (const juce::Font& font, const juce::String& text, const juce::String& fallbackName)
{
    const auto family =
        font.getTypefacePtr() != nullptr ? font.getTypefacePtr()->getName() : font.getTypefaceName();
    // Every family draws plain ASCII; only other text asks fontconfig.
    if (text.isEmpty() || text.containsOnly (asciiCharacters()) || familyCoversText (family, text))
        return font;
    const auto fallback =
        fallbackName.isNotEmpty() ? resolveFontFamily (fallbackName) : juce::Font::getFallbackFontName();
    if (fallback.isEmpty() || fallback == family)
        return font;
    auto replaced = font;
    replaced.setTypefaceName (fallback);
    return replaced;
}

} // namespace qtx
