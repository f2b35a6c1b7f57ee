#include "MainWindow.h"
#include "SingleCopy.h"
#include "WindowUpkeep.h"

#include "ui/platform/DesktopScale.h"
#include "ui/platform/HeldKeys.h"

#include <juce_gui_basics/juce_gui_basics.h>

namespace qtx
{

class Application : public juce::JUCEApplication
{
public:
    ~Application() override = default;

    void initialise (const juce::String&) override
    {
        singleCopy = SingleCopy::create (getApplicationName().toStdString());
        if (!singleCopy->claim ([this] { anotherInstanceStarted ({}); }))
        {
            singleCopy->notifyRunningCopy();
            quit();
            return;
        }
        applyDesktopScale();
        upkeep = WindowUpkeep::create();
        mainWindow = new MainWindow();
        reportHeldKeysAsHeld();
    }

    void shutdown() override
    {
        delete mainWindow;
        mainWindow = nullptr;
        upkeep.reset();
        singleCopy.reset();
    }

    const juce::String getApplicationName() override { return "QTXUpdateProgram"; }
    const juce::String getApplicationVersion() override { return "0.0.0.1"; }

    // Where JUCE's own single-copy check is machine-wide and never tells the first
    // copy (Linux), the session claim in initialise does the job instead.
    bool moreThanOneInstanceAllowed() override { return !SingleCopy::frameworkKeepsSingleCopy(); }

    void anotherInstanceStarted (const juce::String&) override
    {
        if (mainWindow != nullptr && mainWindow->isVisible())
            mainWindow->toFront (true);
    }

private:
    MainWindow* mainWindow = nullptr;
    std::unique_ptr<SingleCopy> singleCopy;
    std::unique_ptr<WindowUpkeep> upkeep;
};

} // namespace qtx

START_JUCE_APPLICATION (qtx::Application)
