// An in-process platform for the core's tests: devices are plain records, input reports are
// fed by the test, writes are recorded. Plus the fixture the core tests share.
#pragma once

#include "devlink_ids.h"
#include "Library.h"
#include "NoticeLog.h"
#include "Platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <map>
#include <set>
#include <thread>

namespace qtx::devlink::test
{
using Bytes = std::vector<std::uint8_t>;
using Lock = std::lock_guard<std::mutex>;

// What one open of a device reads from: reports fed by the test, then the end of its reads.
// It stays with the platform for the test to feed; the library owns a Stream on it.
struct Channel
{
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<Bytes> reports;
    bool ended = false, woken = false;

    void set (bool& flag)
    {
        Lock lock (mutex);
        flag = true;
        cv.notify_all();
    }
};

struct Stream : InputStream
{
    std::shared_ptr<Channel> c;
    explicit Stream (std::shared_ptr<Channel> channel)
        : c (std::move (channel))
    {
    }

    ReadResult read (std::uint8_t* buffer, int capacity, int& got, int sliceMs) override
    {
        std::unique_lock<std::mutex> lock (c->mutex);
        if (!c->cv.wait_for (lock, std::chrono::milliseconds (sliceMs),
                             [&] { return !c->reports.empty() || c->ended || c->woken; }))
            return ReadResult::timeout;
        if (c->woken)
            return ReadResult::stopped;
        if (c->reports.empty())
            return ReadResult::ended;
        const Bytes r = std::move (c->reports.front());
        c->reports.pop_front();
        got = std::min (int (r.size()), capacity);
        std::copy (r.begin(), r.begin() + got, buffer);
        return ReadResult::report;
    }

    void wake() override { c->set (c->woken); }
};

class FakePlatform : public DeviceEnumerator, public DeviceIo, public DeviceWatch, public SystemLock
{
public:
    static HidInterface device (const std::string& port, std::uint16_t vendor, std::uint16_t product)
    {
        char ids[24];
        std::snprintf (ids, sizeof ids, "vid_%04x&pid_%04x", vendor, product);
        HidInterface d;
        d.path = "usb/" + port + ":1.0/" + ids;
        d.instance = d.path + "#1";
        d.vendor = vendor;
        d.product = product;
        d.inputReportLength = d.outputReportLength = 65;
        d.inputValueBytes = 64;
        return d;
    }

    void plug (const HidInterface& d)
    {
        Lock lock (mutex);
        present.push_back (d);
    }

    // Gone from the list; its current reader's reads end.
    void unplug (const std::string& path)
    {
        Lock lock (mutex);
        present.erase (std::remove_if (present.begin(), present.end(),
                                       [&] (const HidInterface& d) { return d.path == path; }),
                       present.end());
        if (channels.count (path) != 0)
            channels[path]->set (channels[path]->ended);
    }

    // Feeds one report to the device's current reader; false if none ever opened it.
    bool feed (const std::string& path, const Bytes& report)
    {
        auto c = channel (path);
        if (c == nullptr)
            return false;
        Lock lock (c->mutex);
        c->reports.push_back (report);
        c->cv.notify_all();
        return true;
    }

    void endReads (const std::string& path) { channel (path)->set (channel (path)->ended); }

    // Waits (generously) until the device's reader has taken every fed report.
    bool drained (const std::string& path)
    {
        auto c = channel (path);
        for (int i = 0; i < 20000; ++i)
        {
            if (Lock lock (c->mutex); c->reports.empty())
                return true;
            std::this_thread::sleep_for (std::chrono::milliseconds (1));
        }
        return false;
    }

    std::shared_ptr<Channel> channel (const std::string& path)
    {
        Lock lock (mutex);
        return channels.count (path) != 0 ? channels[path] : nullptr;
    }

    int opens (const std::string& path)
    {
        Lock lock (mutex);
        return openCount[path];
    }

    void fireChange()
    {
        std::function<void()> f;
        {
            Lock lock (mutex);
            f = changed;
        }
        if (f)
            f();
    }

    Platform platform() { return {this, this, this, this}; }

    std::mutex mutex;
    std::vector<HidInterface> present;
    std::vector<UsbDevice> usb;
    std::set<std::string> refuseOpen;
    std::map<std::string, std::shared_ptr<Channel>> channels;
    std::map<std::string, int> openCount;
    std::vector<std::pair<std::string, Bytes>> writes;
    int writeResult = -2; // -2: the whole report; else this count
    bool failEnumeration = false;
    bool lockTakenElsewhere = false, watching = false;
    std::function<void()> changed;

    bool enumerate (const PathFilter& wanted, std::vector<HidInterface>& out) override
    {
        Lock lock (mutex);
        std::copy_if (present.begin(), present.end(), std::back_inserter (out),
                      [&] (const HidInterface& d) { return !wanted || wanted (d.path); });
        return !failEnumeration;
    }

    std::vector<UsbDevice> usbDevices() override
    {
        Lock lock (mutex);
        return usb;
    }

    std::unique_ptr<InputStream> openInput (const HidInterface& d) override
    {
        Lock lock (mutex);
        ++openCount[d.path];
        if (refuseOpen.count (d.path) != 0)
            return nullptr;
        return std::make_unique<Stream> (channels[d.path] = std::make_shared<Channel>());
    }

    int writeReport (const std::string& path, const std::uint8_t* report, int length) override
    {
        Lock lock (mutex);
        writes.emplace_back (path, Bytes (report, report + length));
        return writeResult == -2 ? length : writeResult;
    }

    bool start (std::function<void()> onChange) override
    {
        Lock lock (mutex);
        changed = std::move (onChange);
        return watching = true;
    }

    void stop() override
    {
        Lock lock (mutex);
        changed = nullptr;
        watching = false;
    }

    bool acquire (const std::string&) override
    {
        Lock lock (mutex);
        return !lockTakenElsewhere;
    }

    void release() override {}
};

const HidInterface ctrl = FakePlatform::device ("1-2", DEVLINK_VENDOR_ID, DEVLINK_CONTROLLER_PRODUCT_ID);

// A library on a fake platform, its notices collected.
struct LibraryTest : ::testing::Test
{
    FakePlatform fake;
    NoticeLog log;
    std::unique_ptr<Library> lib = std::make_unique<Library> (fake.platform());

    // Initialise with every notice wanted (or those given), then start.
    void open (unsigned arrival = arrivalMsg, unsigned removal = removalMsg)
    {
        ASSERT_EQ (lib->initialize(), 1);
        DevlinkNotifyTarget t = log.target();
        lib->setCallback (&t, inputMsg, arrival, removal);
        lib->start();
    }

    std::vector<int> numbers()
    {
        std::vector<int> out (DEVLINK_MAX_DEVICES + 1, -7);
        out.resize (std::size_t (lib->enumNumbers (out.data())));
        return out;
    }
};
} // namespace qtx::devlink::test
