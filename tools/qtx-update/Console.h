#pragma once

// What qtx-update writes and asks: messages and progress on standard output,
// the trace and the one-line reasons on standard error, the y/N question on the
// terminal. On a terminal the progress is a bar redrawn in place; trace lines
// written to the same terminal take the bar away first, so both stay readable.
// For --json, standard output is left to the document: no lines, no progress.

#include <mutex>
#include <string>

namespace qtx::cli
{

class SignalWatch;

class Console
{
public:
    explicit Console (bool json = false);

    // A line on standard output.
    void say (const std::string& line);
    // "qtx-update: <reason>" on standard error.
    void fail (const std::string& reason);
    // A notice that is no failure (a wait), in the same place and form.
    void note (const std::string& line) { fail (line); }
    // One trace line to standard error, as the window writes it. Any thread.
    void trace (const char* line);

    // Progress 0.0 to 1.0: the bar on a terminal, else a line "NN%" per new percent.
    void progress (double fraction);
    // Leaves the bar's line (if one is drawn) so the next output starts afresh.
    void endProgress();

    enum class Answer
    {
        yes,
        no,
        noTerminal,
        interrupted
    };

    // Asks question [y/N] and reads one line from a terminal on standard input.
    Answer confirm (const std::string& question, SignalWatch& signals);

private:
    void eraseBarLocked();

    std::mutex lock;
    bool json = false;
    bool outIsTerminal = false;
    bool errIsTerminal = false;
    bool inIsTerminal = false;
    bool barShown = false;
    int lastPercent = -1;
};

} // namespace qtx::cli
