// The transfer worker against a scripted controller: bytes on the wire, the
// failure table, retries, progress and trace lines.

#include "TransferFakes.h"

#include <gtest/gtest.h>

#include <string>

using namespace qtx;
using namespace qtx::test;

namespace
{

ScriptedPort& runTransfer (ScriptedPort& port, const TestPackage& package, const char* name = "QTX-ORB9")
{
    FirmwareTransfer transfer (port, package.info, package.blocks);
    transfer.run (name);
    return port;
}

int finalState (const ScriptedPort& port)
{
    return port.states.empty() ? -1 : port.states.back();
}

Answers on (uint8_t code, uint8_t value = 0)
{
    return {{code, value}};
}

const Answers silence{};

using Lines = std::vector<std::string>;

// Trace lines that most runs share.
const std::string modeSend = "send HID_UPDATE_COM_MODE_CHANGE to request for update. @515\n",
                  modeOk = "succeeded to change to Update mode.\n",
                  startSend = "send HID_UPDATE_COM_START. @290\n",
                  blockSend = "send HID_UPDATE_COM_BLOCK_SEND. @328\n",
                  chunkSend = "send HID_UPDATE_COM_DATA_SEND. @363\n",
                  rcvOk1 = "HID_UPDATE_ANS_RCV_OK(0xf9, 1). @400\n",
                  dlOk2 = "HID_UPDATE_ANS_DL_OK(0xfe, 2). @385\n",
                  checkSend = "send HID_UPDATE_COM_PROGRESS_CHK. @438\n",
                  complete = "HID_UPDATE_ANS_COMPLETE(0xfc, 100). @453\n";

Lines joined (std::initializer_list<Lines> parts)
{
    Lines out;
    for (const auto& part : parts)
        out.insert (out.end(), part.begin(), part.end());
    return out;
}

// The controller answers the given command (every time) with `answers`.
std::function<std::optional<Answers> (const Wire&, int)> answering (uint8_t command, Answers answers)
{
    return [command, answers] (const Wire& w, int) -> std::optional<Answers>
    {
        if (w[0] == command)
            return answers;
        return std::nullopt;
    };
}

} // namespace

TEST (TransferWire, StartCommandForSixteenBlocks)
{
    TestPackage p;
    p.info.version = 999;
    for (int i = 0; i < 16; ++i)
        p.add (0x1000 * (uint32_t) (i + 1), i % 3 != 0);
    ScriptedPort port;
    port.fault = answering (HID_UPDATE_COM_START, on (0x00)); // stop after START: only its bytes matter
    runTransfer (port, p);

    auto start = port.sentWith (HID_UPDATE_COM_START);
    ASSERT_EQ (start.size(), 1u);
    // 999 << 4 = 0x3E70 most significant byte first; then, low byte first, 0x88000
    // bytes in all and 0x55000 of them to update; then number (+0x80 to update) and
    // CRC-16 (low byte first) of each block.
    Wire expected{0xF0, 0, 0x3E, 0x70, 0x00, 0x80, 0x08, 0x00, 0x50, 0x05};
    for (size_t i = 0; i < 16; ++i)
    {
        expected[10 + 3 * i] = uint8_t ((i + 1) + (i % 3 != 0 ? 0x80 : 0));
        expected[11 + 3 * i] = uint8_t (p.blocks[i].crc);
        expected[12 + 3 * i] = uint8_t (p.blocks[i].crc >> 8);
    }
    EXPECT_EQ (start[0], expected);
    EXPECT_EQ (finalState (port), Failed);
    EXPECT_TRUE (port.sentWith (HID_UPDATE_COM_BLOCK_SEND).empty());
}

TEST (TransferWire, BlockSendAndDataSendChunking)
{
    struct Case
    {
        uint32_t length;
        size_t chunks;
        int lastChunkBytes;
    };
    for (const Case c :
         {Case{0, 0, 0}, {1, 1, 1}, {62, 1, 62}, {63, 2, 1}, {124, 2, 62}, {125, 3, 1}, {0x012345, 1203, 41}})
    {
        SCOPED_TRACE (c.length);
        TestPackage p;
        p.add (1, false).add (c.length, true); // the skipped block keeps totalLength above 0
        ScriptedPort port;
        runTransfer (port, p);

        auto blockSend = port.sentWith (HID_UPDATE_COM_BLOCK_SEND);
        ASSERT_EQ (blockSend.size(), 1u);
        Wire expected{};
        expected[0] = 0xF1;
        expected[1] = 2; // block number, 1-based
        expected[2] = uint8_t (c.length);
        expected[3] = uint8_t (c.length >> 8);
        expected[4] = uint8_t (c.length >> 16);
        EXPECT_EQ (blockSend[0], expected);

        auto chunks = port.sentWith (HID_UPDATE_COM_DATA_SEND);
        ASSERT_EQ (chunks.size(), c.chunks);
        const auto& data = p.blocks[1].data;
        for (size_t j = 0; j < chunks.size(); ++j)
        {
            EXPECT_EQ (chunks[j][1], 2);
            const int bytes = j + 1 == chunks.size() ? c.lastChunkBytes : 62;
            for (int k = 0; k < 62; ++k)
                ASSERT_EQ (chunks[j][2 + (size_t) k], k < bytes ? data[j * 62 + (size_t) k] : 0)
                    << "chunk " << j << " byte " << k;
        }
        EXPECT_EQ (finalState (port), Complete);
    }
}

