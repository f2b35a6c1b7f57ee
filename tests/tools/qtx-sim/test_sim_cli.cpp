// qtx-sim as a launcher: options, exit status and its record. Programs that see the
// virtual controller from inside the testbed, with their exit status kept, are
// qtx-update's and the installed program's tests.

#include "support/Command.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

namespace
{
qtx::test::CommandResult run (const std::string& arguments)
{
    return qtx::test::run (std::string (QTX_SIM_PATH) + " " + arguments);
}
} // namespace

TEST (SimCommandLine, HelpBadOptionsAndAMissingProgram)
{
    auto help = run ("--help");
    EXPECT_EQ (help.status, 0);
    for (const char* option : {"--delay-us", "--silent-at", "--wrong-code-at", "--burst-at", "--unplug-at",
                               "--mode-refuse", "--mode-not-yet", "--slow-at", "--record", "-- PROGRAM"})
        EXPECT_NE (help.output.find (option), std::string::npos) << option;

    for (const char* bad : {"--bogus", "--delay-us", "--delay-us -1", "--silent-at chunk:1",
                            "--wrong-code-at data:1", "--wrong-code-at data:1=0x100", "--burst-at data:0=3",
                            "--slow-at data:1", "--unplug-at data:1=700000", "--controllers 9"})
    {
        SCOPED_TRACE (bad);
        auto r = run (bad);
        EXPECT_EQ (r.status, 2);
        EXPECT_NE (r.output.find ("Try 'qtx-sim --help'"), std::string::npos);
    }
    EXPECT_EQ (run ("-- /nonexistent/program").status, 127);
}

TEST (SimCommandLine, RecordsWhatItReceived)
{
    char path[] = "/tmp/qtx-sim-record-XXXXXX";
    const int fd = ::mkstemp (path);
    ASSERT_GE (fd, 0);
    ::close (fd);
    auto r = run (std::string ("--delay-us 0 --record ") + path + " -- true");
    EXPECT_EQ (r.status, 0) << r.output;
    std::ifstream in (path, std::ios::binary | std::ios::ate);
    EXPECT_TRUE (in.good());
    EXPECT_EQ (in.tellg(), 0); // nothing was sent
    EXPECT_NE (r.output.find ("update not complete"), std::string::npos);
    std::remove (path);
}
