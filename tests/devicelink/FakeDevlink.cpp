#include "FakeDevlink.h"

#include "devlink/include/devlink.h"

#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace qtx::fake
{
namespace
{
    struct Device
    {
        int type = -1;
        int version = 0;
        std::vector<uint8_t> store = std::vector<uint8_t> (64, 0);
    };

    struct Post
    {
        int kind; // 0 removal, 1 arrival, 2 input, 3 raw
        unsigned int message;
        int number;
    };

    struct Fake
    {
        std::mutex tableLock;
        std::map<int, Device> devices;
        std::vector<Write> writes;
        bool started = false;
        int initializeCalls = 0;
        int initializeResult = 1;

        std::mutex postLock; // held while a post runs and while the target changes
        DevlinkNotifyTarget target{};
        unsigned int messages[3] = {}; // removal, arrival, input

        std::mutex queueLock;
        std::condition_variable queued, idle;
        std::deque<Post> posts;
        bool busy = false;
        bool quit = false;
        std::thread poster;

        Fake()
        {
            poster = std::thread ([this] { run(); });
        }

        ~Fake()
        {
            {
                std::lock_guard<std::mutex> g (queueLock);
                quit = true;
            }
            queued.notify_all();
            poster.join();
        }

        void run()
        {
            std::unique_lock<std::mutex> g (queueLock);
            for (;;)
            {
                queued.wait (g, [this] { return quit || !posts.empty(); });
                if (quit)
                    return;
                Post p = posts.front();
                posts.pop_front();
                busy = true;
                g.unlock();
                {
                    std::lock_guard<std::mutex> pg (postLock);
                    const unsigned int message = p.kind == 3 ? p.message : messages[p.kind];
                    if (target.post != nullptr && message != 0)
                        target.post (target.context, message, p.number);
                }
                g.lock();
                busy = false;
                if (posts.empty())
                    idle.notify_all();
            }
        }

        void enqueue (Post p)
        {
            {
                std::lock_guard<std::mutex> g (queueLock);
                posts.push_back (p);
            }
            queued.notify_one();
        }
    };

    Fake& fake()
    {
        static Fake instance;
        return instance;
    }
} // namespace

void reset()
{
    drainPosts();
    auto& f = fake();
    std::lock_guard<std::mutex> g (f.tableLock);
    f.devices.clear();
    f.writes.clear();
    f.started = false;
    f.initializeCalls = 0;
    f.initializeResult = 1;
}

void plug (int number, int type, int version)
{
    auto& f = fake();
    bool announce = false;
    {
        std::lock_guard<std::mutex> g (f.tableLock);
        f.devices[number] = Device{type, version, std::vector<uint8_t> (64, 0)};
        announce = f.started;
    }
    if (announce)
        f.enqueue ({1, 0, number});
}

void unplug (int number)
{
    auto& f = fake();
    bool announce = false;
    {
        std::lock_guard<std::mutex> g (f.tableLock);
        announce = f.devices.erase (number) > 0 && f.started;
    }
    if (announce)
        f.enqueue ({0, 0, number});
}

void input (int number, const std::vector<uint8_t>& report)
{
    auto& f = fake();
    {
        std::lock_guard<std::mutex> g (f.tableLock);
        auto it = f.devices.find (number);
        if (it == f.devices.end())
            return;
        it->second.store = report;
    }
    f.enqueue ({2, 0, number});
}

void postRaw (unsigned int message, int number)
{
    fake().enqueue ({3, message, number});
}

void drainPosts()
{
    auto& f = fake();
    std::unique_lock<std::mutex> g (f.queueLock);
    f.idle.wait (g, [&f] { return f.posts.empty() && !f.busy; });
}

std::vector<Write> writes()
{
    auto& f = fake();
    std::lock_guard<std::mutex> g (f.tableLock);
    return f.writes;
}

bool started()
{
    auto& f = fake();
    std::lock_guard<std::mutex> g (f.tableLock);
    return f.started;
}

int initializeCalls()
{
    auto& f = fake();
    std::lock_guard<std::mutex> g (f.tableLock);
    return f.initializeCalls;
}

void setInitializeResult (int result)
{
    auto& f = fake();
    std::lock_guard<std::mutex> g (f.tableLock);
    f.initializeResult = result;
}

unsigned int inputMessage()
{
    auto& f = fake();
    std::lock_guard<std::mutex> g (f.postLock);
    return f.messages[2];
}

} // namespace qtx::fake