TEST (TransferRun, SuccessTracesEveryStepInOrder)
{
    TestPackage p;
    p.add (63, true).add (5, false);
    ScriptedPort port;
    runTransfer (port, p);

    EXPECT_EQ (port.traces, (Lines{modeSend, modeOk, startSend, blockSend, chunkSend, rcvOk1, chunkSend,
                                   dlOk2, "Skip to update 1.\n", checkSend, complete}));
    EXPECT_EQ (port.states, (std::vector<int>{Updating, Complete}));
    EXPECT_EQ (port.progress, (std::vector<double>{0.0, 0.01, 0.02, 1.0}));
    EXPECT_EQ (port.pauses, (std::vector<int>{100}));
    // Every command is preceded by dropping stale wake-ups.
    EXPECT_EQ (port.resets, (int) port.sent.size());
}

TEST (TransferRun, TimeLimitsOfEachWait)
{
    TestPackage p;
    p.add (62, true);
    ScriptedPort port;
    port.fault =
        answering (HID_UPDATE_COM_DATA_SEND, {{HID_UPDATE_ANS_PRGRESS_CHK, 5}, {HID_UPDATE_ANS_REQ_NEXT, 7}});
    runTransfer (port, p);
    EXPECT_EQ (port.waits, (std::vector<int>{10000, 10000, 10000, 180000, 20000, 10000}));
    EXPECT_EQ (finalState (port), Complete);
    EXPECT_EQ (port.traces, (Lines{modeSend, modeOk, startSend, blockSend, chunkSend,
                                   "HID_UPDATE_ANS_PRGRESS_CHK(0xf7, 5). @475\n",
                                   "HID_UPDATE_ANS_REQ_NEXT(0xfb, 7). @390\n", checkSend, complete}));
}

