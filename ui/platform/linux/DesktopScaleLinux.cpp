// JUCE 7.0.5 on X11 takes the scale from the XSETTINGS Gdk/WindowScalingFactor, from
// Ubuntu's or GNOME's own setting, and from the monitor's DPI only when no gsettings
// tool is installed (GNOME's "automatic" reads as 1 to it). The other ways a desktop
// asks for bigger windows are read here: GDK_SCALE, the Xft.dpi resource (KDE, Xfce,
// GNOME's text scaling, xrdb), and the monitor's DPI where no settings daemon speaks.

#include "../DesktopScale.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <X11/Xlib.h>
#include <X11/Xresource.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace qtx
{
namespace
{
    std::optional<double> positiveNumber (const char* text)
    {
        if (text == nullptr)
            return {};
        char* end = nullptr;
        const double value = std::strtod (text, &end);
        if (end == text || !std::isfinite (value) || value <= 0.0)
            return {};
        return value;
    }

    struct DesktopHints
    {
        std::optional<double> xftDpi;
        bool settingsDaemon = false;
    };

    DesktopHints readDesktopHints()
    {
        DesktopHints hints;
        Display* display = XOpenDisplay (nullptr);
        if (display == nullptr)
            return hints;

        if (const char* resources = XResourceManagerString (display))
        {
            XrmInitialize();
            if (XrmDatabase database = XrmGetStringDatabase (resources))
            {
                char* type = nullptr;
                XrmValue value{};
                if (XrmGetResource (database, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr != nullptr)
                    hints.xftDpi = positiveNumber (value.addr);
                XrmDestroyDatabase (database);
            }
        }

        char selection[32];
        std::snprintf (selection, sizeof (selection), "_XSETTINGS_S%d", DefaultScreen (display));
        hints.settingsDaemon = XGetSelectionOwner (display, XInternAtom (display, selection, False)) != None;
        XCloseDisplay (display);
        return hints;
    }
} // namespace

void applyDesktopScale()
{
    auto& desktop = juce::Desktop::getInstance();
    const auto* main = desktop.getDisplays().getPrimaryDisplay();
    if (main == nullptr)
        return;
    const double juceScale = main->scale / (double) desktop.getGlobalScaleFactor();

    const auto hints = readDesktopHints();
    double wanted = 0.0;
    if (const auto gdkScale = positiveNumber (std::getenv ("GDK_SCALE")))
        wanted = *gdkScale;
    else if (hints.xftDpi)
        wanted = std::round (*hints.xftDpi / 96.0 * 4.0) / 4.0; // quarter steps keep lines on pixels
    else if (hints.settingsDaemon || juceScale > 1.0)
        return; // JUCE has read the desktop's own setting
    else
        wanted = std::round (main->dpi / 96.0);

    // A monitor that reports a silly size must not make the window unusable.
    wanted = juce::jlimit (1.0, 4.0, wanted);
    if (std::abs (wanted - juceScale) > 0.01)
        desktop.setGlobalScaleFactor ((float) (wanted / juceScale));
}

} // namespace qtx
