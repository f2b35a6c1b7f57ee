// The transfer worker against a scripted controller: bytes on the wire, the
// failure table, retries, progress and trace lines.

#include "TransferFakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace qtx;
using namespace qtx::test;

namespace
{

void runTransfer (ScriptedPort& port, const TestPackage& package, const char* name = "QTX-ORB9")
{
    FirmwareTransfer transfer (port, package.info, package.blocks);
    transfer.run (name);
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

} // namespace

// Sixteen blocks, every third skipped, the sent ones around the 62-byte chunk and one
// with a high length byte: the START command, and how many commands follow it.
TEST (TransferWire, StartCommandForSixteenBlocks)
{
    const uint32_t lengths[16] = {7, 0x12345, 1, 0x10000, 62, 63, 5, 124, 125, 300, 0, 61, 64, 200, 7, 2};
    TestPackage p;
    p.info.version = 999;
    for (size_t i = 0; i < 16; ++i)
        p.add (lengths[i], i % 3 != 0);
    ScriptedPort port;
    runTransfer (port, p);
    EXPECT_EQ (port.finalState(), Complete);

    // 999 << 4 = 0x3E70 most significant byte first; then, low byte first, 0x022742
    // bytes in all and 0x0125C8 of them to update; then number (+0x80 to update) and
    // CRC-16 (low byte first) of each block.
    Wire start{0xF0, 0, 0x3E, 0x70, 0x42, 0x27, 0x02, 0xC8, 0x25, 0x01};
    for (size_t i = 0; i < 16; ++i)
    {
        start[10 + 3 * i] = uint8_t ((i + 1) + (i % 3 != 0 ? 0x80 : 0));
        start[11 + 3 * i] = uint8_t (p.blocks[i].crc);
        start[12 + 3 * i] = uint8_t (p.blocks[i].crc >> 8);
    }
    ASSERT_GE (port.sent.size(), 2u);
    EXPECT_EQ (port.sent[1], start);

    // Then each sent block's BLOCK_SEND and chunks (their bytes are the fault campaign's
    // and the end-to-end tests'), and the progress check.
    size_t commands = 3;
    for (size_t i = 0; i < 16; ++i)
        commands += i % 3 != 0 ? 1 + (lengths[i] + 61) / 62 : 0;
    EXPECT_EQ (port.sent.size(), commands);
    EXPECT_EQ (port.sent.back()[0], HID_UPDATE_COM_PROGRESS_CHK);
    // Block 2's last chunk carries its last 41 bytes, padded with zeros.
    const Wire last = port.sentWith (HID_UPDATE_COM_DATA_SEND).at (0x12345 / 62);
    EXPECT_EQ (last[2 + 40], p.blocks[1].data.back());
    EXPECT_TRUE (std::all_of (last.begin() + 2 + 41, last.end(), [] (uint8_t b) { return b == 0; }));
}

// Interim answers to both chunks and to the progress check: the time limit of each
// wait, the interim percents traced only when they change in the block phase and
// always in completion, the progress shown, and the pause after each check.
TEST (TransferRun, TimeLimitsOfEachWait)
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
            return Answers{{0xF7, 20}, {0xF7, 20}, {0xFB, 50}};
        if (w[0] == HID_UPDATE_COM_PROGRESS_CHK)
            return checks++ < 2 ? on (0xF7, 60) : on (0xFC, 100);
        return std::nullopt;
    };
    runTransfer (port, p);

    EXPECT_EQ (port.waits, (std::vector<int>{10000, 10000, 10000, 180000, 20000, 20000, 20000, 20000, 180000,
                                             20000, 20000, 10000, 10000, 10000}));
    // 0 equals the initial percent: not traced; 10 once; 20 once; the second chunk's
    // run of 20 equals the percent before it: not traced at all.
    const std::string check60 = "HID_UPDATE_ANS_PRGRESS_CHK(0xf7, 60). @457\n";
    EXPECT_EQ (port.traces, (Lines{modeSend, modeOk, startSend, blockSend, chunkSend,
                                   "HID_UPDATE_ANS_PRGRESS_CHK(0xf7, 10). @475\n",
                                   "HID_UPDATE_ANS_PRGRESS_CHK(0xf7, 20). @475\n",
                                   "HID_UPDATE_ANS_RCV_OK(0xf9, 20). @400\n", chunkSend,
                                   "HID_UPDATE_ANS_REQ_NEXT(0xfb, 50). @390\n", checkSend, check60, checkSend,
                                   check60, checkSend, complete}));
    EXPECT_EQ (port.progress,
               (std::vector<double>{0.0, 0.0, 0.1, 0.1, 0.2, 0.2, 0.2, 0.2, 0.5, 0.6, 0.6, 1.0}));
    EXPECT_EQ (port.pauses, (std::vector<int>{100, 100, 100}));
    EXPECT_EQ (port.finalState(), Complete);
}