using qtx::fake::fake;

extern "C"
{
    int HID_Initialize (void*)
    {
        auto& f = fake();
        std::lock_guard<std::mutex> g (f.tableLock);
        ++f.initializeCalls;
        return f.initializeResult;
    }

    void HID_SetCallback (const DevlinkNotifyTarget* target, unsigned int input, unsigned int arrival,
                          unsigned int removal)
    {
        auto& f = fake();
        std::lock_guard<std::mutex> g (f.postLock);
        f.target = target != nullptr ? *target : DevlinkNotifyTarget{};
        f.messages[0] = removal;
        f.messages[1] = arrival;
        f.messages[2] = input;
    }

    void HID_Start (void)
    {
        auto& f = fake();
        std::lock_guard<std::mutex> g (f.tableLock);
        f.started = true;
    }

    void HID_Stop (void)
    {
        auto& f = fake();
        std::lock_guard<std::mutex> g (f.tableLock);
        f.started = false;
    }

    void HID_Finalize (void)
    {
        HID_Stop();
    }

    void HID_Input (int number, unsigned char* destination, int* length)
    {
        auto& f = fake();
        std::lock_guard<std::mutex> g (f.tableLock);
        auto it = f.devices.find (number);
        if (!f.started || it == f.devices.end())
        {
            *length = 0;
            return;
        }
        std::memcpy (destination, it->second.store.data(), it->second.store.size());
        *length = (int) it->second.store.size();
    }

    int HID_Write (int number, const unsigned char* data, int length)
    {
        auto& f = fake();
        std::lock_guard<std::mutex> g (f.tableLock);
        if (f.devices.count (number) == 0)
            return 0;
        f.writes.push_back ({number, std::vector<uint8_t> (data, data + length)});
        return 1;
    }

    int HID_GetDeviceCount (void)
    {
        auto& f = fake();
        std::lock_guard<std::mutex> g (f.tableLock);
        return (int) f.devices.size();
    }

    int HID_EnumHIDno (int* numbers)
    {
        auto& f = fake();
        std::lock_guard<std::mutex> g (f.tableLock);
        int n = 0;
        for (const auto& [number, device] : f.devices)
            numbers[n++] = number;
        return n;
    }

    int HID_GetDeviceType (int number)
    {
        auto& f = fake();
        std::lock_guard<std::mutex> g (f.tableLock);
        auto it = f.devices.find (number);
        return it == f.devices.end() ? -1 : it->second.type;
    }

    void HID_GetFirmwareVersion (int type, int* values, int count)
    {
        auto& f = fake();
        std::lock_guard<std::mutex> g (f.tableLock);
        for (int k = 0; k < count; ++k)
            values[k] = 0;
        int k = 0;
        for (const auto& [number, device] : f.devices)
            if (device.type == type && k < count)
                values[k++] = device.version;
    }

    int HID_GetDriverVersion (int, char* text)
    {
        text[0] = 0;
        return 0;
    }

    int HID_GetDirectSoundGUID (int, DevlinkGuid* first, DevlinkGuid* second)
    {
        if (first != nullptr)
            *first = DevlinkGuid{};
        if (second != nullptr)
            *second = DevlinkGuid{};
        return 0;
    }

    int HID_GetHIDnoForASIO (int, unsigned int)
    {
        return -1;
    }
}
