// The exported functions over the one process-wide library state. The driver-version query,
// which leans on the system alone, is in each platform folder.
#include "devlink.h"
#include "Library.h"
#include "ModuleLifetime.h"
#include "Platform.h"

#include <atomic>

namespace
{
std::atomic<qtx::devlink::Library*> instance{nullptr};

qtx::devlink::Library& library()
{
    // Created on first use (thread-safe, HID_Write may come from another thread) and never
    // destroyed: the unload hook below finalises it, and nothing runs after that.
    static qtx::devlink::Library* const created = []
    {
        auto* lib = new qtx::devlink::Library (qtx::devlink::systemPlatform());
        instance = lib;
        return lib;
    }();
    return *created;
}

// Unloading the library (or the process ending) ends the readers and frees the lock, where
// the platform lets the hook wait for them.
__attribute__ ((destructor)) void unloadLibrary()
{
    if (auto* lib = instance.load(); lib != nullptr && qtx::devlink::module::unloadMayWait())
        lib->finalize();
}
} // namespace

extern "C"
{
    DEVLINK_API int HID_Initialize (void*)
    {
        qtx::devlink::module::hold(); // the device-change watch runs a thread
        return library().initialize();
    }

    DEVLINK_API void HID_SetCallback (const DevlinkNotifyTarget* target, unsigned int inputMessage,
                                      unsigned int arrivalMessage, unsigned int removalMessage)
    {
        library().setCallback (target, inputMessage, arrivalMessage, removalMessage);
    }

    DEVLINK_API void HID_Start (void)
    {
        qtx::devlink::module::hold(); // the readers
        library().start();
    }

    DEVLINK_API void HID_Stop (void)
    {
        library().stop();
    }

    DEVLINK_API void HID_Finalize (void)
    {
        library().finalize();
        qtx::devlink::module::release();
    }

    DEVLINK_API void HID_Input (int deviceNumber, unsigned char* destination, int* length)
    {
        library().input (deviceNumber, destination, length);
    }

    DEVLINK_API int HID_Write (int deviceNumber, const unsigned char* data, int length)
    {
        return library().write (deviceNumber, data, length);
    }

    DEVLINK_API int HID_GetDeviceCount (void)
    {
        return library().deviceCount();
    }

    DEVLINK_API int HID_EnumHIDno (int* numbers)
    {
        return library().enumNumbers (numbers);
    }

    DEVLINK_API int HID_GetDeviceType (int deviceNumber)
    {
        return library().deviceType (deviceNumber);
    }

    DEVLINK_API void HID_GetFirmwareVersion (int deviceType, int* values, int count)
    {
        library().firmwareVersion (deviceType, values, count);
    }

    DEVLINK_API int HID_GetDirectSoundGUID (int deviceNumber, DevlinkGuid* first, DevlinkGuid* second)
    {
        return library().audioIds (deviceNumber, first, second);
    }

    DEVLINK_API int HID_GetHIDnoForASIO (int driverSet, unsigned int channelIndex)
    {
        return library().asioDeviceNumber (driverSet, channelIndex);
    }
}
