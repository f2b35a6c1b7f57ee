// A few seeds of the fault run, one of each fault kind, as an end-to-end test;
// scripts/campaign runs the whole list and the soak.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>

TEST (FaultCampaign, AFewSeedsEndAsTheFailureTableSays)
{
    // burst, wrong code, silence, slow below and above the limit, replug, unplug.
    const std::string command = std::string (QTX_CAMPAIGN_PATH) + " faults --seeds 1,2,8,12,4,9,29 2>&1";
    FILE* pipe = ::popen (command.c_str(), "r");
    ASSERT_NE (pipe, nullptr);
    std::string out;
    char buffer[512];
    while (std::fgets (buffer, sizeof (buffer), pipe) != nullptr)
        out += buffer;
    const int raw = ::pclose (pipe);
    EXPECT_TRUE (WIFEXITED (raw) && WEXITSTATUS (raw) == 0) << out;
    EXPECT_NE (out.find ("faults_passed: 7\n"), std::string::npos) << out;
}
