#include "WideText.h"

#include <windows.h>

#include <cwchar>

namespace qtx::devlink::winos
{
std::wstring widen (const std::string& utf8)
{
    if (utf8.empty())
        return {};
    const int chars = MultiByteToWideChar (CP_UTF8, 0, utf8.data(), int (utf8.size()), nullptr, 0);
    std::wstring out (std::size_t (chars > 0 ? chars : 0), L'\0');
    if (chars > 0)
        MultiByteToWideChar (CP_UTF8, 0, utf8.data(), int (utf8.size()), out.data(), chars);
    return out;
}

std::string narrow (const wchar_t* text, std::size_t length)
{
    length = text == nullptr ? 0 : wcsnlen (text, length);
    if (length == 0)
        return {};
    const int bytes = WideCharToMultiByte (CP_UTF8, 0, text, int (length), nullptr, 0, nullptr, nullptr);
    std::string out (std::size_t (bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0)
        WideCharToMultiByte (CP_UTF8, 0, text, int (length), out.data(), bytes, nullptr, nullptr);
    return out;
}

std::string narrow (const std::wstring& text)
{
    return narrow (text.c_str(), text.size());
}
} // namespace qtx::devlink::winos
