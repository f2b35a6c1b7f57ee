#pragma once

// A private D-Bus (dbus-daemon) with a stand-in for systemd-logind's
// Manager.Inhibit: it records each call and hands out one end of a pipe, so a
// test sees a lock taken, and released when every copy of that end is closed.

#include <systemd/sd-bus.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace qtx::test
{

class FakeLogind
{
public:
    struct Call
    {
        std::string what, who, why, mode;
    };

    enum class Answer
    {
        lock,  // a lock descriptor
        refuse // an access-denied error, as for a remote session
    };

    FakeLogind();
    ~FakeLogind();

    bool ready() const { return serving; }
    const std::string& address() const { return busAddress; }

    // The answer to calls for `what` (a polkit rule may refuse one kind of lock
    // only), or to every call when it is empty.
    void setAnswer (Answer answer, const std::string& what = {});

    // Waits up to timeoutMs until `count` calls have come; false if they have not.
    bool waitForCalls (size_t count, int timeoutMs);
    std::vector<Call> calls();

    // Whether the lock handed out for call `index` is still held by someone.
    bool isHeld (size_t index) { return !waitReleased (index, 0); }
    // Waits up to timeoutMs until that lock is let go.
    bool waitReleased (size_t index, int timeoutMs);

private:
    static int onInhibit (sd_bus_message* message, void* userdata, sd_bus_error* error);
    void serve();
    int lockEnd (size_t index);

    std::string directory, busAddress;
    pid_t daemon = -1;
    std::atomic<bool> serving{false}, stopping{false};
    std::thread server;

    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<Call> received;
    std::vector<int> lockEnds; // our end of each pipe handed out, -1 when none
    std::map<std::string, Answer> answers{{"", Answer::lock}}; // by what; "" for the others
};

} // namespace qtx::test
