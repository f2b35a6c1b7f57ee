#include "Console.h"

#include "Terminal.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

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

Console::Console (bool j)
    : json (j)
    , outIsTerminal (terminal::isTerminal (terminal::output))
    , errIsTerminal (terminal::isTerminal (terminal::error))
    , inIsTerminal (terminal::isTerminal (terminal::input))
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
    if (json)
        return;
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
    // Standard error on every system (the window's Windows trace goes to the debugger).
    std::fputs (line, stderr);
    std::fflush (stderr);
}

void Console::progress (double fraction)
{
    if (json)
        return;
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
    if (json)
        return;
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
    switch (terminal::readLine (answer, longestAnswer, signals))
    {
        case terminal::LineRead::line:
            return isYes (answer) ? Answer::yes : Answer::no;
        case terminal::LineRead::ended:
            return Answer::no;
        case terminal::LineRead::interrupted:
            break;
    }
    return Answer::interrupted;
}

} // namespace qtx::cli
