// An in-process platform for the core's tests: devices are plain records, input reports are
// fed by the test, writes are recorded.
#pragma once

#include "devlink.h"
#include "Platform.h"

#include <algorithm>
#include <cstdio>

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>

namespace qtx::devlink::test
{
using Bytes = std::vector<std::uint8_t>;

// What one open of a device reads from.
struct Channel
{
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<Bytes> reports;
    bool ended = false;
    bool woken = false;
    bool ignoreWake = false; // a stream that only notices a stop when its slice ends
};

class FakeStream : public InputStream
{
public:
    explicit FakeStream (std::shared_ptr<Channel> c)
        : channel (std::move (c))
    {
    }

    ReadResult read (std::uint8_t* buffer, int capacity, int& got, int sliceMs) override
    {
        std::unique_lock<std::mutex> lock (channel->mutex);
        const bool ready = channel->cv.wait_for (lock, std::chrono::milliseconds (sliceMs),
                                                 [&] {
                                                     return !channel->reports.empty() || channel->ended ||
                                                            (channel->woken && !channel->ignoreWake);
                                                 });
        if (!ready)
            return ReadResult::timeout;
        if (channel->woken && !channel->ignoreWake)
            return ReadResult::stopped;
        if (channel->reports.empty())
            return ReadResult::ended;
        Bytes r = std::move (channel->reports.front());
        channel->reports.pop_front();
        got = std::min (int (r.size()), capacity);
        std::copy (r.begin(), r.begin() + got, buffer);
        return ReadResult::report;
    }

    void wake() override
    {
        std::lock_guard<std::mutex> lock (channel->mutex);
        channel->woken = true;
        channel->cv.notify_all();
    }

private:
    std::shared_ptr<Channel> channel;
};

class FakePlatform : public DeviceEnumerator, public DeviceIo, public DeviceWatch, public SystemLock
{
public:
    // --- what the test controls ---
    static HidInterface device (const std::string& port, std::uint16_t vendor, std::uint16_t product,
                                int valueBytes = 64, int outputLength = 65)
    {
        HidInterface d;
        char ids[24];
        std::snprintf (ids, sizeof ids, "vid_%04x&pid_%04x", vendor, product);
        d.path = "usb/" + port + ":1.0/" + ids;
        d.instance = d.path + "#1";
        d.vendor = vendor;
        d.product = product;
        d.release = 0x0102;
        d.inputReportLength = valueBytes + 1;
        d.outputReportLength = outputLength;
        d.inputValueBytes = valueBytes;
        return d;
    }

    void plug (const HidInterface& d)
    {
        std::lock_guard<std::mutex> lock (mutex);
        present.push_back (d);
    }

    void unplug (const std::string& path)
    {
        std::lock_guard<std::mutex> lock (mutex);
        present.erase (std::remove_if (present.begin(), present.end(),
                                       [&] (const HidInterface& d) { return d.path == path; }),
                       present.end());
        if (auto c = channels.find (path); c != channels.end())
            end (c->second);
    }

    // Feeds one report to the device's current reader; false if none ever opened it.
    bool feed (const std::string& path, const Bytes& report)
    {
        auto c = channel (path);
        if (c == nullptr)
            return false;
        std::lock_guard<std::mutex> lock (c->mutex);
        c->reports.push_back (report);
        c->cv.notify_all();
        return true;
    }

    void endReads (const std::string& path)
    {
        if (auto c = channel (path))
            end (c);
    }

    std::shared_ptr<Channel> channel (const std::string& path)
    {
        std::lock_guard<std::mutex> lock (mutex);
        auto c = channels.find (path);
        return c == channels.end() ? nullptr : c->second;
    }

    int opens (const std::string& path)
    {
        std::lock_guard<std::mutex> lock (mutex);
        return openCount[path];
    }

    void fireChange()
    {
        std::function<void()> f;
        {
            std::lock_guard<std::mutex> lock (mutex);
            f = changed;
        }
        if (f)
            f();
    }

