#include "DeviceTypes.h"

#include "devlink_ids.h"

#include <cstdio>

namespace qtx::devlink
{
namespace
{
    constexpr SupportedDevice table[] = {
        {DEVLINK_SECOND_VENDOR_ID, 0x0191},
        {DEVLINK_VENDOR_ID, 0x0016},
        {DEVLINK_VENDOR_ID, 0x000E},
        {DEVLINK_VENDOR_ID, 0x000D},
        {DEVLINK_VENDOR_ID, 0x0004},
        {DEVLINK_VENDOR_ID, 0x0014},
        {DEVLINK_VENDOR_ID, 0x0020},
        {DEVLINK_VENDOR_ID, 0x003B},
        {DEVLINK_VENDOR_ID, DEVLINK_CONTROLLER_PRODUCT_ID},
    };
    static_assert (sizeof table / sizeof table[0] == lastDeviceType);
} // namespace

SupportedDevice supportedDevice (int deviceType)
{
    return table[deviceType - firstDeviceType];
}

std::string pathPattern (int deviceType)
{
    const SupportedDevice d = supportedDevice (deviceType);
    char text[24];
    std::snprintf (text, sizeof text, "vid_%04x&pid_%04x", unsigned (d.vendor), unsigned (d.product));
    return text;
}

int classifyPath (const std::string& path)
{
    int type = -1;
    for (int t = firstDeviceType; t <= lastDeviceType; ++t)
        if (path.find (pathPattern (t)) != std::string::npos)
            type = t;
    return type;
}

int releaseToVersion (std::uint16_t release)
{
    char digits[8];
    std::snprintf (digits, sizeof digits, "%04X", unsigned (release));
    int value = 0;
    for (int i = 0; i < 4 && digits[i] >= '0' && digits[i] <= '9'; ++i)
        value = value * 10 + (digits[i] - '0');
    return value;
}
} // namespace qtx::devlink
