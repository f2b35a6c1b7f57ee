// A whole update through the real window against the simulated controller:
// the user's clicks, the screens they lead to, and what the controller received.

#include "XServer.h"

#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

namespace qtx::test
{
namespace
{
    const juce::Colour grey (234, 234, 234);

    struct Screen
    {
        bool list, leftButton, warning;
    };

    // Tells the screens apart by what is drawn where: the list or bar band at y 88,
    // the left button's light top edge at (246, 136), the sign's yellow at (41, 66).
    Screen look (const juce::Image& shot)
    {
        const auto sign = shot.getPixelAt (41, 66);
        return {shot.getPixelAt (300, 88) != grey, shot.getPixelAt (246, 136) == juce::Colours::white,
                sign.getRed() > 190 && sign.getGreen() > 160 && sign.getBlue() < 110};
    }

    class Update : public OnScreen
    {
    protected:
        void prepare()
        {
            stage = juce::File::createTempFile ("");
            stage.createDirectory();
            ASSERT_TRUE (juce::File (QTX_PROGRAM).copyFileTo (stage.getChildFile ("QtxUpdate")));
            stage.getChildFile ("QtxUpdate").setExecutePermission (true);
            const auto package = stage.getChildFile ("QTX-ORB9_UP.upd").getFullPathName().toStdString();
            ASSERT_NE (runCommand (std::string (QTX_PACKAGE_TOOL) + " build '" + QTX_SAMPLE_MANIFEST + "' '" +
                                   package + "'")
                           .find ("Ver. 1.23"),
                       std::string::npos);
        }

        void TearDown() override { cleanUp(); }

        void cleanUp()
        {
            if (sim > 0)
                endProcess (sim);
            sim = -1;
            if (stage != juce::File())
                stage.deleteRecursively();
        }

        // Waits until the window shows a screen that `wanted` accepts.
        bool waitFor (const std::string& window, std::function<bool (Screen)> wanted, int timeoutMs = 30000)
        {
            for (int waited = 0; waited < timeoutMs; waited += 100)
            {
                const auto shot = captureWindow (window);
                if (shot.isValid() && shot.getPixelAt (3, 3) == grey && wanted (look (shot)))
                    return true;
                juce::Thread::sleep (100);
            }
            return false;
        }

        std::string summary() const
        {
            return stage.getChildFile ("sim.log").loadFileAsString().toStdString();
        }

        juce::File stage;
        pid_t sim = -1;
    };

    TEST_F (Update, EndsOnTheScreenThatMatchesTheController)
    {
        const struct
        {
            const char* what;
            std::vector<std::string> options;
            bool complete;
        } cases[] = {
            {"a willing controller", {}, true},
            {"update mode refused", {"--mode-refuse", "2"}, false},
            {"unplugged while data is sent", {"--unplug-at", "data:20"}, false},
            {"silent after START", {"--silent-at", "start"}, false},
        };

        for (const auto& c : cases)
        {
            SCOPED_TRACE (c.what);
            prepare();
            std::vector<std::string> argv{QTX_SIM};
            argv.insert (argv.end(), c.options.begin(), c.options.end());
            argv.push_back ("--");
            argv.push_back (stage.getChildFile ("QtxUpdate").getFullPathName().toStdString());
            sim = startProcess (argv, {"LANG=C", "XDG_RUNTIME_DIR=" + stage.getFullPathName().toStdString()},
                                stage.getChildFile ("sim.log").getFullPathName().toStdString());
            ASSERT_GT (sim, 0);

            const auto windows = findWindows ("Updater Program", 30000);
            ASSERT_EQ (windows.size(), 1u);
            const auto window = windows.front();
            ASSERT_TRUE (waitFor (window, [] (Screen s) { return s.list && s.leftButton; }))
                << "language screen";

            click (window, 356, 146); // OK
            ASSERT_TRUE (waitFor (window, [] (Screen s) { return !s.list && s.leftButton && !s.warning; }))
                << "Ready with Start and Close";

            click (window, 356, 146); // Start
            // "START" has a 10 s answer limit, so a silent controller takes that long.
            ASSERT_TRUE (waitFor (
                window, [&] (Screen s) { return !s.list && !s.leftButton && s.warning != c.complete; },
                60000))
                << (c.complete ? "Complete" : "Failed") << "\n"
                << summary();

            click (window, 356, 146); // OK ends the program
            EXPECT_EQ (waitForExit (sim, 20000), 0) << summary();
            sim = -1;
            EXPECT_EQ (summary().find ("update complete, all CRC-16s match") != std::string::npos, c.complete)
                << summary();
            cleanUp();
        }
    }

} // namespace
} // namespace qtx::test
