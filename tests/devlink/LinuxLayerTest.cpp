// The Linux layer on its own: enumeration from libudev and sysfs, the path scheme, node
// lookup after a replug, reads with the report ID put back, writes, the access hint.
#include "AccessHint.h"
#include "devlink.h"
#include "HidrawIo.h"
#include "LinuxTestbed.h"
#include "UdevEnumerator.h"
#include "UdevWatch.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

using namespace qtx;
using namespace qtx::devlink;
using namespace qtx::devlink::linuxos;
using namespace qtx::devlink::test;

namespace
{
std::vector<HidInterface> listAll()
{
    UdevEnumerator e;
    std::vector<HidInterface> out;
    EXPECT_TRUE (e.enumerate (nullptr, out));
    return out;
}
} // namespace

TEST (LinuxLayer, EnumeratesUsbHidInterfacesWithLengthsFromTheDescriptor)
{
    vhid::Testbed bed;
    bed.plug (controller ("1-2", 0x0215));
    vhid::DeviceConfig other = makerDevice ("1-4.1", 0x0016, 0x0100, 32, 8);
    other.interfaceNumber = 2;
    bed.plug (other);
    vhid::DeviceConfig tooBig = makerDevice ("1-5", 0x0014);
    tooBig.reportDescriptor = {0x75, 0x08, 0x96, 0x00, 0x04, 0x81, 0x02}; // 1024 data bytes
    bed.plug (tooBig);

    const auto all = listAll();
    ASSERT_EQ (all.size(), 2u);
    EXPECT_EQ (all[0].path, "usb/1-2:1.0/vid_7a51&pid_0046");
    EXPECT_EQ (all[0].release, 0x0215);
    EXPECT_EQ (all[0].inputReportLength, 65);
    EXPECT_EQ (all[0].inputValueBytes, 64);
    EXPECT_EQ (all[1].path, "usb/1-4.1:1.2/vid_7a51&pid_0016");
    EXPECT_EQ (all[1].inputReportLength, 33);
    EXPECT_EQ (all[1].outputReportLength, 9);

    const auto usb = UdevEnumerator().usbDevices();
    ASSERT_EQ (usb.size(), 3u);
    EXPECT_EQ (usb[0].release, 0x0215);
}

TEST (LinuxLayer, PathStaysWithThePortNodeIsLookedUpAgain)
{
    vhid::Testbed bed;
    int blocker = bed.plug (makerDevice ("1-7", 0x0004));
    int dev = bed.plug (controller ("1-2"));
    const std::string path = listAll().at (0).path;
    UdevEnumerator e;
    ASSERT_EQ (e.findNode (path)->devnode, "/dev/hidraw1");
    const std::string instance = listAll().at (0).instance;

    bed.unplug (blocker); // frees hidraw0
    bed.replug (dev);
    auto after = listAll();
    ASSERT_EQ (after.size(), 1u);
    EXPECT_EQ (after[0].path, path);
    EXPECT_NE (after[0].instance, instance);
    // A write's look may reuse an earlier node, but never one a replug replaced.
    EXPECT_EQ (e.findNode (path, true)->devnode, "/dev/hidraw0");
    EXPECT_EQ (e.findNode (path)->devnode, "/dev/hidraw0");

    bed.unplug (dev);
    EXPECT_FALSE (e.findNode (path, true).has_value());
}

TEST (LinuxLayer, WatchLooksAgainOnceThingsAreQuiet)
{
    // A "remove" may come while the node is still listed; no later event says it
    // has gone, so the watch must ask for a second look by itself.
    vhid::Testbed bed;
    std::atomic<int> looks{0};
    UdevWatch watch;
    ASSERT_TRUE (watch.start ([&] { ++looks; }));
    bed.plug (controller());
    for (int waited = 0; waited < 20000 && looks < 2; waited += 10)
        std::this_thread::sleep_for (std::chrono::milliseconds (10));
    EXPECT_GE (looks.load(), 2);
    watch.stop();
}

TEST (LinuxLayer, ReadPutsReportIdInFrontAndUnplugEndsTheStream)
{
    vhid::Testbed bed;
    int dev = bed.plug (controller());
    UdevEnumerator e;
    std::FILE* sink = std::tmpfile();
    AccessHint hint (sink);
    HidrawIo io (e, hint);
    auto stream = io.openInput (listAll().at (0));
    ASSERT_NE (stream, nullptr);

    std::uint8_t buffer[DEVLINK_MAX_REPORT];
    int got = 0;
    EXPECT_EQ (stream->read (buffer, sizeof buffer, got, 10), ReadResult::timeout);
    vhid::Bytes data (64);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = std::uint8_t (0x80 + i);
    bed.queueInput (dev, data);
    ASSERT_EQ (stream->read (buffer, sizeof buffer, got, 10000), ReadResult::report);
    ASSERT_EQ (got, 65);
    EXPECT_EQ (buffer[0], 0);
    EXPECT_EQ (vhid::Bytes (buffer + 1, buffer + 65), data);

    stream->wake();
    EXPECT_EQ (stream->read (buffer, sizeof buffer, got, 10000), ReadResult::stopped);

    // A device that numbers its reports: hidraw gives the ID itself, nothing is put in front.
    vhid::DeviceConfig numbered = makerDevice ("1-3", 0x0016);
    numbered.reportDescriptor = {0x85, 0x02, 0x75, 0x08, 0x95, 0x04, 0x81, 0x02};
    const int other = bed.plug (numbered);
    auto numberedStream = io.openInput (listAll().at (1));
    ASSERT_NE (numberedStream, nullptr);
    bed.queueInput (other, {0x02, 1, 2, 3, 4});
    ASSERT_EQ (numberedStream->read (buffer, sizeof buffer, got, 10000), ReadResult::report);
    EXPECT_EQ (vhid::Bytes (buffer, buffer + got), (vhid::Bytes{0x02, 1, 2, 3, 4}));

    auto second = io.openInput (listAll().at (0));
    bed.unplug (dev);
    EXPECT_EQ (second->read (buffer, sizeof buffer, got, 10000), ReadResult::ended);
    std::fclose (sink);
}

TEST (LinuxLayer, AccessHintOncePerNodeWithTheFix)
{
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* sink = ::open_memstream (&buffer, &size);
    {
        AccessHint hint (sink);
        hint.openFailed ("/dev/hidraw3", EACCES);
        hint.openFailed ("/dev/hidraw3", EACCES);
        hint.openFailed ("/dev/hidraw4", ENOENT);
    }
    std::fclose (sink);
    const std::string text (buffer, size);
    std::free (buffer);
    // Each once: the fix only for a permission problem.
    for (const std::string what : {"/dev/hidraw3: Permission denied", "udevadm trigger", "/dev/hidraw4"})
    {
        EXPECT_NE (text.find (what), std::string::npos) << what;
        EXPECT_EQ (text.find (what), text.rfind (what)) << what;
    }
}

int main (int argc, char** argv)
{
    vhid::runUnderPreload (argc, argv);
    ::testing::InitGoogleTest (&argc, argv);
    return RUN_ALL_TESTS();
}
