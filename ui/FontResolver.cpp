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

    // JUCE keeps a face per typeface name, and its default sans-serif has a name of its
    // own: the same family asked for by its real name opened the font file a second
    // time, with glyph and kerning tables of its own. Such a family goes by JUCE's name.
    juce::String sharedName (const juce::String& family)
    {
        static const auto defaultFamily = []
        {
            const juce::Font standard (juce::Font::getDefaultSansSerifFontName(), 10.0f, juce::Font::plain);
            const auto face = standard.getTypefacePtr();
            return face != nullptr ? face->getName() : juce::String();
        }();
        return family == defaultFamily ? juce::Font::getDefaultSansSerifFontName() : family;
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
    return juce::Font (sharedName (resolveFontFamily (name)), height, styleFlags);
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