// One row per line of the failure table, and the run whose blocks all lack the update flag:
// the package, where the fault is, what the controller does there, how the transfer ends
// and its whole trace.
TEST (TransferFailures, EachFaultEndsAsTheTableSays)
{
    struct Row
    {
        const char* name;
        std::vector<std::pair<uint32_t, bool>> blocks; // length, update flag
        uint8_t atCommand;
        int occurrence; // which command of that code (0-based)
        Answers answers;
        int state;
        Lines trace;
    };
    const uint8_t start = HID_UPDATE_COM_START, block = HID_UPDATE_COM_BLOCK_SEND,
                  chunk = HID_UPDATE_COM_DATA_SEND, check = HID_UPDATE_COM_PROGRESS_CHK;
    const std::vector<std::pair<uint32_t, bool>> one{{100, true}}; // two chunks
    const Lines toStart{modeSend, modeOk, startSend}, firstChunk{blockSend, chunkSend, rcvOk1, chunkSend},
        done{checkSend, complete};
    // clang-format off
    const std::vector<Row> rows{
        {"start silent", one, start, 0, silence, Failed, toStart},
        {"start wrong code", one, start, 0, on (0xF9), Failed, toStart},
        {"block send silent", one, block, 0, silence, Failed,
         joined ({toStart, {blockSend, "ERROR: no response from QTX-ORB9. @334\n"}, done})},
        {"block send refused skips block", {{30, true}, {100, true}}, block, 0, on (0xFB), Complete,
         joined ({toStart, {blockSend, "ERROR: unexpected response(0xfb). @414\n"}, firstChunk, {dlOk2}, done})},
        {"chunk silent", one, chunk, 0, silence, Failed,
         joined ({toStart, {blockSend, chunkSend, "ERROR: no response from QTX-ORB9. @368\n"}, done})},
        {"interim answers stop", one, chunk, 0, on (0xF7, 3), Failed,
         joined ({toStart, {blockSend, chunkSend, "HID_UPDATE_ANS_PRGRESS_CHK(0xf7, 3). @475\n",
                            "ERROR: no response from QTX-ORB9. @483\n"}, done})},
        {"middle chunk wrong code", one, chunk, 0, on (0xFE, 1), Failed,
         joined ({toStart, {blockSend, chunkSend, "ERROR: unexpected response(0xfe). @404\n"}, done})},
        {"last chunk wrong code", one, chunk, 1, on (0xF9, 1), Failed,
         joined ({toStart, firstChunk, {"ERROR: unexpected response(0xf9). @392\n"}, done})},
        {"device removed during chunk", one, chunk, 1, on (0x00), Failed,
         joined ({toStart, firstChunk, {"ERROR: unexpected response(0x0). @392\n"}, done})},
        {"progress check silent", one, check, 0, silence, Failed,
         joined ({toStart, firstChunk, {dlOk2, checkSend, "ERROR: no response from QTX-ORB9. @444\n"}})},
        {"progress check wrong code", one, check, 0, on (0xF8), Failed,
         joined ({toStart, firstChunk, {dlOk2, checkSend, "ERROR: unexpected response(0xf8). @459\n"}})},
        {"every block skipped", {{10, false}, {20, false}, {30, false}}, 0, 0, {}, Complete,
         joined ({toStart, {"Skip to update 0.\n", "Skip to update 1.\n", "Skip to update 2.\n"}, done})},
    };
    // clang-format on
    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.name);
        TestPackage p;
        uint32_t toUpdate = 0;
        for (const auto& [length, update] : row.blocks)
        {
            p.add (length, update);
            toUpdate += update ? length : 0;
        }
        ScriptedPort port;
        int seen = 0;
        port.fault = [&] (const Wire& w, int) -> std::optional<Answers>
        {
            if (w[0] == row.atCommand && seen++ == row.occurrence)
                return row.answers;
            return std::nullopt;
        };
        runTransfer (port, p);
        EXPECT_EQ (port.states, (std::vector<int>{Updating, row.state}));
        EXPECT_EQ (port.traces, row.trace);
        // START counts the bytes to send and flags the blocks that will be sent.
        const Wire startCommand = port.sentWith (HID_UPDATE_COM_START).at (0);
        EXPECT_EQ (uint32_t (startCommand[7] | startCommand[8] << 8 | startCommand[9] << 16), toUpdate);
        for (size_t i = 0; i < row.blocks.size(); ++i)
            EXPECT_EQ (startCommand[10 + 3 * i], (i + 1) | (row.blocks[i].second ? 0x80 : 0)) << i;
    }
}

TEST (TransferFailures, EmptyPackageFailsAtOnceAndNoResponseNamesTheDevice)
{
    ScriptedPort empty;
    runTransfer (empty, TestPackage());
    EXPECT_TRUE (empty.sent.empty());
    EXPECT_TRUE (empty.traces.empty());
    EXPECT_EQ (empty.states, (std::vector<int>{Updating, Failed}));

    TestPackage p;
    p.add (10, true);
    ScriptedPort port;
    port.fault = answering (HID_UPDATE_COM_BLOCK_SEND, silence);
    runTransfer (port, p, "QTX");
    EXPECT_EQ (port.traces[4], "ERROR: no response from QTX. @334\n");
}

TEST (TransferModeChange, FifteenCountedAttemptsThenFailed)
{
    struct Case
    {
        const char* name;
        Answers answers;
        std::string perAttemptTrace;
    };
    for (const Case& c : {Case{"not switched", on (0xF6, 0), "failed to change to Update mode.\n"},
                          Case{"other code", on (0xF8, 1), "unexpected response(0xf8).\n"},
                          Case{"silent", silence, "unexpected response(0x0).\n"},
                          Case{"woken by removal", on (0x00), "unexpected response(0x0).\n"}})
    {
        SCOPED_TRACE (c.name);
        TestPackage p;
        p.add (10, true);
        ScriptedPort port;
        port.fault = answering (HID_UPDATE_COM_MODE_CHANGE, c.answers);
        runTransfer (port, p);
        EXPECT_EQ (port.sent.size(), 15u);
        EXPECT_EQ (port.sentWith (HID_UPDATE_COM_MODE_CHANGE).size(), 15u);
        ASSERT_EQ (port.traces.size(), 31u);
        EXPECT_EQ (port.traces[1], c.perAttemptTrace);
        EXPECT_EQ (port.traces.back(), "ERROR: retry error\n");
        EXPECT_EQ (port.pauses.size(), 0u);
        EXPECT_EQ (finalState (port), Failed);
    }
}

