// qtx-update as an administrator runs it, inside the simulator's testbed: the
// whole update, every refusal with its reason and exit status, a failed
// transfer, the device list, the library held by another client, and the
// version policy, --check, --wait and --json read back by a JSON parser; and the
// simulator's own command line.

#include "devlink/LockIsolation.h"
#include "support/Command.h"

#include "devlink/include/devlink.h"
#include "tools/qtx-package/PackageWriter.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Json = nlohmann::json;

namespace
{
using qtx::test::readFile;

struct Result
{
    int status = -1;
    std::string out; // qtx-update's standard output
    std::string err; // qtx-update's and the simulator's standard error
};

void writeFile (const fs::path& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out (path, std::ios::binary | std::ios::trunc);
    out.write (reinterpret_cast<const char*> (bytes.data()), (std::streamsize) bytes.size());
}

bool contains (const std::string& text, const std::string& part)
{
    return text.find (part) != std::string::npos;
}

// Standard output as one JSON document, and nothing else (discarded otherwise).
Json document (const Result& r)
{
    return Json::parse (r.out, nullptr, false);
}

class QtxUpdate : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/qtx-update-test-XXXXXX";
        ASSERT_NE (::mkdtemp (pattern), nullptr);
        dir = pattern;

        using namespace qtx::package;
        description.versionDigits = "123";
        description.blocks = {makeBlock (patternData (700, 1), true, true, 3, 0x12345678, "A100"),
                              makeBlock (patternData (40, 2), false),
                              makeBlock (patternData (63, 3), true, true, 7, 0xCAFEBABE, "C300")};
        package = dir / "firmware.upd";
        writeFile (package, buildPackage (description));
    }

    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all (dir, ignored);
    }

    // qtx-update ARGS inside qtx-sim SIM_ARGS (answering at once), stdin from /dev/null.
    Result run (const std::string& simArgs, const std::string& args,
                const std::string& program = QTX_UPDATE_PATH)
    {
        const auto out = dir / "out", err = dir / "err";
        const std::string command = std::string (QTX_SIM_PATH) + " --delay-us 0 " + simArgs + " -- " +
                                    program + " " + args + " </dev/null >" + out.string() + " 2>" +
                                    err.string();
        const int raw = std::system (command.c_str());
        Result r;
        r.status = WIFEXITED (raw) ? WEXITSTATUS (raw) : -1;
        r.out = readFile (out);
        r.err = readFile (err);
        return r;
    }

    // What the controller must receive: the update blocks' data, in order.
    std::string updateBlocksImage() const
    {
        std::string image;
        for (const auto& b : description.blocks)
            if (b.updateFlag == 'Y')
                image.append (b.data.begin(), b.data.end());
        return image;
    }

    fs::path dir, package;
    qtx::package::PackageDescription description;
};

} // namespace

TEST_F (QtxUpdate, WholeUpdateOfThePackageBesideTheProgram)
{
    // As the window does: no argument takes QTX-ORB9_UP.upd from the program's folder.
    const auto program = dir / "qtx-update";
    fs::copy_file (QTX_UPDATE_PATH, program);
    fs::copy_file (package, dir / "QTX-ORB9_UP.upd");
    const auto record = dir / "received.bin";

    const auto r = run ("--record " + record.string(), "--yes", program.string());
    ASSERT_EQ (r.status, 0) << r.out << r.err;
    EXPECT_TRUE (contains (r.out, "Current Version: Ver. 1.02\n")) << r.out;
    EXPECT_TRUE (contains (r.out, "Update Version: Ver. 1.23")) << r.out;
    EXPECT_TRUE (contains (r.out, "Update complete.\n")) << r.out;
    EXPECT_EQ (readFile (record), updateBlocksImage());

    // Not a terminal: plain percent lines, never going back, ending at 100%.
    std::istringstream lines (r.out);
    std::vector<int> percents;
    for (std::string line; std::getline (lines, line);)
        if (!line.empty() && line.back() == '%')
            percents.push_back (std::atoi (line.c_str()));
    ASSERT_FALSE (percents.empty());
    EXPECT_TRUE (std::is_sorted (percents.begin(), percents.end()));
    EXPECT_EQ (percents.back(), 100);
}

