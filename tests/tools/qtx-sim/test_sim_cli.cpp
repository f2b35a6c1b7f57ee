// qtx-sim as a launcher: options, exit status, and a program that sees the
// virtual controller from inside the testbed.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
struct Result
{
    int status;
    std::string out;
};

Result run (const std::string& arguments)
{
    const std::string command = std::string (QTX_SIM_PATH) + " " + arguments + " 2>&1";
    Result r{-1, {}};
    FILE* pipe = ::popen (command.c_str(), "r");
    if (pipe == nullptr)
        return r;
    char buffer[512];
    while (std::fgets (buffer, sizeof (buffer), pipe) != nullptr)
        r.out += buffer;
    const int raw = ::pclose (pipe);
    r.status = WIFEXITED (raw) ? WEXITSTATUS (raw) : -1;
    return r;
}
} // namespace

TEST (SimCommandLine, HelpAndBadOptions)
{
    auto help = run ("--help");
    EXPECT_EQ (help.status, 0);
    for (const char* option : {"--delay-us", "--silent-at", "--wrong-code-at", "--burst-at", "--unplug-at",
                               "--mode-refuse", "--mode-not-yet", "--slow-at", "--record", "-- PROGRAM"})
        EXPECT_NE (help.out.find (option), std::string::npos) << option;

    for (const char* bad : {"--bogus", "--delay-us", "--delay-us -1", "--silent-at chunk:1",
                            "--wrong-code-at data:1", "--wrong-code-at data:1=0x100", "--burst-at data:0=3",
                            "--slow-at data:1", "--unplug-at data:1=700000", "--controllers 9"})
    {
        SCOPED_TRACE (bad);
        auto r = run (bad);
        EXPECT_EQ (r.status, 2);
        EXPECT_NE (r.out.find ("Try 'qtx-sim --help'"), std::string::npos);
    }
}

TEST (SimCommandLine, ProgramSeesTheControllerAndItsStatusIsKept)
{
    // The node and its USB parent with the controller's identifiers.
    auto r = run ("--delay-us 0 --release 0203 -- sh -c "
                  "'test -c /dev/hidraw0 && cat /sys/class/hidraw/hidraw0/device/../../idVendor "
                  "/sys/class/hidraw/hidraw0/device/../../bcdDevice; exit 7'");
    EXPECT_EQ (r.status, 7) << r.out;
    EXPECT_NE (r.out.find ("7a51"), std::string::npos) << r.out;
    EXPECT_NE (r.out.find ("0203"), std::string::npos) << r.out;

    auto missing = run ("-- /nonexistent/program");
    EXPECT_EQ (missing.status, 127);
}

TEST (SimCommandLine, RecordsWhatItReceived)
{
    char path[] = "/tmp/qtx-sim-record-XXXXXX";
    const int fd = ::mkstemp (path);
    ASSERT_GE (fd, 0);
    ::close (fd);
    auto r = run (std::string ("--delay-us 0 --record ") + path + " -- true");
    EXPECT_EQ (r.status, 0) << r.out;
    std::ifstream in (path, std::ios::binary | std::ios::ate);
    EXPECT_TRUE (in.good());
    EXPECT_EQ (in.tellg(), 0); // nothing was sent
    EXPECT_NE (r.out.find ("update not complete"), std::string::npos);
    std::remove (path);
}
