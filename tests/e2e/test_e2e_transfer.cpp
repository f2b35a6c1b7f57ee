// Whole updates through the real library, its Linux layer, the device link and
// the message thread, against the simulated controller on a virtual device.
// Time limits run scaled down through the worker's port.

#include "devlink/LockIsolation.h"
#include "HeadlessHost.h"
#include "SimController.h"
#include "support/MessageThread.h"
#include "support/TestPackage.h"

#include "tools/qtx-package/PackageWriter.h"
#include "update/TransferProtocol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

using namespace qtx;
using namespace qtx::sim;
using qtx::test::MessageThread;
using qtx::test::TestPackage;

namespace
{

// 10 s answers become 200 ms, a chunk's 180 s 3.6 s, interim 20 s 400 ms.
constexpr double timeScale = 0.02;
// Only catches a hang: the slowest scripted run is well below it.
constexpr int endTimeoutMs = 60000;

bool endsWith (const std::vector<int>& sites, const std::vector<int>& tail)
{
    return sites.size() >= tail.size() && std::equal (tail.rbegin(), tail.rend(), sites.rbegin());
}

ControllerOptions with (std::vector<Fault> faults)
{
    ControllerOptions o;
    o.faults = std::move (faults);
    return o;
}

class EndToEnd : public ::testing::Test
{
protected:
    void TearDown() override
    {
        if (host != nullptr)
            loop.call ([this] { host.reset(); });
        controller.reset();
    }

    void plugController (ControllerOptions options)
    {
        controller = std::make_unique<SimController> (bed, options);
        ASSERT_GE (controller->device(), 0);
    }

    void openHost (int selector = 1)
    {
        HeadlessHost::Options options;
        options.timeScale = timeScale;
        host = loop.call (
            [&] { return std::make_unique<HeadlessHost> (package.info, package.blocks, selector, options); });
    }

    // Leaves the language screen, presses Start and waits for the end.
    int runUpdate()
    {
        loop.call ([this] { host->leaveLanguageScreen(); });
        EXPECT_EQ (host->screenState(), Ready);
        EXPECT_TRUE (loop.call ([this] { return host->start ("QTX-ORB9"); }));
        EXPECT_TRUE (host->waitForEnd (endTimeoutMs)) << "the worker hung";
        loop.flush(); // the final state request is applied on the message thread
        return host->screenState();
    }

    int waitForState (int state)
    {
        for (int k = 0; k < 1000 && host->screenState() != state; ++k)
            std::this_thread::sleep_for (std::chrono::milliseconds (5));
        return host->screenState();
    }

    vhid::Testbed bed; // first: before the library looks at udev
    MessageThread loop;
    TestPackage package = TestPackage::mixed();
    std::unique_ptr<SimController> controller;
    std::unique_ptr<HeadlessHost> host;
};

} // namespace

TEST_F (EndToEnd, FullUpdateDeliversExactlyTheUpdateBlocks)
{
    ControllerOptions options;
    options.interimPerBlock = 2;
    options.interimAtCompletion = 2;
    plugController (options);
    openHost();
    EXPECT_EQ (loop.call ([this] { return host->deviceLink.firmwareVersion; }), 102);

    EXPECT_EQ (runUpdate(), Complete);
    EXPECT_TRUE (controller->completed());
    EXPECT_TRUE (controller->allBlocksGood());
    EXPECT_EQ (controller->receivedImage(), package.expectedImage());
    EXPECT_DOUBLE_EQ (host->progressValue(), 1.0);

    // START as the controller got it: version 123 << 4 high byte first, 1482
    // bytes in all, 1425 of them to update, then number (+0x80 to update) and
    // CRC-16 of each of the seven blocks.
    const auto commands = controller->commands();
    ASSERT_GE (commands.size(), 2u);
    Report start{0xF0, 0, 0x07, 0xB0, 0xCA, 0x05, 0, 0x91, 0x05, 0};
    const uint8_t numbers[] = {0x81, 0x02, 0x83, 0x84, 0x85, 0x86, 0x07};
    for (size_t i = 0; i < 7; ++i)
    {
        start[10 + 3 * i] = numbers[i];
        start[11 + 3 * i] = (uint8_t) (package.blocks[i].crc & 0xFF);
        start[12 + 3 * i] = (uint8_t) (package.blocks[i].crc >> 8);
    }
    EXPECT_EQ (commands[1], start);

    // Then each update block with its chunks (a short last chunk padded with
    // zeros), then progress checks until complete.
    std::vector<uint8_t> codes, expected{0xF4, 0xF0};
    for (int i = 0; i < package.info.blockCount; ++i)
    {
        const auto& b = package.blocks[(size_t) i];
        if (!b.update)
            continue;
        expected.push_back (0xF1);
        expected.insert (expected.end(), chunkCount (b.length), 0xF3);
    }
    expected.insert (expected.end(), 3, 0xF2);
    uint32_t offset = 0;
    for (const auto& c : commands)
    {
        codes.push_back (c[0]);
        if (c[0] == 0xF1)
            offset = 0;
        if (c[0] != 0xF3)
            continue;
        const auto& b = package.blocks[(size_t) c[1] - 1];
        const auto used = std::min<uint32_t> (chunkDataSize, b.length - offset);
        EXPECT_TRUE (std::all_of (c.begin() + 2 + used, c.end(), [] (uint8_t x) { return x == 0; }))
            << "block " << (int) c[1] << " at " << offset;
        offset += used;
    }
    EXPECT_EQ (codes, expected);
}

