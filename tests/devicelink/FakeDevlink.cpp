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

    // One lock for the table and the notices: a post runs under it, so clearing the
    // callback waits for a post in flight, as the library's does.
    std::mutex lock;
    std::map<int, Device> devices;
    std::vector<Write> written;
    bool running = false;
    int initializeCount = 0;
    int initializeAnswer = 1;
    DevlinkNotifyTarget target{};
    unsigned int messages[3] = {}; // removal, arrival, input
    using Guard = std::lock_guard<std::mutex>;

    void post (unsigned int message, int number) // the lock held
    {
        if (target.post != nullptr && message != 0)
            target.post (target.context, message, number);
    }
} // namespace

void reset()
{
    Guard g (lock);
    devices.clear();
    written.clear();
    running = false;
    initializeCount = 0;
    initializeAnswer = 1;
}

void plug (int number, int type, int version)
{
    Guard g (lock);
    devices[number] = Device{type, version};
    if (running)
        post (messages[1], number);
}

void unplug (int number)
{
    Guard g (lock);
    if (devices.erase (number) > 0 && running)
        post (messages[0], number);
}

void input (int number, const std::vector<uint8_t>& report)
{
    Guard g (lock);
    auto it = devices.find (number);
    if (it == devices.end())
        return;
    it->second.store = report;
    post (messages[2], number);
}

void postRaw (unsigned int message, int number)
{
    Guard g (lock);
    post (message, number);
}

std::vector<Write> writes()
{
    Guard g (lock);
    return written;
}

bool started()
{
    Guard g (lock);
    return running;
}

int initializeCalls()
{
    Guard g (lock);
    return initializeCount;
}

void setInitializeResult (int result)
{
    Guard g (lock);
    initializeAnswer = result;
}

unsigned int inputMessage()
{
    Guard g (lock);
    return messages[2];
}

} // namespace qtx::fake

using namespace qtx::fake;

// The ten exports the device link binds.
extern "C"
{
    int HID_Initialize (void*)
    {
        Guard g (lock);
        ++initializeCount;
        return initializeAnswer;
    }

    void HID_SetCallback (const DevlinkNotifyTarget* t, unsigned int input, unsigned int arrival,
                          unsigned int removal)
    {
        Guard g (lock);
        target = t != nullptr ? *t : DevlinkNotifyTarget{};
        messages[0] = removal;
        messages[1] = arrival;
        messages[2] = input;
    }

    void HID_Start (void)
    {
        Guard g (lock);
        running = true;
    }

    void HID_Stop (void)
    {
        Guard g (lock);
        running = false;
    }

    void HID_Finalize (void)
    {
        HID_Stop();
    }

    void HID_Input (int number, unsigned char* destination, int* length)
    {
        Guard g (lock);
        auto it = devices.find (number);
        *length = running && it != devices.end() ? (int) it->second.store.size() : 0;
        if (*length > 0)
            std::memcpy (destination, it->second.store.data(), (size_t) *length);
    }

    int HID_Write (int number, const unsigned char* data, int length)
    {
        Guard g (lock);
        if (devices.count (number) == 0)
            return 0;
        written.push_back ({number, std::vector<uint8_t> (data, data + length)});
        return 1;
    }

    int HID_EnumHIDno (int* numbers)
    {
        Guard g (lock);
        int n = 0;
        for (const auto& entry : devices)
            numbers[n++] = entry.first;
        return n;
    }

    int HID_GetDeviceType (int number)
    {
        Guard g (lock);
        auto it = devices.find (number);
        return it == devices.end() ? -1 : it->second.type;
    }

    void HID_GetFirmwareVersion (int type, int* values, int count)
    {
        Guard g (lock);
        int k = 0;
        for (const auto& entry : devices)
            if (entry.second.type == type && k < count)
                values[k++] = entry.second.version;
        for (; k < count; ++k)
            values[k] = 0;
    }
}
