#include "NoticeQueue.h"

#include <juce_events/juce_events.h>

#include <deque>
#include <mutex>

namespace qtx
{

struct NoticeQueue::State
{
    struct Notice
    {
        unsigned int message;
        int deviceNumber;
    };

    std::mutex lock;
    std::deque<Notice> pending;
    bool drainScheduled = false;
    bool open = true;
    Handler handler; // touched on the message thread only

    // Message thread. Serves the notices queued when it starts, one at a time
    // (a handler that closes the queue stops the rest at once), then hands the
    // thread back: a library that posts without pause cannot starve the loop.
    static void drain (const std::shared_ptr<State>& self)
    {
        std::deque<Notice> batch;
        {
            std::lock_guard<std::mutex> guard (self->lock);
            batch.swap (self->pending);
        }
        for (const auto& notice : batch)
        {
            {
                std::lock_guard<std::mutex> guard (self->lock);
                if (!self->open)
                    return;
            }
            self->handler (notice.message, notice.deviceNumber);
        }
        std::lock_guard<std::mutex> guard (self->lock);
        if (!self->open || self->pending.empty())
            self->drainScheduled = false;
        else
            schedule (self); // if refused, what is left waits for the next post's drain
    }

    // With `lock` held, so that a poster that finds a drain scheduled can rely on it.
    // False when the message loop refuses the call (gone, or quitting).
    static bool schedule (const std::shared_ptr<State>& self)
    {
        // The callback keeps the state alive, so a drain that runs after close
        // finds it closed instead of freed.
        auto keep = self;
        self->drainScheduled = juce::MessageManager::callAsync ([keep] { drain (keep); });
        return self->drainScheduled;
    }
};

namespace
{
    int postFromLibrary (void* context, unsigned int message, int deviceNumber)
    {
        return static_cast<NoticeQueue*> (context)->post (message, deviceNumber) ? 1 : 0;
    }
} // namespace

NoticeQueue::NoticeQueue (Handler handler)
    : state (std::make_shared<State>())
{
    state->handler = std::move (handler);
    notifyTarget.post = postFromLibrary;
    notifyTarget.context = this;
}

NoticeQueue::~NoticeQueue()
{
    close();
}

bool NoticeQueue::post (unsigned int message, int deviceNumber)
{
    std::lock_guard<std::mutex> guard (state->lock);
    if (!state->open)
        return false;
    state->pending.push_back ({message, deviceNumber});
    // One drain serves everything queued before it runs; a drain already
    // on its way will pick this notice up too, keeping the order.
    if (state->drainScheduled || State::schedule (state))
        return true;
    state->pending.pop_back();
    return false;
}

void NoticeQueue::close()
{
    std::lock_guard<std::mutex> guard (state->lock);
    state->open = false;
    state->pending.clear();
}

} // namespace qtx
