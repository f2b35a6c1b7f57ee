#pragma once

// Where every field of an update package lies, and bounded little-endian reads.
// The reader, the package tool and the tests all take offsets from here.

#include <cstddef>
#include <cstdint>

namespace qtx::layout
{

// Header
constexpr size_t headerSize = 28;
constexpr size_t magicOffset = 0;         // "UPD "
constexpr size_t formatVersionOffset = 4; // "0100"
constexpr size_t modelOffset = 12;        // "QTXORB9 "
constexpr size_t versionOffset = 20;      // three ASCII digits
constexpr size_t keyHighByteOffset = 23;  // high byte of the word at 20, enters the block key
constexpr size_t blockCountOffset = 24;

constexpr const char magic[] = "UPD ";
constexpr const char formatVersion[] = "0100";
constexpr const char model[] = "QTXORB9 ";
constexpr size_t magicSize = 4;
constexpr size_t formatVersionSize = 4;
constexpr size_t modelSize = 8;

// Block record, offsets from the start of the record
constexpr size_t recordHeaderSize = 24;
constexpr size_t recordKeyWordOffset = 0;
constexpr size_t recordTagOffset = 8; // four hex digits, most significant first
constexpr size_t recordUpdateOffset = 12;
constexpr size_t recordScrambledOffset = 13;
constexpr size_t recordKeyIndexOffset = 14;
constexpr size_t recordLengthOffset = 20;
constexpr size_t recordDataOffset = 24;
constexpr size_t recordTailSize = 4; // 2 unexamined bytes, then the CRC-16 (little-endian)
constexpr size_t recordCrcInTail = 2;
constexpr uint8_t updateYes = 0x59; // 'Y'

// File trailer: CRC-32 of everything before it, most significant byte first.
constexpr size_t trailerSize = 4;

inline size_t paddingFor (uint64_t length)
{
    return static_cast<size_t> ((4 - length % 4) % 4);
}

// Bytes a record takes, header to CRC, for a data length.
inline uint64_t recordSize (uint64_t length)
{
    return recordHeaderSize + length + paddingFor (length) + recordTailSize;
}

inline uint32_t readLe32 (const uint8_t* p)
{
    return static_cast<uint32_t> (p[0]) | static_cast<uint32_t> (p[1]) << 8 |
           static_cast<uint32_t> (p[2]) << 16 | static_cast<uint32_t> (p[3]) << 24;
}

inline uint16_t readLe16 (const uint8_t* p)
{
    return static_cast<uint16_t> (p[0] | p[1] << 8);
}

inline void writeLe32 (uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t> (v);
    p[1] = static_cast<uint8_t> (v >> 8);
    p[2] = static_cast<uint8_t> (v >> 16);
    p[3] = static_cast<uint8_t> (v >> 24);
}

inline void writeLe16 (uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t> (v);
    p[1] = static_cast<uint8_t> (v >> 8);
}

inline void writeBe32 (uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t> (v >> 24);
    p[1] = static_cast<uint8_t> (v >> 16);
    p[2] = static_cast<uint8_t> (v >> 8);
    p[3] = static_cast<uint8_t> (v);
}

} // namespace qtx::layout
