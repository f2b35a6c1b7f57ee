#pragma once

// One running copy per user session. The first copy claims the session and
// listens; a later copy finds the claim, asks the first to come to the front and
// ends. One implementation per platform; where the framework's own check does all
// of this, the platform says so and the claim is a formality.

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

    // Whether the framework's own single-copy check serves this platform (where it
    // also tells the first copy that another one started); claim() then always
    // succeeds. Called where the framework asks, before its check: on Windows it
    // first lets any process bring its window to the front.
    static bool frameworkKeepsSingleCopy();
};

} // namespace qtx
