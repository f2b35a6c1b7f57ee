// Races: a copy taken while the reader stores, clearing the callback while it posts.
#include "FakePlatform.h"

#include <atomic>

using namespace qtx::devlink;
using namespace qtx::devlink::test;

namespace
{
struct SlowTarget
{
    std::atomic<int> inPost{0};
    std::atomic<int> posts{0};

    static int post (void* context, unsigned, int)
    {
        auto* self = static_cast<SlowTarget*> (context);
        ++self->inPost;
        std::this_thread::sleep_for (std::chrono::microseconds (200));
        ++self->posts;
        --self->inPost;
        return 1;
    }
};
} // namespace

using LibraryThreads = LibraryTest;

TEST_F (LibraryThreads, WholeCopiesAndNoPostAfterTheCallbackIsCleared)
{
    fake.plug (ctrl);
    SlowTarget target;
    DevlinkNotifyTarget t{&SlowTarget::post, &target};
    lib->setCallback (&t, inputMsg, arrivalMsg, removalMsg);
    lib->start();
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::thread feeder (
        [&]
        {
            std::uint8_t buffer[DEVLINK_MAX_REPORT];
            int length;
            for (int i = 0; !stop; ++i)
            {
                Bytes r (65, i % 2 ? 0xAA : 0x55);
                r[0] = 0;
                fake.feed (ctrl.path, r);
                lib->input (0, buffer, &length); // fetch, so every report may post again
                torn += std::count (buffer + 1, buffer + 54, buffer[0]) != 53;
            }
        });
    while (target.posts < 20 || target.inPost == 0) // clear it while a post is under way
        std::this_thread::yield();
    lib->setCallback (nullptr, 0, 0, 0);
    EXPECT_EQ (target.inPost.load(), 0);
    const int after = target.posts;
    std::this_thread::sleep_for (std::chrono::milliseconds (50));
    EXPECT_EQ (target.posts.load(), after);
    stop = true;
    feeder.join();
    lib->stop();
    EXPECT_EQ (torn.load(), 0); // a copy is always one whole report
}
