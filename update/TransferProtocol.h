#pragma once

// Command and answer codes of the firmware transfer, and the builders of the
// 64-byte commands. Byte layout: docs/transfer-protocol.md.

#include "TransferPort.h"
#include "UpdateFile.h"

#include <cstdint>

namespace qtx
{

enum CommandCode : uint8_t
{
    HID_UPDATE_COM_START = 0xF0,
    HID_UPDATE_COM_BLOCK_SEND = 0xF1,
    HID_UPDATE_COM_PROGRESS_CHK = 0xF2,
    HID_UPDATE_COM_DATA_SEND = 0xF3,
    HID_UPDATE_COM_MODE_CHANGE = 0xF4
};

enum AnswerCode : uint8_t
{
    HID_UPDATE_ANS_MODE_CHANGE = 0xF6,
    HID_UPDATE_ANS_PRGRESS_CHK = 0xF7,
    HID_UPDATE_ANS_START = 0xF8,
    HID_UPDATE_ANS_RCV_OK = 0xF9,
    HID_UPDATE_ANS_REQ_NEXT = 0xFB,
    HID_UPDATE_ANS_COMPLETE = 0xFC,
    HID_UPDATE_ANS_DL_OK = 0xFE
};

// Firmware bytes carried by one HID_UPDATE_COM_DATA_SEND.
constexpr int chunkDataSize = commandSize - 2;

// Time limits of the waits, in milliseconds.
constexpr int answerTimeoutMs = 10000;
constexpr int chunkTimeoutMs = 180000;
constexpr int interimTimeoutMs = 20000;
constexpr int progressPauseMs = 100;
constexpr int modeChangeAttempts = 15;

using Command = uint8_t[commandSize];

// Number of chunks of a block of `length` bytes (0 for an empty block).
inline uint32_t chunkCount (uint32_t length)
{
    return length / chunkDataSize + (length % chunkDataSize != 0 ? 1 : 0);
}

void buildModeChangeCommand (Command& command);
void buildStartCommand (const UpdateFileInfo& info, const UpdateBlocks& blocks, Command& command);
void buildBlockSendCommand (int blockIndex, const UpdateBlock& block, Command& command);
// Chunk `chunkIndex` of the block: 62 data bytes, or the remainder and zeros.
void buildDataSendCommand (int blockIndex, const UpdateBlock& block, uint32_t chunkIndex, Command& command);
void buildProgressCheckCommand (Command& command);

} // namespace qtx
