#include "resources/SystemLocale.h"

#include <windows.h>

namespace qtx
{
namespace
{
    // EnumSystemLocalesA has no context argument: the enumeration runs on the calling
    // thread, so a thread-local list carries the results out of the callback.
    thread_local std::vector<std::string>* collecting = nullptr;

    BOOL CALLBACK collectLocale (LPSTR locale)
    {
        if (collecting != nullptr && locale != nullptr)
            collecting->emplace_back (locale);
        return TRUE;
    }

    class WindowsSystemLocale final : public SystemLocale
    {
    public:
        uint16_t getUserLanguageId() const override { return GetUserDefaultLangID(); }

        std::vector<std::string> getInstalledLocales() const override
        {
            std::vector<std::string> locales;
            collecting = &locales;
            EnumSystemLocalesA (collectLocale, LCID_INSTALLED);
            collecting = nullptr;
            return locales;
        }
    };
} // namespace

std::unique_ptr<SystemLocale> createSystemLocale()
{
    return std::make_unique<WindowsSystemLocale>();
}
} // namespace qtx
