// The library's texts are UTF-8; Windows takes and gives file paths, device paths, registry
// names and version texts as UTF-16. These convert between the two, never through the ANSI
// code page, which cannot hold every name (a folder in Cyrillic on a Western system).
#pragma once

#include <string>

namespace qtx::devlink::winos
{
// An invalid UTF-8 sequence becomes U+FFFD; "" gives "".
std::wstring widen (const std::string& utf8);
// At most `length` characters of `text` (fewer if a zero ends it first); an unpaired
// surrogate becomes U+FFFD.
std::string narrow (const wchar_t* text, std::size_t length);
std::string narrow (const std::wstring& text);
} // namespace qtx::devlink::winos
