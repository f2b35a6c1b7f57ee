// devlink.dll and the headless host through wine's own HID class driver, against the Linux
// simulator on wine's udev bus. Run by wine-e2e.sh, which starts the simulator for each suite:
//   HidUnderWine: two controllers; the first answers, and on its second mode change it
//                 leaves for a moment and comes back at the same port
//   NoAnswer:     one controller that leaves the third chunk unanswered

#include "HeadlessHost.h"
#include "NoticeLog.h"
#include "support/MessageThread.h"
#include "support/TestPackage.h"

#include "devlink.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>

using namespace qtx::devlink::test;

namespace
{
std::vector<int> numbers()
{
    std::vector<int> out (DEVLINK_MAX_DEVICES);
    out.resize ((size_t) HID_EnumHIDno (out.data()));
    return out;
}

TEST (HidUnderWine, ReportsNumbersAndTheLockThroughTheClassDriver)
{
    ASSERT_EQ (HID_Initialize (nullptr), 1);
    NoticeLog log;
    const DevlinkNotifyTarget target = log.target();
    HID_SetCallback (&target, inputMsg, arrivalMsg, removalMsg);
    HID_Start();
    const std::vector<int> before = numbers();
    ASSERT_EQ (before.size(), 2u);
    int versions[2] = {};
    HID_GetFirmwareVersion (9, versions, 2); // from the HID attributes: wine lists no USB identifiers
    EXPECT_EQ (versions[0], 102);
    EXPECT_EQ (versions[1], 102);
    EXPECT_EQ (HID_Initialize (nullptr), 0);

    // A mode change to both: the answering controller is the one whose input notice comes.
    // Report ID 0 goes in front; more than the output report's 64 bytes is refused unsent.
    unsigned char modeChange[65] = {0xF4};
    for (int n : before)
    {
        EXPECT_EQ (HID_Write (n, modeChange, 65), 0);
        EXPECT_EQ (HID_Write (n, modeChange, 64), 1);
    }
    ASSERT_TRUE (log.waitFor (inputMsg));
    const int first = log.take().front().second, second = first == before[0] ? before[1] : before[0];
    unsigned char answer[DEVLINK_MAX_REPORT] = {};
    int length = 0;
    HID_Input (first, answer, &length);
    EXPECT_EQ (length, 64);
    EXPECT_EQ (answer[0], 0xF6);
    EXPECT_EQ (answer[1], 1);

    // Its second mode change unplugs it: the other keeps its number, and it comes back
    // under its own, with a reader on the new device.
    EXPECT_EQ (HID_Write (first, modeChange, 64), 1);
    ASSERT_TRUE (log.waitFor (removalMsg, 1, first));
    EXPECT_EQ (numbers(), std::vector<int> ({second}));
    ASSERT_TRUE (log.waitFor (arrivalMsg, 1, first));
    EXPECT_EQ (numbers(), before);
    EXPECT_EQ (HID_Write (first, modeChange, 64), 1);
    EXPECT_TRUE (log.waitFor (inputMsg, 1, first));

    HID_Stop();
    HID_SetCallback (nullptr, 0, 0, 0);
    HID_Finalize();
}

TEST (NoAnswer, ToAChunkEndsFailedAfterItsScaledTimeLimit)
{
    qtx::test::MessageThread loop;
    const qtx::test::TestPackage package = qtx::test::TestPackage::mixed();
    qtx::HeadlessHost::Options options;
    options.timeScale = 0.02; // the chunk's 180 s become 3.6 s
    auto host = loop.call (
        [&] { return std::make_unique<qtx::HeadlessHost> (package.info, package.blocks, 1, options); });
    loop.call ([&] { host->leaveLanguageScreen(); });
    ASSERT_EQ (host->getScreenState(), qtx::Ready);
    EXPECT_EQ (host->deviceVersion, 102);
    ASSERT_TRUE (loop.call ([&] { return host->start ("QTX-ORB9"); }));
    ASSERT_TRUE (host->waitForEnd (60000)) << "the worker hung";
    loop.flush();
    EXPECT_EQ (host->getScreenState(), qtx::Failed);
    const auto sites = host->traceSites();
    EXPECT_NE (std::find (sites.begin(), sites.end(), 368), sites.end()); // no response to the chunk
    loop.call ([&] { host.reset(); });
}
} // namespace
