// The main screen in a real window at its real size: children, captions, texts
// and line positions in every state, and the state rules.

#include "ScreenFixture.h"

namespace qtx::test
{
namespace
{
    using R = juce::Rectangle<int>;

    const R rightButton{306, 136, 100, 20};
    const R leftButton{196, 136, 100, 20};

    struct StateCase
    {
        int state;
        bool usable;
        bool list, bar;
        const char* ok;     // nullptr: hidden
        const char* cancel; // nullptr: hidden
        R cancelBounds;
        const char* text;
        bool warning;
        std::set<int> lineLefts; // where the text boxes start
    };

    class MainScreen : public ScreenFixture
    {
    };

    TEST_F (MainScreen, EveryStateShowsItsChildrenCaptionsAndTexts)
    {
        // clang-format off
        const StateCase cases[] = {
            {SelectLanguage, true,  true,  false, "OK",    "Cancel", leftButton,  "Language Selections", false, {20, 40}},
            {NotRecognised,  true,  false, false, nullptr, "Close",  rightButton, "Your QTX-ORB9 is not recognized.", true, {105}},
            // Versions are shown with two decimals, never compared: an older package still offers Start.
            {Ready,          true,  false, false, "Start", "Close",  leftButton,  "Current Version: Ver. 10.00\nUpdate Version: Ver. 0.07", false, {20, 40, 60}},
            {Updating,       true,  false, true,  nullptr, nullptr,  {},          "Updating your QTX-ORB9 firmware.", false, {20, 40}},
            {Complete,       true,  false, false, nullptr, "OK",     rightButton, "The update of your version of the QTX-ORB9 firmware is now complete.", false, {20}},
            {Failed,         true,  false, false, nullptr, "OK",     rightButton, "An error has occurred.", true, {105}},
            {NotRecognised,  false, false, false, nullptr, "OK",     rightButton, "There is an error in the update file.", true, {105}},
            {Ready,          false, false, false, nullptr, "OK",     rightButton, "There is an error in the update file.", true, {105}},
            {SelectLanguage, false, true,  false, "OK",    "Cancel", leftButton,  "Please select a language.", false, {20, 40}},
        };
        // clang-format on

        for (const auto& c : cases)
        {
            SCOPED_TRACE (testing::Message()
                          << "state " << c.state << (c.usable ? "" : ", package unusable"));
            openWindow (c.usable ? 7 : 0, 1000);
            if (c.state != SelectLanguage)
                screen->setScreenState (c.state);
            ASSERT_EQ (screen->getScreenState(), c.state);

            EXPECT_EQ (screen->langList->isVisible(), c.list);
            EXPECT_EQ (screen->progressBar->isVisible(), c.bar);

            EXPECT_EQ (screen->okButton->isVisible(), c.ok != nullptr);
            if (c.ok != nullptr)
            {
                EXPECT_EQ (screen->okButton->getButtonText(), c.ok);
                EXPECT_EQ (screen->okButton->getBounds(), rightButton);
            }
            EXPECT_EQ (screen->cancelButton->isVisible(), c.cancel != nullptr);
            if (c.cancel != nullptr)
            {
                EXPECT_EQ (screen->cancelButton->getButtonText(), c.cancel);
                EXPECT_EQ (screen->cancelButton->getBounds(), c.cancelBounds);
            }

            EXPECT_TRUE (shownText().contains (c.text)) << shownText();
            EXPECT_EQ (lineStarts(), c.lineLefts);

            // The warning sign is drawn at (20, 15, 64, 64): its yellow field is at (41, 66).
            const auto shot = screen->createComponentSnapshot (screen->getLocalBounds(), true, 1.0f);
            const auto pixel = shot.getPixelAt (41, 66);
            const bool yellow = pixel.getRed() > 200 && pixel.getGreen() > 180 && pixel.getBlue() < 110;
            EXPECT_EQ (yellow, c.warning) << pixel.toDisplayString (false);
        }
    }

    TEST_F (MainScreen, PickingALanguageRelaysItsTextsAndLineRules)
    {
        const struct
        {
            int language;
            int state;
            std::set<int> mustHaveTops;
            int firstTopBelowHeading; // first line top under y 34
            int lastTop;
        } cases[] = {
            // Reconnect steps: heading 20, step 1 at 36 (two lines), step 2 at 65.
            {0, NotRecognised, {20, 36, 65}, 36, 65},
            // Korean gives step 1 one line, so step 2 moves up to 52.
            {10, NotRecognised, {20, 36, 52}, 36, 52},
            // Japanese step 1 breaks its own line: 36 and 49.
            {11, NotRecognised, {20, 36, 49, 65}, 36, 65},
            // Connect instruction: 36, in Russian 51.
            {0, Ready, {20, 36}, 36, -1},
            {6, Ready, {20, 51}, 51, -1},
        };
        for (const auto& c : cases)
        {
            SCOPED_TRACE (testing::Message() << "language " << c.language << ", state " << c.state);
            openWindow();
            chooseLanguage (c.language);
            // The title, captions, font and texts follow the choice at once.
            auto* texts = TxtLoader::getInstance();
            EXPECT_EQ (window->getName(), texts->getText (3));
            EXPECT_EQ (screen->okButton->getButtonText(), texts->getText (4));
            EXPECT_EQ (screen->okButton->getFontName(), texts->getFontName (c.language));
            EXPECT_TRUE (shownText().startsWith (texts->getText (8))) << shownText();
            screen->setScreenState (c.state);
            const auto tops = lineStarts (true);
            for (int top : c.mustHaveTops)
                EXPECT_EQ (tops.count (top), 1u) << "no line at " << top;
            EXPECT_EQ (*tops.upper_bound (34), c.firstTopBelowHeading);
            if (c.lastTop >= 0)
            {
                EXPECT_EQ (*tops.rbegin(), c.lastTop);
            }
        }
    }

