#include "XServer.h"

#include "devlink/LockIsolation.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace qtx::test
{
namespace
{
    pid_t spawn (const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment,
                 int keepFd = -1, const std::string& errorFile = {})
    {
        const pid_t pid = ::fork();
        if (pid != 0)
            return pid;
        for (const auto& entry : extraEnvironment)
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
        if (keepFd >= 0)
            ::fcntl (keepFd, F_SETFD, 0);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back (const_cast<char*> (a.c_str()));
        args.push_back (nullptr);
        ::execvp (args[0], args.data());
        ::_exit (127);
    }

    void sleepMs (int ms)
    {
        std::this_thread::sleep_for (std::chrono::milliseconds (ms));
    }
} // namespace

XServer::~XServer()
{
    stop();
}

bool XServer::start (bool withWindowManager)
{
    // The screen and the programs started here take devlink's machine-wide
    // lock; with a private one, other test runs on the machine cannot take it
    // from them (and cost them their device notices). Xvfb and everything else
    // started from here share it.
    devlink::test::isolateLockNamespace();

    int fds[2];
    if (::pipe2 (fds, O_CLOEXEC) != 0)
        return false;
    server = spawn ({"Xvfb", "-displayfd", std::to_string (fds[1]), "-screen", "0", "1024x768x24",
                     "-nolisten", "tcp", "-noreset"},
                    {}, fds[1]);
    ::close (fds[1]);

    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    while (number.find ('\n') == std::string::npos && ::poll (&p, 1, 20000) > 0)
    {
        char buffer[32];
        const auto n = ::read (fds[0], buffer, sizeof (buffer));
        if (n <= 0)
            break;
        number.append (buffer, (size_t) n);
    }
    ::close (fds[0]);
    if (number.find ('\n') == std::string::npos)
        return false;
    number.pop_back();
    displayName = ":" + number;
    ::setenv ("DISPLAY", displayName.c_str(), 1);

    if (withWindowManager)
    {
        windowManager = spawn ({"openbox", "--sm-disable"}, {});
        for (int i = 0; i < 100; ++i)
        {
            if (runCommand ("xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null").find ("window id") !=
                std::string::npos)
                return true;
            sleepMs (50);
        }
        return false;
    }
    return true;
}

void XServer::stop()
{
    endProcess (windowManager);
    windowManager = -1;
    endProcess (server);
    server = -1;
}

pid_t startProcess (const std::string& program, const std::vector<std::string>& environment)
{
    return spawn ({program}, environment);
}

pid_t startProcess (const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                    const std::string& errorFile)
{
    return spawn (argv, environment, -1, errorFile);
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
        sleepMs (20);
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
    std::string out;
    if (FILE* pipe = ::popen (command.c_str(), "r"))
    {
        char buffer[256];
        while (auto n = std::fread (buffer, 1, sizeof (buffer), pipe))
            out.append (buffer, n);
        ::pclose (pipe);
    }
    return out;
}

std::vector<std::string> findWindows (const std::string& title, int timeoutMs)
{
    std::vector<std::string> ids;
    for (int waited = 0; waited <= timeoutMs; waited += 50)
    {
        const auto out = runCommand ("xdotool search --onlyvisible --name '^" + title + "$' 2>/dev/null");
        ids.clear();
        size_t start = 0;
        for (size_t end; (end = out.find ('\n', start)) != std::string::npos; start = end + 1)
            if (end > start)
                ids.push_back (out.substr (start, end - start));
        if (!ids.empty())
            break;
        sleepMs (50);
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
