// The installed program, started by a bare name through PATH from another
// folder, against the simulated controller: it must find the update package in
// its own private folder, and update through its window by keyboard alone. (A
// failed update's screen is the window's tests', unplugs the fault campaign's.)

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
            if (staged->ok())
                packaging = run (quoted (QTX_PACKAGE_TOOL) + " build " + quoted (QTX_SAMPLE_MANIFEST) + " " +
                                 quoted (*staged / (std::string (QTX_APP_DIR) + "/QTX-ORB9_UP.upd")));
        }
        void SetUp() override
        {
            ASSERT_TRUE (staged->ok()) << staged->log();
            ASSERT_EQ (packaging.status, 0) << packaging.output;
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

        // Starts the installed program inside the simulator and waits for its language screen.
        std::string startInSimulator (const std::vector<std::string>& options)
        {
            std::vector<std::string> argv{QTX_SIM};
            argv.insert (argv.end(), options.begin(), options.end());
            argv.insert (argv.end(), {"--", "QtxUpdate"});
            // The program itself by a bare name through PATH, not the launcher: it must
            // find its folder from the running image, not from the name it was started by.
            const std::string path = (*staged / QTX_APP_DIR).string() + ":" + std::getenv ("PATH");
            sim = startProcess (argv, {"PATH=" + path, "LANG=C", "XDG_RUNTIME_DIR=" + runtime().string()},
                                log().string());
            const auto windows = findWindows ("Updater Program", 30000);
            if (sim <= 0 || windows.size() != 1 ||
                !waitFor (
                    windows.front(), [] (Screen s) { return s.list && s.leftButton; }, 30000))
                return {};
            return windows.front();
        }

        static std::filesystem::path runtime() { return staged->prefix().parent_path(); }
        static std::filesystem::path log() { return runtime() / "sim.log"; }
        static std::string summary() { return juce::File (log().string()).loadFileAsString().toStdString(); }

        static std::unique_ptr<StagedInstall> staged;
        static CommandResult packaging;
        pid_t sim = -1;
    };
    std::unique_ptr<StagedInstall> InstalledProgram::staged;
    CommandResult InstalledProgram::packaging;

    TEST_F (InstalledProgram, EscapeEndsTheProgramWithoutAnUpdate)
    {
        // Escape presses the left-hand button: "Cancel" on the language screen, "Close" on Ready.
        for (const char* before : {"", "key Return"})
        {
            SCOPED_TRACE (before);
            const auto window = startInSimulator ({});
            ASSERT_FALSE (window.empty()) << "no language screen";
            if (*before != '\0')
            {
                keys (window, before);
                ASSERT_TRUE (waitFor (
                    window, [] (Screen s) { return !s.list && s.leftButton; }, 30000));
            }
            keys (window, "key Escape");
            EXPECT_EQ (waitForExit (sim, 20000), 0) << summary();
            sim = -1;
            EXPECT_NE (summary().find ("qtx-sim: 0 commands"), std::string::npos) << summary();
        }
    }

    TEST_F (InstalledProgram, StartedThroughPathUpdatesAndEndsOnTheMatchingScreen)
    {
        // By keyboard: a held Return presses "OK" once (its repeats must not press
        // "Start" on the next screen), Tab goes round Close back to Start, Space
        // presses it, and keys while Updating do nothing.
        const auto window = startInSimulator ({"--delay-us", "20000"});
        ASSERT_FALSE (window.empty()) << "no language screen";
        keys (window, "keydown Return sleep 1.5 keyup Return");
        ASSERT_TRUE (waitFor (
            window, [] (Screen s) { return !s.list && s.leftButton && !s.warning; }, 30000))
            << "no Ready screen with Start: the package was not found";
        keys (window, "key Tab Tab space");
        ASSERT_TRUE (waitFor (
            window, [] (Screen s) { return s.list && !s.leftButton; }, 30000))
            << "no Updating screen";
        keys (window, "key Escape Return Tab space");
        ASSERT_TRUE (waitFor (
            window, [] (Screen s) { return !s.list && !s.leftButton && !s.warning; }, 60000))
            << "no Complete screen\n"
            << summary();
        keys (window, "key Return"); // "OK" ends the program
        EXPECT_EQ (waitForExit (sim, 20000), 0) << summary();
        sim = -1;
        EXPECT_NE (summary().find ("update complete, all CRC-16s match"), std::string::npos) << summary();
    }

} // namespace
} // namespace qtx::test
