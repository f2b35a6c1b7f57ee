#include "resources/TxtLoader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qtx
{
namespace
{
    using Section = TxtLoader::Section;

    struct Loaded
    {
        int count = 0;
        std::vector<juce::String> slots;
    };

    Loaded load (const std::string& data, Section wanted, int slotCount = 8,
                 const juce::String& initial = juce::String())
    {
        Loaded result;
        result.slots.assign (static_cast<size_t> (slotCount), initial);
        result.count =
            TxtLoader::loadSection ({data.data(), data.size()}, wanted, result.slots.data(), slotCount);
        return result;
    }

    const std::string bom = "\xEF\xBB\xBF";

    TEST (LoadSection, SplitsLinesOnCrLfLfOrCrAlone)
    {
        for (const char* eol : {"\r\n", "\n", "\r"})
        {
            const std::string e = eol;
            const auto r =
                load (bom + e + ":STR" + e + e + "\"\"" + e + e + "\"a\"" + e + "\"b\"" + e + e + ":EOF" + e,
                      Section::texts);
            SCOPED_TRACE (testing::PrintToString (e));
            ASSERT_EQ (r.count, 3);
            EXPECT_EQ (r.slots[0], "");
            EXPECT_EQ (r.slots[1], "a");
            EXPECT_EQ (r.slots[2], "b");
        }
    }

    TEST (LoadSection, MixedLineEndsSwallowTheLineBetweenThem)
    {
        // After an LF-only line the cursor moves past the later of the first CR and the first
        // LF, so everything up to the next CR is lost. Kept as the format defines it.
        const auto r = load (":STR\r\n\"a\"\n\"b\"\r\n\"c\"\r\n", Section::texts, 4, "old");
        ASSERT_EQ (r.count, 1);
        EXPECT_EQ (r.slots[0], "a");
        EXPECT_EQ (r.slots[1], "old");
    }

    TEST (LoadSection, ByteOrderMarkOnTheMarkerLineHidesTheMarker)
    {
        const auto r = load (bom + ":STR\r\n\r\n\"a\"\r\n\"b\"\r\n:EOF\r\n", Section::texts, 4, "old");
        EXPECT_EQ (r.count, 0);
        EXPECT_EQ (r.slots[0], "old");
    }

    TEST (LoadSection, SecondSectionOfTheWantedKindContinuesTheNumbering)
    {
        const auto r =
            load (":STR\r\n\"a\"\r\n\"b\"\r\n:LANG\r\n\"x\"\r\n:STR\r\n\"c\"\r\n:EOF\r\n", Section::texts);
        ASSERT_EQ (r.count, 3);
        EXPECT_EQ (r.slots[2], "c");
    }

    TEST (LoadSection, MarkersAreFoundAnywhereOnTheMarkerLineAndOnlyThere)
    {
        // ":FONT_MAC" names no wanted section; " :STR" is not a marker (first column only),
        // so its quoted text is an entry of the open section.
        const std::string table = ":FONT_WIN\r\n\"win\"\r\n:FONT_MAC\r\n\"mac\"\r\n :STR \"fw\"\r\n"
                                  ":LANG\r\n\"lang\"\r\n:xxSTRxx\r\n\"str\"\r\n:EOF\r\n\"after\"\r\n";
        const auto fonts = load (table, Section::fontList);
        ASSERT_EQ (fonts.count, 1);
        EXPECT_EQ (fonts.slots[0], "win");
        const auto names = load (table, Section::languageNames);
        ASSERT_EQ (names.count, 1);
        EXPECT_EQ (names.slots[0], "lang");
        const auto texts = load (table, Section::texts);
        ASSERT_EQ (texts.count, 1);
        EXPECT_EQ (texts.slots[0], "str");
    }

    TEST (LoadSection, MarkerTestsEofFirstThenFontThenLangThenStr)
    {
        EXPECT_EQ (load (":FONT_WIN_STR\r\n\"a\"\r\n", Section::fontList).count, 1);
        EXPECT_EQ (load (":LANG_STR\r\n\"a\"\r\n", Section::languageNames).count, 1);
        EXPECT_EQ (load (":STR_EOF\r\n\"a\"\r\n", Section::texts).count, 0);
        EXPECT_EQ (load (":str\r\n\"a\"\r\n", Section::texts).count, 0); // case-sensitive
    }

    TEST (LoadSection, SkipsCommentsEmptyLinesAndTextOutsideTheQuotes)
    {
        const auto r = load ("ignored \"before\"\r\n:STR\r\n# \"comment\"\r\n\r\nkey = \"value\" trailing\r\n"
                             "no quote here\r\n\"\"\r\n",
                             Section::texts);
        ASSERT_EQ (r.count, 2);
        EXPECT_EQ (r.slots[0], "value");
        EXPECT_EQ (r.slots[1], "");
    }

    TEST (LoadSection, ShortTableKeepsTheRestOfTheSlotsAndSurplusIsIgnored)
    {
        const auto shortTable = load (":STR\r\n\"a\"\r\n\"b\"\r\n", Section::texts, 4, "old");
        EXPECT_EQ (shortTable.count, 2);
        EXPECT_EQ (shortTable.slots[1], "b");
        EXPECT_EQ (shortTable.slots[2], "old");
        EXPECT_EQ (shortTable.slots[3], "old");

        const auto longTable = load (":STR\r\n\"a\"\r\n\"b\"\r\n\"c\"\r\n", Section::texts, 2);
        EXPECT_EQ (longTable.count, 2);
        EXPECT_EQ (longTable.slots[1], "b");
    }

    TEST (LoadSection, TableWithoutEofOrFinalLineEndIsReadToItsEnd)
    {
        const auto r = load (":STR\r\n\"a\"\r\n\"last", Section::texts);
        ASSERT_EQ (r.count, 2);
        EXPECT_EQ (r.slots[1], "last");
    }

    TEST (LoadSection, NothingLoadsForNoSectionAnEmptyTableOrNoSlots)
    {
        EXPECT_EQ (load ("\"outside\"\r\n", Section::none).count, 0);
        EXPECT_EQ (load ("", Section::texts).count, 0);
        EXPECT_EQ (load (":STR\r\n\"a\"\r\n", Section::texts, 0).count, 0);
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
            {R"("a\nb")", "a\nb"},
            {R"("a\rb\tc")", "a\rb\tc"},
            {R"("say \"hi\"")", "say \"hi\""},
            {R"("back\\slash")", "back\\slash"},
            {R"("\\n")", "\\n"},                         // escaped backslash, then a plain n
            {R"("keep \x and \%")", "keep \\x and \\%"}, // unknown escape keeps its backslash
            {R"("\\")", "\\"},
            {R"("ends in \)", "ends in \\"},    // backslash at the end of the line
            {R"("trailing \")", "trailing \""}, // escaped quote, then the line ends
            {R"("open)", "open"},               // no closing quote: runs to the line end
            {R"(")", ""},
            {R"("" "second")", ""},
            {R"(x"a"b"c")", "a"},
        };
        for (const auto& c : cases)
        {
            SCOPED_TRACE (c.line);
            const auto r = load (std::string (":STR\r\n") + c.line + "\r\n", Section::texts, 1);
            ASSERT_EQ (r.count, 1);
            EXPECT_EQ (r.slots[0].toStdString(), c.expected);
        }
    }

    TEST (LoadSection, DecodesUtf8AndReplacesMalformedBytes)
    {
        struct Case
        {
            std::string bytes;
            juce::String expected;
        };
        const juce::String bad = juce::String::charToString (0xFFFD);
        const Case cases[] = {
            {"\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80",
             juce::String::fromUTF8 ("\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80")},
            {"a\xFFz", "a" + bad + "z"},
            {"\xC3", bad},             // truncated at the end of the line
            {"\xE4\xB8z", bad + "z"},  // truncated before a plain byte
            {"\xC0\xAF", bad},         // overlong
            {"\xED\xA0\x80", bad},     // surrogate
            {"\xF4\x90\x80\x80", bad}, // beyond U+10FFFF
            {std::string ("a\0b", 3), "a" + bad + "b"},
        };
        for (const auto& c : cases)
        {
            SCOPED_TRACE (testing::PrintToString (c.bytes));
            const auto r = load (":STR\r\n\"" + c.bytes + "\"\r\n", Section::texts, 1);
            ASSERT_EQ (r.count, 1);
            EXPECT_EQ (r.slots[0], c.expected);
        }
    }

    TEST (LoadSection, LinesLongerThanTheFormatLimitAreKeptWhole)
    {
        const std::string text (5000, 'x');
        const auto r = load (":STR\r\n\"" + text + "\"\r\n\"next\"\r\n", Section::texts, 2);
        ASSERT_EQ (r.count, 2);
        EXPECT_EQ (r.slots[0].length(), 5000);
        EXPECT_EQ (r.slots[1], "next");
    }

    TEST (LoadSection, LastByteOfATableIsNotReadPast)
    {
        // A heap copy sized exactly, so AddressSanitizer sees any read past the end.
        for (const std::string& data : {std::string (":STR\r\n\"\xE4"), std::string (":STR\r\n\"a\\"),
                                        std::string (":"), std::string ("\r"), std::string (":STR\r\n\"")})
        {
            std::vector<char> exact (data.begin(), data.end());
            juce::String slot;
            TxtLoader::loadSection ({exact.data(), exact.size()}, Section::texts, &slot, 1);
        }
    }
} // namespace
} // namespace qtx
