#include "resources/platform/linux/FontconfigLanguages.h"
#include "resources/platform/linux/PosixLocaleNames.h"
#include "resources/SystemLocale.h"

#include <cstdio>
#include <cstdlib>

namespace qtx
{
namespace
{
    // The user's language comes from the process locale; a language counts as
    // installed when a font can show it, which is what matters for drawing its texts.
    class LinuxSystemLocale final : public SystemLocale
    {
    public:
        uint16_t getUserLanguageId() const override
        {
            return languageIdFromLocaleName (chooseMessagesLocaleName (
                std::getenv ("LC_ALL"), std::getenv ("LC_MESSAGES"), std::getenv ("LANG")));
        }

        std::vector<std::string> getInstalledLocales() const override
        {
            struct Candidate
            {
                const char* fontconfigTag;
                uint16_t id;
            };
            static const Candidate candidates[] = {
                {"en", 0x0409},    {"fr", 0x040C},    {"de", 0x0407}, {"es", 0x0C0A},
                {"it", 0x0410},    {"nl", 0x0413},    {"ru", 0x0419}, {"pt", 0x0816},
                {"zh-cn", 0x0804}, {"zh-tw", 0x0404}, {"ko", 0x0412}, {"ja", 0x0411},
            };

            std::vector<std::string> tags;
            for (const auto& c : candidates)
                tags.emplace_back (c.fontconfigTag);
            const auto covered = languagesCoveredByFonts (tags);

            std::vector<std::string> locales;
            for (const auto& c : candidates)
                for (const auto& tag : covered)
                    if (tag == c.fontconfigTag)
                        locales.push_back (localeString (c.id));

            // The user's own language counts only when a font covers it too: without
            // one its texts would show as empty boxes, so English is the better start.
            return locales;
        }

    private:
        static std::string localeString (uint16_t id)
        {
            char text[9];
            std::snprintf (text, sizeof (text), "%08X", static_cast<unsigned> (id));
            return text;
        }
    };
} // namespace

std::unique_ptr<SystemLocale> createSystemLocale()
{
    return std::make_unique<LinuxSystemLocale>();
}
} // namespace qtx
