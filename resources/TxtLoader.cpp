#include "resources/TxtLoader.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace qtx
{
TxtLoader* TxtLoader::instance = nullptr;

namespace
{
    // U+FFFD in UTF-8.
    constexpr char replacementCharacter[] = "\xEF\xBF\xBD";

    // Decodes UTF-8 strictly: a malformed or truncated sequence, a surrogate, an
    // overlong form and a NUL byte each become U+FFFD, so nothing is read past the
    // text and no character is silently dropped. A valid sequence is already the
    // one UTF-8 form of its character, so it is copied as it is and the cleaned
    // bytes go into the string in one copy (scratch is reused between calls).
    juce::String stringFromUtf8 (std::string_view bytes, std::string& scratch)
    {
        scratch.clear();
        scratch.reserve (bytes.size());
        const auto* p = reinterpret_cast<const unsigned char*> (bytes.data());
        const auto* end = p + bytes.size();

        while (p < end)
        {
            const auto* sequence = p;
            const unsigned char lead = *p++;
            if (lead == 0)
            {
                scratch += replacementCharacter;
                continue;
            }
            if (lead < 0x80)
            {
                scratch += static_cast<char> (lead);
                continue;
            }

            int extra = 0;
            juce::juce_wchar c = 0, minimum = 0;
            if ((lead & 0xE0) == 0xC0)
            {
                extra = 1;
                c = lead & 0x1F;
                minimum = 0x80;
            }
            else if ((lead & 0xF0) == 0xE0)
            {
                extra = 2;
                c = lead & 0x0F;
                minimum = 0x800;
            }
            else if ((lead & 0xF8) == 0xF0)
            {
                extra = 3;
                c = lead & 0x07;
                minimum = 0x10000;
            }
            else
            {
                scratch += replacementCharacter;
                continue;
            }

            int taken = 0;
            while (taken < extra && p < end && (*p & 0xC0) == 0x80)
            {
                c = (c << 6) | (*p++ & 0x3F);
                ++taken;
            }

            const bool valid = taken == extra && c >= minimum && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
            if (valid)
                scratch.append (reinterpret_cast<const char*> (sequence), static_cast<size_t> (p - sequence));
            else
                scratch += replacementCharacter;
        }

        return juce::String (juce::CharPointer_UTF8 (scratch.data()),
                             juce::CharPointer_UTF8 (scratch.data() + scratch.size()));
    }

    // The text between the first double quote and the next unescaped one, with
    // \r \n \t \" and \\ resolved. False when the line holds no double quote.
    bool unquote (std::string_view line, std::string& text)
    {
        const auto open = line.find ('"');
        if (open == std::string_view::npos)
            return false;

        text.clear();
        for (size_t i = open + 1; i < line.size(); ++i)
        {
            const char c = line[i];
            if (c == '"')
                break;

            if (c == '\\' && i + 1 < line.size())
            {
                const char next = line[i + 1];
                char resolved = 0;
                switch (next)
                {
                    case 'r':
                        resolved = '\r';
                        break;
                    case 'n':
                        resolved = '\n';
                        break;
                    case 't':
                        resolved = '\t';
                        break;
                    case '"':
                    case '\\':
                        resolved = next;
                        break;
                    default:
                        break;
                }
                if (resolved != 0)
                {
                    text += resolved;
                    ++i;
                    continue;
                }
            }
            text += c;
        }
        return true;
    }

    TxtLoader::Section sectionOfMarker (std::string_view marker)
    {
        if (marker.find ("FONT_WIN") != std::string_view::npos)
            return TxtLoader::Section::fontList;
        if (marker.find ("LANG") != std::string_view::npos)
            return TxtLoader::Section::languageNames;
        if (marker.find ("STR") != std::string_view::npos)
            return TxtLoader::Section::texts;
        return TxtLoader::Section::none;
    }

    bool isValidIndex (int index, size_t count) noexcept
    {
        return index >= 0 && static_cast<size_t> (index) < count;
    }
} // namespace

int TxtLoader::loadSection (const TextTable& table, Section wanted, juce::String* firstSlot, int slotCount)
{
    if (table.data == nullptr || firstSlot == nullptr || slotCount <= 0 || wanted == Section::none)
        return 0;

    const char* cursor = table.data;
    const char* const end = table.data + table.size;
    const auto findFrom = [end] (const char* from, char c)
    {
        const void* found = std::memchr (from, c, static_cast<size_t> (end - from));
        return found != nullptr ? static_cast<const char*> (found) : end;
    };

    // The first CR and the first LF at or after the cursor, found once and searched
    // again only when the cursor has passed them: a table of LF-only lines would
    // otherwise be searched to its end for a CR on every line.
    const char* firstCr = findFrom (cursor, '\r');
    const char* firstLf = findFrom (cursor, '\n');

    Section section = Section::none;
    int count = 0;
    std::string entry, utf8;

    while (cursor < end)
    {
        if (firstCr < cursor)
            firstCr = findFrom (cursor, '\r');
        if (firstLf < cursor)
            firstLf = findFrom (cursor, '\n');

        const std::string_view line (cursor, static_cast<size_t> (std::min (firstCr, firstLf) - cursor));

        // Past the later of the two when both exist, so CR LF counts as one line end.
        if (firstCr != end && firstLf != end)
            cursor = std::max (firstCr, firstLf) + 1;
        else if (firstCr != end)
            cursor = firstCr + 1;
        else if (firstLf != end)
            cursor = firstLf + 1;
        else
            cursor = end;

        if (line.empty() || line.front() == '#')
            continue;

        if (line.front() == ':')
        {
            if (line.find ("EOF") != std::string_view::npos)
                break;
            section = sectionOfMarker (line);
            continue;
        }

        // Count runs on across markers: a second section of the wanted kind continues
        // the numbering.
        if (section == wanted && count < slotCount && unquote (line, entry))
            firstSlot[count++] = stringFromUtf8 (entry, utf8);
    }

    return count;
}

TxtLoader::TxtLoader (std::unique_ptr<SystemLocale> systemLocale, const TextTableSet& textTables)
    : locale (std::move (systemLocale))
    , tables (textTables)
{
    loadSection (tables.fonts, Section::fontList, fontNames.data(), numLanguages);
    loadSection (tables.fonts, Section::languageNames, languageNames.data(), numLanguages);
    setLanguage (chooseDefaultLanguage());
}

TxtLoader::~TxtLoader() = default;

TxtLoader* TxtLoader::getInstance()
{
    if (instance == nullptr)
        instance = new TxtLoader (createSystemLocale());
    return instance;
}

void TxtLoader::deleteInstance()
{
    delete instance;
    instance = nullptr;
}

void TxtLoader::setLanguage (int index)
{
    if (index == currentLanguage || !isValidIndex (index, tables.languages.size()))
        return;

    currentLanguage = index;
    loadSection (tables.languages[static_cast<size_t> (index)], Section::texts, texts.data(), numTextEntries);
}

bool TxtLoader::isLanguageInstalled (int index) const noexcept
{
    return isValidIndex (index, installed.size()) && installed[static_cast<size_t> (index)];
}

const juce::String& TxtLoader::getText (int entry) const noexcept
{
    return isValidIndex (entry, texts.size()) ? texts[static_cast<size_t> (entry)] : emptyText;
}

const juce::String& TxtLoader::getLanguageName (int index) const noexcept
{
    return isValidIndex (index, languageNames.size()) ? languageNames[static_cast<size_t> (index)]
                                                      : emptyText;
}

const juce::String& TxtLoader::getFontName (int index) const noexcept
{
    return isValidIndex (index, fontNames.size()) ? fontNames[static_cast<size_t> (index)] : emptyText;
}

const juce::String& TxtLoader::getCurrentFontName() const noexcept
{
    return getFontName (currentLanguage);
}

int TxtLoader::chooseDefaultLanguage()
{
    // English is always available.
    installed.fill (false);
    installed[0] = true;

    if (locale != nullptr)
    {
        for (const auto& localeId : locale->getInstalledLocales())
        {
            if (localeId.size() < 2)
                continue;
            const char* tail = localeId.c_str() + localeId.size() - 2;
            for (size_t i = 1; i < installed.size(); ++i)
            {
                char hex[3];
                std::snprintf (hex, sizeof (hex), "%02x", languageIds[i] & 0xFF);
                if (std::tolower (static_cast<unsigned char> (tail[0])) == hex[0] &&
                    std::tolower (static_cast<unsigned char> (tail[1])) == hex[1])
                    installed[i] = true;
            }
        }
    }

    const uint16_t userId = locale != nullptr ? locale->getUserLanguageId() : uint16_t (0x0409);
    const int lowByte = userId & 0xFF;

    if (lowByte == 0x04)
    {
        constexpr int simplified = 8, traditional = 9;
        if (userId == 0x0804)
            return installed[simplified] ? simplified : 0;
        if (userId == 0x0404 || userId == 0x0C04 || userId == 0x1404 || userId == 0x1004 || userId == 0x7C04)
            return installed[traditional] ? traditional : 0;
        return 0;
    }

    for (size_t i = 0; i < languageIds.size(); ++i)
        if ((languageIds[i] & 0xFF) == lowByte)
            return installed[i] ? static_cast<int> (i) : 0;
    return 0;
}
} // namespace qtx
