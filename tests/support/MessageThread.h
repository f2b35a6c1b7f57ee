#pragma once

// A JUCE message thread for tests and headless tools: runs the dispatch loop on
// a thread of its own, and runs calls on it synchronously.

#include <juce_events/juce_events.h>

#include <functional>
#include <future>
#include <thread>

namespace qtx::test
{

class MessageThread
{
public:
    MessageThread()
    {
        std::promise<void> ready;
        auto started = ready.get_future();
        thread = std::thread (
            [this, &ready]
            {
                auto* mm = juce::MessageManager::getInstance();
                mm->setCurrentThreadAsMessageThread();
                id = std::this_thread::get_id();
                ready.set_value();
                mm->runDispatchLoop();
                // The stop request may still be on its way out of the queue's
                // post on the other thread: free the queue only after that.
                stopPostedFuture.wait();
                juce::MessageManager::deleteInstance();
            });
        started.wait();
    }

    ~MessageThread()
    {
        juce::MessageManager::callAsync ([] { juce::MessageManager::getInstance()->stopDispatchLoop(); });
        stopPosted.set_value();
        thread.join();
    }

    // Runs fn on the message thread and waits for it.
    template <typename Fn>
    auto call (Fn&& fn) -> decltype (fn())
    {
        using Result = decltype (fn());
        std::packaged_task<Result()> task (std::forward<Fn> (fn));
        auto result = task.get_future();
        juce::MessageManager::callAsync ([&task] { task(); });
        return result.get();
    }

    // Waits until everything posted to the message thread before now has run.
    void flush()
    {
        call ([] {});
    }

    std::thread::id id;

private:
    std::promise<void> stopPosted;
    std::future<void> stopPostedFuture = stopPosted.get_future();
    std::thread thread;
};

} // namespace qtx::test
