#pragma once

// A private X server (Xvfb) with a light window manager for screen tests, the
// same one the scripts use (scripts/xsession.sh), plus small helpers to start
// the program and look at its window.

#include <gtest/gtest.h>
#include <juce_graphics/juce_graphics.h>

#include <string>
#include <sys/types.h>
#include <vector>

namespace qtx::test
{

// A test suite whose tests share one X server; DISPLAY points at it.
class OnScreen : public ::testing::Test
{
public:
    static void SetUpTestSuite() { startServer (96); }
    static void TearDownTestSuite();

protected:
    // The suite's X server, at `dpi` dots per inch (192: a monitor at 200 %).
    static void startServer (int dpi);
    // A left click at client coordinates, then the pointer out of the way.
    static void click (const std::string& window, int x, int y);
    // Real key events into the window, made active first: xdotool actions such as
    // "key Tab space" or "keydown Return sleep 1 keyup Return".
    static void keys (const std::string& window, const std::string& actions);

private:
    static std::vector<pid_t> serverProcesses;
};

// Starts a program (argv[0]) with extra environment entries ("NAME=value"),
// standard error into errorFile if given; -1 on failure.
pid_t startProcess (const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                    const std::string& errorFile = {});

// Waits up to timeoutMs for a child to end; its exit status, or -1 if it still runs.
int waitForExit (pid_t pid, int timeoutMs);

// Ends a process we started and reaps it.
void endProcess (pid_t pid);

// Output of a shell command (stdout only).
std::string runCommand (const std::string& command);

// Visible windows whose title is exactly `title`, polled up to timeoutMs until at least one shows.
std::vector<std::string> findWindows (const std::string& title, int timeoutMs);

// The window's client area as it is on the screen.
juce::Image captureWindow (const std::string& windowId);

} // namespace qtx::test
