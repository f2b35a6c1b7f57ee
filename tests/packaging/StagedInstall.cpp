#include "StagedInstall.h"

#include <cstdlib>

namespace qtx::test
{

StagedInstall::StagedInstall()
{
    char pattern[] = "/tmp/qtx-install-XXXXXX";
    if (::mkdtemp (pattern) == nullptr)
        return;
    top = pattern;
    root = top / "prefix";
    result = run (quoted (QTX_CMAKE) + " --install " + quoted (QTX_BUILD_DIR) + " --prefix " + quoted (root));
}

StagedInstall::~StagedInstall()
{
    std::error_code ignored;
    if (!top.empty())
        std::filesystem::remove_all (top, ignored);
}

} // namespace qtx::test
