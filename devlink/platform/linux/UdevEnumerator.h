// HID interfaces of USB devices from libudev (hidraw nodes), with report lengths parsed from
// the report descriptor in sysfs: nothing is opened to list a device.
#pragma once

#include "Platform.h"

#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace qtx::devlink::linuxos
{
// "usb/<interface>/vid_xxxx&pid_xxxx", <interface> being the USB interface's sysfs name
// ("1-2:1.0": bus 1, port 2, configuration 1, interface 0). See docs/device-paths.md.
std::string devicePath (const std::string& interfaceName, std::uint16_t vendor, std::uint16_t product);

struct Node
{
    std::string devnode; // /dev/hidrawN
    bool numberedReports = false;
};

class UdevEnumerator : public DeviceEnumerator
{
public:
    bool enumerate (const PathFilter& wanted, std::vector<HidInterface>& out) override;
    std::vector<UsbDevice> usbDevices() override;

    // The node that serves a device path now, with its report layout. It changes on
    // replug, so it is looked up afresh, except that a write (mayReuse) may take the
    // node of an earlier look while that node's sysfs entry still exists: the entry's
    // name carries the HID instance, which a replug changes.
    std::optional<Node> findNode (const std::string& path, bool mayReuse = false);

private:
    struct KnownNode
    {
        std::string instance; // the hidraw node's sysfs path
        Node node;
    };
    std::mutex knownLock;
    std::map<std::string, KnownNode> known; // by device path; readers and writers share it
};
} // namespace qtx::devlink::linuxos
