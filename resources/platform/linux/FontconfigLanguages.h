#pragma once

#include <string>
#include <vector>

namespace qtx
{
// Which of the given fontconfig language tags ("fr", "zh-cn", ...) some installed
// font covers completely. Empty when fontconfig cannot be initialised.
std::vector<std::string> languagesCoveredByFonts (const std::vector<std::string>& languageTags);
} // namespace qtx
