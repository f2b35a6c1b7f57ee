// The installed program, started by a bare name through PATH from another
// folder, against the simulated controller: it must find the update package in
// its own private folder, and a whole update through its window must end on the
// screen that matches what the controller did.

#include "StagedInstall.h"

#include "tests/ui/XServer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>

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

    class InstalledProgram : public OnScreen
    {
    protected:
        static void SetUpTestSuite()
        {
            OnScreen::SetUpTestSuite();
            staged = std::make_unique<StagedInstall>();
        }
        static void TearDownTestSuite()
        {
            staged.reset();
            OnScreen::TearDownTestSuite();
        }
        void TearDown() override { endProcess (sim); }

        // Waits until the window shows a screen that `wanted` accepts.
        static bool waitFor (const std::string& window, std::function<bool (Screen)> wanted, int timeoutMs)
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

        static std::unique_ptr<StagedInstall> staged;
        pid_t sim = -1;
    };
    std::unique_ptr<StagedInstall> InstalledProgram::staged;

    TEST_F (InstalledProgram, StartedThroughPathUpdatesAndEndsOnTheMatchingScreen)
    {
        ASSERT_TRUE (staged->ok()) << staged->log();
        const auto package = *staged / (std::string (QTX_APP_DIR) + "/QTX-ORB9_UP.upd");
        const auto made = run (quoted (QTX_PACKAGE_TOOL) + " build " + quoted (QTX_SAMPLE_MANIFEST) + " " +
                               quoted (package));
        ASSERT_EQ (made.status, 0) << made.output;
        const auto runtime = staged->prefix().parent_path();
        const auto log = runtime / "sim.log";
        auto summary = [&] { return juce::File (log.string()).loadFileAsString().toStdString(); };
        // The program itself by a bare name through PATH, not the launcher: it must
        // find its folder from the running image, not from the name it was started by.
        const std::string path = (*staged / QTX_APP_DIR).string() + ":" + std::getenv ("PATH");

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
            std::vector<std::string> argv{QTX_SIM};
            argv.insert (argv.end(), c.options.begin(), c.options.end());
            argv.insert (argv.end(), {"--", "QtxUpdate"});
            sim = startProcess (argv, {"PATH=" + path, "LANG=C", "XDG_RUNTIME_DIR=" + runtime.string()},
                                log.string());
            ASSERT_GT (sim, 0);

            const auto windows = findWindows ("Updater Program", 30000);
            ASSERT_EQ (windows.size(), 1u);
            const auto window = windows.front();
            ASSERT_TRUE (waitFor (
                window, [] (Screen s) { return s.list && s.leftButton; }, 30000))
                << "language screen";
            click (window, 356, 146); // OK
            ASSERT_TRUE (waitFor (
                window, [] (Screen s) { return !s.list && s.leftButton && !s.warning; }, 30000))
                << "no Ready screen with Start: the package was not found";

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
        }
    }

} // namespace
} // namespace qtx::test
