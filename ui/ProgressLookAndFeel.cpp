#include "ProgressLookAndFeel.h"

namespace qtx
{

void ProgressLookAndFeel::drawProgressBar (juce::Graphics& g, juce::ProgressBar& bar, int width, int height,
                                           double progress, const juce::String& textToShow)
{
    const auto w = (float) width;
    const auto h = (float) height;
    g.fillAll (bar.findColour (juce::ProgressBar::backgroundColourId));

    juce::ColourGradient gradient (juce::Colour (0xffa7a7a7), 2.0f, 2.0f, juce::Colour (0xff6c6c6c), 2.0f,
                                   h - 4.0f, false);
    gradient.addColour (0.5, juce::Colour (0xff646464));
    g.setGradientFill (gradient);
    // Also catches values outside 0..1 (and NaN) before they reach the fill width.
    const auto fraction = progress > 0.0 ? juce::jmin (progress, 1.0) : 0.0;
    g.fillRect (2.0f, 2.0f, (w - 4.0f) * (float) fraction, h - 4.0f);

    if (textToShow.isNotEmpty())
    {
        g.setColour (juce::Colours::white);
        g.setFont (juce::Font (0.8f * h, juce::Font::plain));
        g.drawText (textToShow, 0, 0, width, height, juce::Justification::centred, false);
    }
}

} // namespace qtx
