#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace qtx
{

// The one top-level window: native title bar without close, minimise or maximise
// buttons, fixed size, always on top. Its whole content is the main screen.
class MainWindow : public juce::ResizableWindow
{
public:
    MainWindow();
    ~MainWindow() override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainWindow)
};

} // namespace qtx
