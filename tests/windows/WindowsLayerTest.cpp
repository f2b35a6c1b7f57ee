// The Windows layer's own logic (hardware identifiers, the device-change table, the
// driver-set rules) and what wine lets it do for real without a device: refuse bad paths.
// The named mutex is the library's lock tests' (LibraryUnderWineTest.cpp), enumeration of
// real devices the tests through wine's HID class driver (HidUnderWineTest.cpp).

#include "DeviceChangeWindow.h"
#include "DriverVersion.h"
#include "OverlappedIo.h"
#include "SetupDiEnumerator.h"
#include "WideText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

using namespace qtx::devlink;
using namespace qtx::devlink::winos;

TEST (HardwareId, OnlyThePlainRevisionIdentifierIsTaken)
{
    struct Case
    {
        const char* id;
        bool taken;
        std::uint16_t vendor, product, release;
    };
    const Case cases[] = {
        {"USB\\VID_7A51&PID_0046&REV_0102", true, 0x7A51, 0x0046, 0x0102},
        {"usb\\vid_7a51&pid_0046&rev_0102", true, 0x7A51, 0x0046, 0x0102}, // upper-cased first
        {"USB\\VID_7A51&PID_0046&REV_1A00", true, 0x7A51, 0x0046, 0x1A00},
        {"USB\\VID_7A51&PID_0046&REV_01G0", true, 0x7A51, 0x0046, 0x01A0}, // G stops the digits
        {"USB\\VID_7A51&PID_0046&REV_0102&MI_00", false, 0, 0, 0},
        {"USB\\VID_7A51&PID_0046&REV_010", false, 0, 0, 0},
        {"HID\\VID_7A51&PID_0046&REV_0102", false, 0, 0, 0},
        {"USB\\VID_7G51&PID_0046&REV_0102", false, 0, 0, 0},
    };
    for (const auto& c : cases)
    {
        UsbDevice d;
        ASSERT_EQ (parseUsbHardwareId (c.id, d), c.taken) << c.id;
        if (c.taken)
        {
            EXPECT_EQ (d.vendor, c.vendor) << c.id;
            EXPECT_EQ (d.product, c.product) << c.id;
            EXPECT_EQ (d.release, c.release) << c.id;
        }
    }
}

