// --list: every connected supported device with its number, type and firmware.
// Straight from the library's exports: the device link only ever holds one
// controller, and listing needs neither the lock nor the message thread.

#include "CommandLine.h"
#include "Console.h"
#include "Report.h"
#include "Updater.h"

#include "devlink/include/devlink.h"
#include "devlink/include/devlink_ids.h"

#include <cstdio>
#include <map>
#include <vector>

namespace qtx::cli
{

int listDevices (Console& console, Report& report)
{
    int numbers[DEVLINK_MAX_DEVICES + 1] = {};
    const int count = HID_EnumHIDno (numbers);
    if (count <= 0)
    {
        console.say ("No supported device is connected.");
        return report.finish (exitComplete, "no supported device is connected");
    }

    // The library gives versions per device type, in the system's order; with
    // one device of a type (the usual case) that is the device's own.
    std::map<int, std::vector<int>> numbersOfType;
    for (int k = 0; k < count && k < DEVLINK_MAX_DEVICES; ++k)
        numbersOfType[HID_GetDeviceType (numbers[k])].push_back (numbers[k]);
    std::map<int, int> versionOfNumber;
    for (const auto& [type, ofType] : numbersOfType)
    {
        std::vector<int> versions (ofType.size(), 0);
        HID_GetFirmwareVersion (type, versions.data(), (int) versions.size());
        for (size_t k = 0; k < ofType.size(); ++k)
            versionOfNumber[ofType[k]] = versions[k];
    }

    console.say ("number  type  device    firmware");
    for (int k = 0; k < count && k < DEVLINK_MAX_DEVICES; ++k)
    {
        const int type = HID_GetDeviceType (numbers[k]);
        const int version = versionOfNumber[numbers[k]];
        report.devices.push_back ({numbers[k], type, version});
        // The one an update would take: the first controller in the system's order.
        if (type == DEVLINK_CONTROLLER_TYPE && !report.controllerFound)
        {
            report.controllerFound = true;
            report.controllerVersion = version;
        }
        char line[96];
        std::snprintf (line, sizeof (line), "%-6d  %-4d  %-8s  %s", numbers[k], type,
                       type == DEVLINK_CONTROLLER_TYPE ? "QTX-ORB9" : "-",
                       version > 0 ? versionText (version).c_str() : "-");
        console.say (line);
    }
    return report.finish (exitComplete, std::to_string (count) + " supported device(s) connected");
}

} // namespace qtx::cli
