#pragma once

// The real main screen in the real window, on a private X server.

#include "XServer.h"

#include "app/MainWindow.h"
#include "resources/TxtLoader.h"
#include "ui/MainComponent.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>

namespace qtx::test
{

class ScreenFixture : public OnScreen
{
public:
    static void SetUpTestSuite();
    static void TearDownTestSuite();

protected:
    void SetUp() override { ASSERT_NE (juce, nullptr); }

    // A fresh window; the package is made usable with `packageVersion` unless it is 0.
    void openWindow (int packageVersion = 123, int controllerVersion = 105);

    // Picks a language through the list, as the user does.
    void chooseLanguage (int index);

    // Every character of the laid-out texts, in order.
    juce::String shownText() const;

    // Rounded lefts of the lines that hold visible characters, or their tops.
    std::set<int> lineStarts (bool tops = false) const;

    std::unique_ptr<MainWindow> window;
    MainComponent* screen = nullptr;

private:
    static juce::ScopedJuceInitialiser_GUI* juce;
};

} // namespace qtx::test
