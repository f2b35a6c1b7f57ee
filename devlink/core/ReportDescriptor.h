// A small HID report descriptor parser: only the report lengths the library needs.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qtx::devlink
{
struct ReportLayout
{
    int inputReportLength = 0;    // longest input report in bytes, report ID byte included; 0 = none
    int outputReportLength = 0;   // the same for output reports
    int inputValueBytes = 0;      // first input value field: bit size x count, in whole bytes
    bool numberedReports = false; // the descriptor declares report IDs
};

// Parses `size` bytes (never reads past them). False for a malformed descriptor and for one
// that declares an input or output report longer than maxReportLength bytes.
bool parseReportDescriptor (const std::uint8_t* data, std::size_t size, ReportLayout& layout,
                            int maxReportLength);
} // namespace qtx::devlink
