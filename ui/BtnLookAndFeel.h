#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace qtx
{

// Flat button face with a light top-left and a dark bottom-right edge.
class BtnLookAndFeel : public juce::LookAndFeel_V4
{
public:
    ~BtnLookAndFeel() override = default;

    void drawButtonBackground (juce::Graphics&, juce::Button&, const juce::Colour& backgroundColour,
                               bool isMouseOverButton, bool isButtonDown) override;

    // A dotted rectangle inside the bevel, around the caption: the keyboard focus.
    void drawFocusMark (juce::Graphics&, juce::Button&);
};

// The bevelled shape: filled outline, then the light and the dark edge (swapped
// when pressed). Corners whose sides are both not flat are rounded by cornerSize,
// or by half the shorter side when cornerSize is negative.
void drawBevelledShape (juce::Graphics&, float x, float y, float w, float h, juce::Colour colour,
                        float thickness, float cornerSize, bool flatOnLeft, bool flatOnRight, bool flatOnTop,
                        bool flatOnBottom, bool pressed);

} // namespace qtx
