#pragma once

// The program's one screen: the language choice, the controller's and the
// package's versions, the running update and its outcome. It owns the package in
// memory and the transfer worker; the state rules, the device link and the
// answer hand-over are ScreenRules', which this class shows.

#include "AlineButton.h"
#include "DialogKeys.h"
#include "LangLookAndFeel.h"
#include "platform/SleepInhibitor.h"
#include "ProgressLookAndFeel.h"

#include "rules/ScreenRules.h"
#include "update/UpdateFile.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <string>

namespace qtx
{

class MainComponent : public juce::Component,
                      public juce::AsyncUpdater,
                      public juce::Thread,
                      private ScreenRules,
                      public juce::ComboBox::Listener,
                      public juce::Button::Listener
{
public:
    using ScreenRules::deviceLink;
    using ScreenRules::deviceVersion;
    using ScreenRules::getScreenState;
    using ScreenRules::packageUsable;

    MainComponent();
    ~MainComponent() override;

    void paint (juce::Graphics&) override;
    void resized() override;

    void handleAsyncUpdate() override;

    // The keyboard: the screen takes the focus and handles every key (DialogKeys).
    bool keyPressed (const juce::KeyPress&) override;
    bool keyStateChanged (bool isKeyDown) override;

    // The transfer worker.
    void run() override;

    void hidDeviceRemoved() override;
    void hidDeviceArrived() override;
    void hidInputReceived() override;

    void comboBoxChanged (juce::ComboBox*) override;
    void buttonClicked (juce::Button*) override;

    // Message thread: the one place where screenState changes.
    void setScreenState (int newState);
    // Any thread: applied by handleAsyncUpdate on the message thread.
    void requestScreenState (int newState);

    // Stops the worker and asks the application to quit.
    void quitProgram();

    // Lays out the current state's texts and sets the children up for it.
    void updateContent();

    // printf over a UTF-8 format (a text entry's toRawUTF8()); string arguments are
    // UTF-8 char pointers. The format is a plain pointer: va_start on a reference is undefined.
    static juce::String formatText (const char* format, ...);

    // What the screen draws, for checks on screen.
    const juce::GlyphArrangement& getTextLayout() const { return textLayout; }

    // Reads QTX-ORB9_UP.upd from the executable's folder; totalLength, 0 on failure.
    uint32_t readUpdateFile();

    juce::ComboBox* langList = nullptr;
    juce::ProgressBar* progressBar = nullptr;
    AlineButton* okButton = nullptr;
    AlineButton* cancelButton = nullptr;

    Crc32Table crc32Table{};
    UpdateFileInfo updateFileInfo;
    UpdateBlocks updateBlocks;

private:
    // What a state looks like: the texts and children, and the sleep inhibitor.
    void showScreenState();

    void addConnectHint (float x, float y);
    void addReconnectSteps (float x, float y, bool withHeading);
    void addText (const juce::String& text, bool bold, float x, float y, float width, float height,
                  int lines);
    float textBottom() const;
    int linesBelow (float y) const;
    bool isShortLanguage() const;
    juce::String entry (int number) const;
    std::string deviceNameUtf8() const;
    void placeButtons();

    // ScreenRules: the worker thread and the way back to the message thread.
    void triggerStateUpdate() override;
    void progressChanged() override;
    void startWorker() override;
    bool workerRunning() const override;
    void waitForWorkerEnd() override;
    void trace (const char* line) override;

    juce::GlyphArrangement textLayout;
    LangLookAndFeel* langLookAndFeel = nullptr;
    ProgressLookAndFeel* progressLookAndFeel = nullptr;
    std::unique_ptr<DialogKeys> keys;

    // The bar reads `shownProgress`, which the message thread copies from the
    // worker's progress, so the two threads never share a plain double.
    double shownProgress = 0.0;

    // Held while Updating; let go when the screen leaves it or goes.
    std::unique_ptr<SleepInhibitor> sleepInhibitor = createSleepInhibitor();

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainComponent)
};

} // namespace qtx
