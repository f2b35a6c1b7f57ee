#pragma once

// JUCE keeps a native window's frame in whole logical pixels, rounded from the system's
// device pixels, and sizes the window by that rounded frame. Where the frame is no whole
// number of logical pixels (3 device pixels at 200% under wine, many frames at 150%), the
// client area comes out a pixel or two larger than the content, and a strip of the
// window's background shows at its right and bottom. This narrows each side of the frame
// to whole logical pixels as the system lays a JUCE window out, so the client area is
// exactly the content's size at the window's scale.

#include <windows.h>

namespace qtx
{

class WholePixelFrame
{
public:
    // Watches the windows this thread creates from now on (the message thread's).
    WholePixelFrame();
    ~WholePixelFrame();

private:
    HHOOK hook = nullptr;

    WholePixelFrame (const WholePixelFrame&) = delete;
    WholePixelFrame& operator= (const WholePixelFrame&) = delete;
};

} // namespace qtx
