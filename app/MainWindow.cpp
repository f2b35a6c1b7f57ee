#include "MainWindow.h"

#include "ui/MainComponent.h"

namespace qtx
{
namespace
{
    constexpr int clientWidth = 426;
    constexpr int clientHeight = 176;
} // namespace

MainWindow::MainWindow()
    : juce::ResizableWindow ("QTXUpdateProgram", true)
{
    // The screen handles the keys: the window passes the focus on to it.
    setWantsKeyboardFocus (false);
    setContentOwned (new MainComponent(), true);
    centreWithSize (getWidth(), getHeight());
    setAlwaysOnTop (true);
    setVisible (true);
    setUsingNativeTitleBar (true);

    // The switch to the native title bar drops the window's own frame but not the
    // pixel it took: give the client area its size back and centre it again.
    setContentComponentSize (clientWidth, clientHeight);
    centreWithSize (getWidth(), getHeight());
}

MainWindow::~MainWindow()
{
    clearContentComponent();
}

} // namespace qtx
