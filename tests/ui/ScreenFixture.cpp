#include "ScreenFixture.h"

#include <cmath>
#include <cstdlib>
#include <map>

namespace qtx::test
{

juce::ScopedJuceInitialiser_GUI* ScreenFixture::juce = nullptr;

void ScreenFixture::SetUpTestSuite()
{
    // English start whatever this machine's locale is.
    ::setenv ("LANG", "C", 1);
    ::unsetenv ("LC_ALL");
    ::unsetenv ("LC_MESSAGES");
    OnScreen::SetUpTestSuite();
    if (!::testing::Test::HasFatalFailure())
        juce = new juce::ScopedJuceInitialiser_GUI();
}

void ScreenFixture::TearDownTestSuite()
{
    delete juce;
    juce = nullptr;
    OnScreen::TearDownTestSuite();
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

std::set<int> ScreenFixture::lineStarts (bool tops) const
{
    std::map<int, int> leftOfLine; // rounded top -> rounded left of its first glyph
    auto layout = screen->getTextLayout();
    for (int i = 0; i < layout.getNumGlyphs(); ++i)
    {
        const auto& glyph = layout.getGlyph (i);
        if (glyph.isWhitespace())
            continue;
        const int top = (int) std::lround (glyph.getTop());
        const int left = (int) std::lround (glyph.getLeft());
        auto [at, added] = leftOfLine.emplace (top, left);
        at->second = std::min (at->second, left);
    }
    std::set<int> out;
    for (const auto& [top, left] : leftOfLine)
        out.insert (tops ? top : left);
    return out;
}

} // namespace qtx::test
