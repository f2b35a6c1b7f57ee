#include "BtnLookAndFeel.h"

namespace qtx
{
namespace
{
    constexpr float halfPi = juce::MathConstants<float>::halfPi;
    constexpr float pi = juce::MathConstants<float>::pi;
} // namespace

void drawBevelledShape (juce::Graphics& g, float x, float y, float w, float h, juce::Colour colour,
                        float thickness, float cornerSize, bool flatOnLeft, bool flatOnRight, bool flatOnTop,
                        bool flatOnBottom, bool pressed)
{
    if (thickness >= w || thickness >= h)
        return;

    const float cs = cornerSize >= 0.0f ? cornerSize : juce::jmin (w / 2.0f, h / 2.0f);
    const bool roundTL = !(flatOnLeft || flatOnTop);
    const bool roundTR = !(flatOnRight || flatOnTop);
    const bool roundBL = !(flatOnLeft || flatOnBottom);
    const bool roundBR = !(flatOnRight || flatOnBottom);
    const float r = x + w, b = y + h;

    // JUCE measures arc angles clockwise from twelve o'clock.
    juce::Path outline;
    if (roundTL)
    {
        outline.startNewSubPath (x, y + cs);
        outline.addCentredArc (x + cs, y + cs, cs, cs, 0.0f, -halfPi, 0.0f);
    }
    else
        outline.startNewSubPath (x, y);
    if (roundTR)
    {
        outline.lineTo (r - cs, y);
        outline.addCentredArc (r - cs, y + cs, cs, cs, 0.0f, 0.0f, halfPi);
    }
    else
        outline.lineTo (r, y);
    if (roundBR)
    {
        outline.lineTo (r, b - cs);
        outline.addCentredArc (r - cs, b - cs, cs, cs, 0.0f, halfPi, pi);
    }
    else
        outline.lineTo (r, b);
    if (roundBL)
    {
        outline.lineTo (x + cs, b);
        outline.addCentredArc (x + cs, b - cs, cs, cs, 0.0f, pi, pi + halfPi);
    }
    else
        outline.lineTo (x, b);
    outline.closeSubPath();
    g.setColour (colour);
    g.fillPath (outline);

    juce::Path light;
    if (roundBL)
    {
        light.startNewSubPath (x + cs, b);
        light.addCentredArc (x + cs, b - cs, cs, cs, 0.0f, pi, pi + halfPi);
    }
    else
        light.startNewSubPath (x, b);
    if (roundTL)
    {
        light.lineTo (x, y + cs);
        light.addCentredArc (x + cs, y + cs, cs, cs, 0.0f, -halfPi, 0.0f);
    }
    else
        light.lineTo (x, y);
    light.lineTo (roundTR ? r - cs : r, y);

    juce::Path dark;
    if (roundTR)
    {
        dark.startNewSubPath (r - cs, y);
        dark.addCentredArc (r - cs, y + cs, cs, cs, 0.0f, 0.0f, halfPi);
    }
    else
        dark.startNewSubPath (r, y);
    if (roundBR)
    {
        dark.lineTo (r, b - cs);
        dark.addCentredArc (r - cs, b - cs, cs, cs, 0.0f, halfPi, pi);
    }
    else
        dark.lineTo (r, b);
    dark.lineTo (roundBL ? x + cs : x, b);

    const juce::PathStrokeType stroke (thickness, juce::PathStrokeType::mitered, juce::PathStrokeType::butt);
    g.setColour (pressed ? juce::Colours::black : juce::Colours::white);
    g.strokePath (light, stroke);
    g.setColour (pressed ? juce::Colours::white : juce::Colours::black);
    g.strokePath (dark, stroke);
}

void BtnLookAndFeel::drawButtonBackground (juce::Graphics& g, juce::Button& button,
                                           const juce::Colour& backgroundColour, bool, bool isButtonDown)
{
    auto indent = [] (bool connected) { return connected ? 0.1f : 1.25f; };
    const float left = indent (button.isConnectedOnLeft());
    const float right = indent (button.isConnectedOnRight());
    const float top = indent (button.isConnectedOnTop());
    const float bottom = indent (button.isConnectedOnBottom());

    drawBevelledShape (g, left, top, (float) button.getWidth() - left - right,
                       (float) button.getHeight() - top - bottom, backgroundColour, 2.5f, -1.0f,
                       button.isConnectedOnLeft(), button.isConnectedOnRight(), button.isConnectedOnTop(),
                       button.isConnectedOnBottom(), isButtonDown);
}

void BtnLookAndFeel::drawFocusMark (juce::Graphics& g, juce::Button& button)
{
    // Whole-pixel dots on every other pixel, 3 in from the edges: crisp at any whole scale.
    const int right = button.getWidth() - 5;
    const int bottom = button.getHeight() - 5;
    juce::RectangleList<int> dots;
    for (int x = 3; x <= right; x += 2)
    {
        dots.addWithoutMerging ({x, 3, 1, 1});
        dots.addWithoutMerging ({x, bottom, 1, 1});
    }
    for (int y = 5; y < bottom; y += 2)
    {
        dots.addWithoutMerging ({3, y, 1, 1});
        dots.addWithoutMerging ({right, y, 1, 1});
    }
    g.setColour (juce::Colour (0xff101010));
    g.fillRectList (dots);
}

} // namespace qtx