    TEST_F (MainScreen, StateRules)
    {
        // Requests made while the language is chosen are not applied.
        openWindow();
        screen->requestScreenState (Ready);
        screen->handleUpdateNowIfNeeded();
        EXPECT_EQ (screen->getScreenState(), SelectLanguage);

        // Final states are never left.
        for (int final : {Complete, Failed})
        {
            openWindow();
            screen->setScreenState (final);
            for (int next : {Ready, NotRecognised, Updating, SelectLanguage})
            {
                screen->requestScreenState (next);
                screen->handleUpdateNowIfNeeded();
                screen->setScreenState (next);
                EXPECT_EQ (screen->getScreenState(), final);
            }
        }

        // With an unusable package the screen never changes once it left the language choice.
        openWindow (0);
        screen->setScreenState (NotRecognised);
        screen->hidDeviceArrived();
        screen->handleUpdateNowIfNeeded();
        screen->setScreenState (Ready);
        EXPECT_EQ (screen->getScreenState(), NotRecognised);
        EXPECT_TRUE (shownText().contains ("There is an error in the update file."));
    }

    TEST_F (MainScreen, KeysChooseInTheListMoveTheFocusMarkAndPress)
    {
        using K = juce::KeyPress;
        const K tab (K::tabKey), backTab (K::tabKey, juce::ModifierKeys::shiftModifier, 0),
            ret (K::returnKey);
        const K up (K::upKey), down (K::downKey), home (K::homeKey), end (K::endKey);
        auto typed = [] (juce::juce_wchar c) { return K ((int) c, {}, c); };
        const K unplug (-1), plug (-2), clickOk (-3); // not keys: the controller, the mouse
        AlineButton* MainComponent::*const ok = &MainComponent::okButton;
        AlineButton* MainComponent::*const cancel = &MainComponent::cancelButton;
        const struct
        {
            std::vector<K> keys;
            int language;
            AlineButton* MainComponent::*marked; // null: no mark until a key is used
            int state;
        } cases[] = {
            {{}, 0, nullptr, SelectLanguage},
            {{down, down, up}, 1, ok, SelectLanguage},
            {{end}, 11, ok, SelectLanguage},
            {{end, home, up}, 0, ok, SelectLanguage},
            {{typed ('E'), typed ('e')}, 0, ok, SelectLanguage}, // Español, then round to English
            {{typed (0x440)}, 6, ok, SelectLanguage},            // "р": Русский
            {{typed ('z')}, 0, ok, SelectLanguage},
            {{tab}, 0, cancel, SelectLanguage},
            {{tab, down}, 1, cancel, SelectLanguage}, // choosing keeps the focus where it is
            {{tab, tab}, 0, ok, SelectLanguage},
            {{backTab}, 0, cancel, SelectLanguage},
            // No controller: "OK" leads to NotRecognised, whose one button takes the focus.
            {{ret}, 0, cancel, NotRecognised},
            // A page the user did not ask for keeps the button tabbed to; one asked for starts on the right.
            {{ret, plug, tab, unplug, plug}, 0, cancel, Ready},
            {{ret, plug, unplug, plug}, 0, ok, Ready},
            {{tab, clickOk, plug}, 0, ok, Ready},
        };
        for (const auto& c : cases)
        {
            SCOPED_TRACE (testing::Message() << "case " << (&c - cases));
            openWindow();
            for (const auto& key : c.keys)
            {
                if (key == plug || key == unplug)
                    key == plug ? screen->hidDeviceArrived() : screen->hidDeviceRemoved();
                else if (key == clickOk)
                    screen->buttonClicked (screen->okButton);
                else
                    EXPECT_TRUE (screen->keyPressed (key)) << key.getTextDescription();
                screen->keyStateChanged (false);
                screen->handleUpdateNowIfNeeded();
            }
            EXPECT_EQ (TxtLoader::getInstance()->getLanguage(), c.language);
            EXPECT_EQ (screen->getScreenState(), c.state);
            EXPECT_EQ (screen->okButton->isFocusMarkShown(), c.marked == ok);
            EXPECT_EQ (screen->cancelButton->isFocusMarkShown(), c.marked == cancel);
        }
    }

    TEST_F (MainScreen, FormatTextWorksOnUtf8)
    {
        const auto korean = juce::String::fromUTF8 ("\xeb\xb2\x84\xec\xa0\x84 %s");
        EXPECT_EQ (MainComponent::formatText (korean.toRawUTF8(), "QTX-ORB9"),
                   juce::String::fromUTF8 ("\xeb\xb2\x84\xec\xa0\x84 QTX-ORB9"));
        // No fixed buffer: a long text comes back whole.
        const juce::String longText = juce::String::repeatedString ("x", 5000) + "%s";
        EXPECT_EQ (MainComponent::formatText (longText.toRawUTF8(), "!").length(), 5001);
    }

} // namespace
} // namespace qtx::test
