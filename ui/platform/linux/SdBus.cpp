#include "SdBus.h"

#include <dlfcn.h>

namespace qtx::sdbus
{
namespace
{
    template <typename Function>
    bool resolve (void* library, const char* name, Function& function)
    {
        function = reinterpret_cast<Function> (dlsym (library, name));
        return function != nullptr;
    }

    const Functions* loadOnce()
    {
        // Never unloaded: the table lives as long as the process.
        void* library = dlopen ("libsystemd.so.0", RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr)
            return nullptr;
        static Functions f;
        const bool all = resolve (library, "sd_bus_open_system", f.openSystem) &&
                         resolve (library, "sd_bus_new", f.create) &&
                         resolve (library, "sd_bus_set_address", f.setAddress) &&
                         resolve (library, "sd_bus_set_bus_client", f.setBusClient) &&
                         resolve (library, "sd_bus_start", f.start) &&
                         resolve (library, "sd_bus_close_unref", f.closeUnref) &&
                         resolve (library, "sd_bus_set_method_call_timeout", f.setMethodCallTimeout) &&
                         resolve (library, "sd_bus_call_method_async", f.callMethodAsync) &&
                         resolve (library, "sd_bus_process", f.process) &&
                         resolve (library, "sd_bus_get_fd", f.getFd) &&
                         resolve (library, "sd_bus_get_events", f.getEvents) &&
                         resolve (library, "sd_bus_get_timeout", f.getTimeout) &&
                         resolve (library, "sd_bus_slot_unref", f.slotUnref) &&
                         resolve (library, "sd_bus_message_is_method_error", f.messageIsMethodError) &&
                         resolve (library, "sd_bus_message_read_basic", f.messageReadBasic);
        return all ? &f : nullptr;
    }
} // namespace

const Functions* load()
{
    static const Functions* const functions = loadOnce();
    return functions;
}

} // namespace qtx::sdbus
