// The descriptor parser: lengths as the device's reports are framed, and refusals. Reading
// past the end of a malformed descriptor is the truncated rows' and the descriptor fuzzer's.
#include "ReportDescriptor.h"
#include "devlink.h"

#include <gtest/gtest.h>

#include <vector>

using namespace qtx::devlink;
using Bytes = std::vector<std::uint8_t>;

namespace
{
// Vendor page, one collection, 8-bit fields: `in` input bytes, `out` output bytes.
Bytes vendor (int in, int out)
{
    const std::uint8_t inLo = std::uint8_t (in), inHi = std::uint8_t (in >> 8);
    const std::uint8_t outLo = std::uint8_t (out), outHi = std::uint8_t (out >> 8);
    return {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1,  0x01,  0x75, 0x08, 0x96, inLo, inHi,
            0x09, 0x02, 0x81, 0x02, 0x96, outLo, outHi, 0x09, 0x03, 0x91, 0x02, 0xC0};
}
} // namespace

TEST (ReportDescriptor, Table)
{
    struct Case
    {
        const char* name;
        Bytes descriptor;
        bool ok;
        int input = 0, output = 0, value = 0;
        bool numbered = false;
    };
    // clang-format off
    const Case cases[] = {
        {"vendor 64/64", vendor (64, 64), true, 65, 65, 64},
        {"largest allowed", vendor (1023, 1), true, 1024, 2, 1023},
        {"input too long", vendor (1024, 1), false},
        {"output too long", vendor (1, 1024), false},
        {"empty", {}, true},
        {"two report IDs: longest counts",
         {0x85, 0x01, 0x75, 0x08, 0x95, 0x03, 0x81, 0x02, 0x85, 0x02, 0x95, 0x07, 0x81, 0x02, 0x95, 0x02, 0x91, 0x02},
         true, 8, 3, 3, true},
        {"padding before the value, 1-bit buttons skipped",
         {0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x75, 0x08, 0x95, 0x01, 0x81, 0x03, 0x75, 0x10, 0x95, 0x02, 0x81, 0x02},
         true, 7, 0, 4},
        {"push and pop restore globals", {0x75, 0x08, 0x95, 0x04, 0xA4, 0x95, 0x10, 0xB4, 0x81, 0x02}, true, 5, 0, 4},
        {"pop without push", {0xB4}, false},
        {"report ID 0", {0x85, 0x00}, false},
        {"truncated item", {0x75, 0x08, 0x96, 0x40}, false},
        {"truncated long item", {0xFE, 0x05, 0x10, 0x01}, false},
        {"long item skipped, a 12-bit value", {0xFE, 0x02, 0x10, 0xAA, 0xBB, 0x75, 0x0C, 0x95, 0x01, 0x81, 0x02}, true, 3, 0, 2},
        {"huge size x count does not wrap",
         {0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x02}, false},
        {"many small items add up past the limit",
         {0x75, 0x08, 0x96, 0x00, 0x02, 0x81, 0x02, 0x81, 0x02, 0x81, 0x02}, false},
    };
    // clang-format on
    for (const Case& c : cases)
    {
        SCOPED_TRACE (c.name);
        ReportLayout layout;
        const bool ok =
            parseReportDescriptor (c.descriptor.data(), c.descriptor.size(), layout, DEVLINK_MAX_REPORT);
        EXPECT_EQ (ok, c.ok);
        if (!ok || !c.ok)
            continue;
        EXPECT_EQ (layout.inputReportLength, c.input);
        EXPECT_EQ (layout.outputReportLength, c.output);
        EXPECT_EQ (layout.inputValueBytes, c.value);
        EXPECT_EQ (layout.numberedReports, c.numbered);
    }
}
