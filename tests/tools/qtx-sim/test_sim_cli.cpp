// qtx-sim as a launcher: options and exit status. Programs that see the virtual
// controller from inside the testbed, with their exit status kept, and the
// simulator's record of what it received, are qtx-update's and the installed
// program's tests.

#include "support/Command.h"

#include <gtest/gtest.h>

#include <string>

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
    EXPECT_NE (help.output.find ("-- PROGRAM"), std::string::npos) << help.output;

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
