#include "UdevEnumerator.h"

#include "devlink.h"
#include "ReportDescriptor.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <libudev.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace qtx::devlink::linuxos
{
namespace
{
    struct UdevDeleter
    {
        void operator() (udev* u) const { udev_unref (u); }
        void operator() (udev_enumerate* e) const { udev_enumerate_unref (e); }
        void operator() (udev_device* d) const { udev_device_unref (d); }
    };
    using Udev = std::unique_ptr<udev, UdevDeleter>;
    using Enumerate = std::unique_ptr<udev_enumerate, UdevDeleter>;
    using Device = std::unique_ptr<udev_device, UdevDeleter>;

    // Four hex digits as sysfs writes them ("7a51"); false for anything else.
    bool readHex16 (udev_device* d, const char* attribute, std::uint16_t& value)
    {
        const char* text = udev_device_get_sysattr_value (d, attribute);
        if (text == nullptr || *text == 0)
            return false;
        char* end = nullptr;
        errno = 0;
        const unsigned long v = std::strtoul (text, &end, 16);
        while (end != nullptr && (*end == '\n' || *end == ' '))
            ++end;
        if (errno != 0 || end == text || *end != 0 || v > 0xFFFF)
            return false;
        value = std::uint16_t (v);
        return true;
    }

    // The report descriptor from sysfs. Read with open/read, which the test preload also serves.
    bool readDescriptor (udev_device* hid, std::vector<std::uint8_t>& out)
    {
        const std::string file = std::string (udev_device_get_syspath (hid)) + "/report_descriptor";
        const int fd = ::open (file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        out.clear();
        std::uint8_t chunk[1024];
        for (;;)
        {
            const ssize_t n = ::read (fd, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            out.insert (out.end(), chunk, chunk + n);
            if (out.size() > 65536) // far beyond what HID allows
                break;
        }
        ::close (fd);
        return !out.empty();
    }

    struct Found
    {
        HidInterface device;
        Node node;
    };

    // Walks the hidraw nodes of USB devices, or only those below one USB interface
    // (its sysfs name), which spares a scan of every hidraw node; `visit` returns
    // false to stop.
    template <typename Visit>
    bool walkHidraw (Visit&& visit, const std::string* interfaceName = nullptr)
    {
        Udev u (udev_new());
        if (u == nullptr)
            return false;
        Enumerate e (udev_enumerate_new (u.get()));
        if (e == nullptr || udev_enumerate_add_match_subsystem (e.get(), "hidraw") < 0)
            return false;
        Device parent;
        if (interfaceName != nullptr)
        {
            parent.reset (udev_device_new_from_subsystem_sysname (u.get(), "usb", interfaceName->c_str()));
            if (parent == nullptr)
                return true; // the interface is gone: nothing serves it
            if (udev_enumerate_add_match_parent (e.get(), parent.get()) < 0)
                return false;
        }
        if (udev_enumerate_scan_devices (e.get()) < 0)
            return false;
        udev_list_entry* entry = nullptr;
        udev_list_entry_foreach (entry, udev_enumerate_get_list_entry (e.get()))
        {
            Device raw (udev_device_new_from_syspath (u.get(), udev_list_entry_get_name (entry)));
            if (raw == nullptr || udev_device_get_devnode (raw.get()) == nullptr)
                continue;
            // Parents are owned by the child: no unref.
            udev_device* hid = udev_device_get_parent_with_subsystem_devtype (raw.get(), "hid", nullptr);
            udev_device* iface =
                udev_device_get_parent_with_subsystem_devtype (raw.get(), "usb", "usb_interface");
            udev_device* usb = udev_device_get_parent_with_subsystem_devtype (raw.get(), "usb", "usb_device");
            if (hid == nullptr || iface == nullptr || usb == nullptr)
                continue; // not a USB device
            Found f;
            if (!readHex16 (usb, "idVendor", f.device.vendor) ||
                !readHex16 (usb, "idProduct", f.device.product))
                continue;
            if (!readHex16 (usb, "bcdDevice", f.device.release))
                f.device.release = 0;
            f.device.path = devicePath (udev_device_get_sysname (iface), f.device.vendor, f.device.product);
            f.device.instance = udev_device_get_syspath (raw.get());
            f.node.devnode = udev_device_get_devnode (raw.get());
            if (!visit (f, hid))
                break;
        }
        return true;
    }

    bool readLayout (udev_device* hid, ReportLayout& layout)
    {
        std::vector<std::uint8_t> descriptor;
        return readDescriptor (hid, descriptor) &&
               parseReportDescriptor (descriptor.data(), descriptor.size(), layout, DEVLINK_MAX_REPORT);
    }
} // namespace

std::string devicePath (const std::string& interfaceName, std::uint16_t vendor, std::uint16_t product)
{
    char ids[24];
    std::snprintf (ids, sizeof ids, "vid_%04x&pid_%04x", unsigned (vendor), unsigned (product));
    return "usb/" + interfaceName + "/" + ids;
}

bool UdevEnumerator::enumerate (const PathFilter& wanted, std::vector<HidInterface>& out)
{
    out.clear();
    return walkHidraw (
        [&] (Found& f, udev_device* hid)
        {
            if (wanted && !wanted (f.device.path))
                return true;
            for (const auto& known : out)
                if (known.path == f.device.path)
                    return true; // a second node on one interface: the first serves it
            ReportLayout layout;
            if (!readLayout (hid, layout))
                return true; // unreadable, malformed or oversized descriptor: not served
            f.device.inputReportLength = layout.inputReportLength;
            f.device.outputReportLength = layout.outputReportLength;
            f.device.inputValueBytes = layout.inputValueBytes;
            out.push_back (std::move (f.device));
            return true;
        });
}

std::optional<Node> UdevEnumerator::findNode (const std::string& path, bool mayReuse)
{
    // "usb/<interface>/vid_xxxx&pid_xxxx": only that interface's nodes can serve it.
    const auto first = path.find ('/');
    const auto last = path.rfind ('/');
    if (first == std::string::npos || last <= first + 1)
        return std::nullopt;
    if (mayReuse)
    {
        std::lock_guard<std::mutex> guard (knownLock);
        const auto it = known.find (path);
        struct stat entry;
        if (it != known.end() && ::stat (it->second.instance.c_str(), &entry) == 0)
            return it->second.node;
    }
    const std::string interfaceName = path.substr (first + 1, last - first - 1);
    std::optional<Node> result;
    std::string instance;
    walkHidraw (
        [&] (Found& f, udev_device* hid)
        {
            if (f.device.path != path)
                return true;
            ReportLayout layout;
            if (readLayout (hid, layout))
            {
                f.node.numberedReports = layout.numberedReports;
                result = f.node;
                instance = f.device.instance;
            }
            return false;
        },
        &interfaceName);
    std::lock_guard<std::mutex> guard (knownLock);
    if (result)
        known[path] = {instance, *result};
    else
        known.erase (path);
    return result;
}

std::vector<UsbDevice> UdevEnumerator::usbDevices()
{
    std::vector<UsbDevice> out;
    Udev u (udev_new());
    if (u == nullptr)
        return out;
    Enumerate e (udev_enumerate_new (u.get()));
    if (e == nullptr || udev_enumerate_add_match_subsystem (e.get(), "usb") < 0 ||
        udev_enumerate_add_match_property (e.get(), "DEVTYPE", "usb_device") < 0 ||
        udev_enumerate_scan_devices (e.get()) < 0)
        return out;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach (entry, udev_enumerate_get_list_entry (e.get()))
    {
        Device d (udev_device_new_from_syspath (u.get(), udev_list_entry_get_name (entry)));
        UsbDevice usb;
        if (d == nullptr || !readHex16 (d.get(), "idVendor", usb.vendor) ||
            !readHex16 (d.get(), "idProduct", usb.product) || !readHex16 (d.get(), "bcdDevice", usb.release))
            continue;
        out.push_back (usb);
    }
    return out;
}
} // namespace qtx::devlink::linuxos
