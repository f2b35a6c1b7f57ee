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
    const char* const tableNames[numLanguages] = {"en", "fr", "de",    "es",    "it", "nl",
                                                  "ru", "pt", "zh_cn", "zh_tw", "ko", "ja"};

    std::vector<juce::String> entries (const TextTable& table, TxtLoader::Section section, int slots,
                                       int& count)
    {
        std::vector<juce::String> result (static_cast<size_t> (slots));
        count = TxtLoader::loadSection (table, section, result.data(), slots);
        result.resize (static_cast<size_t> (count));
        return result;
    }

    // The printf conversions of a text, as written ("%s", "% s", "%02d").
    std::vector<std::string> conversions (const juce::String& text)
    {
        const std::string s = text.toStdString();
        std::vector<std::string> result;
        for (size_t i = 0; i < s.size(); ++i)
        {
            if (s[i] != '%')
                continue;
            size_t j = i + 1;
            while (j < s.size() && std::string ("-+ #0123456789.").find (s[j]) != std::string::npos)
                ++j;
            if (j < s.size() && s[j] == '%' && j == i + 1)
            {
                i = j;
                continue;
            }
            result.push_back (s.substr (i, j - i + 1));
            i = j;
        }
        return result;
    }

    std::string format (const juce::String& text, const char* deviceName)
    {
        char buffer[1024];
        std::snprintf (buffer, sizeof (buffer), text.toRawUTF8(), deviceName);
        return buffer;
    }

    // Byte layout every table shares: the byte order mark on a line of its own, CR LF
    // throughout, ":EOF" CR LF as the last line.
    void expectTableBytes (const TextTable& table)
    {
        const std::string bytes (table.data, table.size);
        EXPECT_EQ (bytes.rfind ("\xEF\xBB\xBF\r\n", 0), 0u);
        ASSERT_GE (bytes.size(), 6u);
        EXPECT_EQ (bytes.substr (bytes.size() - 6), ":EOF\r\n");
        for (size_t i = 0; i < bytes.size(); ++i)
        {
            if (bytes[i] == '\n')
            {
                ASSERT_TRUE (i > 0 && bytes[i - 1] == '\r') << "bare LF at " << i;
            }
            if (bytes[i] == '\r')
            {
                ASSERT_TRUE (i + 1 < bytes.size() && bytes[i + 1] == '\n') << "bare CR at " << i;
            }
        }
    }

    TEST (TextTables, EveryLanguageTableHas24EntriesWithEnglishPlaceholders)
    {
        const auto& tables = embeddedTextTables();
        int count = 0;
        const auto english = entries (tables.languages[0], TxtLoader::Section::texts, 30, count);
        ASSERT_EQ (count, numTextEntries);

        // (language index, entry) whose placeholders differ from English on purpose.
        const std::set<std::pair<int, int>> exceptions = {{7, 15}, {7, 17}, {10, 17}};

        for (int lang = 0; lang < numLanguages; ++lang)
        {
            SCOPED_TRACE (tableNames[lang]);
            expectTableBytes (tables.languages[static_cast<size_t> (lang)]);
            const auto texts =
                entries (tables.languages[static_cast<size_t> (lang)], TxtLoader::Section::texts, 30, count);
            ASSERT_EQ (count, numTextEntries);
            EXPECT_EQ (texts[0], "");
            EXPECT_EQ (texts[1], "QTX");
            EXPECT_EQ (texts[2], "QTX-ORB9");
            for (int e = 3; e < numTextEntries; ++e)
            {
                EXPECT_FALSE (texts[static_cast<size_t> (e)].isEmpty()) << "entry " << e;
                if (exceptions.count ({lang, e}) == 0)
                {
                    EXPECT_EQ (conversions (texts[static_cast<size_t> (e)]),
                               conversions (english[static_cast<size_t> (e)]))
                        << "entry " << e;
                }
            }
        }
    }

    TEST (TextTables, ListedFormsAreKept)
    {
        const auto& tables = embeddedTextTables();
        int count = 0;
        const auto pt = entries (tables.languages[7], TxtLoader::Section::texts, 24, count);
        EXPECT_EQ (conversions (pt[15]), std::vector<std::string>{"% s"});
        EXPECT_EQ (format (pt[15], "QTX-ORB9"), "Atualizando o firmware do seuQTX-ORB9.");
        EXPECT_TRUE (conversions (pt[17]).empty());

        const auto nl = entries (tables.languages[5], TxtLoader::Section::texts, 24, count);
        EXPECT_EQ (format (nl[15], "QTX-ORB9"), "De firmware van uw QTX-ORB9wordt bijgewerkt.");

        const auto ko = entries (tables.languages[10], TxtLoader::Section::texts, 24, count);
        EXPECT_TRUE (conversions (ko[17]).empty());

        const auto ja = entries (tables.languages[11], TxtLoader::Section::texts, 24, count);
        juce::StringArray lines;
        lines.addLines (ja[21]);
        ASSERT_EQ (lines.size(), 2);
        EXPECT_TRUE (lines[0].startsWith ("1. ")) << lines[0];
        EXPECT_FALSE (ja[21].containsChar ('\\'));

        // No other text spans lines.
        for (size_t lang = 0; lang < tables.languages.size(); ++lang)
        {
            const auto texts = entries (tables.languages[lang], TxtLoader::Section::texts, 24, count);
            for (size_t e = 0; e < texts.size(); ++e)
                if (!(lang == 11 && e == 21))
                {
                    EXPECT_FALSE (texts[e].containsAnyOf ("\r\n\t\\")) << tableNames[lang] << " entry " << e;
                }
        }
    }

    TEST (TextTables, FontAndNameTableHoldsTwelveOfEach)
    {
        const auto& table = embeddedTextTables().fonts;
        expectTableBytes (table);
        int count = 0;
        const auto fonts = entries (table, TxtLoader::Section::fontList, 20, count);
        EXPECT_EQ (count, numLanguages);
        const auto names = entries (table, TxtLoader::Section::languageNames, 20, count);
        EXPECT_EQ (count, numLanguages);

        const char* const expectedFonts[] = {
            "Arial", "Arial", "Arial",           "Arial",           "Arial",         "Arial",
            "Arial", "Arial", "Microsoft YaHei", "Microsoft YaHei", "Malgun Gothic", "MS UI Gothic"};
        const char* const expectedNames[] = {"English",  "Français",   "Deutsch", "Español",
                                             "Italiano", "Nederlands", "Русский", "Português",
                                             "简体中文", "繁體中文",   "한국어",  "日本語"};
        for (size_t i = 0; i < static_cast<size_t> (numLanguages); ++i)
        {
            EXPECT_EQ (fonts[i], expectedFonts[i]) << i;
            EXPECT_EQ (names[i], juce::String::fromUTF8 (expectedNames[i])) << i;
        }
    }
} // namespace
} // namespace qtx
