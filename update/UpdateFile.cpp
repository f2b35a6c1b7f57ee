// Parses an update package image: whole-file CRC-32, header, then every block
// record with its unscrambling and CRC-16. Every read is bounded by the image.

#include "UpdateFile.h"
#include "PackageLayout.h"

#include <cstring>
#include <new>

namespace qtx
{

const char* describePackageError (PackageError error)
{
    switch (error)
    {
        case PackageError::none:
            return "no error";
        case PackageError::unreadable:
            return "the file cannot be read";
        case PackageError::tooShort:
            return "the file is shorter than a header and a trailer";
        case PackageError::fileCrc:
            return "the file CRC-32 does not check out";
        case PackageError::magic:
            return "the magic is not \"UPD \"";
        case PackageError::formatVersion:
            return "the format version is not \"0100\"";
        case PackageError::model:
            return "the model identifier is not \"QTXORB9 \"";
        case PackageError::tooManyBlocks:
            return "more than 16 blocks are announced";
        case PackageError::recordOutside:
            return "a block record runs past the end of the file";
        case PackageError::lengthOverflow:
            return "a block length overflows the file offsets";
        case PackageError::blockCrc:
            return "a block CRC-16 does not match its data";
        case PackageError::noData:
            return "the package holds no data";
    }
    return "unknown error";
}

uint32_t blockKey (const Crc32Table& table, uint32_t modelWord, uint32_t versionWord, uint32_t keyWord,
                   uint8_t keyIndex)
{
    return ((modelWord ^ keyWord) + versionWord) ^ table[keyIndex];
}

void applyBlockKey (uint8_t* data, size_t size, uint32_t key)
{
    uint8_t pattern[8];
    for (int i = 0; i < 8; ++i)
        pattern[i] = static_cast<uint8_t> (key >> (8 * (i % 4)));

    // Eight bytes per step; the pattern repeats every four, so alignment to the
    // start of the data is all that matters.
    uint64_t wide;
    std::memcpy (&wide, pattern, sizeof (wide));
    size_t k = 0;
    for (; k + 8 <= size; k += 8)
    {
        uint64_t v;
        std::memcpy (&v, data + k, sizeof (v));
        v ^= wide;
        std::memcpy (data + k, &v, sizeof (v));
    }
    for (; k < size; ++k)
        data[k] ^= pattern[k % 4];
}

uint32_t tagValue (const uint8_t* tag)
{
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
    {
        const uint8_t c = tag[i];
        uint32_t digit = 0;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10u;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10u;
        value = (value << 4) | digit;
    }
    return value;
}

namespace
{
    uint32_t fail (PackageVerdict& verdict, PackageError error, int block = -1)
    {
        verdict.error = error;
        verdict.block = block;
        return 0;
    }

    bool sameBytes (const uint8_t* at, const char* text, size_t size)
    {
        return std::memcmp (at, text, size) == 0;
    }
} // namespace

uint32_t parseUpdatePackage (const Crc32Table& table, const uint8_t* image, size_t size, UpdateFileInfo& info,
                             UpdateBlocks& blocks)
{
    PackageVerdict verdict;
    return parseUpdatePackage (table, image, size, info, blocks, verdict);
}

uint32_t parseUpdatePackage (const Crc32Table& table, const uint8_t* image, size_t size, UpdateFileInfo& info,
                             UpdateBlocks& blocks, PackageVerdict& verdict)
{
    using namespace layout;

    verdict = PackageVerdict{};
    info = UpdateFileInfo{};
    for (auto& row : blocks)
        row = UpdateBlock{};

    if (image == nullptr || size < headerSize + trailerSize)
        return fail (verdict, PackageError::tooShort);

    verdict.fileCrc = crc32Mpeg2 (table, image, size);
    if (verdict.fileCrc != 0)
        return fail (verdict, PackageError::fileCrc);

    if (!sameBytes (image + magicOffset, magic, magicSize))
        return fail (verdict, PackageError::magic);
    if (!sameBytes (image + formatVersionOffset, formatVersion, formatVersionSize))
        return fail (verdict, PackageError::formatVersion);
    if (!sameBytes (image + modelOffset, model, modelSize))
        return fail (verdict, PackageError::model);

    // Digits are deliberately not validated; a version below 1 is refused later.
    info.version = (image[versionOffset] - 0x30) * 100 + (image[versionOffset + 1] - 0x30) * 10 +
                   (image[versionOffset + 2] - 0x30);
    info.blockCount = image[blockCountOffset];
    if (info.blockCount > maxUpdateBlocks)
        return fail (verdict, PackageError::tooManyBlocks);

    const uint32_t modelWord = readLe32 (image + modelOffset);
    const uint32_t versionWord = readLe32 (image + versionOffset);
    const size_t end = size - trailerSize; // records never reach into the trailer
    size_t offset = headerSize;
    uint64_t total = 0;

    for (int i = 0; i < info.blockCount; ++i)
    {
        verdict.recordOffset[static_cast<size_t> (i)] = offset;
        if (end - offset < recordHeaderSize)
            return fail (verdict, PackageError::recordOutside, i);

        const uint8_t* record = image + offset;
        const uint32_t length = readLe32 (record + recordLengthOffset);
        const uint64_t span = recordSize (length);
        if (offset + span > UINT32_MAX)
            return fail (verdict, PackageError::lengthOverflow, i);
        if (span > end - offset)
            return fail (verdict, PackageError::recordOutside, i);

        UpdateBlock& row = blocks[static_cast<size_t> (i)];
        row.tag = tagValue (record + recordTagOffset);
        row.update = record[recordUpdateOffset] == updateYes;
        row.scrambled = record[recordScrambledOffset] != 0;
        row.keyIndex = record[recordKeyIndexOffset];
        row.length = length;
        total += length;

        const uint8_t* stored = record + recordDataOffset;
        try
        {
            row.data.assign (stored, stored + length);
        }
        catch (const std::bad_alloc&)
        {
            return fail (verdict, PackageError::unreadable, i);
        }
        if (row.scrambled)
            applyBlockKey (row.data.data(), length,
                           blockKey (table, modelWord, versionWord, readLe32 (record + recordKeyWordOffset),
                                     row.keyIndex));

        const size_t crcOffset = recordDataOffset + length + paddingFor (length) + recordCrcInTail;
        row.crc = readLe16 (record + crcOffset);
        verdict.computedCrc = crc16Xmodem (row.data.data(), length);
        if (verdict.computedCrc != row.crc)
            return fail (verdict, PackageError::blockCrc, i);

        offset += static_cast<size_t> (span);
    }
    verdict.computedCrc = 0;

    if (total > UINT32_MAX)
        return fail (verdict, PackageError::lengthOverflow);
    info.totalLength = static_cast<uint32_t> (total);
    if (info.totalLength == 0)
        return fail (verdict, PackageError::noData);
    return info.totalLength;
}

} // namespace qtx
