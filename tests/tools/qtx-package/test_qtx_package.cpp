// qtx-package as a user runs it: exit status and the one-line reason, on sound
// packages, broken ones, garbage and bad manifests.

#include "support/Command.h"
#include "tools/qtx-package/PackageWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

using namespace qtx::package;
namespace fs = std::filesystem;

namespace
{
using qtx::test::CommandResult;
using qtx::test::readFile;

CommandResult runTool (const std::string& args)
{
    return qtx::test::run (std::string ("'") + QTX_PACKAGE_TOOL + "' " + args);
}

class QtxPackageTool : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("qtx-package-test-" + std::to_string (::getpid()));
        fs::create_directories (dir);
    }
    void TearDown() override { fs::remove_all (dir); }

    std::string write (const std::string& name, const std::vector<uint8_t>& bytes)
    {
        std::ofstream (dir / name, std::ios::binary).write ((const char*) bytes.data(), long (bytes.size()));
        return "'" + (dir / name).string() + "'";
    }

    static PackageDescription sound()
    {
        PackageDescription s;
        s.versionDigits = "123";
        s.blocks.push_back (makeBlock (patternData (100, 1), true, true, 3, 0x1234u, "A001"));
        s.blocks.push_back (makeBlock (patternData (7, 2), false, false, 0, 0, "B002"));
        return s;
    }

    fs::path dir;
};
} // namespace

TEST_F (QtxPackageTool, VerifyAndInfoOnSoundBrokenAndGarbageFiles)
{
    const auto good = buildPackage (sound());
    PackageDescription badCrc = sound();
    badCrc.blocks[1].crcField = 0xBEEF;
    PackageDescription unusable = sound();
    unusable.versionDigits = "000";

    const struct
    {
        std::string file;
        int status;
        std::string says; // verify's one line
        std::vector<std::string> infoSays;
    } cases[] = {
        // clang-format off
        {write ("good.upd", good), 0, ": OK: Ver. 1.23, 2 blocks, 107 bytes of data\n", {"result          usable\n"}},
        {write ("cut.upd", std::vector<uint8_t> (good.begin(), good.end() - 10)), 1,
         ": refused: the file CRC-32 does not check out", {"file CRC-32     stored"}},
        {write ("crc.upd", buildPackage (badCrc)), 1,
         ": refused: block 1: a block CRC-16 does not match its data (stored 0xBEEF",
         {"CRC-16 stored 0xBEEF computed", "result          refused: block 1"}},
        {write ("old.upd", buildPackage (unusable)), 1, ": unusable: version 0 is below 1\n",
         {"result          unusable: version below 1\n"}},
        {write ("garbage.upd", patternData (1024, 5)), 1, ": refused: ", {"result          refused: "}},
        {write ("tiny.upd", {'U', 'P', 'D'}), 1, ": refused: the file is shorter than a header and a trailer\n",
         {"result          refused: "}},
        {"'" + (dir / "missing.upd").string() + "'", 1, ": refused: the file cannot be read\n",
         {": refused: the file cannot be read\n"}},
        // clang-format on
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.file);
        const CommandResult r = runTool ("verify " + c.file);
        EXPECT_EQ (r.status, c.status);
        EXPECT_NE (r.output.find (c.says), std::string::npos) << r.output;
        EXPECT_EQ (std::count (r.output.begin(), r.output.end(), '\n'), 1) << r.output;
        const CommandResult info = runTool ("info " + c.file); // never a crash, whatever the file
        EXPECT_EQ (info.status, c.status);
        for (const auto& says : c.infoSays)
            EXPECT_NE (info.output.find (says), std::string::npos) << info.output;
    }
}

TEST_F (QtxPackageTool, BuildsTheSampleAndRefusesBadManifests)
{
    const std::string out = "'" + (dir / "sample.upd").string() + "'";
    const CommandResult built = runTool (std::string ("build '") + QTX_SAMPLE_MANIFEST + "' " + out);
    ASSERT_EQ (built.status, 0) << built.output;
    EXPECT_EQ (runTool ("verify " + out).status, 0);
    // What is sent: the update blocks unscrambled (the text block last), the calibration left out.
    ASSERT_EQ (runTool ("blocks " + out + " '" + (dir / "sent").string() + "'").status, 0);
    const std::string sent = readFile (dir / "sent"),
                      text = readFile (fs::path (QTX_SAMPLE_MANIFEST).parent_path() / "strings.txt");
    EXPECT_EQ (sent.size(), 64u + 6144u + 63u);
    EXPECT_EQ (sent.substr (64 + 6144), text);

    const struct
    {
        std::string manifest;
        std::string says;
    } cases[] = {
        {"block pattern=4\n", "no 'version' line"},
        {"version 12\nblock pattern=4\n", "line 1: version wants three digits"},
        {"version 100\n", "no 'block' line"},
        {"version 100\nblock pattern=4 tag=ABC\n", "line 2: tag= wants four characters"},
        {"version 100\nblock file=nothing-here.bin\n", "line 2: cannot read data file 'nothing-here.bin'"},
        {"version 100\nblock pattern=4 key-index=256\n", "line 2: key-index= wants 0 to 255"},
        {"version 100\nblock hex=odd.hex\n", "line 2: hex file 'odd.hex': odd number of hex digits"},
        {"version 100\nfirmware x\n", "line 2: unknown keyword 'firmware'"},
    };
    std::ofstream (dir / "odd.hex") << "01 2\n";
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.manifest);
        std::ofstream (dir / "bad.manifest") << c.manifest;
        const std::string target = (dir / "bad.upd").string();
        const CommandResult r = runTool ("build '" + (dir / "bad.manifest").string() + "' '" + target + "'");
        EXPECT_EQ (r.status, 1);
        EXPECT_NE (r.output.find (c.says), std::string::npos) << r.output;
        EXPECT_FALSE (fs::exists (target));
        EXPECT_FALSE (fs::exists (target + ".part"));
    }
    for (const char* args : {"", "frobnicate x", "verify", "build only-one"}) // usage errors
    {
        const CommandResult r = runTool (args);
        EXPECT_EQ (r.status, 2) << args;
        EXPECT_NE (r.output.find ("usage: qtx-package build MANIFEST OUT"), std::string::npos) << r.output;
    }
}
