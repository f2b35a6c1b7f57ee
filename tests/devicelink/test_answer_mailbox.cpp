// The hand-over of answers to the worker: auto-reset wake-ups, zeroing, device
// events between two commands, and the stop of a worker.

#include "update/AnswerMailbox.h"

#include <gtest/gtest.h>

using qtx::Answer;
using qtx::AnswerMailbox;

TEST (AnswerMailbox, WakeUpsAreConsumedOnceAndResetKeepsTheBytes)
{
    AnswerMailbox box;
    Answer got;
    EXPECT_FALSE (box.wait (0, got));
    const uint8_t answer[2] = {0xF6, 1};
    box.store (answer, 2, true);
    EXPECT_TRUE (box.wait (0, got));
    EXPECT_FALSE (box.wait (0, got)); // a time-out finds the last answer
    EXPECT_EQ (got.code, 0xF6);
    EXPECT_EQ (got.value, 1);

    std::vector<uint8_t> big (2000, 0x5A); // longer than the buffer: cut, never overrun
    box.store (big.data(), (int) big.size(), false);
    EXPECT_FALSE (box.wait (0, got));
    uint8_t copy[AnswerMailbox::bufferSize];
    box.copyTo (copy, (int) sizeof (copy));
    EXPECT_EQ (copy[1023], 0x5A);
    const uint8_t shorter[1] = {0x01};
    box.store (shorter, 1, false);
    EXPECT_FALSE (box.wait (0, got));
    EXPECT_EQ (got.code, 0x01);
    EXPECT_EQ (got.value, 0x5A); // bytes behind a shorter answer stay

    box.zeroAndWake();
    EXPECT_TRUE (box.wait (0, got));
    EXPECT_EQ (got.code, 0);
    EXPECT_EQ (got.value, 0);
}

// What the worker finds after the drop of pending wake-ups before its next
// command: only an answer's wake-up is stale. A removal, an arrival or a stop
// since the last answer ends the next wait with answer code 0, even when an
// answer (from a device that came back) is stored before the worker has read
// the zeros. After a stop every later wait ends at once and nothing is stored.
TEST (AnswerMailbox, DeviceEventsSurviveTheDropBeforeACommandAndAnswersCannotHideThem)
{
    const uint8_t earlier[2] = {0xF9, 7}, next[2] = {0xFE, 9};
    const struct
    {
        const char* name;
        int events;    // removals and arrivals after the last answer
        bool answered; // the next command's answer comes before the wait
        bool woken;
        uint8_t code;
        bool stop = false; // the event is a stop
    } rows[] = {
        {"no event", 0, false, false, 0xF9},
        {"no event, the command answered", 0, true, true, 0xFE},
        {"a removal", 1, false, true, 0},
        {"a removal and an arrival, answered", 2, true, true, 0},
        {"a stop, answered", 1, true, true, 0, true},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.name);
        AnswerMailbox box;
        Answer got;
        box.store (earlier, 2, true);
        for (int k = 0; k < row.events; ++k)
            row.stop ? box.stop() : box.zeroAndWake();
        box.reset(); // just before the next command
        if (row.answered)
            box.store (next, 2, true);
        EXPECT_EQ (box.wait (0, got), row.woken);
        EXPECT_EQ (got.code, row.code);
        box.reset(); // the command after: answers flow again, but not after a stop
        box.store (next, 2, true);
        EXPECT_EQ (box.wait (-1, got), !row.stop); // would hang if it waited
        EXPECT_EQ (got.code, row.stop ? 0 : 0xFE);
    }
}