    std::mutex mutex;
    std::vector<HidInterface> present;
    std::vector<UsbDevice> usb;
    std::set<std::string> refuseOpen;
    std::map<std::string, std::shared_ptr<Channel>> channels;
    std::map<std::string, int> openCount;
    std::vector<std::pair<std::string, Bytes>> writes;
    int writeResult = -2; // -2: the whole report; else this count
    bool failEnumeration = false;
    bool ignoreWake = false;
    bool lockTakenElsewhere = false;
    bool lockHeld = false;
    bool watching = false;
    std::function<void()> changed;

    Platform platform() { return {this, this, this, this}; }

    // --- the platform interfaces ---
    bool enumerate (const PathFilter& wanted, std::vector<HidInterface>& out) override
    {
        std::lock_guard<std::mutex> lock (mutex);
        if (failEnumeration)
            return false;
        for (const auto& d : present)
            if (!wanted || wanted (d.path))
                out.push_back (d);
        return true;
    }

    std::vector<UsbDevice> usbDevices() override
    {
        std::lock_guard<std::mutex> lock (mutex);
        return usb;
    }

    std::unique_ptr<InputStream> openInput (const HidInterface& d) override
    {
        std::lock_guard<std::mutex> lock (mutex);
        ++openCount[d.path];
        if (refuseOpen.count (d.path) != 0)
            return nullptr;
        auto c = std::make_shared<Channel>();
        c->ignoreWake = ignoreWake;
        channels[d.path] = c;
        return std::make_unique<FakeStream> (c);
    }

    int writeReport (const std::string& path, const std::uint8_t* report, int length) override
    {
        std::lock_guard<std::mutex> lock (mutex);
        writes.emplace_back (path, Bytes (report, report + length));
        return writeResult == -2 ? length : writeResult;
    }

    bool start (std::function<void()> onChange) override
    {
        std::lock_guard<std::mutex> lock (mutex);
        changed = std::move (onChange);
        watching = true;
        return true;
    }

    void stop() override
    {
        std::lock_guard<std::mutex> lock (mutex);
        changed = nullptr;
        watching = false;
    }

    bool acquire (const std::string&) override
    {
        std::lock_guard<std::mutex> lock (mutex);
        if (lockTakenElsewhere || lockHeld)
            return false;
        lockHeld = true;
        return true;
    }

    void release() override
    {
        std::lock_guard<std::mutex> lock (mutex);
        lockHeld = false;
    }

private:
    static void end (const std::shared_ptr<Channel>& c)
    {
        std::lock_guard<std::mutex> lock (c->mutex);
        c->ended = true;
        c->cv.notify_all();
    }
};

// Collects posted notices; thread-safe.
struct NoticeLog
{
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<std::pair<unsigned, int>> notices;

    static void post (void* context, unsigned message, int deviceNumber)
    {
        auto* log = static_cast<NoticeLog*> (context);
        std::lock_guard<std::mutex> lock (log->mutex);
        log->notices.emplace_back (message, deviceNumber);
        log->cv.notify_all();
    }

    DevlinkNotifyTarget target() { return {&NoticeLog::post, this}; }

    std::vector<std::pair<unsigned, int>> take()
    {
        std::lock_guard<std::mutex> lock (mutex);
        auto out = std::move (notices);
        notices.clear();
        return out;
    }

    std::size_t count (unsigned message)
    {
        std::lock_guard<std::mutex> lock (mutex);
        return std::size_t (std::count_if (notices.begin(), notices.end(),
                                           [&] (const auto& n) { return n.first == message; }));
    }

    bool waitFor (unsigned message, std::size_t n)
    {
        std::unique_lock<std::mutex> lock (mutex);
        return cv.wait_for (lock, std::chrono::seconds (20),
                            [&]
                            {
                                return std::size_t (std::count_if (notices.begin(), notices.end(),
                                                                   [&] (const auto& x)
                                                                   { return x.first == message; })) >= n;
                            });
    }
};
} // namespace qtx::devlink::test