TEST (DeviceChange, EventTable)
{
    DEV_BROADCAST_DEVICEINTERFACE_A watched{};
    watched.dbcc_size = sizeof watched;
    watched.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    watched.dbcc_classguid = watchedInterfaceClass;
    DEV_BROADCAST_DEVICEINTERFACE_A other = watched;
    other.dbcc_classguid.Data1 ^= 1;
    DEV_BROADCAST_HDR volume{};
    volume.dbch_size = sizeof volume;
    volume.dbch_devicetype = DBT_DEVTYP_VOLUME;
    const auto* w = reinterpret_cast<const DEV_BROADCAST_HDR*> (&watched);
    const auto* o = reinterpret_cast<const DEV_BROADCAST_HDR*> (&other);

    struct Case
    {
        WPARAM event;
        const DEV_BROADCAST_HDR* header;
        bool refresh;
    };
    const Case cases[] = {
        {DBT_DEVNODES_CHANGED, nullptr, true},   {DBT_DEVICEARRIVAL, w, true},
        {DBT_DEVICEARRIVAL, o, false},           {DBT_DEVICEARRIVAL, &volume, false},
        {DBT_DEVICEQUERYREMOVE, o, true},        {DBT_DEVICEREMOVEPENDING, o, true},
        {DBT_DEVICEREMOVECOMPLETE, w, true},     {DBT_DEVICEREMOVECOMPLETE, &volume, false},
        {DBT_DEVICEQUERYREMOVEFAILED, w, false}, {DBT_CONFIGCHANGED, nullptr, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ (isDeviceChange (c.event, c.header), c.refresh) << std::hex << c.event;
}

TEST (DriverVersion, SetRules)
{
    using Files = std::map<std::string, std::string>;
    const Files same = {{"System32\\Drivers\\LYRACdc.sys", "2.1.0"},
                        {"System32\\Drivers\\LYRAAudio.sys", "2.1.0"},
                        {"System32\\Drivers\\SYNXMidi.sys", "1.0"},
                        {"System32\\LYRA-55_Asio.dll", "2.1.0"},
                        {"System32\\VEGA-12_Asio.dll", "3.4"}};
    Files differ = same;
    differ["System32\\LYRA-55_Asio.dll"] = "2.0.9";
    Files missing = same;
    missing.erase ("System32\\Drivers\\LYRAAudio.sys");
    Files noMidi = same;
    noMidi.erase ("System32\\Drivers\\SYNXMidi.sys");
    const Files none;
    Files longVersion = same;
    longVersion["System32\\VEGA-12_Asio.dll"] = std::string (400, '9');

    struct Case
    {
        const Files* files;
        int set;
        bool nt50;
        int result;
        std::string text;
    };
    const Case cases[] = {
        {&same, 1, false, 1, "2.1.0"},
        {&differ, 1, false, 1, ""},
        {&missing, 1, false, 0, ""},
        {&noMidi, 1, false, 1, "2.1.0"},
        {&noMidi, 1, true, 0, ""},
        {&same, 3, false, 1, "3.4"},
        {&noMidi, 3, true, 0, ""},
        {&none, 1, false, 0, ""},
        {&same, 0, false, 0, ""},
        {&same, 4, false, 0, ""},
        {&longVersion, 3, false, 1, std::string (255, '9')}, // cut to the client's 256 bytes
    };
    for (const auto& c : cases)
    {
        char text[256 + 8];
        std::memset (text, 'x', sizeof text);
        auto versionOf = [&] (const std::string& file)
        {
            auto found = c.files->find (file);
            return found == c.files->end() ? std::string() : found->second;
        };
        EXPECT_EQ (driverVersion (c.set, text, versionOf, c.nt50), c.result) << c.set;
        EXPECT_EQ (std::string (text), c.text) << c.set;
        EXPECT_EQ (text[256], 'x') << "wrote past the 256-byte text";
    }
}

TEST (DriverVersion, MissingFilesUnderTheWindowsFolder)
{
    EXPECT_EQ (productVersionOf ("System32\\Drivers\\no-such-driver.sys"), "");
    // A system file of wine's own has a version resource.
    EXPECT_NE (productVersionOf ("System32\\kernel32.dll"), "");
}

TEST (Io, AbsentDeviceIsRefused)
{
    OverlappedIo io;
    HidInterface gone;
    gone.path = "\\\\?\\hid#vid_7a51&pid_0046#0&0000&0&0#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    gone.inputReportLength = 65;
    EXPECT_EQ (io.openInput (gone), nullptr);
    const std::uint8_t report[65] = {};
    EXPECT_EQ (io.writeReport (gone.path, report, 65), -1);
    gone.inputReportLength = 0; // no input report: nothing to read
    EXPECT_EQ (io.openInput (gone), nullptr);
}

TEST (WideText, Utf8AndUtf16MeetWithoutTheAnsiCodePage)
{
    const std::string utf8 = "C:\\Дмитрий\\下载\\é\xF0\x9F\x98\x80"; // the last beyond the BMP
    const std::wstring utf16 =
        L"C:\\\u0414\u043C\u0438\u0442\u0440\u0438\u0439\\\u4E0B\u8F7D\\\u00E9\xD83D\xDE00";
    EXPECT_EQ (widen (utf8), utf16);
    EXPECT_EQ (narrow (utf16), utf8);
    EXPECT_EQ (widen (std::string ("a\xFF", 2)), L"a\xFFFD"); // not UTF-8
    // A length bounds the text, and so does a zero before it.
    EXPECT_EQ (narrow (L"\u00E9t\u00E9", 2), "ét");
    EXPECT_EQ (narrow (std::wstring (L"ab\0cd", 5)), "ab");
}
