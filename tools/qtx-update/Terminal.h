#pragma once

// What qtx-update needs of the system's terminal: its arguments as UTF-8, whether a
// standard stream is a terminal, UTF-8 output while the program runs, and one typed line.

#include <cstddef>
#include <string>
#include <vector>

namespace qtx::cli
{

class SignalWatch;

namespace terminal
{
    enum Stream
    {
        input = 0,
        output = 1,
        error = 2
    };

    // The command line's arguments, argv[0] first, in UTF-8 whatever the system's code page.
    std::vector<std::string> arguments (int argc, char** argv);

    bool isTerminal (Stream stream);

    // While it lives, a terminal on standard output takes UTF-8 text and the bar's
    // line-clearing escape; the terminal's own settings come back afterwards.
    class OutputMode
    {
    public:
        OutputMode();
        ~OutputMode();
        OutputMode (const OutputMode&) = delete;
        OutputMode& operator= (const OutputMode&) = delete;

    private:
        // The Windows console's settings; a Linux terminal needs none of them.
        [[maybe_unused]] unsigned int savedCodePage = 0;
        [[maybe_unused]] unsigned long savedMode = 0;
        [[maybe_unused]] bool changed = false;
    };

    enum class LineRead
    {
        line,       // a whole line (without its end) is in `line`
        ended,      // the input ended first
        interrupted // a watched signal came first
    };

    // Reads one line from standard input, keeping at most `longest` characters of it.
    LineRead readLine (std::string& line, std::size_t longest, SignalWatch& signals);
} // namespace terminal

} // namespace qtx::cli
