// Windows gives JUCE each monitor's DPI itself; there is nothing to add.

#include "../DesktopScale.h"

namespace qtx
{

void applyDesktopScale() {}

} // namespace qtx