TEST_F (EndToEnd, FullUpdateOfAWrittenPackageWithScrambledBlocks)
{
    // Built by the package writer, read back by the program's reader: the
    // controller must end up with the plain bytes of the blocks marked 'Y'.
    using namespace qtx::package;
    PackageDescription spec;
    spec.versionDigits = "123";
    spec.keyHighByte = 0x5A;
    spec.blocks = {makeBlock (patternData (700, 1), true, true, 3, 0x12345678, "BOOT"),
                   makeBlock (patternData (40, 2), false, true, 1, 0x0BADF00D, "SKIP"),
                   makeBlock ({}, true, false, 0, 0, "NULL"),
                   makeBlock (patternData (62, 3), true, false, 0, 0, "SIXT"),
                   makeBlock (patternData (63, 4), true, true, 7, 0xCAFEBABE, "SIXT"),
                   makeBlock (patternData (4000, 5), true, true, 2, 0x0F0F0F0F, "MAIN")};
    const auto bytes = buildPackage (spec);
    Crc32Table table;
    buildCrc32Table (table);
    TestPackage read;
    ASSERT_NE (parseUpdatePackage (table, bytes.data(), bytes.size(), read.info, read.blocks), 0u);
    ASSERT_EQ (packageUsableFrom (1, read.info), 1);
    package = read;

    std::vector<uint8_t> expected;
    for (const auto& b : spec.blocks)
        if (b.updateFlag == 'Y')
            expected.insert (expected.end(), b.data.begin(), b.data.end());

    plugController ({});
    openHost();
    EXPECT_EQ (runUpdate(), Complete);
    EXPECT_TRUE (controller->allBlocksGood());
    EXPECT_EQ (controller->receivedImage(), expected);
}

TEST_F (EndToEnd, ABlockThatDoesNotMatchItsCrcIsCaught)
{
    package.blocks[3].data[10] ^= 0x01; // corrupted after its CRC-16 was taken
    plugController ({});
    openHost();
    EXPECT_EQ (runUpdate(), Failed);
    EXPECT_FALSE (controller->allBlocksGood());
    EXPECT_FALSE (controller->completed());
}

namespace
{
struct FaultCase
{
    const char* name;
    ControllerOptions options;
    int state;
    std::vector<int> tail;      // last trace sites
    std::vector<int> otherTail; // also accepted, when timing decides between two
};

void PrintTo (const FaultCase& c, std::ostream* out)
{
    *out << c.name;
}

ControllerOptions modeOptions (int notYet, int refuse)
{
    ControllerOptions o;
    o.modeNotYet = notYet;
    o.modeRefuseValue = refuse;
    return o;
}

const FaultCase faultCases[] = {
    {"ModeRefused", modeOptions (0, 2), Failed, {515}, {}},
    // Fourteen "not yet" answers: the fifteenth and last attempt succeeds.
    {"ModeDelayed", modeOptions (14, -1), Complete, {438, 453}, {}},
    {"ModeNever", modeOptions (15, -1), Failed, {515}, {}},
    {"SilentAtStart", with ({{Fault::Silent, Step::Start, 1}}), Failed, {290}, {}},
    {"WrongCodeAtStart", with ({{Fault::WrongCode, Step::Start, 1, 0xF9}}), Failed, {290}, {}},
    {"SilentAtBlock", with ({{Fault::Silent, Step::BlockSend, 2}}), Failed, {334, 438, 459}, {}},
    {"WrongCodeAtBlockSkipsIt",
     with ({{Fault::WrongCode, Step::BlockSend, 2, 0xFB}}),
     Complete,
     {438, 453},
     {}},
    {"SilentAtChunk", with ({{Fault::Silent, Step::DataSend, 3}}), Failed, {363, 368, 438, 459}, {}},
    {"WrongCodeAtChunk", with ({{Fault::WrongCode, Step::DataSend, 2, 0xFE}}), Failed, {404, 438, 459}, {}},
    {"WrongCodeAtLastChunk",
     with ({{Fault::WrongCode, Step::DataSend, 6, 0xF9}}),
     Failed,
     {392, 438, 459},
     {}},
    {"SilentAtCheck", with ({{Fault::Silent, Step::ProgressCheck, 1}}), Failed, {438, 444}, {}},
    {"WrongCodeAtCheck", with ({{Fault::WrongCode, Step::ProgressCheck, 1, 0xF9}}), Failed, {438, 459}, {}},
    {"BurstAtCheck", with ({{Fault::Burst, Step::ProgressCheck, 1, 0, 8}}), Complete, {438, 453}, {}},
    // Unplugged for good during a chunk: the wait ends at once with code 0,
    // and the completion phase gets no answer.
    {"UnplugAtChunk", with ({{Fault::Unplug, Step::DataSend, 4}}), Failed, {404, 438, 444}, {}},
    // Back 50 ms later: whether it is back before or during the completion
    // phase decides between no answer and an unexpected one.
    {"UnplugAndReplugAtChunk",
     with ({{Fault::Unplug, Step::DataSend, 4, 0, 0, 50}}),
     Failed,
     {404, 438, 444},
     {404, 438, 459}},
};

class FaultRow : public EndToEnd, public ::testing::WithParamInterface<FaultCase>
{
};
} // namespace

