#include "VirtualHid.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define QTX_VHID_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QTX_VHID_ASAN 1
#endif
#endif

namespace qtx::vhid
{
bool preloadActive()
{
    const char* preload = std::getenv ("LD_PRELOAD");
    return preload != nullptr && std::strstr (preload, "libumockdev-preload") != nullptr;
}

void runUnderPreload (int, char** argv)
{
    if (preloadActive())
        return;
    if (std::getenv ("QTX_VHID_REEXEC") != nullptr)
    {
        std::fprintf (stderr, "vhid: libumockdev-preload.so.0 could not be loaded\n");
        return;
    }
    std::string preload;
#ifdef QTX_VHID_ASAN
    // ASan insists on coming first; this keeps it first without a warning.
    const char* asan = std::getenv ("ASAN_OPTIONS");
    std::string options = asan ? std::string (asan) + ":" : std::string();
    ::setenv ("ASAN_OPTIONS", (options + "verify_asan_link_order=0").c_str(), 1);
#endif
    preload = "libumockdev-preload.so.0";
    if (const char* old = std::getenv ("LD_PRELOAD"); old != nullptr && *old != 0)
        preload += std::string (":") + old;
    ::setenv ("LD_PRELOAD", preload.c_str(), 1);
    ::setenv ("QTX_VHID_REEXEC", "1", 1);
    ::execv ("/proc/self/exe", argv);
    std::perror ("vhid: re-exec under libumockdev-preload failed");
}
} // namespace qtx::vhid
