// The virtual device answers hidraw's descriptor and device queries, and describes itself in
// sysfs and udev as a kernel describes a USB HID interface, so third parties (hidapi, wine's
// HID bus) read it as they would a real one. Its reads, writes, hang-up and udev events are
// the Linux layer's and the exports' tests' to catch.
#include "VirtualHid.h"

#include <gtest/gtest.h>
#include <hidapi/hidapi.h>
#include <libudev.h>

#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace qtx::vhid;

namespace
{
DeviceConfig sample()
{
    DeviceConfig config;
    config.vendor = 0x7A51;
    config.product = 0x0046;
    config.release = 0x0102;
    config.serial = "S1";
    config.reportDescriptor = vendorDescriptor (64, 64);
    return config;
}
} // namespace

TEST (VirtualHid, DescribesItselfAsTheKernelDoes)
{
    Testbed bed;
    const int device = bed.plug (sample());

    // The descriptor and device queries wine's HID bus makes.
    const int fd = ::open (bed.devnode (device).c_str(), O_WRONLY);
    ASSERT_GE (fd, 0);
    int size = 0;
    ASSERT_EQ (::ioctl (fd, HIDIOCGRDESCSIZE, &size), 0);
    EXPECT_EQ (size, int (vendorDescriptor().size()));
    hidraw_devinfo info{};
    ASSERT_EQ (::ioctl (fd, HIDIOCGRAWINFO, &info), 0);
    EXPECT_EQ (std::uint16_t (info.vendor), 0x7A51);
    ::close (fd);

    // hidapi, as any third party would enumerate it.
    ASSERT_EQ (hid_init(), 0);
    hid_device_info* found = hid_enumerate (0x7A51, 0x0046);
    ASSERT_NE (found, nullptr);
    EXPECT_EQ (found->path, bed.devnode (device));
    EXPECT_EQ (found->release_number, 0x0102);
    EXPECT_EQ (found->interface_number, 0);
    EXPECT_EQ (found->next, nullptr);
    hid_free_enumeration (found);
    hid_exit();

    // The uevent lines wine's HID bus reads, in the kernel's own spelling.
    udev* context = udev_new();
    udev_device* raw = udev_device_new_from_syspath (context, bed.syspath (device).c_str());
    ASSERT_NE (raw, nullptr);
    const char* lines[][4] = {
        {"usb", "usb_device", "PRODUCT", "7a51/46/102"},
        {"usb", "usb_device", "TYPE", "0/0/0"},
        {"usb", "usb_interface", "PRODUCT", "7a51/46/102"},
        {"usb", "usb_interface", "INTERFACE", "3/0/0"},
        {"usb", "usb_interface", "MODALIAS", "usb:v7A51p0046d0102dc00dsc00dp00ic03isc00ip00in00"},
        {"hid", nullptr, "HID_ID", "0003:00007A51:00000046"},
        {"hid", nullptr, "HID_PHYS", "usb-0000:00:14.0-2/input0"},
        {"hid", nullptr, "HID_UNIQ", "S1"},
        {"hid", nullptr, "MODALIAS", "hid:b0003g0001v00007A51p00000046"},
    };
    for (const auto& l : lines)
    {
        udev_device* parent = udev_device_get_parent_with_subsystem_devtype (raw, l[0], l[1]);
        ASSERT_NE (parent, nullptr) << l[0];
        EXPECT_STREQ (udev_device_get_property_value (parent, l[2]), l[3]) << l[2];
    }
    udev_device_unref (raw);
    udev_unref (context);
}

int main (int argc, char** argv)
{
    runUnderPreload (argc, argv);
    ::testing::InitGoogleTest (&argc, argv);
    return RUN_ALL_TESTS();
}
