#pragma once

// `cmake --install` of this build into a throwaway prefix.

#include "support/Command.h"

#include <filesystem>
#include <string>

namespace qtx::test
{

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
