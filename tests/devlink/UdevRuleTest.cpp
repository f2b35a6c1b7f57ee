// The udev rule grants access to the hidraw nodes of the maker's two vendor identifiers (as
// devlink_ids.h has them), and to nothing else.
#include "devlink_ids.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

TEST (UdevRule, CoversExactlyTheTwoVendorsHidrawNodes)
{
    std::ifstream rules (DEVLINK_UDEV_RULE);
    ASSERT_TRUE (rules) << DEVLINK_UDEV_RULE;
    std::string vendors;
    for (std::string line; std::getline (rules, line);)
    {
        if (line.empty() || line[0] == '#')
            continue;
        SCOPED_TRACE (line);
        EXPECT_NE (line.find ("SUBSYSTEM==\"hidraw\""), std::string::npos);
        EXPECT_NE (line.find ("TAG+=\"uaccess\""), std::string::npos);
        const auto at = line.find ("ATTRS{idVendor}==\"");
        ASSERT_NE (at, std::string::npos); // never every hidraw device
        vendors += line.substr (at + 18, 4) + " ";
    }
    char expected[16];
    std::snprintf (expected, sizeof expected, "%04x %04x ", DEVLINK_VENDOR_ID, DEVLINK_SECOND_VENDOR_ID);
    EXPECT_EQ (vendors, expected);
}
