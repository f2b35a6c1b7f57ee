#pragma once

// A JUCE message thread for headless programs and tests: runs the dispatch loop
// on a thread of its own, and runs calls on it synchronously. No display needed.

#include <juce_events/juce_events.h>

#include <functional>
#include <future>
#include <thread>

namespace qtx
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
                juce::MessageManager::deleteInstance();
            });
        started.wait();
    }

    ~MessageThread()
    {
        // The loop is stopped from the message thread itself, and only once the
        // request to do so has been posted in full: the loop's end frees the
        // message manager and its queue, which posting still uses on its way out.
        std::promise<void> posted;
        std::shared_future<void> postDone = posted.get_future().share();
        juce::MessageManager::callAsync (
            [postDone]
            {
                postDone.wait();
                juce::MessageManager::getInstance()->stopDispatchLoop();
            });
        posted.set_value();
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
    std::thread thread;
};

} // namespace qtx
