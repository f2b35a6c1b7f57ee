// The real program under a window manager: its window, what is on the screen,
// the single running copy, that only its buttons end it, and its size at the
// scale the desktop asks for.

#include "XServer.h"

#include "XCloseRequest.h"
#include <juce_events/juce_events.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace qtx::test
{
namespace
{
    class Program : public OnScreen
    {
    protected:
        void SetUp() override
        {
            runtime = std::make_unique<juce::TemporaryFile>();
            runtime->getFile().createDirectory();
            environment = {"LANG=C", "LC_ALL=", "LC_MESSAGES=",
                           "XDG_RUNTIME_DIR=" + runtime->getFile().getFullPathName().toStdString()};
        }

        void TearDown() override
        {
            for (auto pid : started)
                endProcess (pid);
            runtime->getFile().deleteRecursively();
        }

        pid_t start()
        {
            started.push_back (startProcess ({QTX_PROGRAM}, environment));
            return started.back();
        }

        // Starts the program and waits for its one window.
        std::string startAndFindWindow()
        {
            start();
            const auto windows = findWindows ("Updater Program", 20000);
            return windows.size() == 1 ? windows.front() : std::string();
        }

        std::unique_ptr<juce::TemporaryFile> runtime;
        std::vector<std::string> environment;
        std::vector<pid_t> started;
    };

    // The client area's size on the screen, and whether it is drawn at `scale`:
    // the background in the far corner, the right-hand button's edges where they
    // belong.
    void expectDrawnAt (const std::string& window, double scale)
    {
        const auto info = runCommand ("xwininfo -id " + window);
        const auto w = (int) std::lround (426 * scale), h = (int) std::lround (176 * scale);
        EXPECT_NE (info.find ("Width: " + std::to_string (w) + "\n"), std::string::npos) << info;
        EXPECT_NE (info.find ("Height: " + std::to_string (h) + "\n"), std::string::npos) << info;

        auto at = [scale] (double x, double y)
        { return juce::Point<int> ((int) (x * scale), (int) (y * scale)); };
        const auto grey = juce::Colour (234, 234, 234);
        juce::Image shot; // the first frame can be caught half drawn
        for (int i = 0; i < 50 && !(shot.isValid() && shot.getPixelAt (w - 3, h - 3) == grey);
             ++i, juce::Thread::sleep (100))
            shot = captureWindow (window);
        EXPECT_EQ (shot.getWidth(), w);
        EXPECT_EQ (shot.getPixelAt (w - 3, h - 3), grey);
        const auto top = at (356, 136.5), bottom = at (356, 155.5);
        EXPECT_EQ (shot.getPixelAt (top.x, top.y), juce::Colours::white);
        EXPECT_EQ (shot.getPixelAt (bottom.x, bottom.y), juce::Colours::black);
    }

    TEST_F (Program, DrawnAtTheScaleTheDesktopSets)
    {
        const struct
        {
            const char* xftDpi; // the X resource, as desktops and xrdb set it
            const char* gdkScale;
            double scale;
        } cases[] = {{"144", "", 1.5}, {"", "2", 2.0}};
        for (const auto& c : cases)
        {
            SCOPED_TRACE (testing::Message() << "Xft.dpi " << c.xftDpi << ", GDK_SCALE " << c.gdkScale);
            runCommand (*c.xftDpi ? std::string ("echo 'Xft.dpi: ") + c.xftDpi + "' | xrdb -nocpp -merge"
                                  : std::string ("xrdb -remove"));
            environment.push_back (std::string ("GDK_SCALE=") + c.gdkScale);
            const auto window = startAndFindWindow();
            ASSERT_FALSE (window.empty());
            expectDrawnAt (window, c.scale);
            endProcess (started.back());
            started.pop_back();
            environment.pop_back();
        }
        runCommand ("xrdb -remove");
    }

    // Kept above the others, movable but not closable, minimisable, maximisable or
    // resizable; a close request changes nothing; a second start leaves one window
    // and one process, and brings the first forward; only the buttons end it.
    TEST_F (Program, OneCopyThatOnlyItsButtonsEnd)
    {
        const auto window = startAndFindWindow();
        ASSERT_FALSE (window.empty());
        EXPECT_NE (runCommand ("xprop -id " + window + " _NET_WM_STATE").find ("_NET_WM_STATE_ABOVE"),
                   std::string::npos);
        const auto actions = runCommand ("xprop -id " + window + " _NET_WM_ALLOWED_ACTIONS");
        EXPECT_NE (actions.find ("_NET_WM_ACTION_MOVE"), std::string::npos) << actions;
        for (const char* action : {"CLOSE", "MINIMIZE", "MAXIMIZE", "RESIZE"})
            EXPECT_EQ (actions.find (std::string ("_NET_WM_ACTION_") + action), std::string::npos) << actions;
        expectDrawnAt (window, 1.0);

        const auto first = started.front();
        ASSERT_TRUE (sendCloseRequest (window));

        EXPECT_EQ (waitForExit (start(), 20000), 0);
        EXPECT_EQ (findWindows ("Updater Program", 0).size(), 1u);
        EXPECT_EQ (waitForExit (first, 0), -1) << "a close request or the second copy ended the first";
        EXPECT_EQ (std::atoi (runCommand (std::string ("pgrep -c -f -x '") + QTX_PROGRAM + "'").c_str()), 1);
        EXPECT_EQ (std::stoul (runCommand ("xdotool getactivewindow")), std::stoul (window));

        click (window, 246, 146); // "Cancel"
        EXPECT_EQ (waitForExit (first, 20000), 0);
    }

} // namespace
} // namespace qtx::test
