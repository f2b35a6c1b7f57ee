// The installed program, started by a bare name through PATH from another
// folder: it must find the update package in its own private folder and offer
// the update to the (simulated) controller.

#include "StagedInstall.h"

#include "tests/ui/XServer.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace qtx::test
{
namespace
{
    const juce::Colour grey (234, 234, 234);

    // Ready with a usable package: two buttons (the left one's light top edge at
    // (246, 136)) and no warning sign (its yellow at (41, 66)); the language list
    // (at y 88) is gone.
    bool showsReady (const juce::Image& shot)
    {
        const auto sign = shot.getPixelAt (41, 66);
        const bool warning = sign.getRed() > 190 && sign.getGreen() > 160 && sign.getBlue() < 110;
        return shot.getPixelAt (3, 3) == grey && shot.getPixelAt (300, 88) == grey &&
               shot.getPixelAt (246, 136) == juce::Colours::white && !warning;
    }

    class InstalledProgram : public OnScreen
    {
    };

    TEST_F (InstalledProgram, StartedThroughPathFindsItsPackage)
    {
        StagedInstall staged;
        ASSERT_TRUE (staged.ok()) << staged.log();
        const auto package = staged / (std::string (QTX_APP_DIR) + "/QTX-ORB9_UP.upd");
        const auto made = run (quoted (QTX_PACKAGE_TOOL) + " build " + quoted (QTX_SAMPLE_MANIFEST) + " " +
                               quoted (package));
        ASSERT_EQ (made.status, 0) << made.output;

        const auto runtime = staged.prefix().parent_path();
        // The program itself by a bare name through PATH, not the launcher: it must
        // find its folder from the running image, not from the name it was started by.
        const std::string path = (staged / QTX_APP_DIR).string() + ":" + std::getenv ("PATH");
        const auto sim = startProcess ({QTX_SIM, "--", "QtxUpdate"},
                                       {"PATH=" + path, "LANG=C", "XDG_RUNTIME_DIR=" + runtime.string()},
                                       (runtime / "sim.log").string());
        ASSERT_GT (sim, 0);

        const auto windows = findWindows ("Updater Program", 30000);
        ASSERT_EQ (windows.size(), 1u);
        runCommand ("xdotool mousemove --window " + windows.front() +
                    " 356 146 click 1 mousemove 1000 760"); // OK
        bool ready = false;
        for (int waited = 0; waited < 30000 && !ready; waited += 100)
        {
            ready = showsReady (captureWindow (windows.front()));
            if (!ready)
                juce::Thread::sleep (100);
        }
        EXPECT_TRUE (ready) << "no Ready screen with Start: the package was not found";
        endProcess (sim);
    }

} // namespace
} // namespace qtx::test
