#pragma once

#include "BtnLookAndFeel.h"

#include <juce_gui_basics/juce_gui_basics.h>

namespace qtx
{

// Flat bevelled push button with a dark centred caption in a font of its own.
class AlineButton : public juce::Button
{
public:
    explicit AlineButton (const juce::String& buttonName);
    ~AlineButton() override;

    // Repaints only when the caption is unchanged.
    void setText (const juce::String& text);
    void setFontName (const juce::String& name) { fontName = name; }
    void setFontStyle (int styleFlags) { fontStyle = styleFlags; }

    // The keyboard focus mark, drawn by the look; the screen shows it once a key has been used.
    void setFocusMarkShown (bool shown);
    bool isFocusMarkShown() const { return focusMarkShown; }

    const juce::String& getFontName() const { return fontName; }
    int getFontStyle() const { return fontStyle; }

    // The caption's font for the button's current height.
    juce::Font getCaptionFont() const;

    void paintButton (juce::Graphics&, bool isMouseOverButton, bool isButtonDown) override;

private:
    BtnLookAndFeel* look;
    int textJustification = juce::Justification::centred;
    juce::String fontName{"<Sans-Serif>"};
    int fontStyle = 0;
    bool focusMarkShown = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AlineButton)
};

} // namespace qtx
