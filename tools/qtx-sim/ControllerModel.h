#pragma once

// The QTX-ORB9's side of the firmware transfer, without any device around it:
// takes one command, gives the reports the controller would send back. Takes
// the blocks in, checks them against the CRC-16s announced in START, and plays
// scripted faults.

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace qtx::sim
{

using Report = std::array<uint8_t, 64>;

enum class Step
{
    ModeChange,
    Start,
    BlockSend,
    DataSend,
    ProgressCheck
};

struct Fault
{
    enum Kind
    {
        Silent,    // no answer at all
        WrongCode, // one answer with `code` (byte 1: the percent)
        Burst,     // `count` extra reports of the right answer before it
        Unplug,    // the device goes away instead of answering; back after replugMs (-1: never)
        Slow       // the right answer, `delayMs` late (after any interim reports before it)
    };

    Kind kind = Silent;
    Step step = Step::DataSend;
    int occurrence = 1; // the n-th command of that step, from 1
    uint8_t code = 0;
    int count = 0;
    int replugMs = -1;
    int delayMs = 0;
};

// One thing the controller does in answer to a command.
struct Action
{
    enum Kind
    {
        Send,
        Unplug,
        Replug
    };

    Kind kind = Send;
    Report report{};
    int delayUs = 0; // before this action, in µs
};

struct ControllerOptions
{
    int answerDelayUs = 0;       // before every report, in µs (about 1000 on a real full-speed link)
    int modeNotYet = 0;          // answer 0xF6/0 to this many mode changes first
    int modeRefuseValue = -1;    // >= 0: answer every mode change 0xF6 with this byte 1
    int interimPerBlock = 0;     // 0xF7 reports before the answer to each block's last chunk
    int interimAtCompletion = 0; // 0xF7 answers to progress checks before 0xFC
    std::vector<Fault> faults;
};

struct ReceivedBlock
{
    uint8_t number = 0; // 1-based, as on the wire
    uint32_t announcedLength = 0;
    uint16_t announcedCrc = 0;
    std::vector<uint8_t> data;
    bool complete = false;
    bool crcOk = false;
};

class ControllerModel
{
public:
    explicit ControllerModel (ControllerOptions options = {});

    // One output report payload (64 bytes, no report ID); what to do in answer.
    std::vector<Action> handle (const uint8_t* command, size_t size);

    // Every command taken, in order.
    const std::vector<Report>& commands() const { return log; }

    // Blocks announced for update in START, in block order, with what arrived.
    const std::map<int, ReceivedBlock>& blocks() const { return received; }

    // All update blocks arrived whole with their announced CRC-16.
    bool allBlocksGood() const;

    // The received blocks' bytes, concatenated in block order.
    std::vector<uint8_t> receivedImage() const;

    void setAnswerDelayUs (int us) { options.answerDelayUs = us; }

    // Forgets everything received, as a controller plugged in afresh; keeps the options.
    void reset() { *this = ControllerModel (options); }

    bool inUpdateMode() const { return updateMode; }
    bool completed() const { return completeSent; }
    int uploadPercent() const;

    // CRC-16/XMODEM, the controller's own.
    static uint16_t crc16 (const uint8_t* data, size_t size);

private:
    Report answer (uint8_t code, uint8_t value) const;
    void addReports (std::vector<Action>& out, const Report& report, Step step, int occurrence);
    const Fault* faultAt (Step step, int occurrence) const;

    ControllerOptions options;
    std::vector<Report> log;
    std::map<Step, int> seen;
    std::map<int, ReceivedBlock> received;
    int modeChanges = 0;
    int progressChecks = 0;
    bool updateMode = false;
    bool started = false;
    bool completeSent = false;
    int currentBlock = -1;
    uint32_t updateTotal = 0;
    uint32_t updateDone = 0;
};

// "data:3" -> the third DATA_SEND; steps: mode, start, block, data, check.
bool parseStep (const std::string& text, Step& step, int& occurrence);

} // namespace qtx::sim
