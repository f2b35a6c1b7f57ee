#include "PackageWriter.h"

#include "update/PackageLayout.h"

#include <algorithm>

namespace qtx::package
{

namespace
{
    // Fixed-width text field: cut or padded with spaces.
    void putText (uint8_t* at, const std::string& text, size_t width)
    {
        for (size_t i = 0; i < width; ++i)
            at[i] = i < text.size() ? static_cast<uint8_t> (text[i]) : ' ';
    }
} // namespace

const Crc32Table& crcTable()
{
    static const Crc32Table table = []
    {
        Crc32Table t;
        buildCrc32Table (t);
        return t;
    }();
    return table;
}

BlockDescription makeBlock (std::vector<uint8_t> data, bool update, bool scrambled, uint8_t keyIndex,
                            uint32_t keyWord, std::string tag)
{
    BlockDescription b;
    b.data = std::move (data);
    b.updateFlag = update ? 'Y' : 'N';
    b.scrambledFlag = scrambled ? 1 : 0;
    b.keyIndex = keyIndex;
    b.keyWord = keyWord;
    b.tag = std::move (tag);
    return b;
}

std::vector<uint8_t> patternData (size_t length, uint32_t seed)
{
    std::vector<uint8_t> out (length);
    uint32_t x = seed ? seed : 0x9E3779B9u;
    for (auto& byte : out)
    {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        byte = static_cast<uint8_t> (x);
    }
    return out;
}

size_t recordOffset (const PackageDescription& package, size_t index)
{
    size_t offset = layout::headerSize;
    for (size_t i = 0; i < index && i < package.blocks.size(); ++i)
        offset += static_cast<size_t> (layout::recordSize (package.blocks[i].data.size()));
    return offset;
}

std::vector<uint8_t> buildPackage (const PackageDescription& package)
{
    using namespace layout;

    size_t total = headerSize + trailerSize;
    for (const auto& b : package.blocks)
        total += static_cast<size_t> (recordSize (b.data.size()));
    std::vector<uint8_t> out (total, 0);

    uint8_t* h = out.data();
    putText (h + magicOffset, package.magic, magicSize);
    putText (h + formatVersionOffset, package.formatVersion, formatVersionSize);
    putText (h + modelOffset, package.model, modelSize);
    putText (h + versionOffset, package.versionDigits, 3);
    h[keyHighByteOffset] = package.keyHighByte;
    h[blockCountOffset] = package.blockCountField.value_or (static_cast<uint8_t> (package.blocks.size()));

    const uint32_t modelWord = readLe32 (h + modelOffset);
    const uint32_t versionWord = readLe32 (h + versionOffset);

    size_t offset = headerSize;
    for (const auto& b : package.blocks)
    {
        uint8_t* r = out.data() + offset;
        const size_t length = b.data.size();
        writeLe32 (r + recordKeyWordOffset, b.keyWord);
        putText (r + recordTagOffset, b.tag, 4);
        r[recordUpdateOffset] = b.updateFlag;
        r[recordScrambledOffset] = b.scrambledFlag;
        r[recordKeyIndexOffset] = b.keyIndex;
        writeLe32 (r + recordLengthOffset, b.lengthField.value_or (static_cast<uint32_t> (length)));

        uint8_t* data = r + recordDataOffset;
        std::copy (b.data.begin(), b.data.end(), data);
        if (b.scrambledFlag != 0)
            applyBlockKey (data, length,
                           blockKey (crcTable(), modelWord, versionWord, b.keyWord, b.keyIndex));

        const uint16_t crc = b.crcField.value_or (crc16Xmodem (b.data.data(), length));
        writeLe16 (data + length + paddingFor (length) + recordCrcInTail, crc);
        offset += static_cast<size_t> (recordSize (length));
    }

    if (package.trailerLsbFirst)
    {
        const uint32_t crc = crc32Mpeg2 (crcTable(), out.data(), out.size() - trailerSize);
        writeLe32 (out.data() + out.size() - trailerSize, crc);
    }
    else
    {
        sealPackage (out);
    }
    return out;
}

void sealPackage (std::vector<uint8_t>& bytes)
{
    if (bytes.size() < layout::trailerSize)
        return;
    const size_t body = bytes.size() - layout::trailerSize;
    layout::writeBe32 (bytes.data() + body, crc32Mpeg2 (crcTable(), bytes.data(), body));
}

} // namespace qtx::package
