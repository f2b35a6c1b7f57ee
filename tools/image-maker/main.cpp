// qtx-image-maker OUTPUT.png: renders the warning sign at its embedded size.

#include "WarningSign.h"

#include <juce_events/juce_events.h>

#include <cstdio>

int main (int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf (stderr, "usage: qtx-image-maker OUTPUT.png\n");
        return 2;
    }

    const juce::ScopedJuceInitialiser_GUI juce;
    const auto image = qtx::drawWarningSign (56, 55);

    const juce::File out (
        juce::File::getCurrentWorkingDirectory().getChildFile (juce::String::fromUTF8 (argv[1])));
    out.deleteFile();
    juce::FileOutputStream stream (out);
    juce::PNGImageFormat png;
    if (stream.failedToOpen() || !png.writeImageToStream (image, stream))
    {
        std::fprintf (stderr, "qtx-image-maker: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
