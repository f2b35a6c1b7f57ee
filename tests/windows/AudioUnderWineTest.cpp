// The registry reads for real under wine: texts as they are stored, and the ASIO lookup
// finding a device through keys the test writes.

#include "devlink_ids.h"
#include "FakePlatform.h"
#include "Library.h"
#include "SystemAudio.h"
#include "TestRegistryKey.h"

#include <gtest/gtest.h>

using namespace qtx::devlink;
using qtx::test::TestRegistryKey;

TEST (AudioUnderWine, RegistryTextsAsTheyAreStored)
{
    TestRegistryKey key (HKEY_CURRENT_USER, "SOFTWARE", "QtxDevlinkTest\\Values");
    if (!key.made())
        GTEST_SKIP() << "the test key exists already or cannot be made";
    key.set (L"plain", L"\\\\?\\usb#vid_7a51");
    key.set (L"unended", L"abc", false);
    key.set (L"longest", std::wstring (259, L'x'));
    key.set (L"too long", std::wstring (260, L'x'));
    key.set (L"wide", L"\u00e9\u30a2");
    key.setNumber (L"number", 7);

    winos::SystemAudio audio;
    const std::string at = "SOFTWARE\\QtxDevlinkTest\\Values";
    EXPECT_EQ (audio.userString (at, "plain"), "\\\\?\\usb#vid_7a51");
    EXPECT_EQ (audio.userString (at, "unended"), "abc");
    EXPECT_EQ (audio.userString (at, "longest"), std::string (259, 'x'));
    EXPECT_EQ (audio.userString (at, "too long"), "");
    EXPECT_EQ (audio.userString (at, "wide"), "\xc3\xa9\xe3\x82\xa2");
    EXPECT_EQ (audio.userString (at, "number"), "");
    EXPECT_EQ (audio.userString (at, "missing"), "");
    EXPECT_EQ (audio.userString ("SOFTWARE\\QtxDevlinkTest\\None", "plain"), "");
    EXPECT_EQ (audio.machineString (at, "plain"), "") << "read from the wrong root";
}

TEST (AudioUnderWine, AsioDeviceFoundThroughTheRegistry)
{
    // The driver's channel list and the composite device's HID interface key, as Windows
    // would have them for a VEGA-12 (set 3); the HID devices themselves are fakes.
    TestRegistryKey driver (HKEY_CURRENT_USER, "SOFTWARE", "VEGA-12 ASIO");
    TestRegistryKey hidInterface (HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Enum",
                                  "QTXTEST\\VID_7A51&PID_0143&MI_08\\7&5e6f&0&0008");
    if (!driver.made() || !hidInterface.made())
        GTEST_SKIP() << "the keys exist already or cannot be made (real Windows keeps Enum to itself)";
    driver.set (L"1",
                L"\\\\?\\qtxtest#vid_7a51&pid_0143&mi_00#7&5e6f&0&0000#{6994ad04-93ef-11d0-a3cc-00a0c9223196}"
                L"\\global");
    hidInterface.set (L"ParentIdPrefix", L"8&3a4b&0");

    test::FakePlatform fake;
    auto vega = [] (const char* port, const char* instance)
    {
        HidInterface d = test::FakePlatform::device (port, DEVLINK_VENDOR_ID, 0x000E);
        d.path += std::string ("#") + instance;
        return d;
    };
    fake.plug (vega ("1-2", "8&1111&0&0000"));
    fake.plug (vega ("1-3", "8&3a4b&0&0000"));
    Platform platform = fake.platform();
    winos::SystemAudio audio;
    platform.audio = &audio;
    Library library (platform);
    EXPECT_EQ (library.asioDeviceNumber (3, 2), 1); // channels 2 and 3: value "1"
    EXPECT_EQ (library.asioDeviceNumber (3, 3), 1);
    EXPECT_EQ (library.asioDeviceNumber (3, 0), -1); // no value "0"
    EXPECT_EQ (library.asioDeviceNumber (1, 2), -1); // no LYRA-55 key
}
