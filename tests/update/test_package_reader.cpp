// The package reader against packages built field by field: what it keeps from a
// sound package, and every way a broken one must be refused without reading past
// the image.

#include "tools/qtx-package/PackageWriter.h"
#include "update/PackageLayout.h"
#include "update/UpdateFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include <unistd.h>

using qtx::PackageError;
using namespace qtx::package;

namespace
{
struct Outcome
{
    uint32_t result = 0;
    qtx::UpdateFileInfo info;
    qtx::UpdateBlocks blocks;
    qtx::PackageVerdict verdict;
};

class PackageReaderTest : public ::testing::Test
{
protected:
    void SetUp() override { qtx::buildCrc32Table (table); }

    // Parses from a heap copy of exactly the image's size, so ASan sees any
    // read past the end.
    std::unique_ptr<Outcome> parse (const std::vector<uint8_t>& bytes)
    {
        auto out = std::make_unique<Outcome>();
        std::unique_ptr<uint8_t[]> copy (new uint8_t[bytes.size() + (bytes.empty() ? 1 : 0)]);
        std::copy (bytes.begin(), bytes.end(), copy.get());
        out->result =
            qtx::parseUpdatePackage (table, copy.get(), bytes.size(), out->info, out->blocks, out->verdict);
        return out;
    }

    static PackageDescription sound()
    {
        PackageDescription s;
        s.versionDigits = "123";
        // Tag characters that are no hex digit count 0 and do not fail the read.
        s.blocks.push_back (makeBlock (patternData (63, 1), true, false, 0, 0, "B001"));
        s.blocks.push_back (makeBlock (patternData (5, 2), true, true, 7, 0xCAFEF00Du, "a00f"));
        s.blocks.push_back (makeBlock ({}, true, false, 0, 0, "G00F"));
        s.blocks.push_back (makeBlock (patternData (62, 3), false, true, 255, 0xFFFFFFFFu, "zz 9"));
        s.blocks.push_back (makeBlock (patternData (1000, 4), true, true, 0, 0, "-1-1"));
        return s;
    }

    qtx::Crc32Table table{};
};
} // namespace

TEST_F (PackageReaderTest, SoundPackageKeepsEveryBlockUnscrambled)
{
    const PackageDescription package = sound();
    const auto o = parse (buildPackage (package));

    ASSERT_EQ (o->verdict.error, PackageError::none) << qtx::describePackageError (o->verdict.error);
    EXPECT_EQ (o->result, 63u + 5u + 0u + 62u + 1000u);
    EXPECT_EQ (o->info.totalLength, o->result);
    EXPECT_EQ (o->info.version, 123);
    EXPECT_EQ (o->info.blockCount, 5);
    EXPECT_EQ (qtx::packageUsableFrom (o->result, o->info), 1);

    const uint32_t tags[] = {0xB001, 0xA00F, 0x000F, 0x0009, 0x0101};
    for (size_t i = 0; i < package.blocks.size(); ++i)
    {
        const auto& row = o->blocks[i];
        SCOPED_TRACE (i);
        EXPECT_EQ (row.data, package.blocks[i].data);
        EXPECT_EQ (row.length, package.blocks[i].data.size());
        EXPECT_EQ (row.tag, tags[i]);
    }
    for (size_t i = package.blocks.size(); i < qtx::maxUpdateBlocks; ++i)
        EXPECT_TRUE (o->blocks[i].data.empty() && o->blocks[i].length == 0);

    // Sixteen blocks, the most a package holds, are all read.
    PackageDescription full = sound();
    full.blocks.assign (16, makeBlock (patternData (4)));
    EXPECT_EQ (parse (buildPackage (full))->result, 64u);

    // The version's characters are counted, not validated: '/' is one below '0'.
    PackageDescription odd = sound();
    odd.versionDigits = "0/0";
    const auto oddOut = parse (buildPackage (odd));
    EXPECT_NE (oddOut->result, 0u);
    EXPECT_EQ (oddOut->info.version, -10);
    EXPECT_EQ (qtx::packageUsableFrom (oddOut->result, oddOut->info), 0);
}

