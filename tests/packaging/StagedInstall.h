#pragma once

// `cmake --install` of this build into a throwaway prefix, and small helpers
// to look at what it put there.

#include <filesystem>
#include <string>

namespace qtx::test
{

struct CommandResult
{
    int status = -1;    // exit status, -1 when it did not exit normally
    std::string output; // standard output and standard error
};

CommandResult run (const std::string& command);

// Single quotes for the shell.
std::string quoted (const std::string& text);

class StagedInstall
{
public:
    // Installs this build under a new temporary prefix; ok() tells whether it worked.
    StagedInstall();
    ~StagedInstall();

    bool ok() const { return result.status == 0; }
    const std::string& log() const { return result.output; }

    const std::filesystem::path& prefix() const { return root; }
    std::filesystem::path operator/ (const std::string& relative) const { return root / relative; }

private:
    std::filesystem::path top, root;
    CommandResult result;
};

} // namespace qtx::test
