// The real program under a window manager: its window, what is on the screen,
// the single running copy, and that only its buttons end it.

#include "XServer.h"

#include "XCloseRequest.h"
#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

#include <cstdlib>

namespace qtx::test
{
namespace
{
    class Program : public ::testing::Test
    {
    protected:
        static void SetUpTestSuite()
        {
            server = new XServer();
            ASSERT_TRUE (server->start (true)) << "Xvfb or openbox did not start";
        }
        static void TearDownTestSuite()
        {
            delete server;
            server = nullptr;
        }

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
            const auto pid = startProcess (QTX_PROGRAM, environment);
            started.push_back (pid);
            return pid;
        }

        // Starts the program and waits for its one window.
        std::string startAndFindWindow()
        {
            start();
            const auto windows = findWindows ("Updater Program", 20000);
            return windows.size() == 1 ? windows.front() : std::string();
        }

        void click (const std::string& window, int x, int y)
        {
            runCommand ("xdotool mousemove --window " + window + " " + std::to_string (x) + " " +
                        std::to_string (y) + " click 1");
        }

        static XServer* server;
        std::unique_ptr<juce::TemporaryFile> runtime;
        std::vector<std::string> environment;
        std::vector<pid_t> started;
    };

    XServer* Program::server = nullptr;

    int countProcesses (const std::string& program)
    {
        return std::atoi (runCommand ("pgrep -c -f -x '" + program + "'").c_str());
    }

    TEST_F (Program, WindowHasItsSizeTitleAndBackground)
    {
        const auto window = startAndFindWindow();
        ASSERT_FALSE (window.empty());

        const auto info = runCommand ("xwininfo -id " + window);
        EXPECT_NE (info.find ("Width: 426"), std::string::npos) << info;
        EXPECT_NE (info.find ("Height: 176"), std::string::npos) << info;
        EXPECT_NE (runCommand ("xprop -id " + window + " _NET_WM_STATE").find ("_NET_WM_STATE_ABOVE"),
                   std::string::npos);

        // Wait for the first frame, then read the pixels back from the screen.
        juce::Image shot;
        for (int i = 0; i < 50; ++i)
        {
            shot = captureWindow (window);
            if (shot.isValid() && shot.getPixelAt (3, 3) == juce::Colour (234, 234, 234))
                break;
            juce::Thread::sleep (100);
        }
        ASSERT_TRUE (shot.isValid());
        ASSERT_EQ (shot.getWidth(), 426);
        for (auto [x, y] : {std::pair{3, 3}, {422, 5}, {200, 60}, {10, 170}, {150, 150}})
            EXPECT_EQ (shot.getPixelAt (x, y), juce::Colour (234, 234, 234)) << x << "," << y;
        // Dark heading text near the top left.
        bool dark = false;
        for (int x = 20; x < 150 && !dark; ++x)
            for (int y = 20; y < 34 && !dark; ++y)
                dark = shot.getPixelAt (x, y).getBrightness() < 0.3f;
        EXPECT_TRUE (dark);
    }

    TEST_F (Program, SecondStartLeavesOneWindowAndOneProcess)
    {
        const auto window = startAndFindWindow();
        ASSERT_FALSE (window.empty());
        const auto first = started.front();

        const auto second = start();
        EXPECT_EQ (waitForExit (second, 20000), 0);
        EXPECT_EQ (findWindows ("Updater Program", 0).size(), 1u);
        EXPECT_EQ (waitForExit (first, 0), -1) << "the first copy ended";
        EXPECT_EQ (countProcesses (QTX_PROGRAM), 1);

        // The running copy was brought forward: it is the active window.
        const auto active = runCommand ("xdotool getactivewindow");
        EXPECT_EQ (std::stoul (active), std::stoul (window));
    }

    TEST_F (Program, CloseRequestChangesNothingAndCancelEnds)
    {
        const auto window = startAndFindWindow();
        ASSERT_FALSE (window.empty());
        const auto pid = started.front();

        ASSERT_TRUE (sendCloseRequest (window));
        EXPECT_EQ (waitForExit (pid, 1500), -1) << "a close request ended the program";
        EXPECT_EQ (findWindows ("Updater Program", 0).size(), 1u);

        // "Cancel" sits at (196, 136, 100, 20).
        click (window, 246, 146);
        EXPECT_EQ (waitForExit (pid, 20000), 0);
    }

    TEST_F (Program, OkWithoutControllerThenCloseEnds)
    {
        const auto window = startAndFindWindow();
        ASSERT_FALSE (window.empty());
        const auto pid = started.front();

        click (window, 356, 146); // "OK"
        bool warning = false;
        for (int i = 0; i < 50 && !warning; ++i)
        {
            const auto pixel = captureWindow (window).getPixelAt (41, 66);
            warning = pixel.getRed() > 200 && pixel.getGreen() > 180 && pixel.getBlue() < 110;
            if (!warning)
                juce::Thread::sleep (100);
        }
        EXPECT_TRUE (warning) << "no warning sign after OK";

        click (window, 356, 146); // now "OK" of the package error, or "Close"
        EXPECT_EQ (waitForExit (pid, 20000), 0);
    }

} // namespace
} // namespace qtx::test