TEST (TransferModeChange, LaterSuccessRefusalAndALateAnswer)
{
    TestPackage p;
    p.add (10, true);

    ScriptedPort later; // switched on the last of the fifteen attempts
    later.fault = [] (const Wire& w, int index) -> std::optional<Answers>
    {
        if (w[0] == HID_UPDATE_COM_MODE_CHANGE && index < 14)
            return on (0xF6, 0);
        return std::nullopt;
    };
    runTransfer (later, p);
    EXPECT_EQ (later.sentWith (HID_UPDATE_COM_MODE_CHANGE).size(), 15u);
    EXPECT_EQ (finalState (later), Complete);

    ScriptedPort refused; // a refusal ends at once
    refused.fault = answering (HID_UPDATE_COM_MODE_CHANGE, on (0xF6, 2));
    runTransfer (refused, p);
    EXPECT_EQ (refused.sent.size(), 1u);
    EXPECT_EQ (refused.traces.back(), "failed to change to Update mode by unexpected response(0x2).\n");
    EXPECT_EQ (finalState (refused), Failed);

    // After a time-out the buffer still holds the previous answer: an earlier
    // 0xF6/1 that came late counts as success on the next look.
    ScriptedPort late;
    late.latest = {HID_UPDATE_ANS_MODE_CHANGE, 1};
    late.fault = answering (HID_UPDATE_COM_MODE_CHANGE, silence);
    runTransfer (late, p);
    EXPECT_EQ (late.sentWith (HID_UPDATE_COM_MODE_CHANGE).size(), 1u);
    EXPECT_EQ (late.traces[1], "succeeded to change to Update mode.\n");
}

TEST (TransferProgress, InterimRunsTracedOnChangeInBlockPhaseAlwaysInCompletion)
{
    TestPackage p;
    p.add (124, true);
    ScriptedPort port;
    int chunks = 0, checks = 0;
    port.fault = [&] (const Wire& w, int) -> std::optional<Answers>
    {
        if (w[0] == HID_UPDATE_COM_DATA_SEND && chunks++ == 0)
            return Answers{{0xF7, 0}, {0xF7, 10}, {0xF7, 10}, {0xF7, 20}, {0xF9, 20}};
        if (w[0] == HID_UPDATE_COM_DATA_SEND)
            return Answers{{0xF7, 20}, {0xF7, 20}, {0xFE, 50}};
        if (w[0] == HID_UPDATE_COM_PROGRESS_CHK)
            return checks++ < 2 ? on (0xF7, 60) : on (0xFC, 100);
        return std::nullopt;
    };
    runTransfer (port, p);

    // 0 equals the initial lastPercent: not traced; 10 once; 20 once; the second
    // chunk's run of 20 equals the percent before it: not traced at all.
    std::vector<std::string> interim;
    for (const auto& t : port.traces)
        if (t.find ("PRGRESS_CHK(") != std::string::npos)
            interim.push_back (t);
    EXPECT_EQ (interim, (std::vector<std::string>{
                            "HID_UPDATE_ANS_PRGRESS_CHK(0xf7, 10). @475\n",
                            "HID_UPDATE_ANS_PRGRESS_CHK(0xf7, 20). @475\n",
                            "HID_UPDATE_ANS_PRGRESS_CHK(0xf7, 60). @457\n",
                            "HID_UPDATE_ANS_PRGRESS_CHK(0xf7, 60). @457\n",
                        }));
    EXPECT_EQ (port.progress,
               (std::vector<double>{0.0, 0.0, 0.1, 0.1, 0.2, 0.2, 0.2, 0.2, 0.5, 0.6, 0.6, 1.0}));
    EXPECT_EQ (port.sentWith (HID_UPDATE_COM_PROGRESS_CHK).size(), 3u);
    EXPECT_EQ (port.pauses, (std::vector<int>{100, 100, 100}));
    EXPECT_EQ (finalState (port), Complete);
}

TEST (TransferTrace, LongLinesAreCutAt1023Bytes)
{
    TestPackage p;
    ScriptedPort port;
    FirmwareTransfer transfer (port, p.info, p.blocks);
    const std::string longName (3000, 'x');
    transfer.debugPrint ("ERROR: no response from %s. @%d\n", longName.c_str(), 334);
    ASSERT_EQ (port.traces.size(), 1u);
    EXPECT_EQ (port.traces[0].size(), 1023u);
    EXPECT_EQ (port.traces[0].substr (0, 24), "ERROR: no response from ");
}
