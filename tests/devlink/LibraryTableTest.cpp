// Device table: numbering, full and incremental refresh, arrival and removal notices, lock.
#include "devlink_ids.h"
#include "FakePlatform.h"
#include "Library.h"

#include <gtest/gtest.h>

using namespace qtx::devlink;
using namespace qtx::devlink::test;

namespace
{
constexpr unsigned inputMsg = 1027, arrivalMsg = 1026, removalMsg = 1025;
const HidInterface ctrlA = FakePlatform::device ("1-2", DEVLINK_VENDOR_ID, DEVLINK_CONTROLLER_PRODUCT_ID);
const HidInterface ctrlB = FakePlatform::device ("1-3", DEVLINK_VENDOR_ID, DEVLINK_CONTROLLER_PRODUCT_ID);
const HidInterface type2 = FakePlatform::device ("1-4", DEVLINK_VENDOR_ID, 0x0016);
const HidInterface type1 = FakePlatform::device ("1-5", DEVLINK_SECOND_VENDOR_ID, 0x0191);

std::vector<int> numbers (Library& lib)
{
    std::vector<int> out (DEVLINK_MAX_DEVICES + 1, -7);
    out.resize (std::size_t (lib.enumNumbers (out.data())));
    return out;
}

struct TableTest : ::testing::Test
{
    FakePlatform fake;
    NoticeLog log;
    std::unique_ptr<Library> lib = std::make_unique<Library> (fake.platform());

    void initAndStart()
    {
        ASSERT_EQ (lib->initialize(), 1);
        DevlinkNotifyTarget t = log.target();
        lib->setCallback (&t, inputMsg, arrivalMsg, removalMsg);
        lib->start();
    }
};
} // namespace

TEST_F (TableTest, NoDeviceAndOutOfRangeNumbers)
{
    fake.plug (FakePlatform::device ("1-6", 0x1234, 0x0046)); // not ours
    EXPECT_EQ (lib->deviceCount(), 0);
    EXPECT_TRUE (numbers (*lib).empty());
    for (int n : {-1, 0, 127, 128, 100000})
        EXPECT_EQ (lib->deviceType (n), -1) << n;
}

