// The exported functions of libdevlink.so on virtual devices: HID_Write on the wire, hotplug
// through the udev monitor with input notices and HID_Input after a replug. The table's
// numbers, types and versions are the core's and the Linux layer's tests'.
#include "devlink.h"
#include "LinuxTestbed.h"
#include "LockIsolation.h"
#include "NoticeLog.h"

#include <thread>

using namespace qtx;
using namespace qtx::devlink::test;

namespace
{
struct ExportsTest : ::testing::Test
{
    vhid::Testbed bed;
    NoticeLog notices;

    void open()
    {
        ASSERT_EQ (HID_Initialize (nullptr), 1);
        DevlinkNotifyTarget target = notices.target();
        HID_SetCallback (&target, inputMsg, arrivalMsg, removalMsg);
        HID_Start();
    }

    void TearDown() override
    {
        HID_Stop();
        HID_SetCallback (nullptr, 0, 0, 0);
        HID_Finalize();
    }

    // The device's reader opened the node (so a queued report will be read).
    bool readerRunning (int device, int connections)
    {
        for (int i = 0; i < 2000 && bed.readersConnected (device) < connections; ++i)
            std::this_thread::sleep_for (std::chrono::milliseconds (5));
        return bed.readersConnected (device) >= connections;
    }
};
} // namespace

TEST_F (ExportsTest, WritesOnTheWireAndHotplugThroughTheMonitorKeepsNumbersPerPort)
{
    int a = bed.plug (controller ("1-2"));
    open();
    unsigned char command[64] = {0xF0};
    command[63] = 0xEE;
    EXPECT_EQ (HID_Write (0, command, 64), 1);
    ASSERT_TRUE (bed.waitForWrites (a, 1, std::chrono::seconds (10)));
    vhid::Bytes wire (65, 0);
    wire[1] = 0xF0;
    wire[64] = 0xEE;
    EXPECT_EQ (bed.writes (a), (std::vector<vhid::Bytes>{wire}));
    bed.setWriteHandler ([] (int, const vhid::Bytes& b) { return long (b.size()) - 1; });
    EXPECT_EQ (HID_Write (0, command, 64), 0); // fell short

    char text[256] = "x"; // no driver set of the maker's exists here
    EXPECT_EQ (HID_GetDriverVersion (1, text), 0);
    EXPECT_STREQ (text, "");

    int b = bed.plug (makerDevice ("1-3", 0x0016));
    ASSERT_TRUE (notices.waitFor (arrivalMsg, 1, 1));
    EXPECT_EQ (HID_GetDeviceType (1), 2);

    bed.unplug (a);
    ASSERT_TRUE (notices.waitFor (removalMsg, 1, 0));
    EXPECT_EQ (HID_GetDeviceType (0), -1);
    EXPECT_EQ (HID_Write (0, nullptr, 0), 0);

    // Same device, same port: its old number back, a reader again.
    const int connections = bed.readersConnected (a);
    bed.replug (a);
    ASSERT_TRUE (notices.waitFor (arrivalMsg, 1, 0));
    EXPECT_EQ (HID_GetDeviceType (0), 9);
    ASSERT_TRUE (readerRunning (a, connections + 1));
    bed.queueInput (a, vhid::Bytes (64, 0x33));
    ASSERT_TRUE (notices.waitFor (inputMsg, 1, 0));
    unsigned char got[DEVLINK_MAX_REPORT];
    int length = 0;
    HID_Input (0, got, &length);
    EXPECT_EQ (got[0], 0x33);

    bed.unplug (b);
    ASSERT_TRUE (notices.waitFor (removalMsg, 1, 1));
}

int main (int argc, char** argv)
{
    vhid::runUnderPreload (argc, argv);
    qtx::devlink::test::isolateLockNamespace();
    ::testing::InitGoogleTest (&argc, argv);
    return RUN_ALL_TESTS();
}
