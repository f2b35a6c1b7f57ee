#pragma once

// Shell commands for tests that drive programs as processes, and the files they leave.

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>

namespace qtx::test
{

struct CommandResult
{
    int status = -1;    // exit status, -1 when it did not exit normally
    std::string output; // standard output, and standard error unless left out
};

inline CommandResult run (const std::string& command, bool withErrors = true)
{
    CommandResult result;
    FILE* pipe = ::popen ((withErrors ? command + " 2>&1" : command).c_str(), "r");
    if (pipe == nullptr)
        return result;
    std::array<char, 4096> buffer{};
    for (size_t n; (n = std::fread (buffer.data(), 1, buffer.size(), pipe)) > 0;)
        result.output.append (buffer.data(), n);
    const int status = ::pclose (pipe);
    result.status = WIFEXITED (status) ? WEXITSTATUS (status) : -1;
    return result;
}

// Single quotes for the shell.
inline std::string quoted (const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string ("'\\''") : std::string (1, c);
    return out + "'";
}

inline std::string readFile (const std::filesystem::path& path)
{
    std::ifstream in (path, std::ios::binary);
    return {std::istreambuf_iterator<char> (in), std::istreambuf_iterator<char>()};
}

} // namespace qtx::test