// A package written byte by byte, apart from update/ and from the package writer (which
// shares the reader's layout, key and CRC routines, so a fault in both would pass the other
// tests). Every byte that is not examined, and the padding, is non-zero; header byte 23 is
// non-zero and enters the key of the scrambled block 0. The key, the CRC-16s and the trailer
// were worked out once with a few lines of Python: bitwise CRC-32/MPEG-2 and CRC-16/XMODEM,
// checked against their catalogue values for "123456789" (0x0376E6E7, 0x31C3); table entry
// 0x80 = 0x690CE0EE; K = ((0x4F585451 ^ 0x11223344) + 0x5A333231) ^ 0x690CE0EE = 0xD1A179A8.
TEST_F (PackageReaderTest, ReadsAPackageWrittenByHand)
{
    const std::vector<uint8_t> bytes{
        // header: "UPD ", "0100", 4 not examined, "QTXORB9 ", "123", byte 23, 2 blocks, 3 not examined
        'U', 'P', 'D', ' ', '0', '1', '0', '0', 0xDE, 0xAD, 0xBE, 0xEF, 'Q', 'T', 'X', 'O', 'R', 'B', '9',
        ' ', '1', '2', '3', 0x5A, 0x02, 0x11, 0x22, 0x33,
        // block 0: key word 0x11223344, 4 not examined, tag "1a2F", 'Y', scrambled (any non-zero),
        // key index 0x80, 1 + 4 not examined, length 6, data 10 20 30 40 50 60 XOR K (A8 79 A1 D1),
        // 2 bytes padding, 2 not examined, CRC-16 0x416D
        0x44, 0x33, 0x22, 0x11, 0xA5, 0xA5, 0xA5, 0xA5, '1', 'a', '2', 'F', 'Y', 0x02, 0x80, 0x77, 0x99, 0x99,
        0x99, 0x99, 0x06, 0x00, 0x00, 0x00, 0xB8, 0x59, 0x91, 0x91, 0xF8, 0x19, 0xEE, 0xEE, 0xC3, 0x3C, 0x6D,
        0x41,
        // block 1 at 28 + 36: key word (plain: unused), 4 not examined, tag "zz01", 'N', plain,
        // key index, 1 + 4 not examined, length 3, data AB CD EF, 1 byte padding, 2 not examined,
        // CRC-16 0x21A4
        0xFF, 0xFF, 0xFF, 0xFF, 0x5A, 0x5A, 0x5A, 0x5A, 'z', 'z', '0', '1', 'N', 0x00, 0x33, 0x44, 0x55, 0x55,
        0x55, 0x55, 0x03, 0x00, 0x00, 0x00, 0xAB, 0xCD, 0xEF, 0xEE, 0x66, 0x77, 0xA4, 0x21,
        // trailer: CRC-32 of all bytes above, most significant byte first
        0x6B, 0x0C, 0x50, 0x38};
    const auto o = parse (bytes);
    ASSERT_EQ (o->verdict.error, PackageError::none) << qtx::describePackageError (o->verdict.error);
    EXPECT_EQ (o->result, 9u);
    EXPECT_EQ (o->info.totalLength, 9u);
    EXPECT_EQ (o->info.version, 123);
    EXPECT_EQ (o->info.blockCount, 2);
    const qtx::UpdateBlock expected[] = {
        {0x1A2F, true, true, 0x80, 6, {0x10, 0x20, 0x30, 0x40, 0x50, 0x60}, 0x416D},
        {0x0001, false, false, 0x33, 3, {0xAB, 0xCD, 0xEF}, 0x21A4},
    };
    for (size_t i = 0; i < 2; ++i)
    {
        SCOPED_TRACE (i);
        const auto& row = o->blocks[i];
        EXPECT_EQ (row.tag, expected[i].tag);
        EXPECT_EQ (row.update, expected[i].update);
        EXPECT_EQ (row.scrambled, expected[i].scrambled);
        EXPECT_EQ (row.keyIndex, expected[i].keyIndex);
        EXPECT_EQ (row.length, expected[i].length);
        EXPECT_EQ (row.data, expected[i].data);
        EXPECT_EQ (row.crc, expected[i].crc);
    }
}