// One row per line of the failure table, a sound run, and the runs with nothing to send:
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
         joined ({toStart, {blockSend, "ERROR: no response from QTX. @334\n"}, done})},
        {"block send refused skips block", {{30, true}, {100, true}}, block, 0, on (0xFB), Complete,
         joined ({toStart, {blockSend, "ERROR: unexpected response(0xfb). @414\n"}, firstChunk, {dlOk2}, done})},
        {"chunk silent", one, chunk, 0, silence, Failed,
         joined ({toStart, {blockSend, chunkSend, "ERROR: no response from QTX. @368\n"}, done})},
        {"interim answers stop", one, chunk, 0, on (0xF7, 3), Failed,
         joined ({toStart, {blockSend, chunkSend, "HID_UPDATE_ANS_PRGRESS_CHK(0xf7, 3). @475\n",
                            "ERROR: no response from QTX. @483\n"}, done})},
        {"middle chunk wrong code", one, chunk, 0, on (0xFE, 1), Failed,
         joined ({toStart, {blockSend, chunkSend, "ERROR: unexpected response(0xfe). @404\n"}, done})},
        {"last chunk wrong code", one, chunk, 1, on (0xF9, 1), Failed,
         joined ({toStart, firstChunk, {"ERROR: unexpected response(0xf9). @392\n"}, done})},
        {"progress check silent", one, check, 0, silence, Failed,
         joined ({toStart, firstChunk, {dlOk2, checkSend, "ERROR: no response from QTX. @444\n"}})},
        {"progress check wrong code", one, check, 0, on (0xF8), Failed,
         joined ({toStart, firstChunk, {dlOk2, checkSend, "ERROR: unexpected response(0xf8). @459\n"}})},
        {"every block skipped", {{10, false}, {20, false}, {30, false}}, 0, 0, {}, Complete,
         joined ({toStart, {"Skip to update 0.\n", "Skip to update 1.\n", "Skip to update 2.\n"}, done})},
        {"sound, a block skipped", {{63, true}, {5, false}}, 0, 0, {}, Complete,
         joined ({toStart, firstChunk, {dlOk2, "Skip to update 1.\n"}, done})},
        {"no blocks: nothing is sent", {}, 0, 0, {}, Failed, {}},
    };
    // clang-format on
    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.name);
        TestPackage p;
        for (const auto& [length, update] : row.blocks)
            p.add (length, update);
        ScriptedPort port;
        int seen = 0;
        port.fault = [&] (const Wire& w, int) -> std::optional<Answers>
        {
            if (w[0] == row.atCommand && seen++ == row.occurrence)
                return row.answers;
            return std::nullopt;
        };
        runTransfer (port, p, "QTX");
        EXPECT_EQ (port.states, (std::vector<int>{Updating, row.state}));
        EXPECT_EQ (port.traces, row.trace);
        // Every command is preceded by dropping stale wake-ups.
        EXPECT_EQ (port.resets, (int) port.sent.size());
        if (row.blocks.empty())
        {
            EXPECT_TRUE (port.sent.empty());
        }
    }
}

// Every attempt counts, fifteen at most; a refusal ends at once. After a time-out the
// buffer still holds the previous answer: an earlier 0xF6/1 that came late counts as
// success on the next look.
TEST (TransferModeChange, EachAnswerToTheModeChange)
{
    const std::string failedOnce = "failed to change to Update mode.\n", retryError = "ERROR: retry error\n";
    const struct
    {
        const char* name;
        Answers answers; // to the first `answered` attempts; the good answer after them
        int answered;
        Answer latest;
        size_t attempts;
        int state;
        std::string firstTrace, lastTrace;
    } cases[] = {
        {"not switched", on (0xF6, 0), 15, {}, 15, Failed, failedOnce, retryError},
        {"other code", on (0xF8, 1), 15, {}, 15, Failed, "unexpected response(0xf8).\n", retryError},
        {"switched at the last attempt", on (0xF6, 0), 14, {}, 15, Complete, failedOnce, complete},
        {"refused",
         on (0xF6, 2),
         15,
         {},
         1,
         Failed,
         "failed to change to Update mode by unexpected response(0x2).\n",
         "failed to change to Update mode by unexpected response(0x2).\n"},
        {"a late answer", silence, 15, {HID_UPDATE_ANS_MODE_CHANGE, 1}, 1, Complete, modeOk, complete},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        TestPackage p;
        p.add (10, true);
        ScriptedPort port;
        port.latest = c.latest;
        port.fault = [&c] (const Wire& w, int index) -> std::optional<Answers>
        {
            if (w[0] == HID_UPDATE_COM_MODE_CHANGE && index < c.answered)
                return c.answers;
            return std::nullopt;
        };
        runTransfer (port, p);
        EXPECT_EQ (port.sentWith (HID_UPDATE_COM_MODE_CHANGE).size(), c.attempts);
        EXPECT_EQ (port.finalState(), c.state);
        ASSERT_GE (port.traces.size(), 2u);
        EXPECT_EQ (port.traces[1], c.firstTrace);
        EXPECT_EQ (port.traces.back(), c.lastTrace);
        if (c.state == Failed)
        {
            EXPECT_EQ (port.sent.size(), c.attempts);
        }
    }
}
