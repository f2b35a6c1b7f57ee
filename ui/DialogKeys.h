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

    // After the screen has shown, hidden or placed its buttons. On a new page (a
    // different value than last time) the focus goes to the button the user last
    // tabbed to, when that one is shown, else to the right-hand one: a page that
    // comes and goes by itself (a controller unplugged and plugged back) must not
    // move Return from "Close" to "Start".
    void buttonsChanged (int page);

    // Before a button acts (click or key): the page it leads to starts on its
    // right-hand button, whatever the focus was on the page the user left.
    void buttonPressed();

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
    AlineButton* chosen = nullptr; // by Tab, until a button is pressed
    int currentPage = -1;
    bool keyUsed = false;
    bool pressHeld = false;

    JUCE_DECLARE_NON_COPYABLE (DialogKeys)
};

} // namespace qtx
