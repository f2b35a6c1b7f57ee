// A registry key that a test makes and removes again. It is never one that was there before
// (on real Windows that would be a real driver's), and it is refused where the system keeps
// the key for itself (Windows' Enum tree): the test then skips.
#pragma once

#include <windows.h>

#include <string>

namespace qtx::test
{
class TestRegistryKey
{
public:
    // `path` under `parent`: its first part must not exist yet; all of it is removed again.
    TestRegistryKey (HKEY r, const std::string& parent, const std::string& path)
        : root (r)
        , top (parent + "\\" + path.substr (0, path.find ('\\')))
    {
        HKEY there = nullptr;
        if (RegOpenKeyExA (root, top.c_str(), 0, KEY_READ, &there) == ERROR_SUCCESS)
        {
            RegCloseKey (there);
            return;
        }
        if (RegCreateKeyExA (root, (parent + "\\" + path).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                             nullptr) != ERROR_SUCCESS)
            key = nullptr;
    }
    ~TestRegistryKey()
    {
        if (key == nullptr)
            return;
        RegCloseKey (key);
        RegDeleteTreeA (root, top.c_str());
    }
    TestRegistryKey (const TestRegistryKey&) = delete;
    TestRegistryKey& operator= (const TestRegistryKey&) = delete;

    bool made() const { return key != nullptr; }

    // A text value, with its ending zero unless told otherwise.
    void set (const std::wstring& name, const std::wstring& text, bool endingZero = true)
    {
        const auto bytes = DWORD ((text.size() + (endingZero ? 1 : 0)) * sizeof (wchar_t));
        RegSetValueExW (key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*> (text.c_str()), bytes);
    }
    void setNumber (const std::wstring& name, DWORD value)
    {
        RegSetValueExW (key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*> (&value),
                        sizeof value);
    }

private:
    HKEY root;
    std::string top;
    HKEY key = nullptr;
};
} // namespace qtx::test
