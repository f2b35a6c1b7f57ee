// CRC-32/MPEG-2 and CRC-16/XMODEM, both most significant bit first.
// The bulk of a run is processed eight bytes at a time (slicing-by-8): table k
// holds the CRC of a byte followed by k zero bytes, so eight lookups advance the
// register by eight bytes at once. Long runs are cut into three lanes that
// are computed side by side (independent lookups keep the CPU busy) and joined
// with a carry-less multiplication, since the register is linear in the data.

#include "UpdateFile.h"

namespace qtx
{
namespace
{
    constexpr uint32_t crc32Poly = 0x04C11DB7u;
    constexpr uint16_t crc16Poly = 0x1021u;

    struct Crc32Slices
    {
        uint32_t t[8][256]{};
    };

    struct Crc16Slices
    {
        uint16_t t[8][256]{};
    };

    constexpr Crc32Slices makeCrc32Slices()
    {
        Crc32Slices s;
        for (uint32_t i = 0; i < 256; ++i)
        {
            uint32_t r = i << 24;
            for (int bit = 0; bit < 8; ++bit)
                r = (r & 0x80000000u) ? (r << 1) ^ crc32Poly : r << 1;
            s.t[0][i] = r;
        }
        for (int k = 1; k < 8; ++k)
            for (int i = 0; i < 256; ++i)
                s.t[k][i] = (s.t[k - 1][i] << 8) ^ s.t[0][s.t[k - 1][i] >> 24];
        return s;
    }

    constexpr Crc16Slices makeCrc16Slices()
    {
        Crc16Slices s;
        for (uint32_t i = 0; i < 256; ++i)
        {
            uint32_t r = i << 8;
            for (int bit = 0; bit < 8; ++bit)
                r = (r & 0x8000u) ? (r << 1) ^ crc16Poly : r << 1;
            s.t[0][i] = static_cast<uint16_t> (r);
        }
        for (int k = 1; k < 8; ++k)
            for (int i = 0; i < 256; ++i)
                s.t[k][i] = static_cast<uint16_t> ((s.t[k - 1][i] << 8) ^ s.t[0][s.t[k - 1][i] >> 8]);
        return s;
    }

    constexpr Crc32Slices crc32Slices = makeCrc32Slices();
    constexpr Crc16Slices crc16Slices = makeCrc16Slices();
} // namespace

void buildCrc32Table (Crc32Table& table)
{
    for (uint32_t i = 0; i < 256; ++i)
    {
        uint32_t r = i << 24;
        for (int bit = 0; bit < 8; ++bit)
            r = (r & 0x80000000u) ? (r << 1) ^ crc32Poly : r << 1;
        table[i] = r;
    }
}

namespace
{
    inline uint32_t be32 (const uint8_t* p)
    {
        return static_cast<uint32_t> (p[0]) << 24 | static_cast<uint32_t> (p[1]) << 16 |
               static_cast<uint32_t> (p[2]) << 8 | static_cast<uint32_t> (p[3]);
    }

    // One slicing-by-8 step: the register after eight more bytes.
    inline uint32_t step8 (uint32_t crc, const uint8_t* p)
    {
        const auto& t = crc32Slices.t;
        const uint32_t hi = crc ^ be32 (p);
        return t[7][hi >> 24] ^ t[6][(hi >> 16) & 0xFF] ^ t[5][(hi >> 8) & 0xFF] ^ t[4][hi & 0xFF] ^
               t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
    }

    // a(x) * b(x) mod P(x), registers read as polynomials, bit 31 the x^31 term.
    uint32_t multiplyModP (uint32_t a, uint32_t b)
    {
        uint32_t product = 0;
        for (int bit = 31; bit >= 0; --bit)
        {
            product = (product & 0x80000000u) ? (product << 1) ^ crc32Poly : product << 1;
            if (a & (1u << bit))
                product ^= b;
        }
        return product;
    }

