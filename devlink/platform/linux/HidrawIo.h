// Reads and writes reports through hidraw nodes.
#pragma once

#include "AccessHint.h"
#include "Platform.h"
#include "UdevEnumerator.h"

namespace qtx::devlink::linuxos
{
class HidrawIo : public DeviceIo
{
public:
    HidrawIo (UdevEnumerator& enumerator, AccessHint& hint)
        : enumerator (enumerator)
        , hint (hint)
    {
    }

    std::unique_ptr<InputStream> openInput (const HidInterface& device) override;
    int writeReport (const std::string& path, const std::uint8_t* report, int length) override;

private:
    UdevEnumerator& enumerator;
    AccessHint& hint;
};
} // namespace qtx::devlink::linuxos
