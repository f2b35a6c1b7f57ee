// On Linux the unload hook runs outside any lock a reader needs, so it ends the library
// itself, and the code needs no extra hold.
#include "ModuleLifetime.h"

namespace qtx::devlink::module
{
void hold() {}

void release() {}

bool unloadMayWait()
{
    return true;
}
} // namespace qtx::devlink::module
