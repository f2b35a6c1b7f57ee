#include "FaultCase.h"

#include "update/TransferFakes.h"
#include "update/TransferProtocol.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

namespace qtx::campaign
{

namespace
{
    using sim::Step;

    const char* kindName (FaultKind kind)
    {
        static const char* const names[] = {"silence",
                                            "wrong code",
                                            "burst",
                                            "unplug",
                                            "unplug and replug",
                                            "slow answer below the limit",
                                            "slow answer above the limit"};
        return names[(int) kind];
    }

    // A step's name, and the site of the trace line that writes its command.
    const char* const stepNames[] = {"mode", "start", "block", "data", "check"};
    const char* const sendTokens[] = {"@515", "@290", "@328", "@363", "@438"};

    std::string unexpected (uint8_t code, int site)
    {
        char text[64];
        std::snprintf (text, sizeof (text), "ERROR: unexpected response(0x%x). @%d", code, site);
        return text;
    }

    // A trace as compared: the site of each line ("@363"), or the whole line where
    // it carries more (an unexpected code, the mode change's lines). Percents are
    // left out, and so are the interim answers: the library keeps only the latest
    // report of a device, so back-to-back interim reports may arrive as one.
    std::vector<std::string> tokensOf (const std::vector<std::string>& traces)
    {
        std::vector<std::string> tokens;
        for (auto line : traces)
        {
            while (!line.empty() && line.back() == '\n')
                line.pop_back();
            const auto at = line.rfind ('@');
            if (at == std::string::npos || line.find ("unexpected response") != std::string::npos)
                tokens.push_back (line);
            else if (line.compare (at, std::string::npos, "@475") != 0)
                tokens.push_back (line.substr (at));
        }
        return tokens;
    }

    struct Reference
    {
        int state = -1;
        std::vector<std::string> tokens;
    };

    // The same worker over a port without a device or threads: the answers
    // the controller model gives, each one waiting when it is asked for.
    Reference modelRun (const FaultCase& c, bool withFault)
    {
        auto options = c.options;
        if (!withFault)
            options.faults.clear();
        sim::ControllerModel model (options);
        test::ScriptedPort port;
        port.fault = [&model] (const test::Wire& command, int)
        {
            test::Answers answers;
            for (const auto& action : model.handle (command.data(), command.size()))
            {
                if (action.kind == sim::Action::Send)
                    answers.push_back ({action.report[0], action.report[1]});
                else if (action.kind == sim::Action::Unplug)
                    answers.push_back ({}); // the device link wakes the worker with zeros
            }
            return std::optional<test::Answers> (answers);
        };
        FirmwareTransfer worker (port, c.package.info, c.package.blocks);
        worker.run ("QTX-ORB9");
        return {port.finalState(), tokensOf (port.traces)};
    }

    int indexOfSend (const std::vector<std::string>& tokens, Step step, int occurrence)
    {
        const std::string wanted = sendTokens[(int) step];
        for (size_t k = 0; k < tokens.size(); ++k)
            if (tokens[k] == wanted && --occurrence == 0)
                return (int) k;
        return -1;
    }

    std::string stateName (int state)
    {
        return state == Complete ? "Complete"
               : state == Failed ? "Failed"
                                 : "state " + std::to_string (state);
    }

    // What the failure table says of the faulted command's answer.
    struct Rule
    {
        std::vector<int> states;       // allowed final states
        std::string next;              // the trace right after the command ("" any, "(end)" none)
        bool endsInCompletion = false; // the completion phase follows and ends the trace
        bool endsAtNext = false;       // nothing follows `next`
    };

