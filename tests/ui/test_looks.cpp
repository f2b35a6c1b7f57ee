// The custom button, the progress bar and the language list entries, drawn into images.

#include "ScreenFixture.h"

#include "ui/AlineButton.h"
#include "ui/FontResolver.h"
#include "ui/LangLookAndFeel.h"
#include "ui/ProgressLookAndFeel.h"

namespace qtx::test
{
namespace
{
    class Looks : public ScreenFixture
    {
    protected:
        juce::Image paintButton (AlineButton& button, bool over, bool down)
        {
            juce::Image image (juce::Image::ARGB, button.getWidth(), button.getHeight(), true);
            juce::Graphics g (image);
            button.paintButton (g, over, down);
            return image;
        }

        static bool same (const juce::Image& a, const juce::Image& b)
        {
            for (int y = 0; y < a.getHeight(); ++y)
                for (int x = 0; x < a.getWidth(); ++x)
                    if (a.getPixelAt (x, y) != b.getPixelAt (x, y))
                        return false;
            return true;
        }
    };

    TEST_F (Looks, ButtonEdgesAndCaptionMoveWhenPressedHoverChangesNothingAndTheFocusMarkIsDotted)
    {
        AlineButton button ("OK");
        button.setColour (juce::TextButton::buttonColourId, juce::Colour (234, 234, 234));
        button.setSize (100, 20);
        button.setText ("OK");

        const auto up = paintButton (button, false, false);
        const auto down = paintButton (button, false, true);
        auto white = [] (juce::Colour c) { return c.getBrightness() > 0.97f; };
        auto black = [] (juce::Colour c) { return c.getBrightness() < 0.03f; };
        EXPECT_TRUE (white (up.getPixelAt (50, 0)));  // light top edge
        EXPECT_TRUE (black (up.getPixelAt (50, 19))); // dark bottom edge
        EXPECT_TRUE (black (down.getPixelAt (50, 0)));
        EXPECT_TRUE (white (down.getPixelAt (50, 19)));

        EXPECT_TRUE (same (up, paintButton (button, true, false)));
        button.setEnabled (false);
        EXPECT_TRUE (same (up, paintButton (button, false, false)));

        // The focus mark: whole-pixel dots 3 in from the edges, on the face colour.
        button.setFocusMarkShown (true);
        const auto marked = paintButton (button, false, false);
        for (auto [x, y] : {std::pair{3, 3}, {95, 15}, {3, 13}, {51, 3}})
            EXPECT_EQ (marked.getPixelAt (x, y), juce::Colour (0xff101010)) << x << "," << y;
        for (auto [x, y] : {std::pair{4, 3}, {3, 4}, {94, 15}, {2, 3}})
            EXPECT_EQ (marked.getPixelAt (x, y), juce::Colour (234, 234, 234)) << x << "," << y;
        button.setFocusMarkShown (false);

        // The caption's dark pixels start one to the right when pressed.
        button.setText ("I");
        auto firstDarkColumn = [] (const juce::Image& image)
        {
            for (int x = 3; x < image.getWidth() - 3; ++x)
                for (int y = 3; y < image.getHeight() - 3; ++y)
                    if (image.getPixelAt (x, y).getBrightness() < 0.75f)
                        return x;
            return -1;
        };
        const int upColumn = firstDarkColumn (paintButton (button, false, false));
        ASSERT_GE (upColumn, 0);
        EXPECT_EQ (firstDarkColumn (paintButton (button, false, true)), upColumn + 1);
    }

    TEST_F (Looks, ProgressFillIsClampedAndTextOnlyWhenGiven)
    {
        ProgressLookAndFeel look;
        double value = 0.0;
        juce::ProgressBar bar (value);
        bar.setColour (juce::ProgressBar::backgroundColourId, juce::Colour (8, 8, 8));
        const int w = 200, h = 20;
        auto draw = [&] (double progress, const juce::String& text)
        {
            juce::Image image (juce::Image::RGB, w, h, true);
            juce::Graphics g (image);
            look.drawProgressBar (g, bar, w, h, progress, text);
            return image;
        };
        const juce::Colour background (8, 8, 8);

        for (double none : {0.0, -0.5, std::nan ("")})
            EXPECT_EQ (draw (none, {}).getPixelAt (3, 10), background) << none;

        const auto full = draw (1.5, {});
        EXPECT_NE (full.getPixelAt (w - 3, 10), background); // fills W - 4 from x 2
        EXPECT_EQ (full.getPixelAt (w - 1, 10), background);

        const auto half = draw (0.5, {});
        EXPECT_NE (half.getPixelAt (90, 10), background);
        EXPECT_EQ (half.getPixelAt (110, 10), background);

        auto whitePixels = [] (const juce::Image& image)
        {
            int count = 0;
            for (int y = 0; y < image.getHeight(); ++y)
                for (int x = 0; x < image.getWidth(); ++x)
                    count += image.getPixelAt (x, y).getBrightness() > 0.95f ? 1 : 0;
            return count;
        };
        EXPECT_GT (whitePixels (draw (0.3, "30%")), 0);
    }

    TEST_F (Looks, LanguageEntriesBorrowTheirLanguageFontOnlyWhileDrawn)
    {
        openWindow();
        EXPECT_TRUE (LangLookAndFeel::fontForLanguageName ("Klingon").isEmpty());

        LangLookAndFeel look;
        juce::Font::setFallbackFontName ("Some Fallback");
        juce::Image image (juce::Image::ARGB, 200, 24, true);
        juce::Graphics g (image);
        const auto japanese = juce::String::fromUTF8 ("\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e");
        for (const auto& text : {japanese, juce::String ("Klingon")})
        {
            look.drawPopupMenuItem (g, {0, 0, 200, 24}, false, true, true, true, false, text, {}, nullptr,
                                    nullptr);
            EXPECT_EQ (juce::Font::getFallbackFontName(), "Some Fallback");
        }

        // "日本語" is drawn in the Japanese font: its glyphs, not the fallback's boxes.
        // A row too low for the menu font shrinks it to fit.
        juce::Image entry (juce::Image::ARGB, 200, 20, true), expected (juce::Image::ARGB, 200, 20, true);
        {
            juce::Graphics entryGraphics (entry), expectedGraphics (expected);
            look.drawPopupMenuItem (entryGraphics, {0, 0, 200, 20}, false, true, false, false, false,
                                    japanese, {}, nullptr, nullptr);
            expectedGraphics.setColour (juce::Colours::black);
            expectedGraphics.setFont (
                juce::Font (resolveFontFamily ("MS UI Gothic"), 20 / 1.3f, juce::Font::plain));
            expectedGraphics.drawFittedText (japanese, 25, 0, 171, 20, juce::Justification::centredLeft, 1,
                                             0.7f);
        }
        EXPECT_TRUE (same (entry, expected));
        // The list's own box shows a CJK name in a family that has its glyphs.
        chooseLanguage (11);
        const auto boxFont = look.getComboBoxFont (*screen->langList);
        EXPECT_EQ (boxFont.getTypefaceName(), resolveFontFamily ("MS UI Gothic"));
        chooseLanguage (0);
        EXPECT_NE (look.getComboBoxFont (*screen->langList).getTypefaceName(),
                   resolveFontFamily ("MS UI Gothic"));
    }

} // namespace
} // namespace qtx::test
