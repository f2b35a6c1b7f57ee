#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qtx
{
// The locale name that decides the language of messages: LC_ALL, then LC_MESSAGES,
// then LANG, the first that is set and not empty; "" when none is. Null means unset.
std::string chooseMessagesLocaleName (const char* lcAll, const char* lcMessages, const char* lang);

// A POSIX locale name ("fr_CA.UTF-8", "de_AT@euro", "zh", "C") as a Windows language
// identifier. "", "C" and "POSIX" are US English (0x0409); a bare language is its
// neutral identifier (zh -> 0x0004); a region we do not know gives the language's usual
// identifier, or the neutral one for Chinese, whose script the region decides; a
// language we do not know gives 0x1000, the identifier Windows reports for locales
// without one of their own.
uint16_t languageIdFromLocaleName (std::string_view name);
} // namespace qtx