TEST_F (QtxUpdate, RefusalsSayWhyAndSendNothing)
{
    auto damaged = buildPackage (description);
    damaged[40] ^= 0x01;
    writeFile (dir / "damaged.upd", damaged);
    auto unusable = description;
    unusable.versionDigits = "000";
    writeFile (dir / "unusable.upd", buildPackage (unusable));

    struct Row
    {
        const char* name;
        std::string simArgs, args;
        int status;
        const char* reason;
        bool lockHeld = false; // this process holds the library (its own lock, see main)
    };
    const Row rows[] = {
        {"no controller", "--controllers 0", "--yes " + package.string(), 4,
         "no QTX-ORB9 controller is connected"},
        {"library held by another client", "", "--yes " + package.string(), 5,
         "the HID library is in use by another program", true},
        {"damaged package", "", "--yes " + (dir / "damaged.upd").string(), 3,
         "damaged.upd: the file CRC-32 does not check out"},
        {"version 0.00", "", "--yes " + (dir / "unusable.upd").string(), 3, "its version Ver. 0.00"},
        {"missing package", "", "--yes " + (dir / "none.upd").string(), 3, "cannot be read"},
        {"no terminal, no --yes", "", package.string(), 6, "not confirmed: no terminal"},
        {"unknown option", "", "--force", 2, "unknown option --force"},
        {"two packages", "", "a.upd b.upd", 2, "more than one package"},
        {"list with a package", "", "--list a.upd", 2, "--list takes no package"},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.name);
        if (row.lockHeld)
        {
            ASSERT_EQ (HID_Initialize (nullptr), 1);
        }
        const auto r = run (row.simArgs, row.args);
        if (row.lockHeld)
            HID_Finalize();
        EXPECT_EQ (r.status, row.status) << r.err;
        EXPECT_TRUE (contains (r.err, "qtx-update: ") && contains (r.err, row.reason)) << r.err;
        EXPECT_FALSE (contains (r.err, "send HID_UPDATE")) << r.err;
        if (row.simArgs.empty())
        {
            EXPECT_TRUE (contains (r.err, "qtx-sim: 0 commands")) << r.err;
        }
    }
}

TEST_F (QtxUpdate, AFaultEndsInTransferFailed)
{
    const auto r = run ("--wrong-code-at data:3=0xFD", "-y " + package.string());
    EXPECT_EQ (r.status, 1) << r.err;
    EXPECT_TRUE (contains (r.err, "ERROR: unexpected response(0xfd). @404\n")) << r.err;
    EXPECT_TRUE (contains (r.err, "qtx-update: transfer failed\n")) << r.err;
    EXPECT_FALSE (contains (r.out, "Update complete.")) << r.out;
}

// A signal while the transfer waits for the mode change's or a chunk's answer:
// nothing more reaches the controller, and the run ends at once with 130,
// saying whether any firmware was written.
TEST_F (QtxUpdate, ASignalStopsTheTransferAtOnce)
{
    const struct
    {
        const char *signal, *simArgs;
        int sends; // traced before the signal, all received
        const char* reason;
    } rows[] = {
        {"INT", "--silent-at mode:1", 1, "before any firmware was written"},
        {"TERM", "--silent-at data:2", 5, "after part of the firmware was written"},
        {"HUP", "--delay-us 20000", 1, nullptr}, // a closed terminal leaves the update running
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.signal);
        const std::string sends = std::to_string (row.sends);
        const auto r = run (row.simArgs,
                            "-c '" QTX_UPDATE_PATH " -y " + package.string() +
                                " & for i in $(seq 3000); do [ $(grep -c \"^send HID\" " +
                                (dir / "err").string() + ") -ge " + sends +
                                " ] && break; sleep 0.01; done; kill -" + row.signal + " $!; wait $!'",
                            "bash");
        EXPECT_EQ (r.status, row.reason ? 130 : 0) << r.err;
        if (row.reason == nullptr)
            continue;
        EXPECT_TRUE (contains (r.err, "qtx-sim: " + sends + " commands")) << r.err;
        EXPECT_TRUE (contains (r.err, std::string ("qtx-update: stopped by a signal ") + row.reason))
            << r.err;
    }
}

TEST_F (QtxUpdate, ListShowsEverySupportedDevice)
{
    const auto two = run ("--controllers 2 --release 0203", "--list");
    EXPECT_EQ (two.status, 0) << two.err;
    EXPECT_EQ (two.out, "number  type  device    firmware\n"
                        "0       9     QTX-ORB9  Ver. 2.03\n"
                        "1       9     QTX-ORB9  Ver. 2.03\n");

    const auto json = document (run ("--controllers 2 --release 0203", "--list --json"));
    EXPECT_EQ (json["devices"], Json::parse (R"([
        {"number": 0, "type": 9, "model": "QTX-ORB9", "version": "2.03", "versionNumber": 203},
        {"number": 1, "type": 9, "model": "QTX-ORB9", "version": "2.03", "versionNumber": 203}])"));

    const auto none = run ("--controllers 0", "--list");
    EXPECT_EQ (none.status, 0) << none.err;
    EXPECT_EQ (none.out, "No supported device is connected.\n");
}

