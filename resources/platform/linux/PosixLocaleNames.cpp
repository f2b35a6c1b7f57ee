#include "resources/platform/linux/PosixLocaleNames.h"

#include <algorithm>
#include <cctype>

namespace qtx
{
namespace
{
    constexpr uint16_t englishUS = 0x0409;
    constexpr uint16_t noIdentifier = 0x1000;

    struct RegionId
    {
        const char* language;
        const char* region;
        uint16_t id;
    };

    // Regions of the program's twelve languages; the first row of each language is
    // the one an unknown region falls back to.
    constexpr RegionId regionIds[] = {
        {"en", "US", 0x0409}, {"en", "GB", 0x0809}, {"en", "AU", 0x0C09}, {"en", "CA", 0x1009},
        {"en", "NZ", 0x1409}, {"en", "IE", 0x1809}, {"en", "ZA", 0x1C09}, {"en", "JM", 0x2009},
        {"en", "BZ", 0x2809}, {"en", "TT", 0x2C09}, {"en", "ZW", 0x3009}, {"en", "PH", 0x3409},
        {"en", "HK", 0x3C09}, {"en", "IN", 0x4009}, {"en", "MY", 0x4409}, {"en", "SG", 0x4809},

        {"fr", "FR", 0x040C}, {"fr", "BE", 0x080C}, {"fr", "CA", 0x0C0C}, {"fr", "CH", 0x100C},
        {"fr", "LU", 0x140C}, {"fr", "MC", 0x180C}, {"fr", "RE", 0x200C}, {"fr", "CD", 0x240C},
        {"fr", "SN", 0x280C}, {"fr", "CM", 0x2C0C}, {"fr", "CI", 0x300C}, {"fr", "ML", 0x340C},
        {"fr", "MA", 0x380C}, {"fr", "HT", 0x3C0C},

        {"de", "DE", 0x0407}, {"de", "CH", 0x0807}, {"de", "AT", 0x0C07}, {"de", "LU", 0x1007},
        {"de", "LI", 0x1407},

        {"es", "ES", 0x0C0A}, {"es", "MX", 0x080A}, {"es", "GT", 0x100A}, {"es", "CR", 0x140A},
        {"es", "PA", 0x180A}, {"es", "DO", 0x1C0A}, {"es", "VE", 0x200A}, {"es", "CO", 0x240A},
        {"es", "PE", 0x280A}, {"es", "AR", 0x2C0A}, {"es", "EC", 0x300A}, {"es", "CL", 0x340A},
        {"es", "UY", 0x380A}, {"es", "PY", 0x3C0A}, {"es", "BO", 0x400A}, {"es", "SV", 0x440A},
        {"es", "HN", 0x480A}, {"es", "NI", 0x4C0A}, {"es", "PR", 0x500A}, {"es", "US", 0x540A},
        {"es", "CU", 0x5C0A},

        {"it", "IT", 0x0410}, {"it", "CH", 0x0810}, {"nl", "NL", 0x0413}, {"nl", "BE", 0x0813},
        {"ru", "RU", 0x0419}, {"ru", "MD", 0x0819}, {"pt", "PT", 0x0816}, {"pt", "BR", 0x0416},

        {"zh", "", 0x0004},   {"zh", "CN", 0x0804}, {"zh", "TW", 0x0404}, {"zh", "HK", 0x0C04},
        {"zh", "SG", 0x1004}, {"zh", "MO", 0x1404},

        {"ko", "KR", 0x0412}, {"ja", "JP", 0x0411},
    };

    struct LanguageId
    {
        const char* language;
        uint16_t id; // the usual identifier; its low byte is the primary language
    };

    // Other common languages, so that none of them is mistaken for one of the twelve.
    constexpr LanguageId otherLanguages[] = {
        {"ar", 0x0401},  {"bg", 0x0402}, {"ca", 0x0403}, {"cs", 0x0405}, {"da", 0x0406}, {"el", 0x0408},
        {"fi", 0x040B},  {"he", 0x040D}, {"hu", 0x040E}, {"is", 0x040F}, {"nb", 0x0414}, {"no", 0x0414},
        {"nn", 0x0814},  {"pl", 0x0415}, {"rm", 0x0417}, {"ro", 0x0418}, {"hr", 0x041A}, {"sr", 0x241A},
        {"bs", 0x141A},  {"sk", 0x041B}, {"sq", 0x041C}, {"sv", 0x041D}, {"th", 0x041E}, {"tr", 0x041F},
        {"ur", 0x0420},  {"id", 0x0421}, {"uk", 0x0422}, {"be", 0x0423}, {"sl", 0x0424}, {"et", 0x0425},
        {"lv", 0x0426},  {"lt", 0x0427}, {"tg", 0x0428}, {"fa", 0x0429}, {"vi", 0x042A}, {"hy", 0x042B},
        {"az", 0x042C},  {"eu", 0x042D}, {"mk", 0x042F}, {"af", 0x0436}, {"ka", 0x0437}, {"fo", 0x0438},
        {"hi", 0x0439},  {"mt", 0x043A}, {"ga", 0x083C}, {"ms", 0x043E}, {"kk", 0x043F}, {"ky", 0x0440},
        {"sw", 0x0441},  {"uz", 0x0443}, {"tt", 0x0444}, {"bn", 0x0445}, {"pa", 0x0446}, {"gu", 0x0447},
        {"ta", 0x0449},  {"te", 0x044A}, {"kn", 0x044B}, {"ml", 0x044C}, {"mr", 0x044E}, {"mn", 0x0450},
        {"cy", 0x0452},  {"km", 0x0453}, {"lo", 0x0454}, {"gl", 0x0456}, {"am", 0x045E}, {"ne", 0x0461},
        {"fil", 0x0464},
    };

    std::string lowerCase (std::string_view s)
    {
        std::string out (s);
        std::transform (out.begin(), out.end(), out.begin(),
                        [] (unsigned char c) { return static_cast<char> (std::tolower (c)); });
        return out;
    }

    std::string upperCase (std::string_view s)
    {
        std::string out (s);
        std::transform (out.begin(), out.end(), out.begin(),
                        [] (unsigned char c) { return static_cast<char> (std::toupper (c)); });
        return out;
    }
} // namespace

std::string chooseMessagesLocaleName (const char* lcAll, const char* lcMessages, const char* lang)
{
    for (const char* value : {lcAll, lcMessages, lang})
        if (value != nullptr && *value != '\0')
            return value;
    return {};
}

uint16_t languageIdFromLocaleName (std::string_view name)
{
    // language[_territory][.codeset][@modifier]
    name = name.substr (0, name.find_first_of (".@"));
    if (name.empty() || name == "C" || name == "POSIX")
        return englishUS;

    const auto separator = name.find_first_of ("_-");
    const std::string language = lowerCase (name.substr (0, separator));
    const std::string region =
        separator == std::string_view::npos ? std::string() : upperCase (name.substr (separator + 1));

    const RegionId* fallback = nullptr;
    for (const auto& row : regionIds)
    {
        if (language != row.language)
            continue;
        if (region == row.region)
            return row.id;
        if (fallback == nullptr)
            fallback = &row;
    }
    if (fallback != nullptr)
    {
        const uint16_t primary = fallback->id & 0xFF;
        if (region.empty() || primary == 0x04)
            return primary; // neutral: no region, or a Chinese region of unknown script
        return fallback->id;
    }

    for (const auto& row : otherLanguages)
        if (language == row.language)
            return region.empty() ? static_cast<uint16_t> (row.id & 0xFF) : row.id;

    return noIdentifier;
}
} // namespace qtx
