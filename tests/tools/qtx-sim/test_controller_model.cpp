// The controller simulator's protocol side on its own: fault steps, bursts, the mode
// change's answers and block checks. Whole transfers run end to end (tests/e2e, the campaign).

#include "ControllerModel.h"

#include <gtest/gtest.h>

using namespace qtx::sim;

namespace
{
using Command = std::array<uint8_t, 64>;

std::vector<Action> send (ControllerModel& model, Command command)
{
    return model.handle (command.data(), command.size());
}

// MODE_CHANGE, then START announcing block 1 for update with the given CRC-16.
void begin (ControllerModel& model, uint16_t crc)
{
    send (model, {0xF4});
    Command start{0xF0};
    start[10] = 0x81;
    start[11] = (uint8_t) (crc & 0xFF);
    start[12] = (uint8_t) (crc >> 8);
    ASSERT_EQ (send (model, start).size(), 1u);
}
} // namespace

TEST (ControllerModel, BurstRepeatsTheAnswer)
{
    ControllerOptions o;
    o.faults = {{Fault::Burst, Step::DataSend, 1, 0, 4}};
    ControllerModel model (o);
    const std::vector<uint8_t> data (200, 0x5A);
    begin (model, ControllerModel::crc16 (data.data(), data.size()));
    ASSERT_EQ (send (model, {0xF1, 1, 200}).size(), 1u);
    const auto actions = send (model, {0xF3, 1});
    ASSERT_EQ (actions.size(), 5u);
    for (const auto& a : actions)
        EXPECT_EQ (a.report[0], 0xF9);
}

TEST (ControllerModel, ModeChangeWaitsThenAMismatchedBlockIsRefused)
{
    ControllerOptions o;
    o.modeNotYet = 2;
    ControllerModel model (o);
    for (uint8_t value : {0, 0})
        EXPECT_EQ (send (model, {0xF4}).at (0).report[1], value);
    begin (model, 0x1234); // three zero bytes have the CRC-16 0
    send (model, {0xF1, 1, 3});
    EXPECT_EQ (send (model, {0xF3, 1}).at (0).report[0], 0xFD);
    EXPECT_FALSE (model.allBlocksGood());
}
