#pragma once

// An update package in memory for transfer tests: blocks of pseudo-random bytes
// with their correct CRC-16s.

#include "update/UpdateFile.h"

#include <cstdint>
#include <vector>

namespace qtx::test
{

struct TestPackage
{
    UpdateFileInfo info;
    UpdateBlocks blocks;

    TestPackage& add (uint32_t length, bool update, bool scrambled = false)
    {
        auto& b = blocks[info.blockCount];
        b.tag = 0x424C4B00u + info.blockCount;
        b.update = update;
        b.scrambled = scrambled;
        b.length = length;
        b.data.resize (length);
        uint32_t x = 0x9E3779B9u * (info.blockCount + 1);
        for (auto& byte : b.data)
        {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            byte = (uint8_t) x;
        }
        b.crc = crc16Xmodem (b.data.data(), b.data.size());
        info.totalLength += length;
        ++info.blockCount;
        return *this;
    }

    // What the controller must end up holding: the update blocks, in order.
    std::vector<uint8_t> expectedImage() const
    {
        std::vector<uint8_t> image;
        for (int i = 0; i < info.blockCount; ++i)
            if (blocks[(size_t) i].update)
                image.insert (image.end(), blocks[(size_t) i].data.begin(), blocks[(size_t) i].data.end());
        return image;
    }

    // Skipped blocks, a 0-length block, 62- and 63-byte blocks, scrambled ones.
    static TestPackage mixed()
    {
        TestPackage p;
        p.info.version = 123;
        p.add (300, true)
            .add (50, false)
            .add (0, true)
            .add (62, true)
            .add (63, true, true)
            .add (1000, true, true)
            .add (7, false, true);
        return p;
    }
};

} // namespace qtx::test
