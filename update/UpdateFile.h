#pragma once

// The update package QTX-ORB9_UP.upd in memory, and the routines that read it.
// Byte layout: docs/package-format.md.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qtx
{

constexpr int maxUpdateBlocks = 16;
constexpr const char* updateFileName = "QTX-ORB9_UP.upd";

struct UpdateFileInfo
{
    uint32_t totalLength = 0; // sum of all block lengths, skipped ones included
    int32_t version = 0;      // three ASCII digits, e.g. "123" -> 123
    uint8_t blockCount = 0;
};

struct UpdateBlock
{
    uint32_t tag = 0;
    bool update = false;    // 'Y': sent to the controller
    bool scrambled = false;
    uint8_t keyIndex = 0;
    uint32_t length = 0;
    std::vector<uint8_t> data; // unscrambled, exactly `length` bytes
    uint16_t crc = 0;          // as stored; equals crc16Xmodem(data) after a good read
};

using UpdateBlocks = std::array<UpdateBlock, maxUpdateBlocks>;
using Crc32Table = std::array<uint32_t, 256>;

// CRC-32/MPEG-2 table (MSB first, polynomial 0x04C11DB7).
void buildCrc32Table (Crc32Table& table);

// CRC-32/MPEG-2 over a byte run, continuing from `crc` (start with 0xFFFFFFFF).
uint32_t crc32Mpeg2 (const Crc32Table& table, const uint8_t* data, size_t size, uint32_t crc = 0xFFFFFFFFu);

// CRC-16/XMODEM (polynomial 0x1021, initial 0, MSB first).
uint16_t crc16Xmodem (const uint8_t* data, size_t size, uint16_t crc = 0);

// Parses a whole package image. Returns totalLength on success, 0 on any failure.
// Never reads outside [image, image + size); keeps no reference to the image.
uint32_t parseUpdatePackage (const Crc32Table& table, const uint8_t* image, size_t size, UpdateFileInfo& info,
                             UpdateBlocks& blocks);

// 1 when the read succeeded and the version is at least 1, else 0.
inline int packageUsableFrom (uint32_t readResult, const UpdateFileInfo& info)
{
    return (readResult != 0 && info.version >= 1) ? 1 : 0;
}

} // namespace qtx
