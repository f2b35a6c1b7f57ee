// Device input through overlapped ReadFile (one read pending per reader), output through a
// plain WriteFile on a handle opened for that one write.
#pragma once

#include "Platform.h"

namespace qtx::devlink::winos
{
class OverlappedIo : public DeviceIo
{
public:
    std::unique_ptr<InputStream> openInput (const HidInterface& device) override;
    int writeReport (const std::string& path, const std::uint8_t* report, int length) override;
};
} // namespace qtx::devlink::winos
