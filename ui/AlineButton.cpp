#include "AlineButton.h"

#include "FontResolver.h"

namespace qtx
{

AlineButton::AlineButton (const juce::String& buttonName)
    : juce::Button (buttonName)
    , look (new BtnLookAndFeel())
{
    setLookAndFeel (look);
    setColour (juce::TextButton::buttonColourId, juce::Colour (0xff000000));
    setColour (juce::TextButton::buttonOnColourId, juce::Colour (0xff000000));
    // Connected on every edge: square corners.
    setConnectedEdges (ConnectedOnLeft | ConnectedOnRight | ConnectedOnTop | ConnectedOnBottom);
    // The screen that holds the button handles the keys and says where the focus is.
    setWantsKeyboardFocus (false);
}

AlineButton::~AlineButton()
{
    setLookAndFeel (nullptr);
    delete look;
}

void AlineButton::setText (const juce::String& text)
{
    if (text == getButtonText())
        repaint();
    else
        setButtonText (text);
}

void AlineButton::setFocusMarkShown (bool shown)
{
    if (shown != focusMarkShown)
    {
        focusMarkShown = shown;
        repaint();
    }
}

juce::Font AlineButton::getCaptionFont() const
{
    return makeFont (fontName, juce::jmin (13.0f, 0.8f * (float) getHeight()), fontStyle);
}

void AlineButton::paintButton (juce::Graphics& g, bool isMouseOverButton, bool isButtonDown)
{
    const auto colour =
        findColour (getToggleState() ? juce::TextButton::buttonOnColourId : juce::TextButton::buttonColourId);
    getLookAndFeel().drawButtonBackground (g, *this, colour, isMouseOverButton, isButtonDown);

    g.setFont (getCaptionFont());
    g.setColour (juce::Colour (0xff101010));
    const int offset = isButtonDown ? 5 : 4;
    g.drawFittedText (getButtonText(), offset, offset, getWidth() - 8, getHeight() - 8,
                      juce::Justification (textJustification), 1, 0.7f);

    if (focusMarkShown)
        look->drawFocusMark (g, *this);
}

} // namespace qtx
