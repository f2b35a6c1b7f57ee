#pragma once

namespace qtx
{

// A held key repeats its presses. X11 also sends a release before each repeat, so
// a held Return would read as many separate presses and run on through the next
// screens; this asks the window system to send the repeats without those releases.
// Call on the message thread once the first window exists. Elsewhere nothing to do.
void reportHeldKeysAsHeld();

} // namespace qtx
