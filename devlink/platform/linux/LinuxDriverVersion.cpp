// The driver-version export on Linux: none of the maker's driver sets exist here.
#include "devlink.h"

extern "C"
{
    DEVLINK_API int HID_GetDriverVersion (int, char* text)
    {
        if (text != nullptr)
            text[0] = 0;
        return 0;
    }
}
