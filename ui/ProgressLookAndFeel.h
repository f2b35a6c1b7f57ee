#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace qtx
{

// Grey vertical-gradient bar on the bar's background colour, white centred text.
class ProgressLookAndFeel : public juce::LookAndFeel_V4
{
public:
    ~ProgressLookAndFeel() override = default;

    void drawProgressBar (juce::Graphics&, juce::ProgressBar&, int width, int height, double progress,
                          const juce::String& textToShow) override;
};

} // namespace qtx
