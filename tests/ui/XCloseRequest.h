#pragma once

#include <string>

namespace qtx::test
{

// Sends the window manager's close request (WM_DELETE_WINDOW) to a window.
// Kept apart because Xlib's macros clash with other headers.
bool sendCloseRequest (const std::string& windowId);

} // namespace qtx::test
