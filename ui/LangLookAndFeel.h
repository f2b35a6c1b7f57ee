#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace qtx
{

// Language list entries: each language name is drawn with that language's font
// as the fallback typeface, so every name shows in its own script.
class LangLookAndFeel : public juce::LookAndFeel_V4
{
public:
    LangLookAndFeel();
    ~LangLookAndFeel() override = default;

    void drawPopupMenuItem (juce::Graphics&, const juce::Rectangle<int>& area, bool isSeparator,
                            bool isActive, bool isHighlighted, bool isTicked, bool hasSubMenu,
                            const juce::String& text, const juce::String& shortcutKeyText,
                            const juce::Drawable* icon, const juce::Colour* textColour) override;

    // The table font of the language whose name is `text` (case ignored); empty for none.
    static juce::String fontForLanguageName (const juce::String& text);
};

} // namespace qtx
