// Shared by the tests of the Linux layer: the maker's devices as virtual USB HID devices.
#pragma once

#include "devlink_ids.h"
#include "VirtualHid.h"

#include <gtest/gtest.h>

namespace qtx::devlink::test
{
inline vhid::DeviceSpec makerDevice (const std::string& port, std::uint16_t product,
                                     std::uint16_t release = 0x0102, int inputBytes = 64,
                                     int outputBytes = 64)
{
    vhid::DeviceSpec s;
    s.vendor = DEVLINK_VENDOR_ID;
    s.product = product;
    s.release = release;
    s.port = port;
    s.reportDescriptor = vhid::vendorDescriptor (inputBytes, outputBytes);
    s.productName = "Virtual " + std::to_string (product);
    return s;
}

inline vhid::DeviceSpec controller (const std::string& port = "1-2", std::uint16_t release = 0x0102)
{
    return makerDevice (port, DEVLINK_CONTROLLER_PRODUCT_ID, release);
}
} // namespace qtx::devlink::test
