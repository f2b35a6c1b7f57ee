#pragma once

// `cmake --install` of this build into a throwaway prefix.

#include "support/Command.h"

#include <cstdlib>
#include <filesystem>
#include <string>

namespace qtx::test
{

class StagedInstall
{
public:
    // Installs this build under a new temporary prefix; ok() tells whether it worked.
    StagedInstall()
    {
        char pattern[] = "/tmp/qtx-install-XXXXXX";
        if (::mkdtemp (pattern) == nullptr)
            return;
        top = pattern;
        root = top / "prefix";
        result =
            run (quoted (QTX_CMAKE) + " --install " + quoted (QTX_BUILD_DIR) + " --prefix " + quoted (root));
    }
    ~StagedInstall()
    {
        std::error_code ignored;
        if (!top.empty())
            std::filesystem::remove_all (top, ignored);
    }

    bool ok() const { return result.status == 0; }
    const std::string& log() const { return result.output; }

    const std::filesystem::path& prefix() const { return root; }
    std::filesystem::path operator/ (const std::string& relative) const { return root / relative; }

private:
    std::filesystem::path top, root;
    CommandResult result;
};

} // namespace qtx::test
