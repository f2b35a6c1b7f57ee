#include "TransferProtocol.h"

#include <algorithm>
#include <cstring>

namespace qtx
{

namespace
{
    void clear (Command& command, uint8_t code)
    {
        std::memset (command, 0, sizeof (Command));
        command[0] = code;
    }

    void putLe24 (uint8_t* at, uint32_t value)
    {
        at[0] = (uint8_t) (value & 0xFF);
        at[1] = (uint8_t) ((value >> 8) & 0xFF);
        at[2] = (uint8_t) ((value >> 16) & 0xFF);
    }
} // namespace

void buildModeChangeCommand (Command& command)
{
    clear (command, HID_UPDATE_COM_MODE_CHANGE);
}

void buildStartCommand (const UpdateFileInfo& info, const UpdateBlocks& blocks, Command& command)
{
    clear (command, HID_UPDATE_COM_START);
    const auto shifted = (uint16_t) ((uint32_t) info.version << 4);
    command[2] = (uint8_t) (shifted >> 8);
    command[3] = (uint8_t) (shifted & 0xFF);
    putLe24 (command + 4, info.totalLength);

    // A package never holds more than 16 blocks; the bound also keeps the
    // table inside the 64-byte command.
    const int count = std::min<int> (info.blockCount, maxUpdateBlocks);
    uint32_t updateLength = 0;
    for (int i = 0; i < count; ++i)
        if (blocks[(size_t) i].update)
            updateLength += blocks[(size_t) i].length;
    putLe24 (command + 7, updateLength);

    for (int i = 0; i < count; ++i)
    {
        const auto& block = blocks[(size_t) i];
        uint8_t* entry = command + 10 + 3 * i;
        entry[0] = (uint8_t) ((i + 1) + (block.update ? 0x80 : 0));
        entry[1] = (uint8_t) (block.crc & 0xFF);
        entry[2] = (uint8_t) (block.crc >> 8);
    }
}

void buildBlockSendCommand (int blockIndex, const UpdateBlock& block, Command& command)
{
    clear (command, HID_UPDATE_COM_BLOCK_SEND);
    command[1] = (uint8_t) (blockIndex + 1);
    putLe24 (command + 2, block.length);
}

void buildDataSendCommand (int blockIndex, const UpdateBlock& block, uint32_t chunkIndex, Command& command)
{
    clear (command, HID_UPDATE_COM_DATA_SEND);
    command[1] = (uint8_t) (blockIndex + 1);
    // length and data.size() agree after a good read; the smaller one bounds the copy.
    const size_t available = std::min<size_t> (block.length, block.data.size());
    const size_t offset = (size_t) chunkIndex * chunkDataSize;
    if (offset < available)
        std::memcpy (command + 2, block.data.data() + offset,
                     std::min<size_t> (chunkDataSize, available - offset));
}

void buildProgressCheckCommand (Command& command)
{
    clear (command, HID_UPDATE_COM_PROGRESS_CHK);
}

} // namespace qtx
