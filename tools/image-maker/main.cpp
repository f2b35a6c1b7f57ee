// qtx-image-maker OUTPUT.png              the warning sign at its embedded size
// qtx-image-maker --scale N OUTPUT.png    the warning sign with N pixels per pixel (2: for 200 %)
// qtx-image-maker --icon SIZE OUTPUT.png  the desktop icon, SIZE x SIZE pixels

#include "AppIcon.h"
#include "WarningSign.h"

#include <juce_events/juce_events.h>

#include <cstdio>
#include <cstdlib>

namespace
{
bool writePng (const juce::Image& image, const char* path)
{
    const juce::File out (
        juce::File::getCurrentWorkingDirectory().getChildFile (juce::String::fromUTF8 (path)));
    out.deleteFile();
    juce::FileOutputStream stream (out);
    juce::PNGImageFormat png;
    if (stream.failedToOpen() || !png.writeImageToStream (image, stream))
    {
        std::fprintf (stderr, "qtx-image-maker: cannot write %s\n", path);
        return false;
    }
    return true;
}
} // namespace

int main (int argc, char** argv)
{
    const bool icon = argc == 4 && juce::String (argv[1]) == "--icon";
    const bool scaled = argc == 4 && juce::String (argv[1]) == "--scale";
    const int size = icon ? std::atoi (argv[2]) : 0;
    const int scale = scaled ? std::atoi (argv[2]) : 1;
    if (!(argc == 2 || (icon && size >= 16 && size <= 1024) || (scaled && scale >= 1 && scale <= 8)))
    {
        std::fprintf (stderr, "usage: qtx-image-maker [--scale N] OUTPUT.png | --icon SIZE OUTPUT.png"
                              "  (N 1 to 8, SIZE 16 to 1024)\n");
        return 2;
    }

    const juce::ScopedJuceInitialiser_GUI juce;
    const bool written = icon ? writePng (qtx::drawAppIcon (size), argv[3])
                              : writePng (qtx::drawWarningSign (56, 55, scale), argv[argc - 1]);
    return written ? 0 : 1;
}
