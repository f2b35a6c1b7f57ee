#include "VirtualHid.h"

#include <umockdev.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <map>
#include <mutex>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qtx::vhid
{
namespace
{
    std::string hex4 (unsigned value, bool upper)
    {
        char text[8];
        std::snprintf (text, sizeof text, upper ? "%04X" : "%04x", value & 0xFFFFu);
        return text;
    }

    std::string hexBytes (const Bytes& bytes)
    {
        std::string out;
        char pair[4];
        for (auto b : bytes)
        {
            std::snprintf (pair, sizeof pair, "%02x", b);
            out += pair;
        }
        return out;
    }

    struct Device
    {
        DeviceConfig config;
        bool plugged = false;
        int minor = -1;
        std::string devnode;    // /dev/hidrawN
        std::string usbSyspath; // /sys/devices/.../usb1/1-2
        std::string hidrawSyspath;
        std::vector<std::string> syspaths; // child first, for the remove uevents
        int doorbell = -1;                 // our end of the node's FIFO
        std::deque<Bytes> queue;
        std::vector<Bytes> writes;
        int connections = 0;
        UMockdevIoctlBase* handler = nullptr;
    };
} // namespace

struct Testbed::Impl
{
    UMockdevTestbed* bed = nullptr;
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::vector<Device> devices;
    WriteHandler writeHandler;
    int writeHandlersRunning = 0; // calls made outside the mutex, still under way
    int hidInstance = 0;

    Device* byNode (const char* node)
    {
        for (auto& d : devices)
            if (d.plugged && d.devnode == node)
                return &d;
        return nullptr;
    }

    int indexOf (const Device* d) const { return int (d - devices.data()); }

    static gboolean onIoctl (UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self);
    static gboolean onRead (UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self);
    static gboolean onWrite (UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self);
    static void onConnected (UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self);

    bool add (const std::string& record)
    {
        GError* error = nullptr;
        if (umockdev_testbed_add_from_string (bed, record.c_str(), &error))
            return true;
        std::fprintf (stderr, "vhid: cannot add device: %s\n", error ? error->message : "?");
        if (error)
            g_error_free (error);
        return false;
    }

    bool attach (int index);
    void detach (Device& d);
};

namespace
{
    // Copies `text` (with its terminating zero, cut to fit) into the client's buffer.
    long answerText (UMockdevIoctlData* arg, std::size_t size, const std::string& text)
    {
        GError* error = nullptr;
        UMockdevIoctlData* out = umockdev_ioctl_data_resolve (arg, 0, size, &error);
        if (out == nullptr)
        {
            if (error)
                g_error_free (error);
            return -1;
        }
        std::size_t n = std::min (size, text.size() + 1);
        std::memcpy (out->data, text.c_str(), n);
        if (n > 0 && n == size)
            out->data[n - 1] = 0;
        g_object_unref (out);
        return long (n);
    }
} // namespace

gboolean Testbed::Impl::onIoctl (UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self)
{
    auto* impl = static_cast<Impl*> (self);
    const unsigned long request = umockdev_ioctl_client_get_request (client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg (client);

    DeviceConfig config;
    {
        std::lock_guard<std::mutex> lock (impl->mutex);
        Device* d = impl->byNode (umockdev_ioctl_client_get_devnode (client));
        if (d == nullptr)
        {
            umockdev_ioctl_client_complete (client, -1, ENODEV);
            return TRUE;
        }
        config = d->config;
    }

    const unsigned long sizeless = request & ~((unsigned long) _IOC_SIZEMASK << _IOC_SIZESHIFT);
    const std::size_t size = _IOC_SIZE (request);
    GError* error = nullptr;
    long result = -1;
    int err = 0;

    if (request == HIDIOCGRDESCSIZE)
    {
        if (auto* out = umockdev_ioctl_data_resolve (arg, 0, sizeof (int), &error))
        {
            *reinterpret_cast<int*> (out->data) = int (config.reportDescriptor.size());
            g_object_unref (out);
            result = 0;
        }
    }
    else if (request == HIDIOCGRDESC)
    {
        if (auto* out = umockdev_ioctl_data_resolve (arg, 0, sizeof (hidraw_report_descriptor), &error))
        {
            auto* desc = reinterpret_cast<hidraw_report_descriptor*> (out->data);
            std::size_t n = std::min<std::size_t> (desc->size, config.reportDescriptor.size());
            n = std::min<std::size_t> (n, HID_MAX_DESCRIPTOR_SIZE);
            std::memcpy (desc->value, config.reportDescriptor.data(), n);
            g_object_unref (out);
            result = 0;
        }
    }
    else if (request == HIDIOCGRAWINFO)
    {
        if (auto* out = umockdev_ioctl_data_resolve (arg, 0, sizeof (hidraw_devinfo), &error))
        {
            auto* info = reinterpret_cast<hidraw_devinfo*> (out->data);
            info->bustype = 3; // BUS_USB
            info->vendor = (__s16) config.vendor;
            info->product = (__s16) config.product;
            g_object_unref (out);
            result = 0;
        }
    }
    else if (sizeless == (HIDIOCGRAWNAME (0) & ~((unsigned long) _IOC_SIZEMASK << _IOC_SIZESHIFT)))
        result = answerText (arg, size, config.manufacturer + " " + config.productName);
    else if (sizeless == (HIDIOCGRAWPHYS (0) & ~((unsigned long) _IOC_SIZEMASK << _IOC_SIZESHIFT)))
        result = answerText (arg, size,
                             "usb-0000:00:14.0-" + config.port.substr (config.port.find ('-') + 1) +
                                 "/input" + std::to_string (config.interfaceNumber));
    else
        err = ENOTTY;

    if (error)
    {
        g_error_free (error);
        err = EFAULT;
    }
    umockdev_ioctl_client_complete (client, result, result < 0 ? (err ? err : EINVAL) : 0);
    return TRUE;
}

gboolean Testbed::Impl::onRead (UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self)
{
    auto* impl = static_cast<Impl*> (self);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg (client);
    std::lock_guard<std::mutex> lock (impl->mutex);
    Device* d = impl->byNode (umockdev_ioctl_client_get_devnode (client));
    if (d == nullptr)
    {
        umockdev_ioctl_client_complete (client, -1, ENODEV);
        return TRUE;
    }
    if (d->queue.empty())
    {
        umockdev_ioctl_client_complete (client, -1, EAGAIN);
        return TRUE;
    }
    char bell;
    if (::read (d->doorbell, &bell, 1) != 1)
    {
        umockdev_ioctl_client_complete (client, -1, EAGAIN);
        return TRUE;
    }
    Bytes report = std::move (d->queue.front());
    d->queue.pop_front();
    // Like hidraw: a report longer than the reader's buffer is cut to the buffer.
    std::size_t n = std::min<std::size_t> (report.size(), std::size_t (arg->data_len));
    std::memcpy (arg->data, report.data(), n);
    umockdev_ioctl_client_complete (client, long (n), 0);
    return TRUE;
}

gboolean Testbed::Impl::onWrite (UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self)
{
    auto* impl = static_cast<Impl*> (self);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg (client);
    Bytes bytes (arg->data, arg->data + arg->data_len);
    WriteHandler handler;
    int index = -1;
    {
        std::lock_guard<std::mutex> lock (impl->mutex);
        Device* d = impl->byNode (umockdev_ioctl_client_get_devnode (client));
        if (d == nullptr)
        {
            umockdev_ioctl_client_complete (client, -1, ENODEV);
            return TRUE;
        }
        d->writes.push_back (bytes);
        index = impl->indexOf (d);
        handler = impl->writeHandler;
        if (handler)
            ++impl->writeHandlersRunning;
        // Under the mutex: the testbed may be destroyed as soon as a waiter wakes.
        impl->changed.notify_all();
    }
    long result = long (bytes.size());
    if (handler)
    {
        result = handler (index, bytes);
        std::lock_guard<std::mutex> lock (impl->mutex);
        --impl->writeHandlersRunning;
        impl->changed.notify_all();
    }
    umockdev_ioctl_client_complete (client, result, result < 0 ? EIO : 0);
    return TRUE;
}

void Testbed::Impl::onConnected (UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self)
{
    auto* impl = static_cast<Impl*> (self);
    {
        std::lock_guard<std::mutex> lock (impl->mutex);
        if (Device* d = impl->byNode (umockdev_ioctl_client_get_devnode (client)))
            ++d->connections;
        impl->changed.notify_all();
    }
}

bool Testbed::Impl::attach (int index)
{
    Device& d = devices[std::size_t (index)];
    d.handler = umockdev_ioctl_base_new();
    g_signal_connect (d.handler, "handle-ioctl", G_CALLBACK (onIoctl), this);
    g_signal_connect (d.handler, "handle-read", G_CALLBACK (onRead), this);
    g_signal_connect (d.handler, "handle-write", G_CALLBACK (onWrite), this);
    g_signal_connect (d.handler, "client-connected", G_CALLBACK (onConnected), this);
    GError* error = nullptr;
    if (!umockdev_testbed_attach_ioctl (bed, d.devnode.c_str(), d.handler, &error))
    {
        std::fprintf (stderr, "vhid: cannot attach %s: %s\n", d.devnode.c_str(),
                      error ? error->message : "?");
        if (error)
            g_error_free (error);
        g_object_unref (d.handler);
        d.handler = nullptr;
        return false;
    }
    return true;
}

void Testbed::Impl::detach (Device& d)
{
    if (d.handler == nullptr)
        return;
    umockdev_testbed_detach_ioctl (bed, d.devnode.c_str(), nullptr);
    g_object_unref (d.handler);
    d.handler = nullptr;
}

Testbed::Testbed()
    : impl (std::make_unique<Impl>())
{
    impl->bed = umockdev_testbed_new();
    if (!preloadActive())
        std::fprintf (stderr, "vhid: libumockdev-preload is not loaded; the testbed is not seen\n");
}

Testbed::~Testbed()
{
    for (auto& d : impl->devices)
    {
        if (d.doorbell >= 0)
            ::close (d.doorbell);
        impl->detach (d);
    }
    g_object_unref (impl->bed);
    // The handlers' last use of the devices happened under the mutex: take it before freeing.
    std::lock_guard<std::mutex> lock (impl->mutex);
    impl->devices.clear();
    impl->writeHandler = nullptr;
}

int Testbed::plug (const DeviceConfig& config)
{
    std::unique_lock<std::mutex> lock (impl->mutex);
    Device d;
    d.config = config;
    for (int minor = 0;; ++minor)
    {
        bool used = std::any_of (impl->devices.begin(), impl->devices.end(),
                                 [minor] (const Device& o) { return o.plugged && o.minor == minor; });
        if (!used)
        {
            d.minor = minor;
            break;
        }
    }
    impl->devices.push_back (d);
    int index = int (impl->devices.size()) - 1;
    lock.unlock();
    return replugAt (index) ? index : -1;
}

bool Testbed::replugAt (int index)
{
    std::unique_lock<std::mutex> lock (impl->mutex);
    Device& d = impl->devices[std::size_t (index)];
    const DeviceConfig& s = d.config;
    const std::string bus = s.port.substr (0, s.port.find ('-'));
    const std::string chain = s.port.substr (s.port.find ('-') + 1);
    const std::string root = rootDir();

    d.devnode = "/dev/hidraw" + std::to_string (d.minor);
    d.usbSyspath = "/sys/devices/pci0000:00/0000:00:14.0/usb" + bus + "/" + s.port;
    const std::string ifName = s.port + ":1." + std::to_string (s.interfaceNumber);
    const std::string ifPath = d.usbSyspath + "/" + ifName;
    char hidName[64];
    std::snprintf (hidName, sizeof hidName, "0003:%04X:%04X.%04X", s.vendor, s.product,
                   unsigned (++impl->hidInstance));
    const std::string hidPath = ifPath + "/" + hidName;
    d.hidrawSyspath = hidPath + "/hidraw/hidraw" + std::to_string (d.minor);
    d.syspaths = {d.hidrawSyspath, hidPath, ifPath, d.usbSyspath};
    d.queue.clear();
    d.plugged = true;

    // The FIFO is the node itself, made before the "add" uevent so a client never sees a
    // half-made node: one byte per queued report makes poll() real.
    const std::string fifo = root + d.devnode;
    ::mkdir ((root + "/dev").c_str(), 0755);
    ::unlink (fifo.c_str());
    if (::mkfifo (fifo.c_str(), 0666) != 0)
        return false;
    d.doorbell = ::open (fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (d.doorbell < 0)
        return false;
    lock.unlock();

    // Handler first, so that a client reacting to the "add" uevent is already served.
    if (!impl->attach (index))
        return false;

    // What a kernel writes for a USB HID interface: PRODUCT and TYPE in plain hex and decimal
    // (no leading zeros) on the device and on its interface, the interface's class triple and
    // MODALIAS, the hid device's HID_* lines. Wine, hidapi and udev rules read these.
    auto attr = [] (const std::string& name, const std::string& value)
    { return "A: " + name + "=" + value + "\n"; };
    char text[96];
    std::snprintf (text, sizeof text, "E: PRODUCT=%x/%x/%x\nE: TYPE=0/0/0\n", s.vendor, s.product, s.release);
    const std::string productLines = text;
    std::snprintf (text, sizeof text, "usb:v%04Xp%04Xd%04Xdc00dsc00dp00ic03isc00ip00in%02X", s.vendor,
                   s.product, s.release, unsigned (s.interfaceNumber));
    const std::string usbModalias = text;
    std::snprintf (text, sizeof text, "hid:b0003g0001v%08Xp%08X", s.vendor, s.product);
    const std::string hidModalias = text;

    std::string usb =
        "P: " + d.usbSyspath.substr (4) + "\n" + "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n" + productLines +
        "E: BUSNUM=00" + bus + "\n" + attr ("idVendor", hex4 (s.vendor, false)) +
        attr ("idProduct", hex4 (s.product, false)) + attr ("bcdDevice", hex4 (s.release, false)) +
        attr ("manufacturer", s.manufacturer) + attr ("product", s.productName) + attr ("busnum", bus) +
        attr ("devpath", chain) + attr ("devnum", std::to_string (index + 2)) + attr ("speed", "12") +
        attr ("bDeviceClass", "00") + attr ("bConfigurationValue", "1") + attr ("bNumInterfaces", " 1");
    if (!s.serial.empty())
        usb += attr ("serial", s.serial);
    char ifNumber[8];
    std::snprintf (ifNumber, sizeof ifNumber, "%02x", s.interfaceNumber);
    std::string iface =
        "P: " + ifPath.substr (4) + "\n" + "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n" +
        "E: DRIVER=usbhid\n" + productLines + "E: INTERFACE=3/0/0\nE: MODALIAS=" + usbModalias + "\n" +
        attr ("bInterfaceNumber", ifNumber) + attr ("bInterfaceClass", "03") +
        attr ("bInterfaceSubClass", "00") + attr ("bInterfaceProtocol", "00") +
        attr ("bAlternateSetting", " 0") + attr ("bNumEndpoints", "02") + attr ("modalias", usbModalias);
    std::string hid = "P: " + hidPath.substr (4) + "\n" + "E: SUBSYSTEM=hid\nE: DRIVER=hid-generic\n" +
                      "E: HID_ID=0003:0000" + hex4 (s.vendor, true) + ":0000" + hex4 (s.product, true) +
                      "\n" + "E: HID_NAME=" + s.manufacturer + " " + s.productName + "\n" +
                      "E: HID_PHYS=usb-0000:00:14.0-" + chain + "/input" +
                      std::to_string (s.interfaceNumber) + "\n" + "E: HID_UNIQ=" + s.serial + "\n" +
                      "E: MODALIAS=" + hidModalias + "\n" + attr ("modalias", hidModalias) +
                      "H: report_descriptor=" + hexBytes (s.reportDescriptor) + "\n";
    std::string raw = "P: " + d.hidrawSyspath.substr (4) + "\n" +
                      "E: SUBSYSTEM=hidraw\nE: DEVNAME=" + d.devnode +
                      "\nE: MAJOR=241\nE: MINOR=" + std::to_string (d.minor) + "\n" + "L: device=../../../" +
                      hidName + "\n" + attr ("dev", "241:" + std::to_string (d.minor));

    if (!(impl->add (usb) && impl->add (iface) && impl->add (hid) && impl->add (raw)))
        return false;
    return true;
}

void Testbed::unplug (int device)
{
    std::unique_lock<std::mutex> lock (impl->mutex);
    if (device < 0 || std::size_t (device) >= impl->devices.size() ||
        !impl->devices[std::size_t (device)].plugged)
        return;
    Device& d = impl->devices[std::size_t (device)];
    d.plugged = false; // handlers now answer ENODEV
    if (d.doorbell >= 0)
    {
        ::close (d.doorbell); // last writer gone: readers see POLLHUP
        d.doorbell = -1;
    }
    d.queue.clear();
    std::vector<std::string> paths = d.syspaths;
    lock.unlock();

    // As on a real machine, the device is gone from the class and bus lists by the time
    // "remove" arrives; the sysfs directories stay until after the uevents, which need them.
    const std::string sys = rootDir() + "/sys";
    ::unlink ((sys + "/class/hidraw/" + paths[0].substr (paths[0].rfind ('/') + 1)).c_str());
    for (std::size_t i = 2; i < paths.size(); ++i)
        ::unlink ((sys + "/bus/usb/devices/" + paths[i].substr (paths[i].rfind ('/') + 1)).c_str());
    for (const auto& p : paths)
        umockdev_testbed_uevent (impl->bed, p.c_str(), "remove");
    impl->detach (d);
    // Child first: each removal also drops that device's class and bus links.
    for (const auto& p : paths)
        umockdev_testbed_remove_device (impl->bed, p.c_str());
    impl->changed.notify_all();
}

int Testbed::replug (int device)
{
    if (device < 0 || std::size_t (device) >= impl->devices.size())
        return -1;
    unplug (device);
    {
        std::lock_guard<std::mutex> lock (impl->mutex);
        Device& d = impl->devices[std::size_t (device)];
        d.minor = -1;
        for (int minor = 0; d.minor < 0; ++minor)
        {
            bool used = std::any_of (impl->devices.begin(), impl->devices.end(),
                                     [minor] (const Device& o) { return o.plugged && o.minor == minor; });
            if (!used)
                d.minor = minor;
        }
    }
    return replugAt (device) ? device : -1;
}

bool Testbed::isPlugged (int device) const
{
    std::lock_guard<std::mutex> lock (impl->mutex);
    return device >= 0 && std::size_t (device) < impl->devices.size() &&
           impl->devices[std::size_t (device)].plugged;
}

void Testbed::queueInput (int device, const Bytes& report)
{
    std::lock_guard<std::mutex> lock (impl->mutex);
    if (device < 0 || std::size_t (device) >= impl->devices.size())
        return;
    Device& d = impl->devices[std::size_t (device)];
    if (!d.plugged || d.doorbell < 0)
        return;
    d.queue.push_back (report);
    const char bell = 1;
    if (::write (d.doorbell, &bell, 1) != 1)
        d.queue.pop_back();
}

void Testbed::setWriteHandler (WriteHandler handler)
{
    std::unique_lock<std::mutex> lock (impl->mutex);
    impl->writeHandler = std::move (handler);
    // The old handler's owner may go as soon as this returns: no call of it may still run.
    impl->changed.wait (lock, [this] { return impl->writeHandlersRunning == 0; });
}

std::vector<Bytes> Testbed::writes (int device) const
{
    std::lock_guard<std::mutex> lock (impl->mutex);
    if (device < 0 || std::size_t (device) >= impl->devices.size())
        return {};
    return impl->devices[std::size_t (device)].writes;
}

void Testbed::clearWrites (int device)
{
    std::lock_guard<std::mutex> lock (impl->mutex);
    if (device >= 0 && std::size_t (device) < impl->devices.size())
        impl->devices[std::size_t (device)].writes = {};
}

bool Testbed::waitForWrites (int device, std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock<std::mutex> lock (impl->mutex);
    if (device < 0 || std::size_t (device) >= impl->devices.size())
        return false;
    return impl->changed.wait_for (
        lock, timeout, [&] { return impl->devices[std::size_t (device)].writes.size() >= count; });
}

int Testbed::readersConnected (int device) const
{
    std::lock_guard<std::mutex> lock (impl->mutex);
    if (device < 0 || std::size_t (device) >= impl->devices.size())
        return 0;
    return impl->devices[std::size_t (device)].connections;
}

std::string Testbed::devnode (int device) const
{
    std::lock_guard<std::mutex> lock (impl->mutex);
    if (device < 0 || std::size_t (device) >= impl->devices.size())
        return {};
    return impl->devices[std::size_t (device)].devnode;
}

std::string Testbed::syspath (int device) const
{
    std::lock_guard<std::mutex> lock (impl->mutex);
    if (device < 0 || std::size_t (device) >= impl->devices.size())
        return {};
    return impl->devices[std::size_t (device)].hidrawSyspath;
}

std::string Testbed::rootDir() const
{
    gchar* dir = umockdev_testbed_get_root_dir (impl->bed);
    std::string out = dir ? dir : "";
    g_free (dir);
    return out;
}

Bytes vendorDescriptor (int inputBytes, int outputBytes)
{
    auto clamp = [] (int n) { return std::uint8_t (std::max (0, std::min (n, 255))); };
    return {
        0x06, 0x00,
        0xFF,       // Usage Page (vendor defined 0xFF00)
        0x09, 0x01, // Usage (1)
        0xA1, 0x01, // Collection (Application)
        0x15, 0x00, //   Logical Minimum (0)
        0x26, 0xFF,
        0x00,                      //   Logical Maximum (255)
        0x75, 0x08,                //   Report Size (8)
        0x95, clamp (inputBytes),  //   Report Count
        0x09, 0x02,                //   Usage (2)
        0x81, 0x02,                //   Input (Data, Variable, Absolute)
        0x95, clamp (outputBytes), //   Report Count
        0x09, 0x03,                //   Usage (3)
        0x91, 0x02,                //   Output (Data, Variable, Absolute)
        0xC0,                      // End Collection
    };
}
} // namespace qtx::vhid
