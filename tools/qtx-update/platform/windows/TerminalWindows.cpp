#include "Terminal.h"

#include "Signals.h"

#include <windows.h>

#include <shellapi.h>

namespace qtx::cli::terminal
{

namespace
{
    std::string toUtf8 (const wchar_t* text)
    {
        const int size = WideCharToMultiByte (CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
        if (size <= 1)
            return {};
        std::string out ((size_t) size, '\0');
        WideCharToMultiByte (CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
        out.resize ((size_t) size - 1);
        return out;
    }

    HANDLE handleOf (Stream stream)
    {
        return GetStdHandle (stream == input    ? STD_INPUT_HANDLE
                             : stream == output ? STD_OUTPUT_HANDLE
                                                : STD_ERROR_HANDLE);
    }
} // namespace

// The narrow argv holds the ANSI code page's rendering: a name outside it would arrive
// as question marks. The wide command line holds every name as typed.
std::vector<std::string> arguments (int argc, char** argv)
{
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW (GetCommandLineW(), &count);
    if (wide == nullptr)
        return std::vector<std::string> (argv, argv + argc);
    std::vector<std::string> out;
    for (int k = 0; k < count; ++k)
        out.push_back (toUtf8 (wide[k]));
    LocalFree (wide);
    return out;
}

bool isTerminal (Stream stream)
{
    DWORD mode = 0;
    return GetConsoleMode (handleOf (stream), &mode) != 0;
}

OutputMode::OutputMode()
{
    DWORD mode = 0;
    HANDLE out = handleOf (output);
    if (!GetConsoleMode (out, &mode))
        return;
    changed = true;
    savedMode = mode;
    savedCodePage = GetConsoleOutputCP();
    SetConsoleOutputCP (CP_UTF8);
    SetConsoleMode (out, mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

OutputMode::~OutputMode()
{
    if (!changed)
        return;
    SetConsoleMode (handleOf (output), (DWORD) savedMode);
    SetConsoleOutputCP (savedCodePage);
}

LineRead readLine (std::string& line, std::size_t longest, SignalWatch& signals)
{
    // A console hands over a line only once Enter is pressed; Ctrl-C ends the read early.
    HANDLE in = handleOf (input);
    for (;;)
    {
        if (signals.wait (0) != 0)
            return LineRead::interrupted;
        char c = 0;
        DWORD got = 0;
        if (!ReadFile (in, &c, 1, &got, nullptr) || got != 1)
            // The read may end before the Ctrl-C handler has run: give it a moment to say so.
            return signals.wait (250) != 0 ? LineRead::interrupted : LineRead::ended;
        if (c == '\n')
            return LineRead::line;
        if (c != '\r' && line.size() < longest)
            line += c;
    }
}

} // namespace qtx::cli::terminal
