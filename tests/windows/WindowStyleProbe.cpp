// window_style_probe: how the system itself sees the program's window, whatever a window
// manager draws around it. Fails unless the window has a caption but no system menu (so no
// close box), no minimise or maximise box and no sizing frame, stays on top, shows on the
// taskbar and has a client area of 426 x 176 logical pixels in device pixels. Prints where the
// client area lies inside the window ("X Y"), for clicks at client coordinates.
//   window_style_probe [--close] [--dpi N]   --close: also asks the window to close, as the
//   taskbar does; --dpi: the screen's DPI (default 96), 192 for 200%

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{
BOOL CALLBACK pickProgramWindow (HWND window, LPARAM found)
{
    char name[64] = {};
    // JUCE names its top-level window classes "JUCE_" and a number.
    if (!IsWindowVisible (window) || GetClassNameA (window, name, sizeof name) == 0 ||
        std::strncmp (name, "JUCE_", 5) != 0)
        return TRUE;
    *reinterpret_cast<HWND*> (found) = window;
    return FALSE;
}
} // namespace

int main (int argc, char** argv)
{
    bool close = false;
    int dpi = 96;
    for (int k = 1; k < argc; ++k)
    {
        if (std::strcmp (argv[k], "--close") == 0)
            close = true;
        else if (std::strcmp (argv[k], "--dpi") == 0 && k + 1 < argc)
            dpi = std::atoi (argv[++k]);
    }
    // Device pixels, as the program sees them: a probe the system scales would be told
    // scaled sizes of the program's window.
    using SetAwareness = BOOL (WINAPI*) (HANDLE);
    if (const auto set = reinterpret_cast<SetAwareness> (reinterpret_cast<void*> (
            GetProcAddress (GetModuleHandleW (L"user32.dll"), "SetProcessDpiAwarenessContext"))))
        set (reinterpret_cast<HANDLE> (-4)); // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2

    HWND window = nullptr;
    EnumWindows (pickProgramWindow, reinterpret_cast<LPARAM> (&window));
    if (window == nullptr)
    {
        std::fprintf (stderr, "no visible window of the program\n");
        return 2;
    }
    const auto style = DWORD (GetWindowLongPtrA (window, GWL_STYLE));
    const auto extended = DWORD (GetWindowLongPtrA (window, GWL_EXSTYLE));
    RECT frame{}, client{};
    GetWindowRect (window, &frame);
    GetClientRect (window, &client);
    POINT origin{0, 0};
    ClientToScreen (window, &origin);

    const struct
    {
        const char* rule;
        bool holds;
    } rules[] = {
        {"must have a caption", (style & WS_CAPTION) == WS_CAPTION},
        {"must have no system menu, so no close box", (style & WS_SYSMENU) == 0},
        {"must have no minimise box", (style & WS_MINIMIZEBOX) == 0},
        {"must have no maximise box", (style & WS_MAXIMIZEBOX) == 0},
        {"must have no sizing frame", (style & WS_THICKFRAME) == 0},
        {"must stay on top", (extended & WS_EX_TOPMOST) != 0},
        {"must show on the taskbar", (extended & WS_EX_APPWINDOW) != 0},
        {"must have a client area of 426 x 176 logical pixels",
         client.right == 426 * dpi / 96 && client.bottom == 176 * dpi / 96},
    };
    std::fprintf (stderr, "style %08lx, extended style %08lx, client area %ld x %ld\n", style, extended,
                  client.right, client.bottom);
    int broken = 0;
    for (const auto& r : rules)
        if (!r.holds)
        {
            std::fprintf (stderr, "FAIL: the window %s\n", r.rule);
            ++broken;
        }
    std::printf ("%ld %ld\n", origin.x - frame.left, origin.y - frame.top);
    if (close)
        PostMessageA (window, WM_CLOSE, 0, 0);
    return broken == 0 ? 0 : 1;
}