TEST_F (TableTest, TypesFromPathsInEnumerationOrder)
{
    fake.plug (ctrlB);
    fake.plug (type1);
    fake.plug (ctrlA);
    HidInterface upper = type2;
    upper.path = "usb/1-9:1.0/VID_7A51&PID_0016"; // patterns are lower case only
    fake.plug (upper);
    EXPECT_EQ (lib->deviceCount(), 3);
    EXPECT_EQ (numbers (*lib), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ (lib->deviceType (0), 9);
    EXPECT_EQ (lib->deviceType (1), 1);
    EXPECT_EQ (lib->deviceType (2), 9);
    EXPECT_EQ (lib->deviceType (3), -1);
}

TEST_F (TableTest, OversizedReportsAreNotServed)
{
    HidInterface big = ctrlA;
    big.inputValueBytes = DEVLINK_MAX_REPORT + 1;
    fake.plug (big);
    HidInterface bigOut = ctrlB;
    bigOut.outputReportLength = DEVLINK_MAX_REPORT + 1;
    fake.plug (bigOut);
    fake.plug (type2);
    EXPECT_EQ (numbers (*lib), (std::vector<int>{0}));
    EXPECT_EQ (lib->deviceType (0), 2);
}

TEST_F (TableTest, StoppedRefreshRenumbersStartedRefreshKeepsNumbers)
{
    fake.plug (ctrlA);
    fake.plug (ctrlB);
    EXPECT_EQ (lib->deviceCount(), 2);
    fake.unplug (ctrlA.path);
    // Stopped: a full rebuild, the remaining device moves to number 0.
    EXPECT_EQ (numbers (*lib), (std::vector<int>{0}));

    fake.plug (ctrlA); // order now B, A
    lib->start();
    EXPECT_EQ (numbers (*lib), (std::vector<int>{0, 1}));
    fake.unplug (ctrlB.path);
    // Started: number 1 keeps its device, number 0 is empty.
    EXPECT_EQ (numbers (*lib), (std::vector<int>{1}));
    EXPECT_EQ (lib->deviceType (0), -1);
    EXPECT_EQ (lib->deviceType (1), 9);
}

TEST_F (TableTest, ReplugCasesWhileStarted)
{
    fake.plug (ctrlA);
    initAndStart();
    ASSERT_EQ (numbers (*lib), (std::vector<int>{0}));

    // Same device back at the same path: its old number, announced as an arrival.
    fake.unplug (ctrlA.path);
    lib->announceChanges();
    fake.plug (ctrlA);
    lib->announceChanges();
    EXPECT_EQ (log.take(), (std::vector<std::pair<unsigned, int>>{{removalMsg, 0}, {arrivalMsg, 0}}));

    // Another device while the first is away takes its number; the first then gets a new one.
    fake.unplug (ctrlA.path);
    lib->announceChanges();
    fake.plug (ctrlB);
    lib->announceChanges();
    fake.plug (ctrlA);
    lib->announceChanges();
    EXPECT_EQ (log.take(),
               (std::vector<std::pair<unsigned, int>>{{removalMsg, 0}, {arrivalMsg, 0}, {arrivalMsg, 1}}));
    EXPECT_EQ (lib->deviceType (0), 9);
    EXPECT_EQ (lib->deviceType (1), 9);

    // A new path takes the lowest free number.
    fake.unplug (ctrlB.path);
    fake.plug (type1);
    lib->announceChanges();
    EXPECT_EQ (lib->deviceType (0), 1);
}

TEST_F (TableTest, TypeChangeAtOneNumberIsAnnouncedNeitherWay)
{
    fake.plug (ctrlA);
    initAndStart();
    fake.unplug (ctrlA.path);
    lib->deviceCount(); // a query refresh: the table changes without notices
    fake.plug (type2);
    lib->announceChanges();
    EXPECT_EQ (lib->deviceType (0), 2);
    EXPECT_TRUE (log.take().empty());
}

TEST_F (TableTest, ZeroMessageNumbersAreNotPosted)
{
    fake.plug (ctrlA);
    ASSERT_EQ (lib->initialize(), 1);
    DevlinkNotifyTarget t = log.target();
    lib->setCallback (&t, inputMsg, 0, removalMsg);
    lib->start();
    fake.plug (ctrlB);
    lib->announceChanges();
    fake.unplug (ctrlB.path);
    lib->announceChanges();
    EXPECT_EQ (log.take(), (std::vector<std::pair<unsigned, int>>{{removalMsg, 1}}));
}

TEST_F (TableTest, ChangesBeforeStartAreArrivalsThenStartTakesThemAsKnown)
{
    ASSERT_EQ (lib->initialize(), 1);
    DevlinkNotifyTarget t = log.target();
    lib->setCallback (&t, inputMsg, arrivalMsg, removalMsg);
    fake.plug (ctrlA);
    fake.fireChange(); // through the watch the library registered
    EXPECT_EQ (log.take(), (std::vector<std::pair<unsigned, int>>{{arrivalMsg, 0}}));
    fake.plug (ctrlB);
    lib->start();
    lib->announceChanges();
    EXPECT_TRUE (log.take().empty());
}

TEST_F (TableTest, FailedEnumerationKeepsTableWhileStarted)
{
    fake.plug (ctrlA);
    lib->start();
    fake.failEnumeration = true;
    EXPECT_EQ (lib->deviceCount(), 1);
    lib->stop();
    EXPECT_EQ (lib->deviceCount(), 0); // full rebuild: empty
}

TEST_F (TableTest, LockSemantics)
{
    EXPECT_EQ (lib->initialize(), 1);
    EXPECT_TRUE (fake.watching);
    EXPECT_EQ (lib->initialize(), 0); // held already
    lib->finalize();
    EXPECT_FALSE (fake.lockHeld);
    EXPECT_FALSE (fake.watching);
    lib->finalize(); // harmless twice

    fake.lockTakenElsewhere = true;
    EXPECT_EQ (lib->initialize(), 0);
    EXPECT_FALSE (fake.watching);
    // Readers and queries still work without the lock.
    fake.plug (ctrlA);
    lib->start();
    EXPECT_EQ (fake.opens (ctrlA.path), 1);
    lib->finalize();
    fake.lockTakenElsewhere = false;
    EXPECT_EQ (lib->initialize(), 1);
}

TEST_F (TableTest, FirmwareVersions)
{
    struct Case
    {
        std::uint16_t release;
        int version;
    };
    for (const Case c :
         {Case{0x0102, 102}, Case{0x1A00, 1}, Case{0xA100, 0}, Case{0x9999, 9999}, Case{0x0000, 0}})
    {
        fake.usb = {{0x1234, 0x0046, 0x0200},
                    {DEVLINK_VENDOR_ID, DEVLINK_CONTROLLER_PRODUCT_ID, c.release},
                    {DEVLINK_VENDOR_ID, DEVLINK_CONTROLLER_PRODUCT_ID, 0x0300}};
        int values[3] = {-5, -5, -5};
        lib->firmwareVersion (9, values, 1);
        EXPECT_EQ (values[0], c.version) << std::hex << c.release;
        EXPECT_EQ (values[1], -5); // count respected
    }
    int values[3] = {-5, -5, -5};
    lib->firmwareVersion (9, values, 3);
    EXPECT_EQ (values[1], 300);
    EXPECT_EQ (values[2], 0);
    for (int type : {0, 10, -1, 2})
    {
        int v[2] = {-5, -5};
        lib->firmwareVersion (type, v, 2);
        EXPECT_EQ (v[0], 0);
        EXPECT_EQ (v[1], 0);
    }
}