    Rule ruleFor (const FaultCase& c)
    {
        const bool lost = c.kind == FaultKind::silence || c.kind == FaultKind::slowAbove;
        const bool removed = c.kind == FaultKind::unplug || c.kind == FaultKind::replug;
        const uint8_t code = c.options.faults.front().code;
        if (c.kind == FaultKind::slowBelow)
            return {{Complete}, "", false, false};
        if (c.kind == FaultKind::burst)
            return {{Complete, Failed}, "", false, false}; // stale copies are judged as the next answers

        switch (c.step)
        {
            case Step::ModeChange:
                // Every attempt counts; the answers left over may be taken later.
                if (c.kind == FaultKind::silence || c.kind == FaultKind::wrongCode)
                    return {{Complete}, "", false, false};
                return {{Complete, Failed}, "", false, false};
            case Step::Start:
                return {{Failed}, "(end)", false, false};
            case Step::BlockSend:
                if (lost)
                    return {{Failed}, "@334", true, false};
                if (removed) // skipped; the rest goes on to a controller that may be back
                    return {{Failed, Complete}, unexpected (0, 414), false, false};
                return {{Complete}, unexpected (code, 414), false, false}; // skipped, the others go in
            case Step::DataSend:
            {
                const int site = c.lastChunk ? 392 : 404;
                if (lost)
                    return {{Failed}, c.afterInterims ? "@483" : "@368", true, false};
                if (removed)
                    return {{Failed}, unexpected (0, site), true, false};
                if (code == HID_UPDATE_ANS_PRGRESS_CHK) // an interim answer, then nothing
                    return {{Failed}, "@483", true, false};
                return {{Failed}, unexpected (code, site), true, false};
            }
            case Step::ProgressCheck:
                if (lost)
                    return {{Failed}, "@444", false, true};
                return {{Failed}, unexpected (removed ? 0 : code, 459), false, true};
        }
        return {};
    }

    bool endsInCompletion (const std::vector<std::string>& tokens)
    {
        if (tokens.size() < 2 || tokens[tokens.size() - 2] != "@438")
            return false;
        const auto& last = tokens.back();
        return last == "@444" || last == "@453" ||
               (last.find ("unexpected response") != std::string::npos &&
                last.find ("@459") != std::string::npos);
    }

