#include "ControllerModel.h"

#include <algorithm>
#include <cstring>

namespace qtx::sim
{

namespace
{
    // Codes as the controller speaks them.
    constexpr uint8_t comStart = 0xF0, comBlockSend = 0xF1, comProgressCheck = 0xF2, comDataSend = 0xF3,
                      comModeChange = 0xF4;
    constexpr uint8_t ansModeChange = 0xF6, ansProgress = 0xF7, ansStart = 0xF8, ansReceived = 0xF9,
                      ansNext = 0xFB, ansComplete = 0xFC, ansError = 0xFD, ansBlockDone = 0xFE;

    uint32_t le24 (const uint8_t* at)
    {
        return (uint32_t) at[0] | (uint32_t) at[1] << 8 | (uint32_t) at[2] << 16;
    }
} // namespace

ControllerModel::ControllerModel (ControllerOptions o)
    : options (std::move (o))
{
}

uint16_t ControllerModel::crc16 (const uint8_t* data, size_t size)
{
    uint16_t crc = 0;
    for (size_t k = 0; k < size; ++k)
    {
        crc = (uint16_t) (crc ^ (uint16_t) (data[k] << 8));
        for (int bit = 0; bit < 8; ++bit)
            crc = (uint16_t) ((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

Report ControllerModel::answer (uint8_t code, uint8_t value) const
{
    Report r{};
    r[0] = code;
    r[1] = value;
    return r;
}

int ControllerModel::uploadPercent() const
{
    if (updateTotal == 0)
        return 0;
    return (int) std::min<uint64_t> (99, (uint64_t) updateDone * 100 / updateTotal);
}

const Fault* ControllerModel::faultAt (Step step, int occurrence) const
{
    for (const auto& f : options.faults)
        if (f.step == step && f.occurrence == occurrence)
            return &f;
    return nullptr;
}

void ControllerModel::addReports (std::vector<Action>& out, const Report& report, Step step, int occurrence)
{
    const Fault* fault = faultAt (step, occurrence);
    if (fault == nullptr)
    {
        out.push_back ({Action::Send, report, options.answerDelayUs});
        return;
    }
    switch (fault->kind)
    {
        case Fault::Silent:
            return;
        case Fault::WrongCode:
            out.push_back ({Action::Send, answer (fault->code, report[1]), options.answerDelayUs});
            return;
        case Fault::Burst:
            for (int k = 0; k < fault->count; ++k)
                out.push_back ({Action::Send, report, 0});
            out.push_back ({Action::Send, report, 0});
            return;
        case Fault::Unplug:
            out.push_back ({Action::Unplug, {}, options.answerDelayUs});
            if (fault->replugMs >= 0)
                out.push_back ({Action::Replug, {}, fault->replugMs * 1000});
            return;
        case Fault::Slow:
            out.push_back ({Action::Send, report, options.answerDelayUs + fault->delayMs * 1000});
            return;
    }
}

std::vector<Action> ControllerModel::handle (const uint8_t* command, size_t size)
{
    Report c{};
    std::memcpy (c.data(), command, std::min (size, c.size()));
    log.push_back (c);

    std::vector<Action> out;
    switch (c[0])
    {
        case comModeChange:
        {
            const int n = ++seen[Step::ModeChange];
            ++modeChanges;
            uint8_t value = 1;
            if (options.modeRefuseValue >= 0)
                value = (uint8_t) options.modeRefuseValue;
            else if (modeChanges <= options.modeNotYet)
                value = 0;
            updateMode = updateMode || value == 1;
            addReports (out, answer (ansModeChange, value), Step::ModeChange, n);
            break;
        }
        case comStart:
        {
            const int n = ++seen[Step::Start];
            if (!updateMode)
            {
                addReports (out, answer (ansError, 0), Step::Start, n);
                break;
            }
            received.clear();
            updateTotal = le24 (&c[7]);
            updateDone = 0;
            // Up to 16 entries of {number (+0x80 to update), crc low, crc high}.
            for (int i = 0; i < 16; ++i)
            {
                const uint8_t* e = &c[10 + 3 * (size_t) i];
                if ((e[0] & 0x7F) == 0)
                    break;
                if (e[0] & 0x80)
                {
                    ReceivedBlock b;
                    b.number = (uint8_t) (e[0] & 0x7F);
                    b.announcedCrc = (uint16_t) (e[1] | e[2] << 8);
                    received[b.number] = b;
                }
            }
            started = true;
            addReports (out, answer (ansStart, 0), Step::Start, n);
            break;
        }
        case comBlockSend:
        {
            const int n = ++seen[Step::BlockSend];
            auto it = received.find (c[1]);
            if (!started || it == received.end())
            {
                addReports (out, answer (ansError, 0), Step::BlockSend, n);
                break;
            }
            const Fault* fault = faultAt (Step::BlockSend, n);
            if (fault != nullptr && fault->kind == Fault::WrongCode)
            {
                // Declined by the controller: not expected any more.
                received.erase (it);
                currentBlock = -1;
                addReports (out, answer (ansReceived, (uint8_t) uploadPercent()), Step::BlockSend, n);
                break;
            }
            it->second.announcedLength = le24 (&c[2]);
            it->second.data.clear();
            it->second.complete = it->second.announcedLength == 0;
            it->second.crcOk = it->second.complete && it->second.announcedCrc == crc16 (nullptr, 0);
            currentBlock = c[1];
            addReports (out, answer (ansReceived, (uint8_t) uploadPercent()), Step::BlockSend, n);
            break;
        }
        case comDataSend:
        {
            const int n = ++seen[Step::DataSend];
            auto it = received.find (c[1]);
            if (it == received.end() || c[1] != currentBlock || it->second.complete)
            {
                addReports (out, answer (ansError, 0), Step::DataSend, n);
                break;
            }
            auto& b = it->second;
            const size_t take = std::min<size_t> (62, b.announcedLength - b.data.size());
            b.data.insert (b.data.end(), c.begin() + 2, c.begin() + 2 + (long) take);
            updateDone += (uint32_t) take;
            if (b.data.size() < b.announcedLength)
            {
                addReports (out, answer (ansReceived, (uint8_t) uploadPercent()), Step::DataSend, n);
                break;
            }
            b.complete = true;
            b.crcOk = crc16 (b.data.data(), b.data.size()) == b.announcedCrc;
            // The controller works on the block before it answers for it.
            for (int k = 0; k < options.interimPerBlock; ++k)
                out.push_back (
                    {Action::Send, answer (ansProgress, (uint8_t) uploadPercent()), options.answerDelayUs});
            const bool moreToCome = std::any_of (received.begin(), received.end(),
                                                 [] (const auto& e) { return !e.second.complete; });
            const uint8_t code = !b.crcOk ? ansError : (moreToCome ? ansNext : ansBlockDone);
            addReports (out, answer (code, (uint8_t) uploadPercent()), Step::DataSend, n);
            break;
        }
        case comProgressCheck:
        {
            const int n = ++seen[Step::ProgressCheck];
            ++progressChecks;
            if (!started || !allBlocksGood())
            {
                addReports (out, answer (ansError, 0), Step::ProgressCheck, n);
                break;
            }
            if (progressChecks <= options.interimAtCompletion)
            {
                const int percent = 100 * progressChecks / (options.interimAtCompletion + 1);
                addReports (out, answer (ansProgress, (uint8_t) percent), Step::ProgressCheck, n);
                break;
            }
            completeSent = true;
            addReports (out, answer (ansComplete, 100), Step::ProgressCheck, n);
            break;
        }
        default:
            break; // unknown commands are not answered
    }
    return out;
}

bool ControllerModel::allBlocksGood() const
{
    return std::all_of (received.begin(), received.end(),
                        [] (const auto& e) { return e.second.complete && e.second.crcOk; });
}

std::vector<uint8_t> ControllerModel::receivedImage() const
{
    std::vector<uint8_t> image;
    for (const auto& [number, block] : received)
        image.insert (image.end(), block.data.begin(), block.data.end());
    return image;
}

bool parseStep (const std::string& text, Step& step, int& occurrence)
{
    const auto colon = text.find (':');
    const std::string name = text.substr (0, colon);
    static const std::map<std::string, Step> names{{"mode", Step::ModeChange},
                                                   {"start", Step::Start},
                                                   {"block", Step::BlockSend},
                                                   {"data", Step::DataSend},
                                                   {"check", Step::ProgressCheck}};
    auto it = names.find (name);
    if (it == names.end())
        return false;
    step = it->second;
    occurrence = 1;
    if (colon != std::string::npos)
    {
        const std::string number = text.substr (colon + 1);
        if (number.empty() || number.find_first_not_of ("0123456789") != std::string::npos ||
            number.size() > 6)
            return false;
        occurrence = std::stoi (number);
        if (occurrence < 1)
            return false;
    }
    return true;
}

} // namespace qtx::sim
