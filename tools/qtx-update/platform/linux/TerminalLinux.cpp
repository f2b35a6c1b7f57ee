#include "Terminal.h"

#include "Signals.h"

#include <poll.h>
#include <unistd.h>

namespace qtx::cli::terminal
{

std::vector<std::string> arguments (int argc, char** argv)
{
    return std::vector<std::string> (argv, argv + argc);
}

bool isTerminal (Stream stream)
{
    return isatty (stream) == 1;
}

// A terminal here takes UTF-8 and escapes as it is.
OutputMode::OutputMode() = default;
OutputMode::~OutputMode() = default;

LineRead readLine (std::string& line, std::size_t longest, SignalWatch& signals)
{
    for (;;)
    {
        if (signals.wait (0) != 0)
            return LineRead::interrupted;
        pollfd in{STDIN_FILENO, POLLIN, 0};
        if (::poll (&in, 1, 100) <= 0)
            continue;
        char c = 0;
        if (::read (STDIN_FILENO, &c, 1) != 1)
            return LineRead::ended;
        if (c == '\n')
            return LineRead::line;
        if (line.size() < longest)
            line += c;
    }
}

} // namespace qtx::cli::terminal
