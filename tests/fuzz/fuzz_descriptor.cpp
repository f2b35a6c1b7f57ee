// Report descriptors come from the device: any bytes must parse or be refused, never read
// out of bounds, and accepted lengths must stay within the limit.
#include "devlink.h"
#include "ReportDescriptor.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    qtx::devlink::ReportLayout layout;
    if (qtx::devlink::parseReportDescriptor (data, size, layout, DEVLINK_MAX_REPORT))
    {
        if (layout.inputReportLength < 0 || layout.inputReportLength > DEVLINK_MAX_REPORT ||
            layout.outputReportLength < 0 || layout.outputReportLength > DEVLINK_MAX_REPORT ||
            layout.inputValueBytes < 0 || layout.inputValueBytes > DEVLINK_MAX_REPORT)
            std::abort();
    }
    return 0;
}
