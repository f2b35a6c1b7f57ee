// The virtual device describes itself in sysfs and udev as a kernel describes a USB HID
// interface, so a third party (hidapi here; wine's HID bus in the Windows tests) reads it as
// it would a real one. Its reads, writes, hang-up and udev events are the Linux layer's and
// the exports' tests' to catch.
#include "VirtualHid.h"

#include <gtest/gtest.h>
#include <hidapi/hidapi.h>

using namespace qtx::vhid;

TEST (VirtualHid, HidapiEnumeratesItAsTheKernelsOwn)
{
    DeviceConfig config;
    config.vendor = 0x7A51;
    config.product = 0x0046;
    config.release = 0x0102;
    config.reportDescriptor = vendorDescriptor (64, 64);
    Testbed bed;
    const int device = bed.plug (config);
    ASSERT_EQ (hid_init(), 0);
    hid_device_info* found = hid_enumerate (0x7A51, 0x0046);
    ASSERT_NE (found, nullptr);
    EXPECT_EQ (found->path, bed.devnode (device));
    EXPECT_EQ (found->release_number, 0x0102);
    EXPECT_EQ (found->interface_number, 0);
    EXPECT_EQ (found->next, nullptr);
    hid_free_enumeration (found);
    hid_exit();
}

int main (int argc, char** argv)
{
    runUnderPreload (argc, argv);
    ::testing::InitGoogleTest (&argc, argv);
    return RUN_ALL_TESTS();
}
