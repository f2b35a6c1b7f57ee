// How long the library's own code stays in the process, and what its unload may do. Each
// platform folder defines these.
#pragma once

namespace qtx::devlink::module
{
// Called before the library starts threads of its own: their code must stay mapped even if
// the client unloads the library without HID_Finalize.
void hold();
// Called by HID_Finalize once no thread of the library runs; from the client's thread, which
// still holds the library itself, so this never unmaps the code it returns to.
void release();
// Whether the unload hook may end the library (and so wait for its threads). Not where the
// hook runs under the system's loader lock: a thread that ends needs that lock too.
bool unloadMayWait();
} // namespace qtx::devlink::module
