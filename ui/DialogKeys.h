#pragma once

// The keyboard on a screen of up to two push buttons and a list, as in any dialog.
// Return and Space press the focused button, which is the right-hand one until Tab
// or Shift+Tab moves the focus; Escape presses the left-hand one when two are
// shown; Up, Down, Home, End and a name's first letter choose in the list while it
// is shown. The focus mark appears once a key has been used, so a mouse user
// never sees it. The list and the buttons never take the keyboard focus: the
// screen does, and passes its keys here.

#include "AlineButton.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <vector>

namespace qtx
{

class DialogKeys
{
public:
    using Press = std::function<void (juce::Button&)>;

    DialogKeys (std::vector<AlineButton*> buttons, juce::ComboBox& list, Press press);

    // After the screen has shown, hidden or placed its buttons. A new page (a
    // different value than last time) puts the focus back on the right-hand button.
    void buttonsChanged (int page);

    // The screen's keyPressed: true when the key was one of ours.
    bool keyPressed (const juce::KeyPress&);

    // The screen's keyStateChanged: a held key presses once, until it is let go.
    void keyStateChanged (bool isKeyDown);

private:
    std::vector<AlineButton*> shownButtons() const;
    void focusOn (AlineButton*);
    void moveFocus (int step);
    void pressOnce (AlineButton*);
    bool chooseInList (const juce::KeyPress&);

    std::vector<AlineButton*> buttons;
    juce::ComboBox& list;
    Press press;

    AlineButton* focused = nullptr;
    int currentPage = -1;
    bool keyUsed = false;
    bool pressHeld = false;

    JUCE_DECLARE_NON_COPYABLE (DialogKeys)
};

} // namespace qtx
