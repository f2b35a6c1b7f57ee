#include "DialogKeys.h"

#include <algorithm>

namespace qtx
{
namespace
{
    // towlower, under JUCE's toLowerCase, knows only ASCII in the "C" locale that the
    // program runs in; the names' other cased first letters are Cyrillic.
    juce::juce_wchar folded (juce::juce_wchar c)
    {
        if (c >= 0x410 && c <= 0x42F)
            return c + 0x20;
        if (c >= 0x400 && c <= 0x40F)
            return c + 0x50;
        return juce::CharacterFunctions::toLowerCase (c);
    }
} // namespace

DialogKeys::DialogKeys (std::vector<AlineButton*> dialogButtons, juce::ComboBox& dialogList, Press onPress)
    : buttons (std::move (dialogButtons))
    , list (dialogList)
    , press (std::move (onPress))
{
}

std::vector<AlineButton*> DialogKeys::shownButtons() const
{
    std::vector<AlineButton*> shown;
    for (auto* button : buttons)
        if (button->isVisible())
            shown.push_back (button);
    std::sort (shown.begin(), shown.end(), [] (auto* a, auto* b) { return a->getX() < b->getX(); });
    return shown;
}

void DialogKeys::focusOn (AlineButton* button)
{
    focused = button;
    for (auto* b : buttons)
        b->setFocusMarkShown (keyUsed && b == focused);
}

void DialogKeys::buttonsChanged (int page)
{
    const auto shown = shownButtons();
    const bool focusShown = std::find (shown.begin(), shown.end(), focused) != shown.end();
    if (page != currentPage || !focusShown)
    {
        const bool chosenShown = std::find (shown.begin(), shown.end(), chosen) != shown.end();
        focusOn (chosenShown ? chosen : shown.empty() ? nullptr : shown.back());
    }
    currentPage = page;
}

void DialogKeys::buttonPressed()
{
    chosen = nullptr;
}

void DialogKeys::moveFocus (int step)
{
    const auto shown = shownButtons();
    if (shown.empty())
        return;
    const auto at = std::find (shown.begin(), shown.end(), focused);
    const int count = (int) shown.size();
    const int index = at == shown.end() ? count - 1 : (int) (at - shown.begin());
    chosen = shown[(size_t) ((index + step + count) % count)];
    focusOn (chosen);
}

void DialogKeys::pressOnce (AlineButton* button)
{
    // Auto-repeat of a held key must not press on into the next screen's button.
    if (button == nullptr || pressHeld)
        return;
    pressHeld = true;
    press (*button);
}

bool DialogKeys::keyPressed (const juce::KeyPress& key)
{
    keyUsed = true;
    focusOn (focused);

    const auto shown = shownButtons();
    if (key == juce::KeyPress::returnKey || key == juce::KeyPress::spaceKey)
        pressOnce (focused != nullptr && focused->isVisible() ? focused : nullptr);
    else if (key == juce::KeyPress::escapeKey)
        pressOnce (shown.size() == 2 ? shown.front() : nullptr);
    else if (key.isKeyCode (juce::KeyPress::tabKey))
        moveFocus (key.getModifiers().isShiftDown() ? -1 : 1);
    else
        return chooseInList (key);
    return true;
}

void DialogKeys::keyStateChanged (bool isKeyDown)
{
    if (!isKeyDown)
        pressHeld = false;
}

bool DialogKeys::chooseInList (const juce::KeyPress& key)
{
    const int count = list.getNumItems();
    if (!list.isVisible() || count == 0)
        return false;

    const int current = list.getSelectedItemIndex();
    int next = -1;
    if (key == juce::KeyPress::upKey)
        next = juce::jmax (0, current - 1);
    else if (key == juce::KeyPress::downKey)
        next = juce::jmin (count - 1, current + 1);
    else if (key == juce::KeyPress::homeKey)
        next = 0;
    else if (key == juce::KeyPress::endKey)
        next = count - 1;
    else if (const auto typed = folded (key.getTextCharacter());
             typed > ' ' && !key.getModifiers().isCtrlDown() && !key.getModifiers().isAltDown())
    {
        // The next name after the current one that starts with the letter, round the list.
        for (int step = 1; step <= count && next < 0; ++step)
        {
            const int index = (current + step) % count;
            if (folded (list.getItemText (index)[0]) == typed)
                next = index;
        }
    }
    else
        return false;

    if (next >= 0 && next != current)
        list.setSelectedItemIndex (next, juce::sendNotificationSync);
    return true;
}

} // namespace qtx
