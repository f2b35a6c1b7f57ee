// Finds the HID interfaces through the set-up services and reads each one's report lengths
// through the HID class services; finds present USB devices by their hardware identifiers.
#pragma once

#include "Platform.h"

namespace qtx::devlink::winos
{
class SetupDiEnumerator : public DeviceEnumerator
{
public:
    bool enumerate (const PathFilter& wanted, std::vector<HidInterface>& out) override;
    std::vector<UsbDevice> usbDevices() override;
};

// Reads "USB\VID_xxxx&PID_xxxx&REV_xxxx" (any case, nothing after the revision). A
// revision character that is not a hexadecimal digit stands as 0xA, which ends the
// decimal reading of the version at the same place.
bool parseUsbHardwareId (const std::string& id, UsbDevice& out);

// Opens a HID interface query-only and reads its identifiers and report lengths.
bool describeHidInterface (const std::string& path, HidInterface& out);
} // namespace qtx::devlink::winos
