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
    : juce::ResizableWindow ("QTXUpdateProgram", false)
{
    setContentOwned (new MainComponent(), true);

    // JUCE on Linux changes always-on-top and the title bar style only by making
    // the native window anew. Both are set before the window exists, so it is
    // made once, already on top and with the native title bar, whose frame takes
    // no pixels: the client area is the main screen's 426 x 176.
    setAlwaysOnTop (true);
    setUsingNativeTitleBar (true);
    setContentComponentSize (clientWidth, clientHeight);
    centreWithSize (getWidth(), getHeight());
    addToDesktop (getDesktopWindowStyleFlags());
    setVisible (true);
    toFront (true);
}

MainWindow::~MainWindow()
{
    clearContentComponent();
}

} // namespace qtx
