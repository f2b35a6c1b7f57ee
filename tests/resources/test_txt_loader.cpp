#include "resources/TxtLoader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qtx
{
namespace
{
    class FakeLocale : public SystemLocale
    {
    public:
        FakeLocale (uint16_t user, std::vector<std::string> locales)
            : userId (user)
            , installed (std::move (locales))
        {
        }

        uint16_t getUserLanguageId() const override { return userId; }
        std::vector<std::string> getInstalledLocales() const override { return installed; }

    private:
        uint16_t userId;
        std::vector<std::string> installed;
    };

    std::unique_ptr<SystemLocale> fakeLocale (uint16_t user, std::vector<std::string> locales = {})
    {
        return std::make_unique<FakeLocale> (user, std::move (locales));
    }

    juce::String utf8 (const char* text)
    {
        return juce::String::fromUTF8 (text);
    }

    TEST (TxtLoaderStart, EnglishUserStartsInEnglish)
    {
        TxtLoader loader (fakeLocale (0x0409, {"00000409"}));
        EXPECT_EQ (loader.getLanguage(), 0);
        EXPECT_EQ (loader.getText (3), "Updater Program");
        EXPECT_EQ (loader.getCurrentFontName(), "Arial");
        EXPECT_EQ (loader.getLanguageName (6), utf8 ("Русский"));
    }
} // namespace
} // namespace qtx
