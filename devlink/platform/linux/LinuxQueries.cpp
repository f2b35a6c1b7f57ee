// The version and audio-device exports on Linux: no driver sets and no audio endpoints are
// associated with the devices here, so each answers "nothing found".
#include "devlink.h"

#include <cstring>

extern "C"
{
    // No driver sets on this system: nothing is found.
    DEVLINK_API int HID_GetDriverVersion (int, char* text)
    {
        if (text != nullptr)
            text[0] = 0;
        return 0;
    }

    // No audio endpoints are associated with the devices on this system.
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
