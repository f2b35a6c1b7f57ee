// Device table: numbering, full and incremental refresh, arrival and removal notices, lock.
#include "FakePlatform.h"

using namespace qtx::devlink;
using namespace qtx::devlink::test;

namespace
{
const HidInterface ctrlB = FakePlatform::device ("1-3", DEVLINK_VENDOR_ID, DEVLINK_CONTROLLER_PRODUCT_ID);
const HidInterface type2 = FakePlatform::device ("1-4", DEVLINK_VENDOR_ID, 0x0016);
const HidInterface type1 = FakePlatform::device ("1-5", DEVLINK_SECOND_VENDOR_ID, 0x0191);
using Notices = NoticeLog::Notices;
using TableTest = LibraryTest;
} // namespace

TEST_F (TableTest, TypesFromPathsInEnumerationOrderServedDevicesOnly)
{
    fake.plug (FakePlatform::device ("1-6", 0x1234, 0x0046)); // not ours
    EXPECT_EQ (lib->deviceCount(), 0);
    HidInterface upper = type2;
    upper.path = "usb/1-9:1.0/VID_7A51&PID_0016"; // patterns are lower case only
    // Reports longer than the library serves, each way it can be: left out.
    HidInterface bigIn = FakePlatform::device ("1-7", DEVLINK_VENDOR_ID, 0x0014), bigValue = bigIn,
                 bigOut = bigIn;
    bigIn.inputReportLength = DEVLINK_MAX_REPORT + 1;
    bigValue.inputValueBytes = DEVLINK_MAX_REPORT + 1;
    bigOut.outputReportLength = DEVLINK_MAX_REPORT + 1;
    for (const auto& d : {ctrlB, bigIn, type1, upper, bigValue, bigOut, ctrl})
        fake.plug (d);
    EXPECT_EQ (lib->deviceCount(), 3);
    EXPECT_EQ (numbers(), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ (lib->deviceType (0), 9);
    EXPECT_EQ (lib->deviceType (1), 1);
    EXPECT_EQ (lib->deviceType (2), 9);
    for (int n : {-1, 3, 127, 128, 100000})
        EXPECT_EQ (lib->deviceType (n), -1) << n;
}

TEST_F (TableTest, StoppedRefreshRenumbersStartedRefreshKeepsNumbers)
{
    fake.plug (ctrl);
    fake.plug (ctrlB);
    EXPECT_EQ (lib->deviceCount(), 2);
    fake.unplug (ctrl.path);
    // Stopped: a full rebuild, the remaining device moves to number 0.
    EXPECT_EQ (numbers(), (std::vector<int>{0}));

    fake.plug (ctrl); // order now B, A
    lib->start();
    EXPECT_EQ (numbers(), (std::vector<int>{0, 1}));
    fake.unplug (ctrlB.path);
    // Started: number 1 keeps its device, number 0 is empty.
    EXPECT_EQ (numbers(), (std::vector<int>{1}));
    EXPECT_EQ (lib->deviceType (0), -1);
    EXPECT_EQ (lib->deviceType (1), 9);
    // A failed look keeps the table while started; stopped, the rebuild finds nothing.
    fake.failEnumeration = true;
    EXPECT_EQ (lib->deviceCount(), 1);
    lib->stop();
    EXPECT_EQ (lib->deviceCount(), 0);
}

TEST_F (TableTest, ReplugCasesWhileStarted)
{
    fake.plug (ctrl);
    open();
    ASSERT_EQ (numbers(), (std::vector<int>{0}));

    // Another device while the first is away takes its number; the first then gets a new one.
    fake.unplug (ctrl.path);
    lib->announceChanges();
    fake.plug (ctrlB);
    lib->announceChanges();
    fake.plug (ctrl);
    lib->announceChanges();
    EXPECT_EQ (log.take(), (Notices{{removalMsg, 0}, {arrivalMsg, 0}, {arrivalMsg, 1}}));
    EXPECT_EQ (lib->deviceType (0), 9);
    EXPECT_EQ (lib->deviceType (1), 9);

    // A new path takes the lowest free number; a type change at one number, seen after a
    // query refresh, is announced neither way.
    fake.unplug (ctrlB.path);
    lib->deviceCount();
    fake.plug (type1);
    lib->announceChanges();
    EXPECT_EQ (lib->deviceType (0), 1);
    EXPECT_TRUE (log.take().empty());
}

TEST_F (TableTest, ZeroMessageNumbersAreNotPostedRefusedNoticesComeAgain)
{
    fake.plug (ctrl);
    open (0, removalMsg);
    fake.plug (ctrlB);
    lib->announceChanges();
    fake.unplug (ctrlB.path);
    lib->announceChanges();
    EXPECT_EQ (log.take(), (Notices{{removalMsg, 1}}));

    // One the client could not queue is announced again at the next look, not at once.
    log.refuse = 1;
    fake.unplug (ctrl.path);
    lib->announceChanges();
    EXPECT_TRUE (log.take().empty());
    lib->announceChanges();
    EXPECT_EQ (log.take(), (Notices{{removalMsg, 0}}));
}

// Taking, refusing and giving back the lock itself is the process tests' (LockProcessTest).
TEST_F (TableTest, LockSemantics)
{
    EXPECT_EQ (lib->initialize(), 1);
    EXPECT_TRUE (fake.watching);
    lib->finalize();
    EXPECT_FALSE (fake.watching);

    fake.lockTakenElsewhere = true;
    EXPECT_EQ (lib->initialize(), 0);
    EXPECT_FALSE (fake.watching);
}

TEST_F (TableTest, FirmwareVersions)
{
    // HID interfaces of the type, used only when no USB hardware identifier names it.
    HidInterface first = ctrl,
                 second = FakePlatform::device ("1-3", DEVLINK_VENDOR_ID, DEVLINK_CONTROLLER_PRODUCT_ID);
    first.release = 0x0102;
    second.release = 0x0203;
    fake.plug (FakePlatform::device ("1-4", DEVLINK_VENDOR_ID, 0x003B));
    fake.plug (first);
    fake.plug (second);
    auto versions = [&] (int type, int count)
    {
        std::vector<int> values (3, -5);
        lib->firmwareVersion (type, values.data(), count);
        return values;
    };
    for (const auto& [release, version] :
         std::vector<std::pair<std::uint16_t, int>>{{0x0102, 102}, {0x1A00, 1}, {0xA100, 0}})
    {
        fake.usb = {{0x1234, 0x0046, 0x0200},
                    {DEVLINK_VENDOR_ID, DEVLINK_CONTROLLER_PRODUCT_ID, release},
                    {DEVLINK_VENDOR_ID, DEVLINK_CONTROLLER_PRODUCT_ID, 0x0300}};
        EXPECT_EQ (versions (9, 1), (std::vector<int>{version, -5, -5})) << std::hex << release; // count kept
    }
    EXPECT_EQ (versions (9, 3), (std::vector<int>{0, 300, 0}));
    fake.usb.resize (1);
    EXPECT_EQ (versions (9, 3), (std::vector<int>{102, 203, 0}));
    for (int type : {0, 10, -1, 2})
        EXPECT_EQ (versions (type, 2), (std::vector<int>{0, 0, -5})) << type;
}
