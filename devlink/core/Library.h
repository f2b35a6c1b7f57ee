// The library's process-wide state and everything the exports do, on a given platform.
#pragma once

#include "AudioAssociation.h"
#include "devlink.h"
#include "Notifier.h"
#include "Platform.h"
#include "Reader.h"
#include "ReportStore.h"

#include <array>
#include <memory>
#include <mutex>
#include <vector>

namespace qtx::devlink
{
class Library
{
public:
    static constexpr const char* lockName = "Global\\NTHIDCOM";

    explicit Library (const Platform& platform);
    ~Library();
    Library (const Library&) = delete;
    Library& operator= (const Library&) = delete;

    int initialize();
    void setCallback (const DevlinkNotifyTarget* target, unsigned int inputMessage,
                      unsigned int arrivalMessage, unsigned int removalMessage);
    void start();
    void stop();
    void finalize();
    void input (int deviceNumber, unsigned char* destination, int* length);
    int write (int deviceNumber, const unsigned char* data, int length);
    int deviceCount();
    int enumNumbers (int* numbers);
    int deviceType (int deviceNumber);
    void firmwareVersion (int deviceType, int* values, int count);
    int audioIds (int deviceNumber, DevlinkGuid* first, DevlinkGuid* second);
    int asioDeviceNumber (int driverSet, unsigned int channelIndex);

    // Called by the device-change watch: refresh, then post arrivals and removals.
    void announceChanges();

private:
    struct Entry
    {
        HidInterface device;
        bool present = false;
        AudioEndpoints audio; // kept while the device is absent
    };

    struct Slot
    {
        std::unique_ptr<Reader> reader;
        std::shared_ptr<ReportStore> store;
    };

    // All of these run with `mutex` held.
    void refresh();
    void fullRebuild();
    void incrementalRefresh();
    void associateAudio();
    bool enumerateSupported (std::vector<HidInterface>& out);
    void startReader (int deviceNumber);
    void endReader (int deviceNumber);

    Platform platform;
    Notifier notifier;

    // Guards the device table, the type tables, the reader slots and `started`. Readers
    // never take it, and no post is made while it is held.
    std::mutex mutex;
    // Keeps the notices of one refresh together and in order with the next one's.
    std::mutex announceMutex;

    bool started = false;
    std::vector<Entry> deviceList;
    std::array<int, DEVLINK_MAX_DEVICES> deviceTypes;
    std::array<int, DEVLINK_MAX_DEVICES> previousTypes;
    std::array<Slot, DEVLINK_MAX_DEVICES> readers;

    // Touched by initialize() and finalize() only, on the client's thread.
    bool lockHeld = false;
    bool watchSetUp = false;
};
} // namespace qtx::devlink
