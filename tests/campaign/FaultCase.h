#pragma once

// One run of the fault campaign, made from its seed: a package, a controller,
// and one fault at one step; and the judgement of a finished run against the
// failure table of the transfer.

#include "ControllerModel.h"
#include "Rig.h"
#include "support/TestPackage.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qtx::campaign
{

enum class FaultKind
{
    silence,   // no answer
    wrongCode, // an answer with another code
    burst,     // the right answer several times over
    unplug,    // the controller leaves instead of answering, for good
    replug,    // ... and comes back shortly after
    slowBelow, // the right answer at half its time limit
    slowAbove  // the right answer at 1.3 times its time limit
};

struct FaultCase
{
    uint32_t seed = 0;
    test::TestPackage package;
    sim::ControllerOptions options; // with the one fault
    FaultKind kind = FaultKind::silence;
    sim::Step step = sim::Step::DataSend;
    int occurrence = 1;         // the n-th command of the step
    bool lastChunk = false;     // data: the last chunk of its block
    bool afterInterims = false; // data: interim reports come before the answer
    int limitMs = 0;            // the scaled time limit of the faulted answer

    std::string describe() const;

    // What the controller must hold after a Complete: the blocks to send, in
    // order, but the one it declined (a wrong code to its BLOCK_SEND).
    std::vector<uint8_t> acceptedImage() const;
};

FaultCase makeFaultCase (uint32_t seed, double timeScale);

struct Judgement
{
    bool ok = true;
    std::string reason;
};

// delivered: the controller completed and holds every block it accepted, whole.
Judgement judge (const FaultCase& c, const RunResult& run, bool delivered);

} // namespace qtx::campaign
