#include "WarningSign.h"

namespace qtx
{
namespace
{
    struct Triangle
    {
        juce::Point<float> apex, left, right;
    };

    float distance (juce::Point<float> a, juce::Point<float> b)
    {
        return a.getDistanceFrom (b);
    }

    // Moves every edge inwards by `inset` by scaling about the incentre: a triangle
    // scaled by k about its incentre keeps its shape and its edges move in by
    // (1 - k) times the inradius.
    Triangle shrink (const Triangle& t, float inset)
    {
        const auto a = distance (t.left, t.right);
        const auto b = distance (t.apex, t.right);
        const auto c = distance (t.apex, t.left);
        const auto perimeter = a + b + c;
        const juce::Point<float> centre ((a * t.apex.x + b * t.left.x + c * t.right.x) / perimeter,
                                         (a * t.apex.y + b * t.left.y + c * t.right.y) / perimeter);
        const auto s = perimeter / 2.0f;
        const auto area = std::sqrt (s * (s - a) * (s - b) * (s - c));
        const auto k = 1.0f - inset / (area / s);
        auto scale = [&] (juce::Point<float> p) { return centre + (p - centre) * k; };
        return {scale (t.apex), scale (t.left), scale (t.right)};
    }

    juce::Path roundedTriangle (const Triangle& t, float cornerRadius)
    {
        juce::Path p;
        p.addTriangle (t.apex, t.left, t.right);
        return p.createPathWithRoundedCorners (cornerRadius);
    }
} // namespace

juce::Image drawWarningSign (int width, int height, int scale)
{
    juce::Image image (juce::Image::ARGB, width * scale, height * scale, true);
    juce::Graphics g (image);
    if (scale != 1)
        g.addTransform (juce::AffineTransform::scale ((float) scale));

    const auto w = (float) width;
    const auto h = (float) height;
    const Triangle outer{{w / 2.0f, 0.5f}, {0.5f, h - 0.5f}, {w - 0.5f, h - 0.5f}};

    g.setColour (juce::Colour (121, 121, 121));
    g.fillPath (roundedTriangle (outer, 5.0f));

    g.setColour (juce::Colours::black);
    g.fillPath (roundedTriangle (shrink (outer, 3.0f), 4.0f));

    g.setColour (juce::Colour (225, 208, 64));
    g.fillPath (roundedTriangle (shrink (outer, 6.0f), 3.0f));

    // Exclamation mark: a bar that narrows downwards, then a dot.
    const auto cx = w / 2.0f;
    juce::Path bar;
    bar.startNewSubPath (cx - 3.6f, h * 0.37f);
    bar.lineTo (cx + 3.6f, h * 0.37f);
    bar.lineTo (cx + 1.6f, h * 0.71f);
    bar.lineTo (cx - 1.6f, h * 0.71f);
    bar.closeSubPath();
    g.setColour (juce::Colours::black);
    g.fillPath (bar.createPathWithRoundedCorners (1.5f));
    g.fillEllipse (cx - 2.8f, h * 0.755f, 5.6f, 5.6f);

    return image;
}

} // namespace qtx
