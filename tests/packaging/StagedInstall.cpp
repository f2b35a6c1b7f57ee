#include "StagedInstall.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>

namespace qtx::test
{

CommandResult run (const std::string& command)
{
    CommandResult result;
    FILE* pipe = ::popen ((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return result;
    std::array<char, 4096> buffer{};
    for (size_t n; (n = std::fread (buffer.data(), 1, buffer.size(), pipe)) > 0;)
        result.output.append (buffer.data(), n);
    const int status = ::pclose (pipe);
    result.status = WIFEXITED (status) ? WEXITSTATUS (status) : -1;
    return result;
}

std::string quoted (const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string ("'\\''") : std::string (1, c);
    return out + "'";
}

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
