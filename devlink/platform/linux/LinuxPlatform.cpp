// The Linux platform: libudev, hidraw, a udev monitor and an abstract-socket lock.
#include "AccessHint.h"
#include "HidrawIo.h"
#include "SocketLock.h"
#include "UdevEnumerator.h"
#include "UdevWatch.h"

namespace qtx::devlink
{
Platform systemPlatform()
{
    // Never destroyed: the library may still finalise from its unload hook.
    static auto* enumerator = new linuxos::UdevEnumerator();
    static auto* hint = new linuxos::AccessHint();
    static auto* io = new linuxos::HidrawIo (*enumerator, *hint);
    static auto* watch = new linuxos::UdevWatch();
    static auto* lock = new linuxos::SocketLock();
    return {enumerator, io, watch, lock};
}
} // namespace qtx::devlink