TEST_F (PackageReaderTest, RefusesBrokenPackages)
{
    struct Case
    {
        const char* name;
        void (*edit) (PackageDescription&);
        PackageError error;
        int block;
    };
    const Case cases[] = {
        {"trailer least significant byte first", [] (PackageDescription& s) { s.trailerLsbFirst = true; },
         PackageError::fileCrc, -1},
        {"magic", [] (PackageDescription& s) { s.magic = "UPD_"; }, PackageError::magic, -1},
        {"format version", [] (PackageDescription& s) { s.formatVersion = "0101"; },
         PackageError::formatVersion, -1},
        {"model's first byte", [] (PackageDescription& s) { s.model[0] = 'q'; }, PackageError::model, -1},
        {"model's last byte", [] (PackageDescription& s) { s.model[7] = 0; }, PackageError::model, -1},
        {"no blocks", [] (PackageDescription& s) { s.blocks.clear(); }, PackageError::noData, -1},
        {"only empty blocks", [] (PackageDescription& s) { s.blocks.assign (3, makeBlock ({})); },
         PackageError::noData, -1},
        {"17 blocks", [] (PackageDescription& s) { s.blocks.assign (17, makeBlock (patternData (4))); },
         PackageError::tooManyBlocks, -1},
        {"255 announced, 5 present", [] (PackageDescription& s) { s.blockCountField = 255; },
         PackageError::tooManyBlocks, -1},
        {"one more block announced than present", [] (PackageDescription& s) { s.blockCountField = 6; },
         PackageError::recordOutside, 5},
        {"length 4 bytes beyond the last record",
         [] (PackageDescription& s) { s.blocks[4].lengthField = 1004; }, PackageError::recordOutside, 4},
        {"length reaching into the trailer", [] (PackageDescription& s) { s.blocks[4].lengthField = 1001; },
         PackageError::recordOutside, 4},
        {"length 0xFFFFFFFF", [] (PackageDescription& s) { s.blocks[1].lengthField = 0xFFFFFFFFu; },
         PackageError::lengthOverflow, 1},
        {"length wrapping a 32-bit offset",
         [] (PackageDescription& s) { s.blocks[0].lengthField = 0xFFFFFFE4u; }, PackageError::lengthOverflow,
         0},
        {"CRC-16 of a sent block", [] (PackageDescription& s) { s.blocks[1].crcField = 0x1234; },
         PackageError::blockCrc, 1},
        {"CRC-16 of a skipped block", [] (PackageDescription& s) { s.blocks[3].crcField = 0x0001; },
         PackageError::blockCrc, 3},
        {"CRC-16 of an empty block", [] (PackageDescription& s) { s.blocks[2].crcField = 0x0001; },
         PackageError::blockCrc, 2},
    };
    for (const auto& c : cases)
    {
        PackageDescription package = sound();
        c.edit (package);
        const auto o = parse (buildPackage (package));
        SCOPED_TRACE (c.name);
        EXPECT_EQ (o->result, 0u);
        EXPECT_EQ (o->verdict.error, c.error) << qtx::describePackageError (o->verdict.error);
        EXPECT_EQ (o->verdict.block, c.block);
        EXPECT_EQ (qtx::packageUsableFrom (o->result, o->info), 0);
    }
}

TEST_F (PackageReaderTest, EveryTruncationIsRefusedWithoutReadingPastTheImage)
{
    // Each prefix gets a fresh valid trailer, so only the bounds checks stand
    // between the reader and the bytes beyond the image.
    const auto good = buildPackage (sound());
    for (size_t n = 0; n < good.size(); ++n)
    {
        std::vector<uint8_t> bytes (good.begin(), good.begin() + long (n));
        if (n >= qtx::layout::trailerSize)
            sealPackage (bytes);
        ASSERT_EQ (parse (bytes)->result, 0u) << "prefix " << n;
    }
}

TEST_F (PackageReaderTest, ReadsFromFileAndRefusesWhatIsNoPackageFile)
{
    // A folder name beyond ASCII: paths travel as UTF-8 and must reach the file as such.
    const auto dir = std::filesystem::temp_directory_path() /
                     std::filesystem::u8path ("qtx-reader-Дмитрий-下载-é-" + std::to_string (::getpid()));
    std::filesystem::create_directories (dir);
    const auto write = [&] (const char* name, const std::vector<uint8_t>& bytes)
    {
        std::ofstream (dir / name, std::ios::binary).write ((const char*) bytes.data(), long (bytes.size()));
        return (dir / name).u8string();
    };
    const auto good = buildPackage (sound());
    auto o = std::make_unique<Outcome>();

    EXPECT_EQ (qtx::readUpdateFile (write ("good.upd", good), table, o->info, o->blocks), 1130u);
    EXPECT_EQ (o->info.version, 123);
    // A second read into the same rows leaves nothing of the first behind.
    PackageDescription one;
    one.blocks.push_back (makeBlock (patternData (10)));
    EXPECT_EQ (qtx::readUpdateFile (write ("one.upd", buildPackage (one)), table, o->info, o->blocks), 10u);
    for (size_t i = 1; i < qtx::maxUpdateBlocks; ++i)
        EXPECT_TRUE (o->blocks[i].data.empty() && o->blocks[i].length == 0) << i;

    const struct
    {
        std::string path;
        PackageError error;
    } cases[] = {
        {(dir / "missing.upd").u8string(), PackageError::unreadable},
        {dir.u8string(), PackageError::unreadable},
        {write ("empty.upd", {}), PackageError::tooShort},
        {write ("cut.upd", std::vector<uint8_t> (good.begin(), good.end() - 1)), PackageError::fileCrc},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.path);
        EXPECT_EQ (qtx::readUpdateFile (c.path, table, o->info, o->blocks, o->verdict), 0u);
        EXPECT_EQ (o->verdict.error, c.error);
    }
    std::filesystem::remove_all (dir);
}
