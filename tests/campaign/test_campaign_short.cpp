// A few seeds of the fault run, one of each fault kind, as an end-to-end test;
// scripts/campaign runs the whole list (and the soak benchmark).

#include "support/Command.h"

#include <gtest/gtest.h>

#include <string>

TEST (FaultCampaign, AFewSeedsEndAsTheFailureTableSays)
{
    // burst, wrong code, silence, slow below and above the limit, replug, unplug.
    const auto result =
        qtx::test::run (qtx::test::quoted (QTX_CAMPAIGN_PATH) + " faults --seeds 1,2,8,12,4,9,29");
    EXPECT_EQ (result.status, 0) << result.output;
    EXPECT_NE (result.output.find ("faults_passed: 7\n"), std::string::npos) << result.output;
}