    std::string show (const std::vector<std::string>& tokens, size_t from, size_t count)
    {
        std::string text;
        for (size_t k = from; k < tokens.size() && k < from + count; ++k)
            text += (text.empty() ? "" : " | ") + tokens[k];
        return text.empty() ? "(end)" : text;
    }
} // namespace

std::string FaultCase::describe() const
{
    const auto& f = options.faults.front();
    char text[400];
    std::snprintf (text, sizeof (text),
                   "blocks %d, interim %d per block / %d at completion, mode after %d; %s (code 0x%02X, "
                   "extra %d, back after %d ms, %d ms late, limit %d ms) at %s:%d%s",
                   package.info.blockCount, options.interimPerBlock, options.interimAtCompletion,
                   options.modeNotYet, kindName (kind), f.code, f.count, f.replugMs, f.delayMs, limitMs,
                   stepNames[(int) step], occurrence,
                   lastChunk ? (afterInterims ? " (last chunk, after interims)" : " (last chunk)") : "");
    return text;
}

std::vector<uint8_t> FaultCase::acceptedImage() const
{
    std::vector<uint8_t> image;
    int sent = 0;
    for (int i = 0; i < package.info.blockCount; ++i)
    {
        const auto& b = package.blocks[(size_t) i];
        if (!b.update)
            continue;
        ++sent;
        if (kind == FaultKind::wrongCode && step == Step::BlockSend && sent == occurrence)
            continue;
        image.insert (image.end(), b.data.begin(), b.data.end());
    }
    return image;
}

FaultCase makeFaultCase (uint32_t seed, double timeScale)
{
    std::mt19937 rng (seed);
    auto pick = [&rng] (int n) { return (int) (rng() % (uint32_t) n); };

    FaultCase c;
    c.seed = seed;
    c.package.info.version = 1 + pick (999);
    // Lengths around the 62-byte chunk, empty blocks, skipped and scrambled ones;
    // the first block always has data to send.
    static const uint32_t lengths[] = {0, 1, 61, 62, 63, 124, 125, 200, 300};
    const int blocks = 1 + pick (5);
    c.package.add (lengths[1 + pick (8)], true, pick (2) != 0);
    for (int i = 1; i < blocks; ++i)
        c.package.add (lengths[pick (9)], pick (4) != 0, pick (2) != 0);

    c.options.answerDelayUs = 0;
    c.options.interimPerBlock = pick (3);
    c.options.interimAtCompletion = pick (3);
    c.options.modeNotYet = pick (3);

    // How many commands of each step a fault-free run writes.
    int blockSends = 0;
    std::vector<bool> lastOfBlock; // per DATA_SEND, in order
    for (int i = 0; i < c.package.info.blockCount; ++i)
    {
        const auto& b = c.package.blocks[(size_t) i];
        if (!b.update)
            continue;
        ++blockSends;
        const uint32_t n = chunkCount (b.length);
        for (uint32_t j = 0; j < n; ++j)
            lastOfBlock.push_back (j + 1 == n);
    }
    const std::vector<std::pair<Step, int>> steps{{Step::ModeChange, c.options.modeNotYet + 1},
                                                  {Step::Start, 1},
                                                  {Step::BlockSend, blockSends},
                                                  {Step::DataSend, (int) lastOfBlock.size()},
                                                  {Step::ProgressCheck, c.options.interimAtCompletion + 1}};
    // Weighted towards the steps that come many times; only steps this package has.
    static const int weights[] = {1, 1, 2, 4, 2};
    std::vector<size_t> draw;
    for (size_t k = 0; k < steps.size(); ++k)
        if (steps[k].second > 0)
            draw.insert (draw.end(), (size_t) weights[k], k);
    const auto& chosen = steps[draw[(size_t) pick ((int) draw.size())]];
    c.step = chosen.first;
    c.occurrence = 1 + pick (chosen.second);

    if (c.step == Step::DataSend)
    {
        c.lastChunk = lastOfBlock[(size_t) c.occurrence - 1];
        c.afterInterims = c.lastChunk && c.options.interimPerBlock > 0;
    }
    const int limit =
        c.step == Step::DataSend ? (c.afterInterims ? interimTimeoutMs : chunkTimeoutMs) : answerTimeoutMs;
    c.limitMs = (int) std::lround (limit * timeScale);

    c.kind = (FaultKind) pick (7);
    static const sim::Fault::Kind simKinds[] = {sim::Fault::Silent, sim::Fault::WrongCode, sim::Fault::Burst,
                                                sim::Fault::Unplug, sim::Fault::Unplug,    sim::Fault::Slow,
                                                sim::Fault::Slow};
    sim::Fault f;
    f.kind = simKinds[(int) c.kind];
    f.step = c.step;
    f.occurrence = c.occurrence;
    if (c.kind == FaultKind::wrongCode)
    {
        // Any code but those the step accepts.
        static const std::vector<uint8_t> acceptedBy[] = {
            {HID_UPDATE_ANS_MODE_CHANGE},
            {HID_UPDATE_ANS_START},
            {HID_UPDATE_ANS_RCV_OK},
            {HID_UPDATE_ANS_RCV_OK},
            {HID_UPDATE_ANS_COMPLETE, HID_UPDATE_ANS_PRGRESS_CHK}};
        const std::vector<uint8_t> accepted =
            c.step == Step::DataSend && c.lastChunk
                ? std::vector<uint8_t>{HID_UPDATE_ANS_DL_OK, HID_UPDATE_ANS_REQ_NEXT}
                : acceptedBy[(int) c.step];
        std::vector<uint8_t> codes;
        for (uint8_t code : {0x00, 0xF6, 0xF7, 0xF8, 0xF9, 0xFB, 0xFC, 0xFD, 0xFE, 0x5A})
            if (std::find (accepted.begin(), accepted.end(), code) == accepted.end())
                codes.push_back (code);
        f.code = codes[(size_t) pick ((int) codes.size())];
    }
    else if (c.kind == FaultKind::burst)
        f.count = 2 + pick (5);
    else if (c.kind == FaultKind::replug)
        f.replugMs = 20 + pick (181);
    else if (c.kind == FaultKind::slowBelow || c.kind == FaultKind::slowAbove)
        f.delayMs = c.kind == FaultKind::slowBelow ? c.limitMs / 2 : c.limitMs * 13 / 10;
    c.options.faults = {f};
    return c;
}

Judgement judge (const FaultCase& c, const RunResult& run, bool delivered)
{
    auto wrong = [] (std::string reason) { return Judgement{false, std::move (reason)}; };

    // Nothing lost: a transfer that says Complete left every block in the controller.
    if (run.state != Complete && run.state != Failed)
        return wrong ("ended in " + stateName (run.state));
    if (run.state == Complete && !delivered)
        return wrong ("Complete, but the controller does not hold every block it accepted");

    const auto real = tokensOf (run.traces);
    const auto clean = modelRun (c, false);
    const int at = indexOfSend (real, c.step, c.occurrence);
    if (at < 0)
        return wrong ("the faulted command was never written: " + show (real, 0, real.size()));
    for (size_t k = 0; k <= (size_t) at; ++k)
        if (k >= clean.tokens.size() || real[k] != clean.tokens[k])
            return wrong ("before the fault the trace differs from a fault-free run at line " +
                          std::to_string (k) + ": " + show (real, k, 3) + " instead of " +
                          show (clean.tokens, k, 3));

    const Rule rule = ruleFor (c);
    if (std::find (rule.states.begin(), rule.states.end(), run.state) == rule.states.end())
        return wrong ("ended " + stateName (run.state) + " against the failure table");
    const std::string next = (size_t) at + 1 < real.size() ? real[(size_t) at + 1] : "(end)";
    if (!rule.next.empty() && next != rule.next)
        return wrong ("after the faulted command: " + next + ", the failure table says " + rule.next);
    if (rule.endsAtNext && (size_t) at + 2 != real.size())
        return wrong ("the transfer went on after " + next + ": " + show (real, (size_t) at + 2, 3));
    if (rule.endsInCompletion && !endsInCompletion (real))
        return wrong ("no completion phase at the end: " +
                      show (real, real.size() < 3 ? 0 : real.size() - 3, 3));
    if (c.step == Step::ModeChange && run.state == Failed && real.back() != "ERROR: retry error" &&
        real.back() != "@290")
        return wrong ("failed in the mode change without the retry error: " + real.back());

    // A failure must come from an answer that was not the one expected (a stale
    // copy, a late answer, the wake-up of a removal or arrival), or none at all.
    if (run.state == Failed)
    {
        size_t d = 0;
        while (d < real.size() && d < clean.tokens.size() && real[d] == clean.tokens[d])
            ++d;
        const bool explained = d == real.size() ||
                               real[d].find ("unexpected response") != std::string::npos ||
                               real[d].rfind ("failed to change", 0) == 0 || real[d] == "@334" ||
                               real[d] == "@368" || real[d] == "@444" || real[d] == "@483";
        if (!explained)
            return wrong ("failed without a wrong or missing answer: " + show (real, d, 3));
    }

    // Faults that only change what the answer is, not when: the real stack must
    // give exactly what the worker gives over a port without device or threads.
    if (c.kind == FaultKind::silence || c.kind == FaultKind::wrongCode || c.kind == FaultKind::slowBelow)
    {
        const auto model = modelRun (c, true);
        if (model.state != run.state)
            return wrong ("ended " + stateName (run.state) + ", the worker over the model ends " +
                          stateName (model.state));
        for (size_t k = 0; k < std::max (real.size(), model.tokens.size()); ++k)
            if (k >= real.size() || k >= model.tokens.size() || real[k] != model.tokens[k])
                return wrong ("the trace differs from the worker over the model at line " +
                              std::to_string (k) + ": " + show (real, k, 3) + " instead of " +
                              show (model.tokens, k, 3));
    }
    return {};
}

} // namespace qtx::campaign
