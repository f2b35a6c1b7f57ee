// The baseline: a JUCE program with one 426 x 176 window that fills its
// background and draws one line of text, nothing else.

#include <juce_gui_basics/juce_gui_basics.h>

namespace
{
class Content : public juce::Component
{
public:
    Content() { setSize (426, 176); }
    void paint (juce::Graphics& g) override
    {
        g.fillAll (juce::Colour (234, 234, 234));
        g.setColour (juce::Colours::black);
        g.setFont (juce::Font (13.0f, juce::Font::bold));
        g.drawText ("Language Selections", 20, 20, 386, 13, juce::Justification::topLeft);
    }
};

class Window : public juce::ResizableWindow
{
public:
    Window()
        : juce::ResizableWindow ("BareWindow", true)
    {
        setContentOwned (new Content(), true);
        centreWithSize (getWidth(), getHeight());
        setVisible (true);
        setUsingNativeTitleBar (true);
    }
};

class BareApplication : public juce::JUCEApplication
{
public:
    const juce::String getApplicationName() override { return "BareWindow"; }
    const juce::String getApplicationVersion() override { return "1"; }
    bool moreThanOneInstanceAllowed() override { return true; }
    void initialise (const juce::String&) override { window = std::make_unique<Window>(); }
    void shutdown() override { window.reset(); }

private:
    std::unique_ptr<Window> window;
};
} // namespace

START_JUCE_APPLICATION (BareApplication)
