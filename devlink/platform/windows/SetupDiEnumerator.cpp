#include "SetupDiEnumerator.h"

#include "WideText.h"
#include "WinHandle.h"

#include <windows.h>
// windows.h first: the set-up and HID headers build on its types.
#include <cfgmgr32.h>
// mingw-w64's HID headers declare C functions without saying so; hidusage.h first, as
// they use its types.
extern "C"
{
#include <hidusage.h>

#include <hidpi.h>
#include <hidsdi.h>
}
#include <setupapi.h>

#include <algorithm>
#include <cctype>

namespace qtx::devlink::winos
{
namespace
{
    // The device information set, released however the walk ends.
    struct DeviceSet
    {
        explicit DeviceSet (HDEVINFO s)
            : set (s)
        {
        }
        ~DeviceSet()
        {
            if (set != INVALID_HANDLE_VALUE)
                SetupDiDestroyDeviceInfoList (set);
        }
        DeviceSet (const DeviceSet&) = delete;
        DeviceSet& operator= (const DeviceSet&) = delete;
        HDEVINFO set;
    };

    struct ParseData
    {
        ~ParseData()
        {
            if (data != nullptr)
                HidD_FreePreparsedData (data);
        }
        PHIDP_PREPARSED_DATA data = nullptr;
    };

