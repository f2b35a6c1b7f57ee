#include "FakeDevlink.h"

#include "devlink/include/devlink.h"

#include <cstring>
#include <map>
#include <mutex>

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

        // kind: 0 removal, 1 arrival, 2 input; or a raw message number.
        void post (unsigned int kind, int number, bool raw = false)
        {
            std::lock_guard<std::mutex> g (postLock);
            const unsigned int message = raw ? kind : messages[kind];
            if (target.post != nullptr && message != 0)
                target.post (target.context, message, number);
        }
    };

    Fake& fake()
    {
        static Fake instance;
        return instance;
    }

    // The table, locked while this lives.
    struct Table
    {
        Table()
            : guard (fake().tableLock)
        {
        }
        std::lock_guard<std::mutex> guard;
        Fake& f = fake();
    };
} // namespace

void reset()
{
    Table t;
    t.f.devices.clear();
    t.f.writes.clear();
    t.f.started = false;
    t.f.initializeCalls = 0;
    t.f.initializeResult = 1;
}

void plug (int number, int type, int version)
{
    bool announce = false;
    {
        Table t;
        t.f.devices[number] = Device{type, version};
        announce = t.f.started;
    }
    if (announce)
        fake().post (1, number);
}

void unplug (int number)
{
    bool announce = false;
    {
        Table t;
        announce = t.f.devices.erase (number) > 0 && t.f.started;
    }
    if (announce)
        fake().post (0, number);
}

void input (int number, const std::vector<uint8_t>& report)
{
    {
        Table t;
        auto it = t.f.devices.find (number);
        if (it == t.f.devices.end())
            return;
        it->second.store = report;
    }
    fake().post (2, number);
}

void postRaw (unsigned int message, int number)
{
    fake().post (message, number, true);
}

std::vector<Write> writes()
{
    return Table().f.writes;
}

bool started()
{
    return Table().f.started;
}

int initializeCalls()
{
    return Table().f.initializeCalls;
}

void setInitializeResult (int result)
{
    Table().f.initializeResult = result;
}

unsigned int inputMessage()
{
    std::lock_guard<std::mutex> g (fake().postLock);
    return fake().messages[2];
}

} // namespace qtx::fake

using namespace qtx::fake;

// The ten exports the device link binds.
extern "C"
{
    int HID_Initialize (void*)
    {
        Table t;
        ++t.f.initializeCalls;
        return t.f.initializeResult;
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
        Table().f.started = true;
    }

    void HID_Stop (void)
    {
        Table().f.started = false;
    }

    void HID_Finalize (void)
    {
        HID_Stop();
    }

    void HID_Input (int number, unsigned char* destination, int* length)
    {
        Table t;
        auto it = t.f.devices.find (number);
        *length = t.f.started && it != t.f.devices.end() ? (int) it->second.store.size() : 0;
        if (*length > 0)
            std::memcpy (destination, it->second.store.data(), (size_t) *length);
    }

    int HID_Write (int number, const unsigned char* data, int length)
    {
        Table t;
        if (t.f.devices.count (number) == 0)
            return 0;
        t.f.writes.push_back ({number, std::vector<uint8_t> (data, data + length)});
        return 1;
    }

    int HID_EnumHIDno (int* numbers)
    {
        Table t;
        int n = 0;
        for (const auto& entry : t.f.devices)
            numbers[n++] = entry.first;
        return n;
    }

    int HID_GetDeviceType (int number)
    {
        Table t;
        auto it = t.f.devices.find (number);
        return it == t.f.devices.end() ? -1 : it->second.type;
    }

    void HID_GetFirmwareVersion (int type, int* values, int count)
    {
        Table t;
        int k = 0;
        for (const auto& entry : t.f.devices)
            if (entry.second.type == type && k < count)
                values[k++] = entry.second.version;
        for (; k < count; ++k)
            values[k] = 0;
    }
}
