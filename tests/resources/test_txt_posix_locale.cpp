#include "resources/platform/linux/PosixLocaleNames.h"
#include "resources/SystemLocale.h"
#include "resources/TxtLoader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fontconfig/fontconfig.h>

namespace qtx
{
namespace
{
    TEST (PosixLocale, LocaleNamesMapToWindowsLanguageIdentifiers)
    {
        // clang-format off
        const std::pair<const char*, uint16_t> cases[] = {
            {"", 0x0409}, {"C", 0x0409}, {"POSIX", 0x0409}, {"C.UTF-8", 0x0409}, {"en_US.UTF-8", 0x0409},
            {"fr_FR.UTF-8", 0x040C}, {"fr_CA.UTF-8", 0x0C0C}, {"de_DE.UTF-8", 0x0407}, {"de_AT@euro", 0x0C07},
            {"es_ES.UTF-8", 0x0C0A}, {"it_IT", 0x0410}, {"nl_BE", 0x0813}, {"ru_RU.UTF-8", 0x0419},
            {"pt_PT", 0x0816}, {"pt_BR.UTF-8", 0x0416}, {"zh_CN.UTF-8", 0x0804}, {"zh_TW.UTF-8", 0x0404},
            {"zh_HK", 0x0C04}, {"zh_SG", 0x1004}, {"zh_MO", 0x1404}, {"zh", 0x0004}, {"zh_XX", 0x0004},
            {"ko_KR.UTF-8", 0x0412}, {"ja_JP.eucJP", 0x0411}, {"fr", 0x000C}, {"de_BE", 0x0407},
            {"sv_SE.UTF-8", 0x041D}, {"sr_RS@latin", 0x241A}, {"FR_ca", 0x0C0C}, {"fr-CA", 0x0C0C},
            {"eo", 0x1000}, {"xx_YY.UTF-8", 0x1000}
        };
        // clang-format on
        for (const auto& [name, id] : cases)
            EXPECT_EQ (languageIdFromLocaleName (name), id) << '"' << name << '"';
    }

    TEST (PosixLocale, TheUsersLanguageStartsOnlyWhenAnInstalledFontCoversIt)
    {
        // Each test runs in a process of its own, so the environment need not be restored.
        // LC_ALL, then LC_MESSAGES, then LANG; an empty one counts as unset.
        ::setenv ("LC_ALL", "", 1);
        ::setenv ("LC_MESSAGES", "zh_TW.UTF-8", 1);
        ::setenv ("LANG", "de_DE.UTF-8", 1);
        EXPECT_EQ (createSystemLocale()->getUserLanguageId(), 0x0404);
        ::setenv ("LC_ALL", "ja_JP.UTF-8", 1);
        EXPECT_EQ (createSystemLocale()->getUserLanguageId(), 0x0411);
        ::unsetenv ("LC_ALL");
        ::unsetenv ("LC_MESSAGES");

        // fontconfig told of the DejaVu fonts only (fonts-dejavu-core): Latin and
        // Cyrillic, no CJK. Without a font the texts would show as empty boxes.
        const juce::TemporaryFile latinOnly (".conf");
        ASSERT_TRUE (latinOnly.getFile().replaceWithText (
            "<?xml version=\"1.0\"?><fontconfig><dir>/usr/share/fonts/truetype/dejavu</dir></fontconfig>"));
        const auto latinOnlyPath = latinOnly.getFile().getFullPathName().toStdString();
        const struct
        {
            const char* lang;
            bool cjkHidden;
            int start;
            bool japaneseOffered;
        } cases[] = {
            {"ja_JP.UTF-8", false, 11, true}, {"ja_JP.UTF-8", true, 0, false},
            {"zh_TW.UTF-8", true, 0, false},  {"ru_RU.UTF-8", true, 6, false},
            {"en_US.UTF-8", true, 0, false},
        };
        for (const auto& c : cases)
        {
            SCOPED_TRACE (testing::Message() << c.lang << (c.cjkHidden ? ", no CJK font" : ""));
            ::setenv ("LANG", c.lang, 1);
            if (c.cjkHidden)
                ::setenv ("FONTCONFIG_FILE", latinOnlyPath.c_str(), 1);
            else
                ::unsetenv ("FONTCONFIG_FILE");
            FcFini(); // the process loads its configuration once: start each case afresh
            const TxtLoader texts (createSystemLocale());
            EXPECT_EQ (texts.getLanguage(), c.start);
            EXPECT_EQ (texts.isLanguageInstalled (11), c.japaneseOffered);
            EXPECT_TRUE (texts.isLanguageInstalled (0) && texts.isLanguageInstalled (6));
        }
    }
} // namespace
} // namespace qtx
