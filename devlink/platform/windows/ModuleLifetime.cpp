// Windows runs a DLL's unload hook inside DllMain, under the loader lock, and every thread
// that ends takes that lock too: waiting there for the readers or the device-change window
// can deadlock. So the hook never ends the library. Instead the library holds a reference to
// its own module from its first thread until HID_Finalize: a client that unloads it without
// finalising leaves it mapped and running (its threads never run code that is gone), and
// at process exit the system ends the threads and frees the lock by itself.
#include "ModuleLifetime.h"

#include <windows.h>

#include <atomic>

namespace qtx::devlink::module
{
namespace
{
    // The exports are called from one thread; atomic only so a stray second caller cannot
    // take two references.
    std::atomic<HMODULE> held{nullptr};

    void anchor() {}
} // namespace

void hold()
{
    if (held.load() != nullptr)
        return;
    HMODULE self = nullptr;
    // Without the unchanged-count flag this counts as one more load of the module.
    if (GetModuleHandleExW (GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR> (&anchor),
                            &self))
    {
        HMODULE none = nullptr;
        if (!held.compare_exchange_strong (none, self))
            FreeLibrary (self);
    }
}

void release()
{
    if (HMODULE self = held.exchange (nullptr))
        FreeLibrary (self);
}

bool unloadMayWait()
{
    return false;
}
} // namespace qtx::devlink::module
