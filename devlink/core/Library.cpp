#include "Library.h"

#include "DeviceTypes.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace qtx::devlink
{
namespace
{
    bool inRange (int deviceNumber)
    {
        return deviceNumber >= 0 && deviceNumber < DEVLINK_MAX_DEVICES;
    }
} // namespace

Library::Library (const Platform& p)
    : platform (p)
{
    deviceTypes.fill (-1);
    previousTypes.fill (-1);
}

Library::~Library()
{
    finalize();
}

int Library::initialize()
{
    if (lockHeld || platform.lock == nullptr || !platform.lock->acquire (lockName))
        return 0;
    lockHeld = true;
    notifier.clear();
    if (!watchSetUp)
    {
        watchSetUp = true;
        {
            std::lock_guard<std::mutex> lock (mutex);
            started = false;
            deviceTypes.fill (-1);
            previousTypes.fill (-1);
        }
        // Watch first, so that no change between the table's build and the watch is missed.
        if (platform.watch != nullptr)
            platform.watch->start ([this] { announceChanges(); });
        std::lock_guard<std::mutex> lock (mutex);
        refresh();
    }
    return 1;
}

void Library::setCallback (const DevlinkNotifyTarget* target, unsigned int inputMessage,
                           unsigned int arrivalMessage, unsigned int removalMessage)
{
    notifier.set (target, inputMessage, arrivalMessage, removalMessage);
}

void Library::start()
{
    std::lock_guard<std::mutex> lock (mutex);
    // A second start would rebuild the table under running readers.
    if (started)
        return;
    refresh();
    previousTypes = deviceTypes;
    for (int n = 0; n < DEVLINK_MAX_DEVICES; ++n)
        if (deviceTypes[std::size_t (n)] != -1)
            startReader (n);
    started = true;
}

void Library::stop()
{
    std::lock_guard<std::mutex> lock (mutex);
    for (int n = 0; n < DEVLINK_MAX_DEVICES; ++n)
        endReader (n);
    deviceList.clear();
    started = false;
}

void Library::finalize()
{
    stop();
    if (watchSetUp)
    {
        // Not under `mutex`: the watch may be waiting for it in announceChanges().
        if (platform.watch != nullptr)
            platform.watch->stop();
        watchSetUp = false;
    }
    if (lockHeld)
    {
        platform.lock->release();
        lockHeld = false;
    }
}

void Library::input (int deviceNumber, unsigned char* destination, int* length)
{
    if (length == nullptr)
        return;
    std::shared_ptr<ReportStore> store;
    if (inRange (deviceNumber))
    {
        std::lock_guard<std::mutex> lock (mutex);
        store = readers[std::size_t (deviceNumber)].store;
    }
    if (store == nullptr || (destination == nullptr && store->length() > 0))
    {
        *length = 0;
        return;
    }
    *length = store->fetch (destination);
}

int Library::write (int deviceNumber, const unsigned char* data, int length)
{
    if (!inRange (deviceNumber) || length < 0 || (length > 0 && data == nullptr))
        return 0;
    std::string path;
    int reportLength = 0;
    {
        std::lock_guard<std::mutex> lock (mutex);
        const auto n = std::size_t (deviceNumber);
        if (deviceTypes[n] == -1 || n >= deviceList.size() || !deviceList[n].present)
            return 0;
        path = deviceList[n].device.path;
        reportLength = deviceList[n].device.outputReportLength;
    }
    // The data must fit behind the report ID byte; a longer write would be cut short.
    if (reportLength < 1 || length > reportLength - 1 || platform.io == nullptr)
        return 0;
    std::vector<std::uint8_t> report (std::size_t (reportLength), 0);
    if (length > 0)
        std::memcpy (report.data() + 1, data, std::size_t (length));
    return platform.io->writeReport (path, report.data(), reportLength) == reportLength ? 1 : 0;
}

int Library::deviceCount()
{
    std::lock_guard<std::mutex> lock (mutex);
    refresh();
    return int (std::count_if (deviceTypes.begin(), deviceTypes.end(), [] (int t) { return t != -1; }));
}

int Library::enumNumbers (int* numbers)
{
    std::lock_guard<std::mutex> lock (mutex);
    refresh();
    int count = 0;
    for (int n = 0; n < DEVLINK_MAX_DEVICES; ++n)
        if (deviceTypes[std::size_t (n)] != -1)
        {
            if (numbers != nullptr)
                numbers[count] = n;
            ++count;
        }
    return count;
}

int Library::deviceType (int deviceNumber)
{
    if (!inRange (deviceNumber))
        return -1;
    std::lock_guard<std::mutex> lock (mutex);
    return deviceTypes[std::size_t (deviceNumber)];
}

void Library::firmwareVersion (int type, int* values, int count)
{
    if (values == nullptr || count <= 0)
        return;
    std::fill (values, values + count, 0);
    if (type < firstDeviceType || type > lastDeviceType || platform.enumerator == nullptr)
        return;
    const SupportedDevice wanted = supportedDevice (type);
    int stored = 0;
    auto take = [&] (std::uint16_t vendor, std::uint16_t product, std::uint16_t release)
    {
        if (stored < count && vendor == wanted.vendor && product == wanted.product)
            values[stored++] = releaseToVersion (release);
    };
    for (const UsbDevice& d : platform.enumerator->usbDevices())
        take (d.vendor, d.product, d.release);
    if (stored > 0)
        return;
    // No USB hardware identifier names the type (a device on another bus, or a system that
    // lists none, as wine): its HID interfaces carry the same bcdDevice.
    std::vector<HidInterface> present;
    platform.enumerator->enumerate ([type] (const std::string& path) { return classifyPath (path) == type; },
                                    present);
    for (const HidInterface& d : present)
        take (d.vendor, d.product, d.release);
}

int Library::audioIds (int deviceNumber, DevlinkGuid* first, DevlinkGuid* second)
{
    if (first != nullptr)
        *first = {};
    if (second != nullptr)
        *second = {};
    if (!inRange (deviceNumber))
        return 0;
    std::lock_guard<std::mutex> lock (mutex);
    refresh();
    const auto n = std::size_t (deviceNumber);
    if (n >= deviceList.size())
        return 0;
    const AudioEndpoints& audio = deviceList[n].audio;
    if (first != nullptr)
        *first = audio.first;
    if (second != nullptr)
        *second = audio.second;
    return audio.repeat ? 1 : 0;
}

int Library::asioDeviceNumber (int driverSet, unsigned int channelIndex)
{
    if (platform.audio == nullptr)
        return -1;
    const std::string prefix = asioParentIdPrefix (*platform.audio, driverSet, channelIndex);
    if (prefix.empty())
        return -1;
    std::lock_guard<std::mutex> lock (mutex);
    refresh();
    for (std::size_t n = 0; n < deviceList.size(); ++n)
        if (deviceTypes[n] == driverSet && deviceList[n].device.path.find (prefix) != std::string::npos)
            return int (n);
    return -1;
}

void Library::announceChanges()
{
    std::lock_guard<std::mutex> order (announceMutex);
    struct Notice
    {
        Notifier::Kind kind;
        std::size_t number;
        int before, after; // the number's previousTypes entry before and after this round
    };
    std::vector<Notice> notices;
    {
        std::lock_guard<std::mutex> lock (mutex);
        refresh();
        for (std::size_t i = 0; i < DEVLINK_MAX_DEVICES; ++i)
        {
            if (deviceTypes[i] != -1 && previousTypes[i] == -1)
                notices.push_back ({Notifier::Kind::arrival, i, previousTypes[i], deviceTypes[i]});
            else if (deviceTypes[i] == -1 && previousTypes[i] != -1)
                notices.push_back ({Notifier::Kind::removal, i, previousTypes[i], deviceTypes[i]});
            previousTypes[i] = deviceTypes[i];
        }
    }
    std::vector<Notice> refused;
    for (const Notice& notice : notices)
        if (notifier.post (notice.kind, int (notice.number)) == Notifier::Outcome::refused)
            refused.push_back (notice);
    if (refused.empty())
        return;
    // The client could not take these: they stay unannounced, so the next change announces
    // them again if they still hold. No retry of our own: a client that keeps refusing
    // must not keep this thread busy.
    std::lock_guard<std::mutex> lock (mutex);
    for (const Notice& notice : refused)
        if (previousTypes[notice.number] == notice.after)
            previousTypes[notice.number] = notice.before;
}

void Library::refresh()
{
    if (started)
        incrementalRefresh();
    else
        fullRebuild();
}

bool Library::enumerateSupported (std::vector<HidInterface>& out)
{
    out.clear();
    if (platform.enumerator == nullptr)
        return false;
    auto wanted = [] (const std::string& path) { return classifyPath (path) != -1; };
    if (!platform.enumerator->enumerate (wanted, out))
    {
        out.clear();
        return false;
    }
    // The library serves reports of up to DEVLINK_MAX_REPORT bytes; other devices are left out.
    out.erase (std::remove_if (out.begin(), out.end(),
                               [&] (const HidInterface& d)
                               {
                                   return !wanted (d.path) || d.inputReportLength > DEVLINK_MAX_REPORT ||
                                          d.outputReportLength > DEVLINK_MAX_REPORT ||
                                          d.inputValueBytes > DEVLINK_MAX_REPORT || d.inputReportLength < 0 ||
                                          d.outputReportLength < 0 || d.inputValueBytes < 0;
                               }),
               out.end());
    return true;
}

void Library::fullRebuild()
{
    deviceList.clear();
    deviceTypes.fill (-1);
    std::vector<HidInterface> found;
    if (!enumerateSupported (found))
        return;
    for (auto& d : found)
    {
        if (deviceList.size() == DEVLINK_MAX_DEVICES)
            break;
        deviceTypes[deviceList.size()] = classifyPath (d.path);
        deviceList.push_back ({std::move (d), true, {}});
    }
    associateAudio();
}

void Library::incrementalRefresh()
{
    std::vector<HidInterface> found;
    if (!enumerateSupported (found))
        return;

    for (std::size_t i = 0; i < deviceList.size(); ++i)
    {
        Entry& e = deviceList[i];
        auto match = std::find_if (found.begin(), found.end(),
                                   [&] (const HidInterface& d) { return d.path == e.device.path; });
        if (match == found.end())
        {
            e.present = false;
            endReader (int (i));
            continue;
        }
        // Plugged in again at the same port since the last look: the old reader's handle
        // is dead, so start over with the new instance under the same number.
        if (e.present && !match->instance.empty() && match->instance != e.device.instance)
            endReader (int (i));
        e.present = true;
        e.device = *match;
    }

    bool setChanged = false;
    for (auto& d : found)
    {
        if (std::any_of (deviceList.begin(), deviceList.end(),
                         [&] (const Entry& e) { return e.device.path == d.path; }))
            continue;
        auto absent =
            std::find_if (deviceList.begin(), deviceList.end(), [] (const Entry& e) { return !e.present; });
        if (absent != deviceList.end())
            *absent = {std::move (d), true, {}};
        else if (deviceList.size() < DEVLINK_MAX_DEVICES)
            deviceList.push_back ({std::move (d), true, {}});
        else
            continue;
        setChanged = true;
    }

    for (std::size_t i = 0; i < deviceList.size(); ++i)
    {
        deviceTypes[i] = deviceList[i].present ? classifyPath (deviceList[i].device.path) : -1;
        if (deviceTypes[i] != -1 && readers[i].reader == nullptr)
            startReader (int (i));
    }
    if (setChanged)
        associateAudio();
}

void Library::associateAudio()
{
    std::vector<AudioTableEntry> table;
    for (std::size_t n = 0; n < deviceList.size(); ++n)
    {
        deviceList[n].audio = {};
        table.push_back ({deviceList[n].device.path, deviceTypes[n]});
    }
    if (platform.audio == nullptr)
        return;
    std::vector<AudioEndpoints> found = qtx::devlink::associateAudio (*platform.audio, table);
    for (std::size_t n = 0; n < deviceList.size(); ++n)
        deviceList[n].audio = std::move (found[n]);
}

void Library::startReader (int deviceNumber)
{
    const auto n = std::size_t (deviceNumber);
    if (n >= deviceList.size() || platform.io == nullptr)
        return;
    auto stream = platform.io->openInput (deviceList[n].device);
    if (stream == nullptr)
        return;
    auto store = std::make_shared<ReportStore> (deviceList[n].device.inputValueBytes);
    readers[n].store = store;
    readers[n].reader = std::make_unique<Reader> (deviceNumber, std::move (stream), store, notifier);
}

void Library::endReader (int deviceNumber)
{
    Slot& slot = readers[std::size_t (deviceNumber)];
    slot.reader.reset(); // stops and joins
    slot.store.reset();
}
} // namespace qtx::devlink
