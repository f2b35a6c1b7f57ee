// The driver-version export on Windows: the driver sets' versions come from their files.
#include "devlink.h"
#include "DriverVersion.h"

extern "C"
{
    DEVLINK_API int HID_GetDriverVersion (int driverSet, char* text)
    {
        using namespace qtx::devlink::winos;
        return driverVersion (driverSet, text, productVersionOf, isWindows2000());
    }
}
