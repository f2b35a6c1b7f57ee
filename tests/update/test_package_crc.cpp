// CRC routines against known answers and a bit-by-bit reference, including the
// lengths where the eight-byte bulk path hands over to the byte path.

#include "update/UpdateFile.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
uint32_t referenceCrc32 (const uint8_t* p, size_t n, uint32_t crc = 0xFFFFFFFFu)
{
    for (size_t i = 0; i < n; ++i)
    {
        crc ^= uint32_t (p[i]) << 24;
        for (int b = 0; b < 8; ++b)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

uint16_t referenceCrc16 (const uint8_t* p, size_t n, uint16_t crc = 0)
{
    for (size_t i = 0; i < n; ++i)
    {
        crc = uint16_t (crc ^ (p[i] << 8));
        for (int b = 0; b < 8; ++b)
            crc = uint16_t ((crc & 0x8000u) ? (crc << 1) ^ 0x1021u : crc << 1);
    }
    return crc;
}

class CrcTest : public ::testing::Test
{
protected:
    void SetUp() override { qtx::buildCrc32Table (table); }
    qtx::Crc32Table table{};
};
} // namespace

// Every short length, the lengths around where the three-lane path starts and ones
// that leave a remainder for the eight-byte and byte paths; and a run continued from
// a split gives the same register as one run (the reader relies on this only for the
// file CRC, callers may for streaming).
TEST_F (CrcTest, EveryLengthAndSplitMatchesBitwiseReference)
{
    std::vector<uint8_t> data (40000);
    uint32_t x = 12345;
    for (auto& b : data)
        b = uint8_t ((x = x * 1103515245u + 12345u) >> 16);
    std::vector<size_t> lengths{12287u, 12288u, 12289u, 12295u, 12296u, 12303u, 24581u, 40000u};
    for (size_t n = 0; n <= 200; ++n)
        lengths.push_back (n);
    for (size_t n : lengths)
    {
        ASSERT_EQ (qtx::crc32Mpeg2 (table, data.data(), n), referenceCrc32 (data.data(), n)) << n;
        ASSERT_EQ (qtx::crc16Xmodem (data.data(), n), referenceCrc16 (data.data(), n)) << n;
    }
    for (size_t cut : {1u, 3u, 7u, 8u, 9u, 63u, 199u})
    {
        const uint32_t first = qtx::crc32Mpeg2 (table, data.data(), cut);
        EXPECT_EQ (qtx::crc32Mpeg2 (table, data.data() + cut, data.size() - cut, first),
                   referenceCrc32 (data.data(), data.size()));
        const uint16_t first16 = qtx::crc16Xmodem (data.data(), cut);
        EXPECT_EQ (qtx::crc16Xmodem (data.data() + cut, data.size() - cut, first16),
                   referenceCrc16 (data.data(), data.size()));
    }
}
