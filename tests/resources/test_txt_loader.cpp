#include "resources/TxtLoader.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <string>
#include <vector>

namespace qtx
{
namespace
{
    struct FakeLocale : SystemLocale
    {
        uint16_t user;
        std::vector<std::string> locales;

        uint16_t getUserLanguageId() const override { return user; }
        std::vector<std::string> getInstalledLocales() const override { return locales; }
    };

    std::unique_ptr<SystemLocale> fakeLocale (uint16_t user, std::vector<std::string> locales = {})
    {
        auto locale = std::make_unique<FakeLocale>();
        locale->user = user;
        locale->locales = std::move (locales);
        return locale;
    }

    std::vector<int> installedIndices (const TxtLoader& loader)
    {
        std::vector<int> result;
        for (int i = 0; i < numLanguages; ++i)
            if (loader.isLanguageInstalled (i))
                result.push_back (i);
        return result;
    }

    TEST (TxtLoaderStart, StartingLanguageFollowsUserLanguageAndInstalledLocales)
    {
        struct Case
        {
            uint16_t user;
            std::vector<std::string> locales;
            int expected;
        };
        const std::vector<std::string> all = {"00000409", "0000040C", "00000407", "00000C0A",
                                              "00000410", "00000413", "00000419", "00000816",
                                              "00000804", "00000404", "00000412", "00000411"};
        // clang-format off
        const Case cases[] = {
            {0x0409, all, 0}, {0x0813, all, 5}, {0x0411, all, 11}, {0x0411, {"00000409"}, 0},
            {0x0C0C, {"0000080C"}, 1}, {0x0C0C, {"00000407"}, 0}, // French (Canada): any French locale or none
            {0x0416, {"00000816"}, 7},                             // Portuguese (Brazil): only the low byte counts
            {0x041D, all, 0}, {0x0000, all, 0},                    // Swedish is not among the twelve
            {0x0804, {"00000C04"}, 8}, {0x0404, {"00000804"}, 9},  // any Chinese locale sets both Chinese flags
            {0x0C04, {"00001004"}, 9}, {0x1004, {"00000404"}, 9}, {0x1404, {"00000404"}, 9},
            {0x7C04, {"00000404"}, 9}, {0x0004, all, 0},           // Chinese of no particular script
            {0x0804, {"00000409"}, 0}, {0x1004, {}, 0}, {0x0407, {"0000040c"}, 0},
            {0x0407, {"7"}, 0},                                    // too short to have a low byte
            {0x0407, {"", "x", "00000007"}, 2},                    // odd entries do not stop the enumeration
        };
        // clang-format on
        for (const auto& c : cases)
        {
            SCOPED_TRACE (testing::Message()
                          << std::hex << "user 0x" << c.user << ", " << testing::PrintToString (c.locales));
            TxtLoader loader (fakeLocale (c.user, c.locales));
            EXPECT_EQ (loader.getLanguage(), c.expected);
            EXPECT_EQ (loader.chooseDefaultLanguage(), c.expected);
        }
    }

    TEST (TxtLoaderStart, InstalledFlagsMatchTheLowByteIgnoringCase)
    {
        TxtLoader loader (fakeLocale (0x0409, {"0000080c", "00000C04", "00000416", "0000081D"}));
        EXPECT_EQ (installedIndices (loader), (std::vector<int>{0, 1, 7, 8, 9}));

        TxtLoader englishOnly (fakeLocale (0x0409, {}));
        EXPECT_EQ (installedIndices (englishOnly), std::vector<int>{0});

        TxtLoader noLocale (nullptr);
        EXPECT_EQ (installedIndices (noLocale), std::vector<int>{0});
        EXPECT_EQ (noLocale.getLanguage(), 0);
    }

    TEST (TxtLoaderStart, LoadsTheStartingLanguagesTextsAndFont)
    {
        TxtLoader loader (fakeLocale (0x0411, {"00000411"}));
        EXPECT_EQ (loader.getText (8), juce::String::fromUTF8 ("言語の選択"));
        EXPECT_EQ (loader.getCurrentFontName(), "MS UI Gothic");
        EXPECT_EQ (loader.getFontName (6), "Arial"); // the second font list is never read
    }

    TEST (TxtLoaderAccess, OutOfRangeRequestsGiveTheEmptyText)
    {
        TxtLoader loader (fakeLocale (0x0409, {}));
        for (int i : {-1, 24, 1000, std::numeric_limits<int>::min()})
            EXPECT_TRUE (loader.getText (i).isEmpty()) << i;
        for (int i : {-1, 12, std::numeric_limits<int>::max()})
        {
            EXPECT_TRUE (loader.getLanguageName (i).isEmpty()) << i;
            EXPECT_TRUE (loader.getFontName (i).isEmpty()) << i;
            EXPECT_FALSE (loader.isLanguageInstalled (i)) << i;
        }
        EXPECT_FALSE (loader.getText (23).isEmpty()); // the last entry is in range
    }

    TEST (TxtLoaderSwitch, KeepsWhatAShortTableLacksAndIgnoresIndicesOutside)
    {
        std::array<std::string, numLanguages> texts;
        for (size_t i = 0; i < texts.size(); ++i)
            texts[i] = ":STR\r\n\"lang " + std::to_string (i) + "\"\r\n\"second\"\r\n";
        texts[3] = ":STR\r\n\"only one\"\r\n";
        const std::string fonts = ":FONT_WIN\r\n\"F0\"\r\n\"F1\"\r\n:LANG\r\n\"L0\"\r\n";
        TextTableSet tables;
        for (size_t i = 0; i < texts.size(); ++i)
            tables.languages[i] = {texts[i].data(), texts[i].size()};
        tables.fonts = {fonts.data(), fonts.size()};

        TxtLoader loader (fakeLocale (0x0409, {}), tables);
        loader.setLanguage (1);
        EXPECT_EQ (loader.getText (0), "lang 1");
        EXPECT_EQ (loader.getCurrentFontName(), "F1");

        loader.setLanguage (3);
        EXPECT_EQ (loader.getText (0), "only one");
        EXPECT_EQ (loader.getText (1), "second");    // the previous language's text stays
        EXPECT_EQ (loader.getCurrentFontName(), ""); // font list shorter than the languages
        EXPECT_EQ (loader.getLanguageName (1), "");

        for (int i : {-1, 12, 99}) // outside the tables: ignored
        {
            loader.setLanguage (i);
            EXPECT_EQ (loader.getLanguage(), 3);
        }
    }
} // namespace
} // namespace qtx
