// Windows repeats a held key's WM_KEYDOWN without a WM_KEYUP between.

#include "../HeldKeys.h"

namespace qtx
{

void reportHeldKeysAsHeld() {}

} // namespace qtx
