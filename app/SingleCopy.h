#pragma once

// One running copy per user session. The first copy claims the session and
// listens; a later copy finds the claim, asks the first to come to the front and
// ends. One implementation per platform.

#include <functional>
#include <memory>
#include <string>

namespace qtx
{

class SingleCopy
{
public:
    virtual ~SingleCopy() = default;

    // True when no other copy of the program runs in this session. The claim is
    // then held until this object goes, and onAnotherStart is called on the
    // message thread whenever a later copy starts.
    virtual bool claim (std::function<void()> onAnotherStart) = 0;

    // Asks the copy that holds the claim to come to the front.
    virtual void notifyRunningCopy() = 0;

    static std::unique_ptr<SingleCopy> create (const std::string& programName);
};

} // namespace qtx
