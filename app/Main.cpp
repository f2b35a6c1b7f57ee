#include "MainWindow.h"
#include "SingleCopy.h"

#include "ui/FontResolver.h"

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
        prepareFonts(); // overlaps with building the window
        mainWindow = new MainWindow();
    }

    void shutdown() override
    {
        delete mainWindow;
        mainWindow = nullptr;
        singleCopy.reset();
    }

    const juce::String getApplicationName() override { return "QTXUpdateProgram"; }
    const juce::String getApplicationVersion() override { return "0.0.0.1"; }

    // JUCE's own single-copy check is machine-wide here and never tells the first
    // copy; the session claim in initialise does the job instead.
    bool moreThanOneInstanceAllowed() override { return true; }

    void anotherInstanceStarted (const juce::String&) override
    {
        if (mainWindow != nullptr && mainWindow->isVisible())
            mainWindow->toFront (true);
    }

private:
    MainWindow* mainWindow = nullptr;
    std::unique_ptr<SingleCopy> singleCopy;
};

} // namespace qtx

START_JUCE_APPLICATION (qtx::Application)
