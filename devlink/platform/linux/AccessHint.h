// Says once per device node, on standard error, why a supported device can't be used and how
// to fix it: on Linux the usual cause is a missing udev rule.
#pragma once

#include <cstdio>
#include <mutex>
#include <set>
#include <string>

namespace qtx::devlink::linuxos
{
class AccessHint
{
public:
    static constexpr const char* ruleName = "70-devlink.rules";

    explicit AccessHint (std::FILE* out = stderr)
        : out (out)
    {
    }

    // Reports that `node` could not be opened with `error` (an errno value), the first time only.
    void openFailed (const std::string& node, int error);

private:
    std::FILE* out;
    std::mutex mutex;
    std::set<std::string> told;
};
} // namespace qtx::devlink::linuxos