    // x^(8 * bytes) mod P: running a register over that many zero bytes multiplies it by this.
    uint32_t zeroBytesOperator (uint64_t bytes)
    {
        uint32_t result = 1;
        uint32_t power = 2; // x^1
        for (uint64_t e = bytes * 8; e != 0; e >>= 1)
        {
            if (e & 1)
                result = multiplyModP (result, power);
            power = multiplyModP (power, power);
        }
        return result;
    }

    constexpr size_t laneThreshold = 3 * 4096;

    // The bulk of a long run in three lanes side by side; each lane's register is then
    // carried over the bytes of the lanes after it and the three are joined. Advances
    // data and size past what it took.
    template <typename Register, typename Step, typename Multiply, typename ZeroBytes>
    Register threeLanes (Register crc, const uint8_t*& data, size_t& size, Step step, Multiply multiply,
                         ZeroBytes zeroBytes)
    {
        const size_t lane = (size / 3) & ~size_t (7);
        const uint8_t* b = data + lane;
        const uint8_t* c = data + 2 * lane;
        Register ra = crc, rb = 0, rc = 0;
        for (size_t done = 0; done < lane; done += 8)
        {
            ra = step (ra, data + done);
            rb = step (rb, b + done);
            rc = step (rc, c + done);
        }
        const Register shift = zeroBytes (lane);
        data += 3 * lane;
        size -= 3 * lane;
        return static_cast<Register> (multiply (static_cast<Register> (multiply (ra, shift) ^ rb), shift) ^
                                      rc);
    }
} // namespace

uint32_t crc32Mpeg2 (const Crc32Table& table, const uint8_t* data, size_t size, uint32_t crc)
{
    // The sliced tables extend the single MPEG-2 table; `table` must be the one
    // buildCrc32Table makes, so both paths give the same register.
    if (size >= laneThreshold)
        crc = threeLanes (
            crc, data, size, [] (uint32_t r, const uint8_t* p) { return step8 (r, p); }, multiplyModP,
            zeroBytesOperator);
    while (size >= 8)
    {
        crc = step8 (crc, data);
        data += 8;
        size -= 8;
    }
    while (size-- > 0)
        crc = (crc << 8) ^ table[(crc >> 24) ^ *data++];
    return crc;
}

namespace
{
    inline uint16_t step8 (uint16_t crc, const uint8_t* p)
    {
        const auto& t = crc16Slices.t;
        return static_cast<uint16_t> (t[7][p[0] ^ (crc >> 8)] ^ t[6][p[1] ^ (crc & 0xFF)] ^ t[5][p[2]] ^
                                      t[4][p[3]] ^ t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]]);
    }

    uint16_t multiplyModP16 (uint16_t a, uint16_t b)
    {
        uint32_t product = 0;
        for (int bit = 15; bit >= 0; --bit)
        {
            product = (product & 0x8000u) ? ((product << 1) ^ crc16Poly) & 0xFFFFu : (product << 1) & 0xFFFFu;
            if (a & (1u << bit))
                product ^= b;
        }
        return static_cast<uint16_t> (product);
    }

    uint16_t zeroBytesOperator16 (uint64_t bytes)
    {
        uint16_t result = 1;
        uint16_t power = 2;
        for (uint64_t e = bytes * 8; e != 0; e >>= 1)
        {
            if (e & 1)
                result = multiplyModP16 (result, power);
            power = multiplyModP16 (power, power);
        }
        return result;
    }
} // namespace

uint16_t crc16Xmodem (const uint8_t* data, size_t size, uint16_t crc)
{
    if (size >= laneThreshold)
        crc = threeLanes (
            crc, data, size, [] (uint16_t r, const uint8_t* p) { return step8 (r, p); }, multiplyModP16,
            zeroBytesOperator16);
    while (size >= 8)
    {
        crc = step8 (crc, data);
        data += 8;
        size -= 8;
    }
    const auto& t = crc16Slices.t;
    while (size-- > 0)
        crc = static_cast<uint16_t> ((crc << 8) ^ t[0][(crc >> 8) ^ *data++]);
    return crc;
}
} // namespace qtx
