#include "ScreenFixture.h"

#include <cmath>
#include <cstdlib>

namespace qtx::test
{

XServer* ScreenFixture::server = nullptr;
juce::ScopedJuceInitialiser_GUI* ScreenFixture::juce = nullptr;

void ScreenFixture::SetUpTestSuite()
{
    // English start whatever this machine's locale is.
    ::setenv ("LANG", "C", 1);
    ::unsetenv ("LC_ALL");
    ::unsetenv ("LC_MESSAGES");
    server = new XServer();
    ASSERT_TRUE (server->start (true)) << "Xvfb or openbox did not start";
    juce = new juce::ScopedJuceInitialiser_GUI();
}

void ScreenFixture::TearDownTestSuite()
{
    delete juce;
    juce = nullptr;
    delete server;
    server = nullptr;
}

void ScreenFixture::SetUp()
{
    ASSERT_NE (juce, nullptr);
}

void ScreenFixture::TearDown()
{
    window.reset();
    screen = nullptr;
}

void ScreenFixture::openWindow (int packageVersion, int controllerVersion)
{
    window = std::make_unique<MainWindow>();
    screen = dynamic_cast<MainComponent*> (window->getContentComponent());
    ASSERT_NE (screen, nullptr);
    if (packageVersion != 0)
    {
        screen->packageUsable = 1;
        screen->updateFileInfo.version = packageVersion;
    }
    screen->deviceVersion = controllerVersion;
    screen->updateContent();
}

void ScreenFixture::chooseLanguage (int index)
{
    ASSERT_GE (screen->langList->indexOfItemId (index + 1), 0) << "language " << index << " not offered";
    screen->langList->setSelectedId (index + 1, juce::sendNotificationSync);
    ASSERT_EQ (TxtLoader::getInstance()->getLanguage(), index);
}

juce::String ScreenFixture::shownText() const
{
    juce::String text;
    auto layout = screen->getTextLayout();
    for (int i = 0; i < layout.getNumGlyphs(); ++i)
        text += juce::String::charToString (layout.getGlyph (i).getCharacter());
    return text;
}

std::set<int> ScreenFixture::lineTops() const
{
    std::set<int> tops;
    auto layout = screen->getTextLayout();
    for (int i = 0; i < layout.getNumGlyphs(); ++i)
        if (!layout.getGlyph (i).isWhitespace())
            tops.insert ((int) std::lround (layout.getGlyph (i).getTop()));
    return tops;
}

} // namespace qtx::test
