// What Windows reads from the program before running it: its icon (Explorer, the taskbar,
// JUCE's window class) and its manifest, each through the system's own resource calls.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace
{
std::wstring besideSelf (const wchar_t* name)
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW (nullptr, self, MAX_PATH);
    const std::wstring path = self;
    return path.substr (0, path.find_last_of (L'\\') + 1) + name;
}

TEST (Resources, TheProgramHasItsIconInEverySizeAndItsManifest)
{
    HMODULE program = LoadLibraryExW (besideSelf (L"QtxUpdate.exe").c_str(), nullptr,
                                      LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE (program, nullptr);
    const auto bytesOf = [&] (HRSRC found) -> std::string
    {
        const HGLOBAL loaded = found != nullptr ? LoadResource (program, found) : nullptr;
        return loaded != nullptr ? std::string (static_cast<const char*> (LockResource (loaded)),
                                                SizeofResource (program, found))
                                 : std::string();
    };

    // The system picks the image for each size from the icon group; each must be the
    // menu entry's PNG of that size (its width is in the PNG header at byte 16).
    std::string group =
        bytesOf (FindResourceW (program, MAKEINTRESOURCEW (1), MAKEINTRESOURCEW (14))); // RT_GROUP_ICON
    ASSERT_FALSE (group.empty());
    for (const int side : {16, 24, 32, 48, 64, 128, 256})
    {
        const int id = LookupIconIdFromDirectoryEx (reinterpret_cast<BYTE*> (group.data()), TRUE, side, side,
                                                    LR_DEFAULTCOLOR);
        std::string image =
            bytesOf (FindResourceW (program, MAKEINTRESOURCEW (id), MAKEINTRESOURCEW (3))); // RT_ICON
        ASSERT_GT (image.size(), 24u) << side;
        EXPECT_EQ (image.substr (1, 3), "PNG") << side;
        EXPECT_EQ ((std::uint8_t (image[18]) << 8) | std::uint8_t (image[19]), side);
        const HICON icon =
            CreateIconFromResourceEx (reinterpret_cast<BYTE*> (image.data()), DWORD (image.size()), TRUE,
                                      0x00030000, side, side, LR_DEFAULTCOLOR);
        EXPECT_NE (icon, nullptr) << side;
        DestroyIcon (icon);
    }

    const std::string manifest =
        bytesOf (FindResourceW (program, MAKEINTRESOURCEW (1), MAKEINTRESOURCEW (24))); // RT_MANIFEST
    EXPECT_NE (manifest.find (">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string::npos) << manifest;
    EXPECT_NE (manifest.find (">true/pm</dpiAware>"), std::string::npos);
    EXPECT_NE (manifest.find ("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"), std::string::npos); // Windows 10, 11
    FreeLibrary (program);
}
} // namespace
