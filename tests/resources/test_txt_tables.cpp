#include "resources/TxtLoader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace qtx
{
namespace
{
    using Section = TxtLoader::Section;
    const char* const tableNames[numLanguages] = {"en", "fr", "de",    "es",    "it", "nl",
                                                  "ru", "pt", "zh_cn", "zh_tw", "ko", "ja"};

    // The entries of one section, as many as there are (up to 30).
    std::vector<juce::String> entries (const TextTable& table, Section section)
    {
        std::vector<juce::String> result (30);
        result.resize (static_cast<size_t> (TxtLoader::loadSection (table, section, result.data(), 30)));
        return result;
    }

    // The printf conversions of a text, as written ("%s", "% s", "%02d").
    std::vector<std::string> conversions (const juce::String& text)
    {
        const std::string s = text.toStdString();
        std::vector<std::string> result;
        for (size_t i = s.find ('%'); i != std::string::npos; i = s.find ('%', i + 1))
        {
            const size_t end = s.find_first_not_of ("-+ #0123456789.", i + 1);
            result.push_back (s.substr (i, end == std::string::npos ? std::string::npos : end - i + 1));
            i = end == std::string::npos ? s.size() : end;
        }
        return result;
    }

    std::string format (const juce::String& text, const char* deviceName)
    {
        char buffer[512];
        std::snprintf (buffer, sizeof (buffer), text.toRawUTF8(), deviceName);
        return buffer;
    }

    // The byte order mark on a line of its own, CR LF throughout, ":EOF" CR LF last.
    void expectTableBytes (const TextTable& table)
    {
        const std::string bytes (table.data, table.size);
        EXPECT_EQ (bytes.rfind ("\xEF\xBB\xBF\r\n", 0), 0u);
        EXPECT_EQ (bytes.substr (bytes.size() - 6), ":EOF\r\n");
        for (size_t i = 0; i < bytes.size(); ++i)
        {
            const bool badLf = bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r');
            const bool badCr = bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n');
            ASSERT_FALSE (badLf || badCr) << "lone line end at " << i;
        }
    }

    TEST (TextTables, EveryLanguageTableHas24EntriesWithEnglishPlaceholders)
    {
        const auto& tables = embeddedTextTables();
        const auto english = entries (tables.languages[0], Section::texts);
        // (language index, entry) whose placeholders differ from English on purpose.
        const std::set<std::pair<size_t, size_t>> exceptions = {{7, 15}, {7, 17}, {10, 17}};

        for (size_t lang = 0; lang < tables.languages.size(); ++lang)
        {
            SCOPED_TRACE (tableNames[lang]);
            expectTableBytes (tables.languages[lang]);
            const auto texts = entries (tables.languages[lang], Section::texts);
            ASSERT_EQ (texts.size(), static_cast<size_t> (numTextEntries));
            EXPECT_EQ (texts[0], "");
            EXPECT_EQ (texts[1], "QTX");
            EXPECT_EQ (texts[2], "QTX-ORB9");
            for (size_t e = 3; e < texts.size(); ++e)
            {
                EXPECT_FALSE (texts[e].isEmpty()) << e;
                // Only Japanese entry 21 spans two lines; no other escape is in use.
                EXPECT_EQ (texts[e].containsAnyOf ("\r\n\t\\"), lang == 11 && e == 21) << e;
                if (exceptions.count ({lang, e}) == 0)
                {
                    EXPECT_EQ (conversions (texts[e]), conversions (english[e])) << e;
                }
            }
        }
    }

    TEST (TextTables, ListedFormsAreKept)
    {
        const auto& tables = embeddedTextTables();
        const auto pt = entries (tables.languages[7], Section::texts);
        EXPECT_EQ (format (pt[15], "QTX-ORB9"), "Atualizando o firmware do seuQTX-ORB9.");
        EXPECT_EQ (pt[17], juce::String::fromUTF8 ("A versão foi actualizada."));
        const auto nl = entries (tables.languages[5], Section::texts);
        EXPECT_EQ (format (nl[15], "QTX-ORB9"), "De firmware van uw QTX-ORB9wordt bijgewerkt.");
        EXPECT_TRUE (conversions (entries (tables.languages[10], Section::texts)[17]).empty());

        juce::StringArray lines;
        lines.addLines (entries (tables.languages[11], Section::texts)[21]);
        ASSERT_EQ (lines.size(), 2);
        EXPECT_TRUE (lines[0].startsWith ("1. ")) << lines[0];
    }

    TEST (TextTables, FontAndNameTableHoldsTwelveOfEach)
    {
        const auto& table = embeddedTextTables().fonts;
        expectTableBytes (table);
        const auto join = [] (const std::vector<juce::String>& list)
        {
            juce::StringArray a;
            for (const auto& s : list)
                a.add (s);
            return a.joinIntoString ("|");
        };
        EXPECT_EQ (join (entries (table, Section::fontList)),
                   "Arial|Arial|Arial|Arial|Arial|Arial|Arial|Arial|"
                   "Microsoft YaHei|Microsoft YaHei|Malgun Gothic|MS UI Gothic");
        EXPECT_EQ (join (entries (table, Section::languageNames)),
                   juce::String::fromUTF8 ("English|Français|Deutsch|Español|Italiano|Nederlands|Русский|"
                                           "Português|简体中文|繁體中文|한국어|日本語"));
    }
} // namespace
} // namespace qtx
