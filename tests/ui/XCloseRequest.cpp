#include "XCloseRequest.h"

#include <X11/Xlib.h>

namespace qtx::test
{

bool sendCloseRequest (const std::string& windowId)
{
    Display* display = XOpenDisplay (nullptr);
    if (display == nullptr)
        return false;
    const auto window = (Window) std::stoul (windowId);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom (display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long) XInternAtom (display, "WM_DELETE_WINDOW", False);
    event.xclient.data.l[1] = CurrentTime;
    const bool sent = XSendEvent (display, window, False, NoEventMask, &event) != 0;
    XFlush (display);
    XCloseDisplay (display);
    return sent;
}

} // namespace qtx::test
