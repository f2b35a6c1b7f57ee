#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace qtx
{

// Language list entries: each language name is drawn with that language's font
// as the fallback typeface, so every name shows in its own script. Built on
// JUCE's light classic look: the black entry text is unreadable on the dark default.
class LangLookAndFeel : public juce::LookAndFeel_V3
{
public:
    LangLookAndFeel();
    ~LangLookAndFeel() override = default;

    void drawPopupMenuItem (juce::Graphics&, const juce::Rectangle<int>& area, bool isSeparator,
                            bool isActive, bool isHighlighted, bool isTicked, bool hasSubMenu,
                            const juce::String& text, const juce::String& shortcutKeyText,
                            const juce::Drawable* icon, const juce::Colour* textColour) override;

    juce::Font getComboBoxFont (juce::ComboBox&) override;

    // The table font of the language whose name is `text` (case ignored); empty for none.
    static juce::String fontForLanguageName (const juce::String& text);
};

} // namespace qtx
