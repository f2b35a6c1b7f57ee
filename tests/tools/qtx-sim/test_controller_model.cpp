// The controller simulator's protocol side, driven by the real transfer worker:
// it must take a good transfer byte for byte and play each fault as asked.

#include "ModelPort.h"
#include "support/TestPackage.h"

#include <gtest/gtest.h>

using namespace qtx;
using namespace qtx::sim;
using namespace qtx::test;

namespace
{
struct Outcome
{
    int state;
    std::vector<int> sites;
};

Outcome transfer (ControllerModel& model, const TestPackage& p)
{
    ModelPort port (model);
    FirmwareTransfer worker (port, p.info, p.blocks);
    worker.run ("QTX-ORB9");
    return {port.states.back(), port.sites()};
}

Fault fault (Fault::Kind kind, Step step, int occurrence, uint8_t code = 0, int count = 0)
{
    Fault f;
    f.kind = kind;
    f.step = step;
    f.occurrence = occurrence;
    f.code = code;
    f.count = count;
    return f;
}
} // namespace

TEST (ControllerModel, TakesAMixedPackageByteForByte)
{
    const auto p = TestPackage::mixed();
    ControllerOptions options;
    options.interimPerBlock = 2;
    options.interimAtCompletion = 3;
    ControllerModel model (options);
    const auto outcome = transfer (model, p);
    EXPECT_EQ (outcome.state, Complete);
    EXPECT_TRUE (model.allBlocksGood());
    EXPECT_TRUE (model.completed());
    EXPECT_EQ (model.receivedImage(), p.expectedImage());
    ASSERT_EQ (model.blocks().size(), 5u); // the update blocks only
    EXPECT_EQ (model.blocks().begin()->first, 1);
}

TEST (ControllerModel, CatchesABlockThatDoesNotMatchItsCrc)
{
    auto p = TestPackage::mixed();
    p.blocks[3].data[10] ^= 0x01; // corrupted after the CRC was taken
    ControllerModel model;
    const auto outcome = transfer (model, p);
    EXPECT_EQ (outcome.state, Failed);
    EXPECT_FALSE (model.allBlocksGood());
    EXPECT_FALSE (model.completed());
}

TEST (ControllerModel, ParsesFaultSteps)
{
    struct Case
    {
        const char* text;
        bool ok;
        Step step;
        int occurrence;
    };
    for (const Case& c : {Case{"data:3", true, Step::DataSend, 3}, Case{"mode", true, Step::ModeChange, 1},
                          Case{"check:12", true, Step::ProgressCheck, 12}, Case{"block:0", false, {}, 0},
                          Case{"data:", false, {}, 0}, Case{"data:x", false, {}, 0},
                          Case{"data:99999999999", false, {}, 0}, Case{"chunk:1", false, {}, 0}})
    {
        SCOPED_TRACE (c.text);
        Step step{};
        int occurrence = 0;
        ASSERT_EQ (parseStep (c.text, step, occurrence), c.ok);
        if (c.ok)
        {
            EXPECT_EQ (step, c.step);
            EXPECT_EQ (occurrence, c.occurrence);
        }
    }
}

TEST (ControllerModel, ScriptedFaultsEndAsTheWorkerSays)
{
    struct Row
    {
        const char* name;
        ControllerOptions options;
        int state;
        std::vector<int> lastSites; // the tail of the trace sites
    };
    auto with = [] (std::vector<Fault> faults)
    {
        ControllerOptions o;
        o.faults = std::move (faults);
        return o;
    };
    ControllerOptions refuse;
    refuse.modeRefuseValue = 2;
    ControllerOptions slowMode;
    slowMode.modeNotYet = 14;
    ControllerOptions neverMode;
    neverMode.modeNotYet = 15;

    const std::vector<Row> rows{
        {"mode refused", refuse, Failed, {515}},
        {"mode after 14 refusals", slowMode, Complete, {438, 453}},
        {"mode never", neverMode, Failed, {515}},
        {"silent at start", with ({fault (Fault::Silent, Step::Start, 1)}), Failed, {290}},
        {"silent at 2nd block",
         with ({fault (Fault::Silent, Step::BlockSend, 2)}),
         Failed,
         {328, 334, 438, 459}},
        {"wrong code at 1st block",
         with ({fault (Fault::WrongCode, Step::BlockSend, 1, 0xFB)}),
         Complete,
         {385, 438, 453}},
        {"silent at 3rd chunk",
         with ({fault (Fault::Silent, Step::DataSend, 3)}),
         Failed,
         {363, 368, 438, 459}},
        {"wrong code at 2nd chunk",
         with ({fault (Fault::WrongCode, Step::DataSend, 2, 0xFE)}),
         Failed,
         {363, 404, 438, 459}},
        {"unplug at 4th chunk",
         with ({fault (Fault::Unplug, Step::DataSend, 4)}),
         Failed,
         {363, 404, 438, 459}},
        {"silent at check", with ({fault (Fault::Silent, Step::ProgressCheck, 1)}), Failed, {438, 444}},
        {"wrong code at check",
         with ({fault (Fault::WrongCode, Step::ProgressCheck, 1, 0xF9)}),
         Failed,
         {438, 459}},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.name);
        ControllerModel model (row.options);
        const auto outcome = transfer (model, TestPackage::mixed());
        EXPECT_EQ (outcome.state, row.state);
        ASSERT_GE (outcome.sites.size(), row.lastSites.size());
        EXPECT_EQ (std::vector<int> (outcome.sites.end() - (long) row.lastSites.size(), outcome.sites.end()),
                   row.lastSites);
    }
}

