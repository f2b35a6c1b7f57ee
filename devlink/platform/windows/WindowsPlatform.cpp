// The Windows platform: set-up and HID class services, overlapped reads, a device-change
// window, a named mutex, and the audio device lists.
#include "DeviceChangeWindow.h"
#include "NamedMutexLock.h"
#include "OverlappedIo.h"
#include "SetupDiEnumerator.h"
#include "SystemAudio.h"

namespace qtx::devlink
{
Platform systemPlatform()
{
    // Never destroyed: the library may still finalise from its unload hook.
    static auto* enumerator = new winos::SetupDiEnumerator();
    static auto* io = new winos::OverlappedIo();
    static auto* watch = new winos::DeviceChangeWindow();
    static auto* lock = new winos::NamedMutexLock();
    static auto* audio = new winos::SystemAudio();
    return {enumerator, io, watch, lock, audio};
}
} // namespace qtx::devlink
