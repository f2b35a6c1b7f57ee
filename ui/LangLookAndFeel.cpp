#include "LangLookAndFeel.h"

#include "FontResolver.h"
#include "resources/TxtLoader.h"

namespace qtx
{

LangLookAndFeel::LangLookAndFeel()
{
    setColour (juce::PopupMenu::textColourId, juce::Colour (0xff000000));
    setColour (juce::PopupMenu::highlightedTextColourId, juce::Colour (0xffffffff));
}

juce::Font LangLookAndFeel::getComboBoxFont (juce::ComboBox& box)
{
    // The shown name uses the current language's typeface, which is the fallback then.
    return withGlyphsFor (juce::LookAndFeel_V3::getComboBoxFont (box), box.getText());
}

juce::String LangLookAndFeel::fontForLanguageName (const juce::String& text)
{
    auto* texts = TxtLoader::getInstance();
    for (int i = 0; i < 12; ++i)
        if (text.equalsIgnoreCase (texts->getLanguageName (i)))
            return texts->getFontName (i);
    return {};
}

void LangLookAndFeel::drawPopupMenuItem (juce::Graphics& g, const juce::Rectangle<int>& area,
                                         bool isSeparator, bool isActive, bool isHighlighted, bool isTicked,
                                         bool hasSubMenu, const juce::String& text,
                                         const juce::String& shortcutKeyText, const juce::Drawable* icon,
                                         const juce::Colour* textColour)
{
    const juce::Graphics::ScopedSaveState saved (g);
    g.setOrigin (area.getPosition());
    const int width = area.getWidth();
    const int height = area.getHeight();
    const float w = (float) width;
    const float halfH = (float) height * 0.5f;

    if (isSeparator)
    {
        g.setColour (juce::Colour (0x33000000));
        g.drawLine (5.5f, halfH, w - 5.5f, halfH);
        g.setColour (juce::Colour (0x66ffffff));
        g.drawLine (5.5f, halfH + 1.0f, w - 5.5f, halfH + 1.0f);
        return;
    }

    auto colour = findColour (juce::PopupMenu::textColourId);
    if (textColour != nullptr)
        colour = *textColour;
    if (isHighlighted)
    {
        g.setColour (juce::Colour (0xff000040));
        g.fillRect (1, 1, width - 2, height - 2);
        g.setColour (findColour (juce::PopupMenu::highlightedTextColourId));
    }
    else
        g.setColour (colour);
    if (!isActive)
        g.setOpacity (0.3f);

    const auto previousFallback = juce::Font::getFallbackFontName();
    if (const auto font = fontForLanguageName (text); font.isNotEmpty())
        setFallbackFont (font);

    auto font = getPopupMenuFont();
    if (font.getHeight() > (float) height / 1.3f)
        font.setHeight ((float) height / 1.3f);
    font = withGlyphsFor (font, text);
    g.setFont (font);

    const int leftBorder = (height * 5) / 4;
    const int rightBorder = 4;

    if (icon != nullptr)
        icon->drawWithin (
            g, juce::Rectangle<float> (2.0f, 1.0f, (float) leftBorder - 4.0f, (float) height - 2.0f),
            juce::RectanglePlacement::centred | juce::RectanglePlacement::onlyReduceInSize, 1.0f);
    else if (isTicked)
    {
        const auto ascent = font.getAscent();
        const auto tick = getTickShape (1.0f);
        g.fillPath (tick, tick.getTransformToScaleToFit (2.0f, halfH - ascent / 2.0f,
                                                         (float) leftBorder - 4.0f, ascent, true));
    }

    g.drawFittedText (text, leftBorder, 0, width - (leftBorder + rightBorder), height,
                      juce::Justification::centredLeft, 1, 0.7f);

    if (shortcutKeyText.isNotEmpty())
    {
        auto small = font.withHeight (font.getHeight() * 0.75f);
        small.setHorizontalScale (0.95f);
        g.setFont (small);
        g.drawText (shortcutKeyText, leftBorder, 0, width - (leftBorder + rightBorder + 4), height,
                    juce::Justification::centredRight, true);
    }

    if (hasSubMenu)
    {
        const float arrowH = 0.6f * getPopupMenuFont().getAscent();
        const float x = w - (float) height * 0.6f;
        juce::Path arrow;
        arrow.addTriangle (x, halfH - arrowH / 2.0f, x, halfH + arrowH / 2.0f, x + arrowH * 0.6f, halfH);
        g.fillPath (arrow);
    }

    juce::Font::setFallbackFontName (previousFallback);
}

} // namespace qtx
