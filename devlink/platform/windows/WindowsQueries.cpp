// The version and audio-device exports on Windows. The driver sets' versions come from
// their files; the audio endpoints (DirectSound, wave-out and the registry's device tree)
// are not associated with the devices yet, so those two answer "nothing found".
#include "DriverVersion.h"
#include "devlink.h"

#include <cstring>

extern "C"
{
    DEVLINK_API int HID_GetDriverVersion (int driverSet, char* text)
    {
        using namespace qtx::devlink::winos;
        return driverVersion (driverSet, text, productVersionOf, isWindows2000());
    }

    DEVLINK_API int HID_GetDirectSoundGUID (int, DevlinkGuid* first, DevlinkGuid* second)
    {
        if (first != nullptr)
            std::memset (first, 0, sizeof *first);
        if (second != nullptr)
            std::memset (second, 0, sizeof *second);
        return 0;
    }

    DEVLINK_API int HID_GetHIDnoForASIO (int, unsigned int)
    {
        return -1;
    }
}