TEST_P (FaultRow, EndsAsTheTableSays)
{
    const auto& row = GetParam();
    plugController (row.options);
    openHost();
    EXPECT_EQ (runUpdate(), row.state);
    const auto sites = host->traceSites();
    EXPECT_TRUE (endsWith (sites, row.tail) || (!row.otherTail.empty() && endsWith (sites, row.otherTail)))
        << ::testing::PrintToString (sites);
    if (row.state == Complete)
    {
        EXPECT_TRUE (controller->allBlocksGood());
    }
}

INSTANTIATE_TEST_SUITE_P (Faults, FaultRow, ::testing::ValuesIn (faultCases),
                          [] (const ::testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

TEST_F (EndToEnd, QuitDuringAWaitFollowsTheStopPath)
{
    plugController (with ({{Fault::Silent, Step::DataSend, 2}}));
    openHost();
    loop.call ([this] { host->leaveLanguageScreen(); });
    ASSERT_TRUE (loop.call ([this] { return host->start ("QTX-ORB9"); }));

    // Wait until the worker sits in the second chunk's (3.6 s) wait.
    for (int k = 0; k < 2000; ++k)
    {
        auto sites = host->traceSites();
        if (std::count (sites.begin(), sites.end(), 363) >= 2)
            break;
        std::this_thread::sleep_for (std::chrono::milliseconds (5));
    }
    // As the system ending the session: wake the worker, wait for it, then
    // release everything it used.
    loop.call ([this] { host->quit(); });
    EXPECT_FALSE (host->workerRunning());
    const auto sites = host->traceSites();
    EXPECT_TRUE (endsWith (sites, {363, 404, 438, 444})) << ::testing::PrintToString (sites);
    loop.call ([this] { host.reset(); });
}

TEST_F (EndToEnd, SelectorZeroTakesNoDevice)
{
    plugController ({});
    openHost (0);
    EXPECT_EQ (host->deviceLink.linkState, 0);
    loop.call ([this] { host->leaveLanguageScreen(); });
    EXPECT_EQ (host->screenState(), NotRecognised);
    EXPECT_FALSE (loop.call ([this] { return host->start ("QTX"); }));

    bed.plug (controllerSpec (0x0200, "1-5")); // an arrival is ignored as well
    std::this_thread::sleep_for (std::chrono::milliseconds (200));
    loop.flush();
    EXPECT_EQ (host->deviceLink.linkState, 0);
    EXPECT_EQ (host->screenState(), NotRecognised);
    EXPECT_TRUE (controller->commands().empty());
}

// Outside an update the screen follows the controller.
TEST_F (EndToEnd, UnplugAndReplugOutsideAnUpdateSwitchStates)
{
    plugController ({});
    openHost();
    loop.call ([this] { host->leaveLanguageScreen(); });
    ASSERT_EQ (host->screenState(), Ready);
    controller->unplug();
    EXPECT_EQ (waitForState (NotRecognised), NotRecognised);
    controller->replug();
    EXPECT_EQ (waitForState (Ready), Ready);
    EXPECT_EQ (host->deviceVersion, 102);
}

int main (int argc, char** argv)
{
    qtx::vhid::runUnderPreload (argc, argv);
    // A lock of our own: other test runs on the machine would take the
    // library's machine-wide one, and with it the device notices.
    qtx::devlink::test::isolateLockNamespace();
    ::testing::InitGoogleTest (&argc, argv);
    return RUN_ALL_TESTS();
}
