#pragma once

// Runs the transfer worker straight against the controller model, without a
// device or threads: every report the model sends is an answer waiting. The
// fault run judges a device run against this one.

#include "ControllerModel.h"
#include "update/FirmwareTransfer.h"

#include <deque>
#include <string>
#include <vector>

namespace qtx::test
{

class ModelPort : public TransferPort
{
public:
    explicit ModelPort (sim::ControllerModel& m)
        : model (m)
    {
    }

    void resetAnswer() override { pending.clear(); }
    bool send (const uint8_t (&command)[commandSize]) override
    {
        for (const auto& action : model.handle (command, commandSize))
        {
            if (action.kind == sim::Action::Send)
                pending.push_back (action.report);
            else if (action.kind == sim::Action::Unplug)
                pending.push_back (sim::Report{}); // the device link wakes the worker with zeros
        }
        return true;
    }
    bool waitForAnswer (int, Answer& answer) override
    {
        const bool woken = !pending.empty();
        if (woken)
        {
            latest = pending.front();
            pending.pop_front();
        }
        answer = {latest[0], latest[1]};
        return woken;
    }
    void pause (int) override {}
    void requestState (int s) override { states.push_back (s); }
    void setProgress (double) override {}
    void trace (const char* line) override { traces.emplace_back (line); }

    sim::ControllerModel& model;
    std::deque<sim::Report> pending;
    sim::Report latest{};
    std::vector<int> states;
    std::vector<std::string> traces;
};

} // namespace qtx::test
