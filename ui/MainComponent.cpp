#include "MainComponent.h"

#include "FontResolver.h"

#include "resources/ImageLoader.h"
#include "resources/TxtLoader.h"
#include "update/DebugOutput.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace qtx
{
namespace
{
    const juce::Colour background (234, 234, 234);
    constexpr float fontHeight = 13.0f;
    constexpr int languageCount = 12;
    constexpr int russian = 6;

    TxtLoader& texts()
    {
        return *TxtLoader::getInstance();
    }
} // namespace

MainComponent::MainComponent()
    : juce::Thread ("MainComponent")
    , ScreenRules (updateFileInfo, updateBlocks)
{
    TxtLoader::getInstance();
    ImageLoader::getInstance();

    langLookAndFeel = new LangLookAndFeel();
    langList = new juce::ComboBox ("langs");
    addAndMakeVisible (langList);
    langList->setLookAndFeel (langLookAndFeel);
    langList->addListener (this);
    langList->setWantsKeyboardFocus (false);
    for (int i = 0; i < languageCount; ++i)
        if (texts().isLanguageInstalled (i))
            langList->addItem (texts().getLanguageName (i), i + 1);
    langList->setSelectedId (texts().getLanguage() + 1, juce::dontSendNotification);

    progressLookAndFeel = new ProgressLookAndFeel();
    progressBar = new juce::ProgressBar (shownProgress);
    addAndMakeVisible (progressBar);
    progressBar->setLookAndFeel (progressLookAndFeel);
    progressBar->setColour (juce::ProgressBar::foregroundColourId, juce::Colour (61, 61, 61));
    progressBar->setColour (juce::ProgressBar::backgroundColourId, juce::Colour (8, 8, 8));

    for (auto** button : {&okButton, &cancelButton})
    {
        *button = new AlineButton (button == &okButton ? "OK" : "Cancel");
        addAndMakeVisible (*button);
        (*button)->addListener (this);
        (*button)->setFontStyle (juce::Font::bold);
        (*button)->setColour (juce::TextButton::buttonColourId, background);
        (*button)->setColour (juce::TextButton::buttonOnColourId, background);
    }
    setWantsKeyboardFocus (true);
    keys = std::make_unique<DialogKeys> (std::vector<AlineButton*>{okButton, cancelButton}, *langList,
                                         [this] (juce::Button& button) { buttonClicked (&button); });

    buildCrc32Table (crc32Table);
    packageUsable = packageUsableFrom (readUpdateFile(), updateFileInfo);

    // With an unusable package the link is opened with selector 0 and never takes a
    // controller; a link that fails to open simply reports none.
    deviceLink.open (this, packageUsable);

    setSize (420, 170);
}

MainComponent::~MainComponent()
{
    // Normally the worker has ended through quitProgram; when the session ends
    // during an update it must still be stopped before its link and data go.
    stopWorker();
    cancelPendingUpdate();

    for (auto* child : std::initializer_list<juce::Component*>{langList, progressBar, okButton, cancelButton})
        removeChildComponent (child);
    langList->setLookAndFeel (nullptr);
    progressBar->setLookAndFeel (nullptr);
    delete langList;
    delete progressBar;
    delete okButton;
    delete cancelButton;
    delete langLookAndFeel;
    delete progressLookAndFeel;

    for (auto& block : updateBlocks)
        std::vector<uint8_t>().swap (block.data);

    deviceLink.close();

    ImageLoader::deleteInstance();
    TxtLoader::deleteInstance();
}

uint32_t MainComponent::readUpdateFile()
{
    // The running image itself (/proc/self/exe on Linux): JUCE's currentExecutableFile
    // is argv[0] taken from the working folder, wrong for a program started through PATH.
    const auto file = juce::File::getSpecialLocation (juce::File::hostApplicationPath)
                          .getSiblingFile (juce::String (updateFileName));
    return qtx::readUpdateFile (file.getFullPathName().toStdString(), crc32Table, updateFileInfo,
                                updateBlocks);
}

//==============================================================================
void MainComponent::setScreenState (int newState)
{
    if (changeState (newState))
        showScreenState();
}

void MainComponent::requestScreenState (int newState)
{
    requestState (newState);
}

void MainComponent::handleAsyncUpdate()
{
    shownProgress = progressValue();
    if (applyPendingState())
        showScreenState();
}

void MainComponent::buttonClicked (juce::Button* button)
{
    keys->buttonPressed();
    if (button == okButton)
    {
        if (getScreenState() == SelectLanguage)
        {
            if (leaveLanguageScreen())
                showScreenState();
        }
        else if (getScreenState() == Ready && packageUsable == 1)
            start (deviceNameUtf8());
        else
            quitProgram();
    }
    else if (button == cancelButton)
        quitProgram();
}

bool MainComponent::keyPressed (const juce::KeyPress& key)
{
    return keys->keyPressed (key);
}

bool MainComponent::keyStateChanged (bool isKeyDown)
{
    keys->keyStateChanged (isKeyDown);
    return false;
}

void MainComponent::comboBoxChanged (juce::ComboBox* box)
{
    if (box != langList)
        return;
    const int index = langList->getSelectedId() - 1;
    if (index >= 0 && index != texts().getLanguage())
        texts().setLanguage (index);
    updateContent();
}

void MainComponent::hidDeviceRemoved()
{
    ScreenRules::hidDeviceRemoved();
}

void MainComponent::hidDeviceArrived()
{
    ScreenRules::hidDeviceArrived();
}

void MainComponent::hidInputReceived()
{
    ScreenRules::hidInputReceived();
}

void MainComponent::quitProgram()
{
    stopWorker();
    if (auto* app = juce::JUCEApplicationBase::getInstance())
        app->systemRequestedQuit();
}

void MainComponent::showScreenState()
{
    if (getScreenState() == Updating)
        sleepInhibitor->hold();
    else
        sleepInhibitor->release();
    updateContent();
}

//==============================================================================
void MainComponent::run()
{
    runTransfer();
}

void MainComponent::triggerStateUpdate()
{
    triggerAsyncUpdate();
}

void MainComponent::progressChanged()
{
    triggerAsyncUpdate();
}

void MainComponent::startWorker()
{
    startThread();
}

bool MainComponent::workerRunning() const
{
    return isThreadRunning();
}

void MainComponent::waitForWorkerEnd()
{
    stopThread (-1);
}

void MainComponent::trace (const char* line)
{
    debugOutput (line);
}

//==============================================================================
juce::String MainComponent::formatText (const char* format, ...)
{
    va_list args;
    va_start (args, format);
    va_list copy;
    va_copy (copy, args);
    const int needed = std::vsnprintf (nullptr, 0, format, copy);
    va_end (copy);
    if (needed < 0)
    {
        va_end (args);
        return {};
    }
    std::vector<char> buffer ((size_t) needed + 1);
    std::vsnprintf (buffer.data(), buffer.size(), format, args);
    va_end (args);
    return juce::String::fromUTF8 (buffer.data(), needed);
}

juce::String MainComponent::entry (int number) const
{
    return texts().getText (number);
}

std::string MainComponent::deviceNameUtf8() const
{
    return entry (packageUsable + 1).toStdString();
}

bool MainComponent::isShortLanguage() const
{
    const int language = texts().getLanguage();
    return language == 8 || language == 9 || language == 10;
}

int MainComponent::linesBelow (float y) const
{
    return (int) (((float) getHeight() - y) / fontHeight);
}

float MainComponent::textBottom() const
{
    // Counted from the last visible glyph plus the lines that trailing line breaks open:
    // where a break character itself is placed depends on the platform's fonts (GDI puts
    // it on the line it ends, FreeType on the next one).
    const auto* first = textLayout.begin();
    int count = textLayout.getNumGlyphs();
    int breaks = 0;
    while (count > 0 && first[count - 1].isWhitespace())
    {
        if (first[count - 1].getCharacter() == '\n')
            ++breaks;
        --count;
    }
    if (count == 0)
        return 0.0f;
    return textLayout.getBoundingBox (count - 1, 1, true).getBottom() +
           (float) juce::jmax (0, breaks - 1) * fontHeight;
}

void MainComponent::addText (const juce::String& text, bool bold, float x, float y, float width, float height,
                             int lines)
{
    const auto font =
        makeFont (texts().getCurrentFontName(), fontHeight, bold ? juce::Font::bold : juce::Font::plain);
    textLayout.addFittedText (font, text, x, y, width, height, juce::Justification::topLeft, lines, 0.7f);
}

void MainComponent::addConnectHint (float x, float y)
{
    const int n = isShortLanguage() ? 1 : 2;
    const auto name = deviceNameUtf8();
    addText (formatText (entry (23).toRawUTF8(), name.c_str()), false, x, y, (float) getWidth() - (x + 20.0f),
             (float) n * 16.0f, n);
}

void MainComponent::addReconnectSteps (float x, float y, bool withHeading)
{
    const float width = (float) getWidth() - (x + 15.0f);
    const int n = isShortLanguage() ? 1 : 2;
    const auto name = deviceNameUtf8();
    if (withHeading)
        addText (formatText (entry (20).toRawUTF8(), name.c_str()), true, x, y, width, 16.0f, 1);
    const float y2 = y + 16.0f;
    addText (formatText (entry (21).toRawUTF8(), name.c_str()), false, x, y2, width, (float) n * 16.0f, n);
    const float y3 = y2 + (float) n * 13.0f + 3.0f;
    addText (entry (22), false, x, y3, width, 16.0f, 1);
}

void MainComponent::updateContent()
{
    const int screenState = getScreenState();
    const float w = (float) getWidth();
    const float h = (float) getHeight();
    setFallbackFont (texts().getCurrentFontName());

    if (auto* parent = getParentComponent())
        parent->setName (entry (3));

    textLayout.clear();
    const auto name = deviceNameUtf8();
    const bool packageError = screenState != SelectLanguage && packageUsable == 0;

    if (packageError)
        addText (entry (10), false, 105, 20, w - 125, h - 20, linesBelow (20));
    else
        switch (screenState)
        {
            case SelectLanguage:
            {
                addText (entry (8) + "\n\n", true, 20, 20, w - 40, h - 20, linesBelow (20));
                const float bottom = textBottom();
                addText (entry (9), false, 40, bottom, w - 60, h - bottom, linesBelow (bottom));
                break;
            }
            case NotRecognised:
                addReconnectSteps (105, 20, true);
                break;
            case Ready:
            {
                addText (formatText (entry (12).toRawUTF8(), name.c_str()) + "\n\n", true, 20, 20, w - 40,
                         h - 20, linesBelow (20));
                addConnectHint (40, texts().getLanguage() == russian ? 20 + 31 : 20 + 16);
                const float y2 = textBottom() + 5.0f;
                const auto versions =
                    formatText (entry (13).toRawUTF8(), deviceVersion / 100, deviceVersion % 100) + "\n" +
                    formatText (entry (14).toRawUTF8(), updateFileInfo.version / 100,
                                updateFileInfo.version % 100);
                addText (versions, false, 60, y2, w - 60, h - y2, linesBelow (y2));
                break;
            }
            case Updating:
            {
                addText (formatText (entry (15).toRawUTF8(), name.c_str()) + "\n\n", true, 20, 20, w - 40,
                         h - 20, linesBelow (20));
                const float bottom = textBottom();
                addText (entry (16), false, 40, bottom, w - 60, h - bottom, linesBelow (bottom));
                break;
            }
            case Complete:
                addText (formatText (entry (17).toRawUTF8(), name.c_str()), false, 20, 20, w - 40, h - 20,
                         linesBelow (20));
                break;
            case Failed:
                addText (entry (18) + "\n", false, 105, 20, w - 125, h - 20, linesBelow (20));
                addReconnectSteps (105, 20, false);
                break;
            default:
                break;
        }

    if (screenState == SelectLanguage)
    {
        langList->setVisible (true);
        langList->setSelectedId (texts().getLanguage() + 1, juce::dontSendNotification);
        langList->resized();
    }
    else
        langList->setVisible (false);

    progressBar->setVisible (screenState == Updating);

    okButton->setFontName (texts().getCurrentFontName());
    cancelButton->setFontName (texts().getCurrentFontName());

    if (packageError || screenState == Complete || screenState == Failed)
    {
        okButton->setVisible (false);
        cancelButton->setVisible (true);
        cancelButton->setText (entry (4));
    }
    else
        switch (screenState)
        {
            case SelectLanguage:
                okButton->setVisible (true);
                okButton->setText (entry (4));
                cancelButton->setVisible (true);
                cancelButton->setText (entry (6));
                break;
            case NotRecognised:
                okButton->setVisible (false);
                cancelButton->setVisible (true);
                cancelButton->setText (entry (7));
                break;
            case Ready:
                okButton->setVisible (true);
                okButton->setText (entry (5));
                cancelButton->setVisible (true);
                cancelButton->setText (entry (7));
                break;
            case Updating:
                okButton->setVisible (false);
                cancelButton->setVisible (false);
                break;
            default:
                break;
        }
    placeButtons();
    keys->buttonsChanged (screenState);
    repaint();
}

void MainComponent::placeButtons()
{
    const int right = getWidth() - 120;
    const int left = getWidth() - 230;
    const int y = getHeight() - 40;
    if (okButton->isVisible())
    {
        okButton->setBounds (right, y, 100, 20);
        cancelButton->setBounds (left, y, 100, 20);
    }
    else
        cancelButton->setBounds (right, y, 100, 20);
}

void MainComponent::paint (juce::Graphics& g)
{
    const int screenState = getScreenState();
    g.fillAll (background);

    const bool showWarning = (screenState != SelectLanguage && packageUsable == 0) ||
                             screenState == NotRecognised || screenState == Failed;
    if (showWarning)
        if (auto* image = ImageLoader::getInstance()->getImage (
                0, g.getInternalContext().getPhysicalPixelScaleFactor()))
            g.drawImage (*image, 20, 15, 64, 64, 0, 0, image->getWidth(), image->getHeight(), false);

    g.setColour (juce::Colours::black);
    textLayout.draw (g);
}

void MainComponent::resized()
{
    updateContent();
    const int y = (getHeight() - 20) / 2;
    langList->setBounds (20, y, getWidth() - 40, 20);
    progressBar->setBounds (20, y, getWidth() - 40, 20);
    placeButtons();
}

} // namespace qtx
