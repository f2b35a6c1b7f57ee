#pragma once

// A private X server (Xvfb) for screen tests, optionally with a light window
// manager, plus small helpers to start the program and look at its window.

#include <juce_graphics/juce_graphics.h>

#include <string>
#include <sys/types.h>
#include <vector>

namespace qtx::test
{

class XServer
{
public:
    XServer() = default;
    ~XServer();

    // Starts Xvfb on a free display and, if asked, openbox; sets DISPLAY.
    bool start (bool withWindowManager);
    void stop();

    const std::string& display() const { return displayName; }

private:
    pid_t server = -1;
    pid_t windowManager = -1;
    std::string displayName;
};

// Starts a program with extra environment entries ("NAME=value"); -1 on failure.
pid_t startProcess (const std::string& program, const std::vector<std::string>& environment);

// The same with arguments (argv[0] is the program), standard error into errorFile if given.
pid_t startProcess (const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                    const std::string& errorFile);

// Waits up to timeoutMs for the process to end; its exit status, or -1 if it still runs.
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