TEST (ControllerModel, BurstRepeatsTheAnswer)
{
    ControllerOptions o;
    o.faults = {fault (Fault::Burst, Step::DataSend, 1, 0, 4)};
    ControllerModel model (o);
    TestPackage p;
    p.add (200, true);
    (void) model.handle (std::array<uint8_t, 64>{0xF4}.data(), 64);
    std::array<uint8_t, 64> start{};
    start[0] = 0xF0;
    start[10] = 0x81;
    start[11] = (uint8_t) (p.blocks[0].crc & 0xFF);
    start[12] = (uint8_t) (p.blocks[0].crc >> 8);
    ASSERT_EQ (model.handle (start.data(), 64).size(), 1u);
    std::array<uint8_t, 64> blockSend{0xF1, 1, 200};
    ASSERT_EQ (model.handle (blockSend.data(), 64).size(), 1u);
    std::array<uint8_t, 64> chunk{0xF3, 1};
    const auto actions = model.handle (chunk.data(), 64);
    ASSERT_EQ (actions.size(), 5u);
    for (const auto& a : actions)
        EXPECT_EQ (a.report[0], 0xF9);
}

TEST (ControllerModel, CommandsOutOfOrderGetAnErrorAnswer)
{
    ControllerModel model;
    const std::array<uint8_t, 64> start{0xF0};
    auto actions = model.handle (start.data(), 64); // not in update mode yet
    ASSERT_EQ (actions.size(), 1u);
    EXPECT_EQ (actions[0].report[0], 0xFD);
    const std::array<uint8_t, 64> chunk{0xF3, 1};
    actions = model.handle (chunk.data(), 64);
    ASSERT_EQ (actions.size(), 1u);
    EXPECT_EQ (actions[0].report[0], 0xFD);
    const std::array<uint8_t, 64> unknown{0x42};
    EXPECT_TRUE (model.handle (unknown.data(), 64).empty());
    EXPECT_TRUE (model.handle (unknown.data(), 3).empty()); // short command: no overrun
}

TEST (ControllerModel, SlowAnswerComesAfterTheInterimsAndResetForgetsTheUpdate)
{
    ControllerOptions o;
    o.answerDelayUs = 5;
    o.interimPerBlock = 2;
    Fault slow = fault (Fault::Slow, Step::DataSend, 1);
    slow.delayMs = 7;
    o.faults = {slow};
    ControllerModel model (o);
    (void) model.handle (std::array<uint8_t, 64>{0xF4}.data(), 64);
    std::array<uint8_t, 64> start{0xF0};
    start[10] = 0x81; // one block of 3 zero bytes, announced with its CRC-16
    const uint16_t crc = ControllerModel::crc16 (std::array<uint8_t, 3>{}.data(), 3);
    start[11] = (uint8_t) (crc & 0xFF);
    start[12] = (uint8_t) (crc >> 8);
    (void) model.handle (start.data(), 64);
    (void) model.handle (std::array<uint8_t, 64>{0xF1, 1, 3}.data(), 64);
    const auto actions = model.handle (std::array<uint8_t, 64>{0xF3, 1}.data(), 64);
    ASSERT_EQ (actions.size(), 3u);
    EXPECT_EQ (actions[0].report[0], 0xF7);
    EXPECT_EQ (actions[1].delayUs, 5);
    EXPECT_EQ (actions[2].report[0], 0xFE); // the last block, whole and matching
    EXPECT_EQ (actions[2].delayUs, 7005);

    model.reset();
    EXPECT_TRUE (model.commands().empty());
    EXPECT_TRUE (model.blocks().empty());
    EXPECT_FALSE (model.inUpdateMode());
    // The fault counts start again: the first chunk of the next update is slow too.
    (void) model.handle (std::array<uint8_t, 64>{0xF4}.data(), 64);
    (void) model.handle (start.data(), 64);
    (void) model.handle (std::array<uint8_t, 64>{0xF1, 1, 3}.data(), 64);
    EXPECT_EQ (model.handle (std::array<uint8_t, 64>{0xF3, 1}.data(), 64).back().delayUs, 7005);
}
