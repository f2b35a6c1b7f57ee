#pragma once

// A scripted stand-in for the transfer's surroundings: records every command,
// wait, pause, state and trace, and answers from a script instead of a device.
// Waits never block: a wait with nothing queued is a time-out.

#include "support/TestPackage.h"
#include "update/FirmwareTransfer.h"
#include "update/TransferProtocol.h"

#include <array>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qtx::test
{

using Wire = std::array<uint8_t, commandSize>;
using Answers = std::vector<Answer>;

// A controller that takes every command as a good one would.
class GoodController
{
public:
    Answers answer (const Wire& command)
    {
        switch (command[0])
        {
            case HID_UPDATE_COM_MODE_CHANGE:
                return {{HID_UPDATE_ANS_MODE_CHANGE, 1}};
            case HID_UPDATE_COM_START:
                return {{HID_UPDATE_ANS_START, 0}};
            case HID_UPDATE_COM_BLOCK_SEND:
                remaining = (uint32_t) command[2] | (uint32_t) command[3] << 8 | (uint32_t) command[4] << 16;
                return {{HID_UPDATE_ANS_RCV_OK, percent}};
            case HID_UPDATE_COM_DATA_SEND:
                remaining -= std::min<uint32_t> (remaining, chunkDataSize);
                percent = (uint8_t) std::min (99, percent + 1);
                return {{remaining == 0 ? HID_UPDATE_ANS_DL_OK : HID_UPDATE_ANS_RCV_OK, percent}};
            case HID_UPDATE_COM_PROGRESS_CHK:
                return {{HID_UPDATE_ANS_COMPLETE, 100}};
            default:
                return {};
        }
    }

    uint32_t remaining = 0;
    uint8_t percent = 0;
};

// The fault campaign's reference runs use it too, answering from the controller model.
class ScriptedPort : public TransferPort
{
public:
    // Returns the answers to a command, or nothing to let the good controller answer.
    std::function<std::optional<Answers> (const Wire&, int index)> fault;

    void resetAnswer() override
    {
        queued.clear();
        ++resets;
    }

    bool send (const uint8_t (&command)[commandSize]) override
    {
        Wire wire;
        std::copy (command, command + commandSize, wire.begin());
        sent.push_back (wire);
        std::optional<Answers> answers;
        if (fault)
            answers = fault (wire, (int) sent.size() - 1);
        if (!answers)
            answers = controller.answer (wire);
        queued.insert (queued.end(), answers->begin(), answers->end());
        return true;
    }

    bool waitForAnswer (int timeoutMs, Answer& answer) override
    {
        waits.push_back (timeoutMs);
        const bool woken = !queued.empty();
        if (woken)
        {
            latest = queued.front();
            queued.pop_front();
        }
        answer = latest;
        return woken;
    }

    void pause (int ms) override { pauses.push_back (ms); }
    void requestState (int s) override { states.push_back (s); }
    void setProgress (double f) override { progress.push_back (f); }
    void trace (const char* line) override { traces.emplace_back (line); }

    int finalState() const { return states.empty() ? -1 : states.back(); }

    // Wire commands with the given code, in order.
    std::vector<Wire> sentWith (uint8_t code) const
    {
        std::vector<Wire> out;
        for (const auto& w : sent)
            if (w[0] == code)
                out.push_back (w);
        return out;
    }

    GoodController controller;
    std::deque<Answer> queued;
    Answer latest;
    int resets = 0;
    std::vector<Wire> sent;
    std::vector<int> waits, pauses, states;
    std::vector<double> progress;
    std::vector<std::string> traces;
};

} // namespace qtx::test
