// Prints refresh32_ms, hidapi_enumerate32_ms, refresh32_vs_hidapi, input_notice_p50_us,
// input_notice_p99_us, raw_read_p50_us and input_notice_vs_raw_p50. Needs the umockdev
// preload (it re-executes itself under it).
#include "devlink.h"
#include "devlink_ids.h"
#include "VirtualHid.h"

#include <hidapi/hidapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace
{
double percentile (std::vector<double> v, double p)
{
    std::sort (v.begin(), v.end());
    return v.empty() ? 0.0 : v[std::size_t (p * double (v.size() - 1))];
}

template <typename F>
double medianMs (int runs, F&& f)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i)
    {
        const auto t0 = Clock::now();
        f();
        ms.push_back (std::chrono::duration<double, std::milli> (Clock::now() - t0).count());
    }
    return percentile (ms, 0.5);
}

std::atomic<long long> postedAt{0};

int onPost (void*, unsigned int message, int)
{
    if (message == 1027)
        postedAt = Clock::now().time_since_epoch().count();
    return 1;
}

// Waits (spinning briefly, then yielding) until `flag` is nonzero; false after 5 s.
template <typename Check>
bool waitUntil (Check&& check)
{
    const auto end = Clock::now() + std::chrono::seconds (5);
    while (!check())
    {
        if (Clock::now() > end)
            return false;
        std::this_thread::yield();
    }
    return true;
}
} // namespace

int main (int argc, char** argv)
{
    qtx::vhid::runUnderPreload (argc, argv);
    qtx::vhid::Testbed bed;
    std::vector<int> devices;
    for (int i = 0; i < 32; ++i)
    {
        qtx::vhid::DeviceConfig s;
        s.vendor = DEVLINK_VENDOR_ID;
        s.product = DEVLINK_CONTROLLER_PRODUCT_ID;
        s.port = "1-" + std::to_string (i + 1);
        s.reportDescriptor = qtx::vhid::vendorDescriptor (64, 64);
        devices.push_back (bed.plug (s));
    }
    const int runs = 21;

    if (HID_GetDeviceCount() != 32)
    {
        std::fprintf (stderr, "expected 32 devices, found %d\n", HID_GetDeviceCount());
        return 1;
    }
    // Interleaved, after one warm-up each, so both see the same cache and machine load.
    hid_init();
    HID_GetDeviceCount();
    hid_free_enumeration (hid_enumerate (0, 0));
    std::vector<double> oursMs, theirsMs;
    for (int i = 0; i < runs; ++i)
    {
        oursMs.push_back (medianMs (1, [] { HID_GetDeviceCount(); }));
        theirsMs.push_back (medianMs (1, [] { hid_free_enumeration (hid_enumerate (0, 0)); }));
    }
    hid_exit();
    const double ours = percentile (oursMs, 0.5);
    const double theirs = percentile (theirsMs, 0.5);
    std::printf ("refresh32_ms: %.3f\n", ours);
    std::printf ("hidapi_enumerate32_ms: %.3f\n", theirs);
    std::printf ("refresh32_vs_hidapi: %.3f\n", ours / theirs);

    // Baseline: a raw poll + read on the same kind of node.
    const int samples = 300;
    std::vector<double> raw;
    {
        const int fd = ::open (bed.devnode (devices[0]).c_str(), O_RDONLY | O_NONBLOCK);
        unsigned char buffer[1024];
        for (int i = 0; i < samples && fd >= 0; ++i)
        {
            const auto t0 = Clock::now();
            bed.queueInput (devices[0], qtx::vhid::Bytes (64, std::uint8_t (i)));
            pollfd p{fd, POLLIN, 0};
            if (::poll (&p, 1, 5000) != 1 || ::read (fd, buffer, sizeof buffer) <= 0)
                break;
            raw.push_back (std::chrono::duration<double, std::micro> (Clock::now() - t0).count());
        }
        if (fd >= 0)
            ::close (fd);
    }

    DevlinkNotifyTarget target{&onPost, nullptr};
    HID_SetCallback (&target, 1027, 1026, 1025);
    HID_Start();
    while (bed.readersConnected (devices[0]) < 2)
        std::this_thread::sleep_for (std::chrono::milliseconds (1));
    std::vector<double> notice;
    unsigned char got[DEVLINK_MAX_REPORT];
    int length = 0;
    for (int i = 0; i < samples; ++i)
    {
        postedAt = 0;
        const auto t0 = Clock::now();
        bed.queueInput (devices[0], qtx::vhid::Bytes (64, std::uint8_t (i)));
        if (!waitUntil ([] { return postedAt.load() != 0; }))
            break;
        notice.push_back (double (postedAt.load() - t0.time_since_epoch().count()) / 1000.0);
        HID_Input (0, got, &length); // fetch: re-arms the next notice
    }
    HID_Stop();
    HID_SetCallback (nullptr, 0, 0, 0);

    const double p50 = percentile (notice, 0.5);
    std::printf ("input_notice_p50_us: %.1f\n", p50);
    std::printf ("input_notice_p99_us: %.1f\n", percentile (notice, 0.99));
    std::printf ("raw_read_p50_us: %.1f\n", percentile (raw, 0.5));
    std::printf ("input_notice_vs_raw_p50: %.3f\n", p50 / percentile (raw, 0.5));
    return notice.size() == std::size_t (samples) ? 0 : 1;
}
