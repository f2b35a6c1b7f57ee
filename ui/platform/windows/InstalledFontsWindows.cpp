// Windows knows the tables' font names itself: GDI takes them as they are. What it does
// not do for JUCE is draw characters a font lacks from another font, so whether a family
// covers a text is asked of GDI here, and the caller switches to the fallback typeface.

#include "../InstalledFonts.h"

#include <windows.h>

#include <map>

namespace qtx
{

juce::String findInstalledFamily (const juce::String& name)
{
    return name;
}

bool familyCoversText (const juce::String& family, const juce::String& text)
{
    // Asked on the message thread only; one device context and font per family.
    static std::map<juce::String, HFONT> fonts;
    static HDC dc = CreateCompatibleDC (nullptr);
    if (dc == nullptr)
        return true;

    auto found = fonts.find (family);
    if (found == fonts.end())
    {
        LOGFONTW description{};
        description.lfCharSet = DEFAULT_CHARSET;
        family.copyToUTF16 (description.lfFaceName, sizeof (description.lfFaceName));
        found = fonts.emplace (family, CreateFontIndirectW (&description)).first;
    }
    if (found->second == nullptr)
        return true;

    juce::String shown;
    for (auto c : text)
        if (!juce::CharacterFunctions::isWhitespace (c) && c >= 0x20)
            shown << juce::String::charToString (c);
    if (shown.isEmpty())
        return true;

    const auto utf16 = shown.toUTF16();
    const int count = int (utf16.length());
    std::vector<WORD> glyphs (std::size_t (count), 0);
    const HGDIOBJ previous = SelectObject (dc, found->second);
    const DWORD done =
        GetGlyphIndicesW (dc, utf16.getAddress(), count, glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS);
    SelectObject (dc, previous);
    if (done == GDI_ERROR)
        return true;
    for (const WORD glyph : glyphs)
        if (glyph == 0xFFFF)
            return false;
    return true;
}

} // namespace qtx
