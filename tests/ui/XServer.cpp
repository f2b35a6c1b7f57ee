#include "XServer.h"

#include "devlink/LockIsolation.h"
#include "support/Command.h"

#include <sstream>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace qtx::test
{
std::vector<pid_t> OnScreen::serverProcesses;

namespace
{
    // A command with the session script's functions at hand.
    std::string inSession (const std::string& command)
    {
        return runCommand (std::string ("bash -c '. \"") + QTX_XSESSION + "\" && " + command + "'");
    }
} // namespace

void OnScreen::startServer (int dpi)
{
    // The screen and the programs started here take devlink's machine-wide
    // lock; with a private one, other test runs on the machine cannot take it
    // from them (and cost them their device notices). The X server and
    // everything else started from here share it.
    devlink::test::isolateLockNamespace();

    const auto started = inSession ("QTX_X_DPI=" + std::to_string (dpi) +
                                    " qtx_x_start && echo \"$DISPLAY $QTX_XVFB_PID $QTX_WM_PID\"");
    std::istringstream fields (started);
    std::string display;
    pid_t xvfb = -1, windowManager = -1;
    fields >> display >> xvfb >> windowManager;
    ASSERT_TRUE (fields && display[0] == ':') << "Xvfb or the window manager did not start: " << started;
    ::setenv ("DISPLAY", display.c_str(), 1);
    serverProcesses = {windowManager, xvfb};
}

void OnScreen::TearDownTestSuite()
{
    // Children of the shell that started them, not of this process.
    for (auto pid : serverProcesses)
        ::kill (pid, SIGTERM);
    serverProcesses.clear();
}

void OnScreen::click (const std::string& window, int x, int y)
{
    inSession ("qtx_x_click " + window + " " + std::to_string (x) + " " + std::to_string (y));
}

void OnScreen::keys (const std::string& window, const std::string& actions)
{
    inSession ("qtx_x_keys " + window + " " + actions);
}

pid_t startProcess (const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                    const std::string& errorFile)
{
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    for (const auto& entry : environment)
        ::putenv (const_cast<char*> (entry.c_str()));
    const int devNull = ::open ("/dev/null", O_RDWR);
    ::dup2 (devNull, 0);
    if (std::getenv ("QTX_TEST_VERBOSE") == nullptr)
    {
        ::dup2 (devNull, 1);
        ::dup2 (devNull, 2);
    }
    if (!errorFile.empty())
    {
        const int fd = ::open (errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd >= 0)
            ::dup2 (fd, 2);
    }
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back (const_cast<char*> (a.c_str()));
    args.push_back (nullptr);
    ::execvp (args[0], args.data());
    ::_exit (127);
}

int waitForExit (pid_t pid, int timeoutMs)
{
    for (int waited = 0; waited <= timeoutMs; waited += 20)
    {
        int status = 0;
        const pid_t r = ::waitpid (pid, &status, WNOHANG);
        if (r == pid)
            return WIFEXITED (status) ? WEXITSTATUS (status) : 128 + WTERMSIG (status);
        if (r < 0)
            return -2;
        std::this_thread::sleep_for (std::chrono::milliseconds (20));
    }
    return -1;
}

void endProcess (pid_t pid)
{
    if (pid <= 0)
        return;
    ::kill (pid, SIGTERM);
    if (waitForExit (pid, 3000) == -1)
    {
        ::kill (pid, SIGKILL);
        ::waitpid (pid, nullptr, 0);
    }
}

std::string runCommand (const std::string& command)
{
    return run (command, false).output;
}

std::vector<std::string> findWindows (const std::string& title, int timeoutMs)
{
    std::vector<std::string> ids;
    for (int waited = 0; waited <= timeoutMs; waited += 50)
    {
        std::istringstream out (
            runCommand ("xdotool search --onlyvisible --name '^" + title + "$' 2>/dev/null"));
        ids.clear();
        for (std::string id; out >> id;)
            ids.push_back (id);
        if (!ids.empty())
            break;
        std::this_thread::sleep_for (std::chrono::milliseconds (50));
    }
    return ids;
}

juce::Image captureWindow (const std::string& windowId)
{
    const auto file = juce::File::createTempFile (".png");
    runCommand ("import -silent -window " + windowId + " " + file.getFullPathName().toStdString() +
                " 2>/dev/null");
    auto image = juce::ImageFileFormat::loadFrom (file);
    file.deleteFile();
    return image;
}

} // namespace qtx::test
