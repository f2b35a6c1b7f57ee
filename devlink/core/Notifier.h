// Where notices go. Posting holds this object's own lock (never the library's), so that
// clearing the target waits for a post in progress and posts of one event source keep
// their order.
#pragma once

#include "devlink.h"

#include <mutex>

namespace qtx::devlink
{
class Notifier
{
public:
    enum class Kind
    {
        input,
        arrival,
        removal
    };

    enum class Outcome
    {
        posted,    // the client queued it
        notWanted, // no target, or a message number of 0: nothing to deliver
        refused    // the client's post could not queue it
    };

    // A null target or a null post function stops all posting.
    void set (const DevlinkNotifyTarget* target, unsigned int input, unsigned int arrival,
              unsigned int removal);
    void clear() { set (nullptr, 0, 0, 0); }
    Outcome post (Kind kind, int deviceNumber);

private:
    std::mutex mutex;
    DevlinkNotifyTarget target{};
    unsigned int inputMessage = 0;
    unsigned int arrivalMessage = 0;
    unsigned int removalMessage = 0;
};
} // namespace qtx::devlink