TEST_F (QtxUpdate, VersionPolicyCheckAndWaitInJson)
{
    // The package is 1.23. Only the allowed reinstall may reach the controller.
    const std::string pkg = " " + package.string();
    struct Row
    {
        const char* name;
        std::string simArgs, args;
        int status;
        const char* outcome;
        const char* decision; // nullptr: none made
        const char* current;  // the controller's version; nullptr: none found
        bool updates = false; // a whole update, the only row that sends anything
    };
    const Row rows[] = {
        {"check, older controller", "", "--check" + pkg, 0, "update-due", "update", "1.02"},
        {"check, same version", "--release 0123", "--check" + pkg, 7, "up-to-date", "skip", "1.23"},
        {"check, newer controller", "--release 0200", "--check" + pkg, 7, "up-to-date", "skip", "2.00"},
        {"check, older allowed", "--release 0200", "--check --allow-older" + pkg, 0, "update-due",
         "downgrade", "2.00"},
        {"same version refused", "--release 0123", "--yes" + pkg, 7, "up-to-date", "skip", "1.23"},
        {"reinstall allows no older", "--release 0200", "--yes --allow-reinstall" + pkg, 7, "up-to-date",
         "skip", "2.00"},
        {"JSON asks nothing", "", pkg, 6, "not-confirmed", "update", "1.02"},
        {"plugged in after a second", "--plug-after 1000", "--check --wait 30" + pkg, 0, "update-due",
         "update", "1.02"},
        {"none during the wait", "--controllers 0", "--check --wait 1" + pkg, 4, "no-controller", nullptr,
         nullptr},
        {"a path not in UTF-8", "", "--check " + (dir / "\xff.upd").string(), 3, "bad-package", nullptr,
         nullptr},
        {"usage", "", "--check --yes", 2, "usage", nullptr, nullptr},
        {"same version allowed", "--release 0123", "--yes --allow-reinstall" + pkg, 0, "updated", "reinstall",
         "1.23", true},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.name);
        const auto r = run (row.simArgs, "--json " + row.args);
        const auto json = document (r);
        ASSERT_FALSE (json.is_discarded()) << r.out;
        EXPECT_EQ (r.status, row.status) << r.err;
        EXPECT_EQ (json["exitStatus"], row.status);
        EXPECT_EQ (json["outcome"], row.outcome);
        EXPECT_EQ (json["decision"], row.decision ? Json (row.decision) : Json());
        EXPECT_EQ (json.value (Json::json_pointer ("/controller/version"), ""),
                   row.current ? row.current : "");
        if (row.current != nullptr)
        {
            EXPECT_EQ (json["package"],
                       Json ({{"path", package}, {"version", "1.23"}, {"versionNumber", 123}}));
            EXPECT_EQ (contains (r.err, "qtx-sim: 0 commands"), !row.updates) << r.err;
        }
        if (row.updates) // the update's blocks in the document
        {
            EXPECT_EQ (json["blocks"],
                       Json::parse (R"([{"number": 1, "tag": "A100", "length": 700, "crc16": 5087},
                {"number": 3, "tag": "C300", "length": 63, "crc16": 37703}])"));
        }
        if (json["decision"] == "skip") // a plain message with both versions
        {
            EXPECT_TRUE (contains (json["reason"], "Ver. 1.23") && contains (json["reason"], row.current));
        }
    }
}

// The simulator's own command line: a bad option, or a program that is not there.
TEST (SimCommandLine, BadOptionsAndAMissingProgram)
{
    const std::string sim = std::string (QTX_SIM_PATH) + " ";
    for (const char* bad : {"--bogus", "--delay-us", "--delay-us -1", "--silent-at chunk:1",
                            "--silent-at block:0", "--silent-at data:x", "--silent-at data:99999999999",
                            "--wrong-code-at data:1", "--wrong-code-at data:1=0x100", "--burst-at data:0=3",
                            "--slow-at data:1", "--unplug-at data:1=700000", "--controllers 9"})
    {
        SCOPED_TRACE (bad);
        const auto r = qtx::test::run (sim + bad);
        EXPECT_EQ (r.status, 2);
        EXPECT_TRUE (contains (r.output, "Try 'qtx-sim --help'")) << r.output;
    }
    EXPECT_EQ (qtx::test::run (sim + "-- /nonexistent/program").status, 127);
}

int main (int argc, char** argv)
{
    // Our children inherit a lock of their own: no other client on the machine
    // can hold it, and our own holding of it is the only one they meet.
    qtx::devlink::test::isolateLockNamespace();
    ::testing::InitGoogleTest (&argc, argv);
    return RUN_ALL_TESTS();
}
