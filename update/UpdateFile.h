#pragma once

// The update package QTX-ORB9_UP.upd in memory, and the routines that read it.
// Byte layout: docs/package-format.md.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
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
    bool update = false; // 'Y': sent to the controller
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
// `table` must be the one buildCrc32Table makes (the bulk path uses derived tables).
uint32_t crc32Mpeg2 (const Crc32Table& table, const uint8_t* data, size_t size, uint32_t crc = 0xFFFFFFFFu);

// CRC-16/XMODEM (polynomial 0x1021, initial 0, MSB first).
uint16_t crc16Xmodem (const uint8_t* data, size_t size, uint16_t crc = 0);

// Parses a whole package image. Returns totalLength on success, 0 on any failure.
// Never reads outside [image, image + size); keeps no reference to the image.
// Resets info and all 16 rows first; after a failure they may hold what was read
// up to the failing record (nobody uses them then).
uint32_t parseUpdatePackage (const Crc32Table& table, const uint8_t* image, size_t size, UpdateFileInfo& info,
                             UpdateBlocks& blocks);

// Why a read failed; the program only looks at the result, the package tool and
// the tests also at the reason.
enum class PackageError : uint8_t
{
    none,
    unreadable,     // missing, not a regular file, unreadable, or no memory for it
    tooShort,       // smaller than a header and a trailer
    fileCrc,        // CRC-32 over the whole file is not 0
    magic,          // not "UPD "
    formatVersion,  // not "0100"
    model,          // not "QTXORB9 "
    tooManyBlocks,  // more than the 16 rows of the block table
    recordOutside,  // a record, its data, padding or CRC runs into the trailer or past the end
    lengthOverflow, // a length that would carry an offset or the total past 32 bits
    blockCrc,       // a block's CRC-16 differs from the stored one
    noData          // no blocks, or only empty ones
};

// One line of English for the tool and for test failures.
const char* describePackageError (PackageError error);

struct PackageVerdict
{
    PackageError error = PackageError::none;
    int block = -1;                                     // the record the failure is about, -1 for the file
    uint32_t fileCrc = 0;                               // CRC-32 over the whole image; 0 for a sound file
    uint16_t computedCrc = 0;                           // CRC-16 of the failing block's data (blockCrc)
    std::array<size_t, maxUpdateBlocks> recordOffset{}; // start of every record reached
};

// Same as above, and says why it failed.
uint32_t parseUpdatePackage (const Crc32Table& table, const uint8_t* image, size_t size, UpdateFileInfo& info,
                             UpdateBlocks& blocks, PackageVerdict& verdict);

// Reads a whole package file (path in UTF-8; only the low 32 bits of its length count), parses it
// and releases the image on every path. Returns totalLength, 0 on any failure.
uint32_t readUpdateFile (const std::string& path, const Crc32Table& table, UpdateFileInfo& info,
                         UpdateBlocks& blocks);
uint32_t readUpdateFile (const std::string& path, const Crc32Table& table, UpdateFileInfo& info,
                         UpdateBlocks& blocks, PackageVerdict& verdict);

// The key of a scrambled block: ((modelWord ^ keyWord) + versionWord) ^ table[keyIndex],
// where modelWord and versionWord are the little-endian header words at 12 and 20.
uint32_t blockKey (const Crc32Table& table, uint32_t modelWord, uint32_t versionWord, uint32_t keyWord,
                   uint8_t keyIndex);

// XORs byte k with byte (k mod 4) of key (least significant first). Scrambles and
// unscrambles alike.
void applyBlockKey (uint8_t* data, size_t size, uint32_t key);

// The 16-bit value of four tag characters; a character that is no hex digit counts 0.
uint32_t tagValue (const uint8_t* tag);

// 1 when the read succeeded and the version is at least 1, else 0.
inline int packageUsableFrom (uint32_t readResult, const UpdateFileInfo& info)
{
    return (readResult != 0 && info.version >= 1) ? 1 : 0;
}

} // namespace qtx
