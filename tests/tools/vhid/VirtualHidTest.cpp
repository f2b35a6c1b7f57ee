// The virtual device behaves like a hidraw node: seen by libudev, one report per read()
// with real poll(), writes captured, descriptor ioctls answered, unplug seen as a hang-up.
#include "VirtualHid.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace qtx::vhid;

namespace
{
DeviceConfig controller()
{
    DeviceConfig s;
    s.vendor = 0x7A51;
    s.product = 0x0046;
    s.release = 0x0102;
    s.reportDescriptor = vendorDescriptor (64, 64);
    return s;
}

} // namespace

TEST (VirtualHid, ReadsOneReportAtATimeWithPoll)
{
    Testbed bed;
    int dev = bed.plug (controller());
    int fd = ::open (bed.devnode (dev).c_str(), O_RDONLY);
    ASSERT_GE (fd, 0);
    pollfd p{fd, POLLIN, 0};
    EXPECT_EQ (::poll (&p, 1, 0), 0);
    bed.queueInput (dev, {1, 2, 3});
    bed.queueInput (dev, {4, 5});
    std::uint8_t buf[64];
    for (const Bytes& expected : {Bytes{1, 2, 3}, Bytes{4, 5}})
    {
        ASSERT_EQ (::poll (&p, 1, 5000), 1);
        ssize_t n = ::read (fd, buf, sizeof buf);
        ASSERT_EQ (n, ssize_t (expected.size()));
        EXPECT_EQ (Bytes (buf, buf + n), expected);
    }
    EXPECT_EQ (::poll (&p, 1, 0), 0);
    bed.unplug (dev);
    ASSERT_EQ (::poll (&p, 1, 5000), 1);
    EXPECT_NE (p.revents & POLLHUP, 0);
    ::close (fd);
}

TEST (VirtualHid, WritesAndIoctls)
{
    Testbed bed;
    int dev = bed.plug (controller());
    int fd = ::open (bed.devnode (dev).c_str(), O_WRONLY);
    ASSERT_GE (fd, 0);
    int size = 0;
    ASSERT_EQ (::ioctl (fd, HIDIOCGRDESCSIZE, &size), 0);
    EXPECT_EQ (size, int (vendorDescriptor().size()));
    hidraw_devinfo info{};
    ASSERT_EQ (::ioctl (fd, HIDIOCGRAWINFO, &info), 0);
    EXPECT_EQ (std::uint16_t (info.vendor), 0x7A51);
    const std::uint8_t report[] = {0, 0xF0, 1};
    EXPECT_EQ (::write (fd, report, sizeof report), 3);
    ASSERT_TRUE (bed.waitForWrites (dev, 1, std::chrono::seconds (10)));
    EXPECT_EQ (bed.writes (dev)[0], (Bytes{0, 0xF0, 1}));
    ::close (fd);
}

int main (int argc, char** argv)
{
    runUnderPreload (argc, argv);
    ::testing::InitGoogleTest (&argc, argv);
    return RUN_ALL_TESTS();
}
