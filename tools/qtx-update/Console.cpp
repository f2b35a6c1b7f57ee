#include "Console.h"

#include "Signals.h"

#include "update/DebugOutput.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <poll.h>
#include <unistd.h>

namespace qtx::cli
{

namespace
{
    constexpr int barWidth = 40;
    constexpr size_t longestAnswer = 64;

    bool isYes (std::string answer)
    {
        answer.erase (std::remove_if (answer.begin(), answer.end(),
                                      [] (unsigned char c) { return std::isspace (c) != 0; }),
                      answer.end());
        std::transform (answer.begin(), answer.end(), answer.begin(),
                        [] (unsigned char c) { return (char) std::tolower (c); });
        return answer == "y" || answer == "yes";
    }
} // namespace

Console::Console()
    : outIsTerminal (isatty (STDOUT_FILENO) == 1)
    , errIsTerminal (isatty (STDERR_FILENO) == 1)
    , inIsTerminal (isatty (STDIN_FILENO) == 1)
{
}

void Console::eraseBarLocked()
{
    if (!barShown)
        return;
    std::fputs ("\r\033[K", stdout);
    std::fflush (stdout);
    barShown = false;
}

void Console::say (const std::string& line)
{
    std::lock_guard<std::mutex> g (lock);
    eraseBarLocked();
    std::printf ("%s\n", line.c_str());
    std::fflush (stdout);
}

void Console::fail (const std::string& reason)
{
    std::lock_guard<std::mutex> g (lock);
    eraseBarLocked();
    std::fprintf (stderr, "qtx-update: %s\n", reason.c_str());
    std::fflush (stderr);
}

void Console::trace (const char* line)
{
    std::lock_guard<std::mutex> g (lock);
    if (errIsTerminal)
        eraseBarLocked(); // redrawn by the next progress call
    debugOutput (line);
}

void Console::progress (double fraction)
{
    const int percent = (int) std::clamp (std::lround (fraction * 100.0), 0L, 100L);
    std::lock_guard<std::mutex> g (lock);
    if (!outIsTerminal)
    {
        if (percent != lastPercent)
            std::printf ("%d%%\n", percent);
    }
    else if (percent != lastPercent || !barShown)
    {
        const int filled = percent * barWidth / 100;
        std::printf ("\r[%s%s] %3d%%", std::string ((size_t) filled, '#').c_str(),
                     std::string ((size_t) (barWidth - filled), '-').c_str(), percent);
        barShown = true;
    }
    lastPercent = percent;
    std::fflush (stdout);
}

void Console::endProgress()
{
    std::lock_guard<std::mutex> g (lock);
    if (barShown)
        std::fputs ("\n", stdout);
    std::fflush (stdout);
    barShown = false;
    lastPercent = -1;
}

Console::Answer Console::confirm (const std::string& question, SignalWatch& signals)
{
    if (!inIsTerminal)
        return Answer::noTerminal;
    {
        std::lock_guard<std::mutex> g (lock);
        eraseBarLocked();
        std::printf ("%s [y/N] ", question.c_str());
        std::fflush (stdout);
    }
    std::string answer;
    for (;;)
    {
        if (signals.wait (0) != 0)
            return Answer::interrupted;
        pollfd in{STDIN_FILENO, POLLIN, 0};
        if (::poll (&in, 1, 100) <= 0)
            continue;
        char c = 0;
        if (::read (STDIN_FILENO, &c, 1) != 1) // end of input: no
            return Answer::no;
        if (c == '\n')
            return isYes (answer) ? Answer::yes : Answer::no;
        if (answer.size() < longestAnswer)
            answer += c;
    }
}

} // namespace qtx::cli
