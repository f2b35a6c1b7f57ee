// The controller simulator's protocol side on its own: fault steps, bursts, and
// commands out of order. Whole transfers through it run end to end (tests/e2e).

#include "ControllerModel.h"
#include "support/TestPackage.h"

#include <gtest/gtest.h>

using namespace qtx;
using namespace qtx::sim;
using namespace qtx::test;

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

TEST (ControllerModel, BurstRepeatsTheAnswer)
{
    ControllerOptions o;
    o.faults = {{Fault::Burst, Step::DataSend, 1, 0, 4}};
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
    Fault slow;
    slow.kind = Fault::Slow;
    slow.step = Step::DataSend;
    slow.occurrence = 1;
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
