#include "AppIcon.h"

namespace qtx
{

juce::Image drawAppIcon (int size)
{
    juce::Image image (juce::Image::ARGB, size, size, true);
    juce::Graphics g (image);
    const auto s = (float) size;

    // Rim and band keep at least a pixel each, so the small sizes still show them.
    const auto line = juce::jmax (1.0f, s * 0.045f);
    const auto corner = s * 0.18f;
    auto frame = juce::Rectangle<float> (0.0f, 0.0f, s, s).reduced (s * 0.03f);

    g.setColour (juce::Colour (121, 121, 121));
    g.fillRoundedRectangle (frame, corner);
    frame = frame.reduced (line);
    g.setColour (juce::Colours::black);
    g.fillRoundedRectangle (frame, corner - line);
    frame = frame.reduced (line);
    g.setColour (juce::Colour (225, 208, 64));
    g.fillRoundedRectangle (frame, corner - 2.0f * line);

    // The arrow: a shaft and a head, then the open tray below it.
    const auto cx = s / 2.0f;
    juce::Path arrow;
    arrow.startNewSubPath (cx - s * 0.08f, s * 0.20f);
    arrow.lineTo (cx + s * 0.08f, s * 0.20f);
    arrow.lineTo (cx + s * 0.08f, s * 0.42f);
    arrow.lineTo (cx + s * 0.21f, s * 0.42f);
    arrow.lineTo (cx, s * 0.64f);
    arrow.lineTo (cx - s * 0.21f, s * 0.42f);
    arrow.lineTo (cx - s * 0.08f, s * 0.42f);
    arrow.closeSubPath();
    g.setColour (juce::Colours::black);
    g.fillPath (arrow.createPathWithRoundedCorners (s * 0.015f));

    juce::Path tray;
    tray.startNewSubPath (s * 0.25f, s * 0.60f);
    tray.lineTo (s * 0.25f, s * 0.76f);
    tray.lineTo (s * 0.75f, s * 0.76f);
    tray.lineTo (s * 0.75f, s * 0.60f);
    g.strokePath (tray, juce::PathStrokeType (juce::jmax (1.5f, s * 0.075f), juce::PathStrokeType::curved,
                                              juce::PathStrokeType::rounded));
    return image;
}

} // namespace qtx
