// Readers, HID_Input, input notices and HID_Write framing against the fake platform.
#include "FakePlatform.h"

using namespace qtx::devlink;
using namespace qtx::devlink::test;

namespace
{
Bytes report (std::uint8_t fill, std::size_t size = 65)
{
    Bytes r (size, fill);
    r[0] = 0; // report ID
    return r;
}

struct IoTest : LibraryTest
{
    void startWith (const HidInterface& d)
    {
        fake.plug (d);
        open();
    }

    Bytes fetch (int n)
    {
        Bytes out (DEVLINK_MAX_REPORT, 0xEE);
        int length = -1;
        lib->input (n, out.data(), &length);
        out.resize (std::size_t (std::max (length, 0)));
        return out;
    }

    // Feeds a report and waits for its notice.
    void deliver (const Bytes& r, std::size_t noticesBefore)
    {
        ASSERT_TRUE (fake.feed (ctrl.path, r));
        ASSERT_TRUE (log.waitFor (inputMsg, noticesBefore + 1));
    }
};
} // namespace

TEST_F (IoTest, InputLengthsAndContent)
{
    startWith (ctrl);
    // Running reader, no report yet: the full length of zeros.
    EXPECT_EQ (fetch (0), Bytes (64, 0));
    // No reader for that number: length 0, destination untouched.
    for (int n : {5, -1})
        EXPECT_TRUE (fetch (n).empty()) << n;

    Bytes r = report (0);
    for (std::size_t i = 1; i < r.size(); ++i)
        r[i] = std::uint8_t (i);
    deliver (r, 0);
    Bytes got = fetch (0);
    ASSERT_EQ (got.size(), 64u);
    for (std::size_t i = 0; i < 64; ++i)
        EXPECT_EQ (got[i], i < 54 ? std::uint8_t (i + 1) : 0) << i; // bytes 1..54 of the report

    // A shorter report does not carry the previous report's tail.
    deliver (Bytes{0, 9, 9}, 1);
    got = fetch (0);
    EXPECT_EQ (got[1], 9);
    EXPECT_EQ (got[2], 0);
    EXPECT_EQ (got[53], 0);
}

TEST_F (IoTest, OneNoticeUntilTheClientFetches)
{
    startWith (ctrl);
    deliver (report (1), 0);
    // Not fetched yet: further reports replace the data but post nothing.
    for (std::uint8_t i = 2; i < 6; ++i)
        ASSERT_TRUE (fake.feed (ctrl.path, report (i)));
    ASSERT_TRUE (fake.drained (ctrl.path));
    std::this_thread::sleep_for (std::chrono::milliseconds (20)); // the last one stored
    EXPECT_EQ (log.count (inputMsg), 1u);
    EXPECT_EQ (fetch (0)[0], 5); // the latest
    // Fetched: the next report is announced again.
    deliver (report (6), 1);
    EXPECT_EQ (log.count (inputMsg), 2u);
    // A notice the client could not queue counts as not posted: the next report, though
    // nothing was fetched since, is announced.
    fetch (0);
    log.refuse = 1;
    ASSERT_TRUE (fake.feed (ctrl.path, report (7)));
    deliver (report (8), 2);
    EXPECT_EQ (fetch (0)[0], 8);
}

TEST_F (IoTest, ReadersStartedAndEnded)
{
    fake.refuseOpen.insert (ctrl.path);
    startWith (ctrl);
    // Can't be opened: stays in the table without a reader, and is tried again later.
    EXPECT_EQ (lib->deviceType (0), 9);
    EXPECT_TRUE (fetch (0).empty());
    fake.refuseOpen.clear();
    lib->announceChanges();
    EXPECT_EQ (fake.opens (ctrl.path), 2);
    EXPECT_EQ (fetch (0).size(), 64u);

    // A reader whose reads end (an unplug, a read error) stores nothing and posts nothing,
    // and while the device stays listed it is not started again.
    fake.endReads (ctrl.path);
    std::this_thread::sleep_for (std::chrono::milliseconds (20)); // the reader has ended
    lib->announceChanges();
    EXPECT_EQ (fake.opens (ctrl.path), 2);
    EXPECT_EQ (log.count (inputMsg), 0u);
    EXPECT_EQ (fetch (0), Bytes (64, 0));
}

TEST_F (IoTest, QuickReplugAtSamePortRestartsTheReader)
{
    startWith (ctrl);
    fake.unplug (ctrl.path);
    HidInterface again = ctrl;
    again.instance = ctrl.path + "#2";
    fake.plug (again);
    lib->announceChanges(); // both changes seen at once
    EXPECT_EQ (fake.opens (ctrl.path), 2);
    EXPECT_TRUE (log.take().empty()); // the number held a controller throughout
    deliver (report (8), 0);
    EXPECT_EQ (fetch (0)[0], 8);
}

TEST_F (IoTest, WriteFraming)
{
    HidInterface d = ctrl, bare = FakePlatform::device ("1-3", DEVLINK_VENDOR_ID, 0x0016);
    d.outputReportLength = 9;
    bare.inputValueBytes = 0; // number 1: neither an input value nor an output report
    bare.outputReportLength = 0;
    fake.plug (d);
    fake.plug (bare);
    open();
    ASSERT_TRUE (fake.feed (bare.path, report (7)));
    ASSERT_TRUE (log.waitFor (inputMsg));
    EXPECT_TRUE (fetch (1).empty()); // 0 bytes stored
    const std::uint8_t data[] = {0xF0, 1, 2};
    ASSERT_EQ (lib->write (0, data, 3), 1);
    ASSERT_EQ (fake.writes.size(), 1u);
    EXPECT_EQ (fake.writes[0].first, d.path);
    EXPECT_EQ (fake.writes[0].second, (Bytes{0, 0xF0, 1, 2, 0, 0, 0, 0, 0}));

    struct Case
    {
        int number, length;
        bool nullData;
        int writeResult, expected;
        bool reachesDevice;
    };
    const Case cases[] = {
        {0, 8, false, -2, 1, true},    // fills the report exactly
        {0, 0, true, -2, 1, true},     // just the report ID and zeros
        {0, 9, false, -2, 0, false},   // does not fit behind the report ID
        {0, -1, false, -2, 0, false},  // nonsense length
        {0, 3, true, -2, 0, false},    // no data
        {1, 0, true, -2, 0, false},    // no output report
        {2, 3, false, -2, 0, false},   // no device at that number
        {128, 3, false, -2, 0, false}, // out of range
        {0, 3, false, 3, 0, true},     // written short: the caller's count is not enough
        {0, 3, false, -1, 0, true},    // the system refused
    };
    const std::uint8_t big[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    for (const Case& c : cases)
    {
        fake.writes.clear();
        fake.writeResult = c.writeResult;
        EXPECT_EQ (lib->write (c.number, c.nullData ? nullptr : big, c.length), c.expected)
            << c.number << " " << c.length;
        EXPECT_EQ (fake.writes.size(), c.reachesDevice ? 1u : 0u) << c.number << " " << c.length;
    }
}
