// The Windows platform: set-up and HID class services, overlapped reads, a device-change
// window and a named mutex.
#include "DeviceChangeWindow.h"
#include "NamedMutexLock.h"
#include "OverlappedIo.h"
#include "SetupDiEnumerator.h"

namespace qtx::devlink
{
Platform systemPlatform()
{
    // Never destroyed: the library may still finalise from its unload hook.
    static auto* enumerator = new winos::SetupDiEnumerator();
    static auto* io = new winos::OverlappedIo();
    static auto* watch = new winos::DeviceChangeWindow();
    static auto* lock = new winos::NamedMutexLock();
    return {enumerator, io, watch, lock};
}
} // namespace qtx::devlink