    // Interface path (UTF-8), or "" when it can't be fetched.
    std::string interfacePath (HDEVINFO set, SP_DEVICE_INTERFACE_DATA& iface)
    {
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailW (set, &iface, nullptr, 0, &size, nullptr);
        if (size < sizeof (SP_DEVICE_INTERFACE_DETAIL_DATA_W))
            return {};
        // Allocated as DWORDs so the detail record is aligned.
        std::vector<DWORD> buffer ((size + sizeof (DWORD) - 1) / sizeof (DWORD));
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*> (buffer.data());
        detail->cbSize = sizeof (SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (!SetupDiGetDeviceInterfaceDetailW (set, &iface, detail, size, nullptr, nullptr))
            return {};
        const auto* end =
            reinterpret_cast<const wchar_t*> (reinterpret_cast<const char*> (buffer.data()) + size);
        return narrow (detail->DevicePath, std::size_t (end - detail->DevicePath));
    }

    int hexValue (char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    bool readHex (const std::string& text, std::size_t at, std::uint16_t& value, bool lenient)
    {
        value = 0;
        for (std::size_t i = at; i < at + 4; ++i)
        {
            int digit = hexValue (text[i]);
            if (digit < 0)
            {
                if (!lenient)
                    return false;
                digit = 0xA;
            }
            value = std::uint16_t ((value << 4) | digit);
        }
        return true;
    }

    // REG_MULTI_SZ property of one device (UTF-8 texts), grown on demand; empty when unreadable.
    std::vector<std::string> hardwareIds (HDEVINFO set, SP_DEVINFO_DATA& info, std::vector<wchar_t>& buffer,
                                          bool& outOfMemory)
    {
        std::vector<std::string> ids;
        for (;;)
        {
            DWORD type = 0;
            DWORD needed = 0;
            if (SetupDiGetDeviceRegistryPropertyW (set, &info, SPDRP_HARDWAREID, &type,
                                                   reinterpret_cast<BYTE*> (buffer.data()),
                                                   DWORD (buffer.size() * sizeof (wchar_t)), &needed))
            {
                if (type != REG_MULTI_SZ)
                    return ids;
                // Texts end at an empty text or at the end of what was read.
                const std::size_t length = std::min<std::size_t> (needed / sizeof (wchar_t), buffer.size());
                std::size_t at = 0;
                while (at < length && buffer[at] != 0)
                {
                    std::size_t end = at;
                    while (end < length && buffer[end] != 0)
                        ++end;
                    ids.push_back (narrow (buffer.data() + at, end - at));
                    at = end + 1;
                }
                return ids;
            }
            const std::size_t neededChars = (std::size_t (needed) + sizeof (wchar_t) - 1) / sizeof (wchar_t);
            if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || neededChars <= buffer.size())
                return ids;
            try
            {
                buffer.resize (neededChars);
            }
            catch (const std::bad_alloc&)
            {
                outOfMemory = true;
                return ids;
            }
        }
    }
} // namespace

bool parseUsbHardwareId (const std::string& id, UsbDevice& out)
{
    std::string upper = id;
    std::transform (upper.begin(), upper.end(), upper.begin(),
                    [] (unsigned char c) { return char (std::toupper (c)); });
    // USB\VID_xxxx&PID_xxxx&REV_xxxx
    static const std::string vid = "USB\\VID_", pid = "&PID_", rev = "&REV_";
    const std::size_t length = vid.size() + 4 + pid.size() + 4 + rev.size() + 4;
    if (upper.size() != length || upper.compare (0, vid.size(), vid) != 0 ||
        upper.compare (vid.size() + 4, pid.size(), pid) != 0 ||
        upper.compare (vid.size() + 4 + pid.size() + 4, rev.size(), rev) != 0)
        return false;
    return readHex (upper, vid.size(), out.vendor, false) &&
           readHex (upper, vid.size() + 4 + pid.size(), out.product, false) &&
           readHex (upper, length - 4, out.release, true);
}

bool describeHidInterface (const std::string& path, HidInterface& out)
{
    // No access rights: a query-only handle, which even a device opened exclusively allows.
    Handle device (CreateFileW (widen (path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    if (!device.valid())
        return false;
    ParseData parse;
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    HIDP_CAPS caps{};
    if (!HidD_GetPreparsedData (device.get(), &parse.data) ||
        !HidD_GetAttributes (device.get(), &attributes) ||
        HidP_GetCaps (parse.data, &caps) != HIDP_STATUS_SUCCESS)
        return false;

    out.path = path;
    out.vendor = attributes.VendorID;
    out.product = attributes.ProductID;
    out.release = attributes.VersionNumber;
    out.inputReportLength = caps.InputReportByteLength;
    out.outputReportLength = caps.OutputReportByteLength;
    out.inputValueBytes = 0;
    if (caps.NumberInputValueCaps > 0)
    {
        std::vector<HIDP_VALUE_CAPS> values (caps.NumberInputValueCaps);
        USHORT count = caps.NumberInputValueCaps;
        if (HidP_GetValueCaps (HidP_Input, values.data(), &count, parse.data) == HIDP_STATUS_SUCCESS &&
            count > 0)
            out.inputValueBytes = (int (values[0].BitSize) * int (values[0].ReportCount) + 7) / 8;
    }
    return true;
}

bool SetupDiEnumerator::enumerate (const PathFilter& wanted, std::vector<HidInterface>& out)
{
    out.clear();
    GUID hidClass;
    HidD_GetHidGuid (&hidClass);
    DeviceSet devices (
        SetupDiGetClassDevsW (&hidClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (devices.set == INVALID_HANDLE_VALUE)
        return false;

    for (DWORD index = 0;; ++index)
    {
        SP_DEVICE_INTERFACE_DATA iface{};
        iface.cbSize = sizeof iface;
        if (!SetupDiEnumDeviceInterfaces (devices.set, nullptr, &hidClass, index, &iface))
        {
            if (GetLastError() == ERROR_NO_MORE_ITEMS)
                break;
            continue;
        }
        const std::string path = interfacePath (devices.set, iface);
        if (path.empty())
        {
            out.clear();
            return false;
        }
        if (wanted && !wanted (path))
            continue;
        // A device that can't be asked is left out, so one faulty device does not hide the rest.
        HidInterface device;
        if (describeHidInterface (path, device))
            out.push_back (std::move (device));
    }
    return true;
}

std::vector<UsbDevice> SetupDiEnumerator::usbDevices()
{
    std::vector<UsbDevice> found;
    // Every device the system knows, present or not; presence is asked per device below.
    DeviceSet devices (SetupDiGetClassDevsW (nullptr, nullptr, nullptr, DIGCF_ALLCLASSES));
    if (devices.set == INVALID_HANDLE_VALUE)
        return found;

    std::vector<wchar_t> buffer;
    bool outOfMemory = false;
    for (DWORD index = 0; !outOfMemory; ++index)
    {
        SP_DEVINFO_DATA info{};
        info.cbSize = sizeof info;
        if (!SetupDiEnumDeviceInfo (devices.set, index, &info))
        {
            if (GetLastError() == ERROR_NO_MORE_ITEMS)
                break;
            continue;
        }
        for (const std::string& id : hardwareIds (devices.set, info, buffer, outOfMemory))
        {
            UsbDevice device;
            ULONG status = 0, problem = 0;
            if (parseUsbHardwareId (id, device) &&
                CM_Get_DevNode_Status (&status, &problem, info.DevInst, 0) == CR_SUCCESS)
                found.push_back (device);
        }
    }
    return found;
}
} // namespace qtx::devlink::winos
