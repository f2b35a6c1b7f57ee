#pragma once

// Builds update package bytes from a description: the header fields, and per block
// its plain data, tag, flags and key. Scrambling and both CRCs use the reader's own
// routines. Every field can be set to a wrong value on purpose, so tests can build
// the broken packages the reader must refuse.

#include "update/UpdateFile.h"

#include <optional>
#include <string>
#include <vector>

namespace qtx::package
{

struct BlockDescription
{
    std::vector<uint8_t> data; // plain (unscrambled) data
    std::string tag = "0000";  // four characters, stored as given
    uint8_t updateFlag = 'Y';  // 'Y' sends the block, anything else skips it
    uint8_t scrambledFlag = 0; // 0 plain, anything else scrambled
    uint8_t keyIndex = 0;
    uint32_t keyWord = 0;
    std::optional<uint32_t> lengthField; // stored instead of data.size()
    std::optional<uint16_t> crcField;    // stored instead of the CRC-16 of data
};

struct PackageDescription
{
    std::string magic = "UPD ";
    std::string formatVersion = "0100";
    std::string model = "QTXORB9 ";
    std::string versionDigits = "100";      // three characters, e.g. "123" for 1.23
    uint8_t keyHighByte = 0;                // header byte 23, enters every block key
    std::optional<uint8_t> blockCountField; // stored instead of blocks.size()
    std::vector<BlockDescription> blocks;
    bool trailerLsbFirst = false; // store the file CRC the wrong way round
};

// The CRC-32/MPEG-2 table, built once.
const Crc32Table& crcTable();

// A block with the usual flags.
BlockDescription makeBlock (std::vector<uint8_t> data, bool update = true, bool scrambled = false,
                            uint8_t keyIndex = 0, uint32_t keyWord = 0, std::string tag = "0000");

// Deterministic filler bytes (same length and seed, same bytes).
std::vector<uint8_t> patternData (size_t length, uint32_t seed = 1);

// The package bytes, trailer included.
std::vector<uint8_t> buildPackage (const PackageDescription& package);

// Rewrites the trailer (CRC-32 of everything before it, most significant byte
// first) after bytes of a package were edited. Needs at least 4 bytes.
void sealPackage (std::vector<uint8_t>& bytes);

// Offset of record `index` in a package built from `package` (lengths as stored).
size_t recordOffset (const PackageDescription& package, size_t index);

} // namespace qtx::package
