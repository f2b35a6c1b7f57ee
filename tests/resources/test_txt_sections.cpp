#include "resources/TxtLoader.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

namespace qtx
{
namespace
{
    using Section = TxtLoader::Section;

    // The slots after loading, the untouched ones still holding "old".
    std::vector<std::string> load (const std::string& data, Section wanted, int slotCount = 4)
    {
        std::vector<juce::String> slots (static_cast<size_t> (slotCount), "old");
        const int count =
            TxtLoader::loadSection ({data.data(), data.size()}, wanted, slots.data(), slotCount);
        EXPECT_GE (count, 0);
        EXPECT_LE (count, slotCount);
        std::vector<std::string> result;
        for (const auto& s : slots)
            result.push_back (s.toStdString());
        return result;
    }

    TEST (LoadSection, SplitsLinesAndFollowsMarkers)
    {
        struct Case
        {
            const char* what;
            std::string table;
            Section wanted;
            std::vector<std::string> expected;
        };
        const std::string bom = "\xEF\xBB\xBF";
        const std::vector<std::string> none (4, "old"), justA = {"a", "old", "old", "old"};
        const std::vector<std::string> emptyAndA = {"", "a", "old", "old"};
        // clang-format off
        const Case cases[] = {
            {"CR LF", bom + "\r\n:STR\r\n\r\n\"\"\r\n\"a\"\r\n\r\n:EOF\r\n", Section::texts, emptyAndA},
            {"LF alone", bom + "\n:STR\n\n\"\"\n\"a\"\n:EOF\n", Section::texts, emptyAndA},
            {"CR alone", bom + "\r:STR\r\r\"\"\r\"a\"\r:EOF\r", Section::texts, emptyAndA},
            // After an LF-only line the cursor passes the later of the first CR and first LF:
            // everything up to the next CR is lost, as the format defines it.
            {"mixed", ":STR\r\n\"a\"\n\"b\"\r\n\"c\"\r\n", Section::texts, justA},
            {"BOM hides the marker", bom + ":STR\r\n\"a\"\r\n", Section::texts, none},
            {"second :STR continues", ":STR\r\n\"a\"\r\n:LANG\r\n\"x\"\r\n:STR\r\n\"b\"\r\n", Section::texts,
             {"a", "b", "old", "old"}},
            {"first column only", ":STR\r\n :LANG \"a\"\r\n", Section::texts, justA},
            {"marker anywhere on its line", ":xxSTRxx\r\n\"a\"\r\n", Section::texts, justA},
            {"FONT_MAC is never wanted", ":FONT_MAC\r\n\"m\"\r\n:FONT_WIN\r\n\"a\"\r\n", Section::fontList, justA},
            {"FONT_WIN before STR", ":FONT_WIN_STR\r\n\"a\"\r\n", Section::fontList, justA},
            {"EOF first", ":STR_EOF\r\n\"a\"\r\n", Section::texts, none},
            {"case-sensitive", ":str\r\n\"a\"\r\n", Section::texts, none},
            {"stops at EOF", ":STR\r\n\"a\"\r\n:EOF\r\n\"b\"\r\n", Section::texts, justA},
            {"no EOF, no last line end", ":STR\r\n\"a\"\r\n\"last", Section::texts, {"a", "last", "old", "old"}},
            {"skips", "\"before any marker\"\r\n:STR\r\n# \"comment\"\r\n\r\nno quote\r\nkey = \"a\" tail\r\n",
             Section::texts, justA},
            {"surplus ignored", ":STR\r\n\"1\"\r\n\"2\"\r\n\"3\"\r\n\"4\"\r\n\"5\"\r\n", Section::texts, {"1", "2", "3", "4"}},
            {"no wanted section", "\"a\"\r\n", Section::none, none},
            {"empty table", "", Section::texts, none},
            {"long line kept whole", ":STR\r\n\"" + std::string (5000, 'x') + "\"\r\n\"y\"\r\n", Section::texts,
             {std::string (5000, 'x'), "y", "old", "old"}},
        };
        // clang-format on
        for (const auto& c : cases)
            EXPECT_EQ (load (c.table, c.wanted), c.expected) << c.what;

        juce::String slot;
        EXPECT_EQ (TxtLoader::loadSection ({nullptr, 10}, Section::texts, &slot, 1), 0);
    }

    TEST (LoadSection, UnquotesEscapes)
    {
        struct Case
        {
            const char* line;
            const char* expected;
        };
        const Case cases[] = {
            {R"("a\nb\rc\td")", "a\nb\rc\td"},
            {R"("say \"hi\"")", "say \"hi\""},
            {R"("back\\slash")", "back\\slash"},
            {R"("keep \x and \%")", "keep \\x and \\%"}, // unknown escape keeps its backslash
            {R"("ends in \)", "ends in \\"},             // backslash at the end of the line
            {R"("open)", "open"},                        // no closing quote: runs to the line end
            {R"(")", ""},
            {R"(x"a"b"c")", "a"},
        };
        for (const auto& c : cases)
            EXPECT_EQ (load (std::string (":STR\r\n") + c.line + "\r\n", Section::texts, 1)[0], c.expected)
                << c.line;
    }

    TEST (LoadSection, DecodesUtf8AndReplacesMalformedBytes)
    {
        const std::string bad = "\xEF\xBF\xBD"; // U+FFFD
        const std::pair<std::string, std::string> cases[] = {
            {"\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80", "\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80"},
            {"a\xFFz", "a" + bad + "z"},
            {"\xC3", bad},             // truncated at the end of the line
            {"\xE4\xB8z", bad + "z"},  // truncated before a plain byte
            {"\xC0\xAF", bad},         // overlong
            {"\xED\xA0\x80", bad},     // surrogate
            {"\xF4\x90\x80\x80", bad}, // beyond U+10FFFF
            {std::string ("a\0b", 3), "a" + bad + "b"},
        };
        for (const auto& [bytes, expected] : cases)
            EXPECT_EQ (load (":STR\r\n\"" + bytes + "\"\r\n", Section::texts, 1)[0], expected)
                << testing::PrintToString (bytes);
    }

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

    TEST (TextTables, EveryLanguageTableHas24EntriesWithEnglishPlaceholders)
    {
        const auto& tables = embeddedTextTables();
        const auto english = entries (tables.languages[0], Section::texts);
        // (language index, entry) whose placeholders differ from English on purpose.
        const std::set<std::pair<size_t, size_t>> exceptions = {{7, 15}, {7, 17}, {10, 17}};

        for (size_t lang = 0; lang < tables.languages.size(); ++lang)
        {
            SCOPED_TRACE (testing::Message() << "language " << lang);
            const auto texts = entries (tables.languages[lang], Section::texts);
            ASSERT_EQ (texts.size(), static_cast<size_t> (numTextEntries));
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
} // namespace
} // namespace qtx
