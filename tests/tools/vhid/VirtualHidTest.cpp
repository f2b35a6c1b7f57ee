// The virtual device answers hidraw's descriptor and device queries. Its reads, writes,
// hang-up and udev events are the Linux layer's and the exports' tests' to catch.
#include "VirtualHid.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace qtx::vhid;

TEST (VirtualHid, AnswersDescriptorAndDeviceQueries)
{
    Testbed bed;
    DeviceConfig config;
    config.vendor = 0x7A51;
    config.reportDescriptor = vendorDescriptor (64, 64);
    const int fd = ::open (bed.devnode (bed.plug (config)).c_str(), O_WRONLY);
    ASSERT_GE (fd, 0);
    int size = 0;
    ASSERT_EQ (::ioctl (fd, HIDIOCGRDESCSIZE, &size), 0);
    EXPECT_EQ (size, int (vendorDescriptor().size()));
    hidraw_devinfo info{};
    ASSERT_EQ (::ioctl (fd, HIDIOCGRAWINFO, &info), 0);
    EXPECT_EQ (std::uint16_t (info.vendor), 0x7A51);
    ::close (fd);
}

int main (int argc, char** argv)
{
    runUnderPreload (argc, argv);
    ::testing::InitGoogleTest (&argc, argv);
    return RUN_ALL_TESTS();
}
