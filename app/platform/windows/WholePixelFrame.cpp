#include "WholePixelFrame.h"

#include <cmath>

namespace qtx
{
namespace
{
    const wchar_t* const originalProcedure = L"QtxWholePixelFrame";

    double scaleOf (HWND window)
    {
        // Windows 10 1607 on; before that a window's scale never changes after its start.
        using DpiForWindow = UINT (WINAPI*) (HWND);
        static const auto dpiForWindow = reinterpret_cast<DpiForWindow> (
            reinterpret_cast<void*> (GetProcAddress (GetModuleHandleW (L"user32.dll"), "GetDpiForWindow")));
        const UINT dpi = dpiForWindow != nullptr ? dpiForWindow (window) : 0;
        return dpi > 0 ? dpi / 96.0 : 1.0;
    }

    // The frame side of `inset` device pixels made a whole number of logical pixels that is
    // itself a whole number of device pixels, at most two logical pixels narrower; the client
    // area takes what the frame gives up, so no unpainted strip appears. Unchanged where no
    // such width exists.
    int wholePixelInset (int inset, double scale)
    {
        const int logical = int (std::floor (inset / scale + 1e-9));
        for (int k = logical; k >= 0 && k >= logical - 1; --k)
        {
            const double device = k * scale;
            if (std::abs (device - std::round (device)) < 1e-6)
                return int (std::round (device));
        }
        return inset;
    }

    LRESULT CALLBACK framedProcedure (HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        const auto original = reinterpret_cast<WNDPROC> (GetPropW (window, originalProcedure));
        if (original == nullptr)
            return DefWindowProcW (window, message, wParam, lParam);
        if (message == WM_NCDESTROY)
        {
            SetWindowLongPtrW (window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR> (original));
            RemovePropW (window, originalProcedure);
            return CallWindowProcW (original, window, message, wParam, lParam);
        }
        // Only the native frame of a window with a caption: JUCE draws every other frame itself.
        const bool captioned = (GetWindowLongPtrW (window, GWL_STYLE) & WS_CAPTION) == WS_CAPTION;
        if (message != WM_NCCALCSIZE || wParam == FALSE || !captioned)
            return CallWindowProcW (original, window, message, wParam, lParam);

        auto* sizes = reinterpret_cast<NCCALCSIZE_PARAMS*> (lParam);
        const RECT outer = sizes->rgrc[0];
        const LRESULT result = CallWindowProcW (original, window, message, wParam, lParam);
        RECT& client = sizes->rgrc[0];
        const double scale = scaleOf (window);
        client.left = outer.left + wholePixelInset (int (client.left - outer.left), scale);
        client.top = outer.top + wholePixelInset (int (client.top - outer.top), scale);
        client.right = outer.right - wholePixelInset (int (outer.right - client.right), scale);
        client.bottom = outer.bottom - wholePixelInset (int (outer.bottom - client.bottom), scale);
        return result;
    }

    LRESULT CALLBACK onWindowEvent (int code, WPARAM wParam, LPARAM lParam)
    {
        if (code == HCBT_CREATEWND)
        {
            // Taken over before the window's first layout, so JUCE reads the narrowed frame
            // from the start. JUCE names its window classes "JUCE_" and a number.
            const auto window = reinterpret_cast<HWND> (wParam);
            wchar_t name[8] = {};
            if (GetClassNameW (window, name, 8) > 0 && wcsncmp (name, L"JUCE_", 5) == 0)
            {
                const auto original = GetWindowLongPtrW (window, GWLP_WNDPROC);
                SetPropW (window, originalProcedure, reinterpret_cast<HANDLE> (original));
                SetWindowLongPtrW (window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR> (framedProcedure));
            }
        }
        return CallNextHookEx (nullptr, code, wParam, lParam);
    }
} // namespace

WholePixelFrame::WholePixelFrame()
    : hook (SetWindowsHookExW (WH_CBT, onWindowEvent, nullptr, GetCurrentThreadId()))
{
}

WholePixelFrame::~WholePixelFrame()
{
    if (hook != nullptr)
        UnhookWindowsHookEx (hook);
}

} // namespace qtx
