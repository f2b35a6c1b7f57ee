#pragma once

// Carries the library's notices {message, device number} from its threads to
// the JUCE message thread, in posting order. Stands where a hidden window and
// posted window messages would be on Windows.

#include "devlink/include/devlink.h"

#include <functional>
#include <memory>

namespace qtx
{

class NoticeQueue
{
public:
    using Handler = std::function<void (unsigned int message, int deviceNumber)>;

    // handler runs on the message thread only, once per notice, in posting order.
    explicit NoticeQueue (Handler handler);
    ~NoticeQueue();

    // The target to give the library; valid while this queue exists.
    const DevlinkNotifyTarget& target() const { return notifyTarget; }

    // Any thread; never blocks on the message thread. False when the notice could not be
    // queued (closed, or the message loop refused it); the library then re-arms it.
    bool post (unsigned int message, int deviceNumber);

    // Message thread: drops what is still queued; no handler call follows.
    void close();

private:
    struct State;
    std::shared_ptr<State> state;
    DevlinkNotifyTarget notifyTarget{};
};

} // namespace qtx
