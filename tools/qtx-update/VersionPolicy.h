#pragma once

// Whether an update is made: only a newer package, unless the same version or an
// older one is allowed, so that a script run at every login writes nothing once
// the controller is up to date.

#include <string>

namespace qtx::cli
{

enum class Decision
{
    update,    // the package is newer
    reinstall, // the same version, allowed
    downgrade, // an older version, allowed
    skip       // the same or an older version, not allowed: nothing is written
};

inline Decision decide (int packageVersion, int controllerVersion, bool allowReinstall, bool allowOlder)
{
    if (packageVersion > controllerVersion)
        return Decision::update;
    if (packageVersion == controllerVersion)
        return allowReinstall ? Decision::reinstall : Decision::skip;
    return allowOlder ? Decision::downgrade : Decision::skip;
}

inline const char* decisionName (Decision decision)
{
    switch (decision)
    {
        case Decision::update:
            return "update";
        case Decision::reinstall:
            return "reinstall";
        case Decision::downgrade:
            return "downgrade";
        case Decision::skip:
            break;
    }
    return "skip";
}

} // namespace qtx::cli
