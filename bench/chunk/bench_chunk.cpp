// Prints the cost of one HID_UPDATE_COM_DATA_SEND round trip as the worker sees
// it, and of a plain write/poll/read round trip on the same virtual device.

#include "SimController.h"
#include "TimedUpdate.h"

#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace qtx;
using namespace qtx::bench;

namespace
{

// write/poll/read on the node itself: what the virtual device costs.
std::vector<double> rawRoundTrips (const std::string& node, int count, std::vector<double>& writeTimes)
{
    std::vector<double> times;
    const int fd = ::open (node.c_str(), O_RDWR | O_NONBLOCK);
    if (fd < 0)
        return times;
    uint8_t report[commandSize + 1] = {0, HID_UPDATE_COM_PROGRESS_CHK};
    uint8_t input[64];
    while (::read (fd, input, sizeof (input)) > 0)
    {
    }
    for (int k = 0; k < count; ++k)
    {
        const auto began = Clock::now();
        if (::write (fd, report, sizeof (report)) != (ssize_t) sizeof (report))
            break;
        writeTimes.push_back (std::chrono::duration<double, std::micro> (Clock::now() - began).count());
        pollfd p{fd, POLLIN, 0};
        if (::poll (&p, 1, 5000) != 1 || ::read (fd, input, sizeof (input)) <= 0)
            break;
        times.push_back (std::chrono::duration<double, std::micro> (Clock::now() - began).count());
    }
    ::close (fd);
    return times;
}

// open/write/close on the node, as the library writes every report: the part of
// a write that an emulated node makes costly.
std::vector<double> openWriteTimes (const std::string& node, int count)
{
    std::vector<double> times;
    uint8_t report[commandSize + 1] = {0, HID_UPDATE_COM_PROGRESS_CHK};
    for (int k = 0; k < count; ++k)
    {
        const auto began = Clock::now();
        const int fd = ::open (node.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0)
            break;
        const bool written = ::write (fd, report, sizeof (report)) == (ssize_t) sizeof (report);
        ::close (fd);
        if (!written)
            break;
        times.push_back (std::chrono::duration<double, std::micro> (Clock::now() - began).count());
    }
    return times;
}

} // namespace

int main (int argc, char** argv)
{
    vhid::runUnderPreload (argc, argv);
    vhid::Testbed bed;
    sim::ControllerOptions options; // answers at once
    sim::SimController controller (bed, options);
    test::MessageThread loop;

    // 5200 chunks in one block.
    test::TestPackage chunks;
    chunks.info.version = 101;
    chunks.add (5200 * chunkDataSize, true);
    double seconds = 0;
    auto host = update (loop, chunks, seconds);
    if (host == nullptr)
    {
        std::fprintf (stderr, "bench chunk: the update did not complete\n");
        return 1;
    }
    const double p50 = percentile (host->roundTrips, 0.50);
    const double p99 = percentile (host->roundTrips, 0.99);
    const size_t samples = host->roundTrips.size();
    const double writeP50 = percentile (host->writeTimes, 0.50);
    loop.call ([&] { host.reset(); });

    // The answers these writes bring are drained by the raw loop's start.
    const double rawOpenWriteP50 =
        percentile (openWriteTimes (bed.devnode (controller.device()), 2000), 0.50);

    std::vector<double> rawWrites;
    const auto raw = rawRoundTrips (bed.devnode (controller.device()), 5000, rawWrites);
    const double rawP50 = percentile (raw, 0.50);
    const double rawWriteP50 = percentile (rawWrites, 0.50);
    if (raw.size() < 5000)
    {
        std::fprintf (stderr, "bench chunk: raw loop stopped after %zu round trips\n", raw.size());
        return 1;
    }

    // A 256 KiB package with a USB-like 1 ms per answer.
    controller.setAnswerDelayUs (1000);
    test::TestPackage big;
    big.info.version = 101;
    for (int k = 0; k < 4; ++k)
        big.add (64 * 1024, true);
    double bigSeconds = 0;
    auto bigHost = update (loop, big, bigSeconds);
    if (bigHost == nullptr)
    {
        std::fprintf (stderr, "bench chunk: the 256 KiB update did not complete\n");
        return 1;
    }
    loop.call ([&] { bigHost.reset(); });

    std::printf ("chunk_roundtrip_p50_us: %.1f\n", p50);
    std::printf ("chunk_roundtrip_p99_us: %.1f\n", p99);
    std::printf ("raw_roundtrip_p50_us: %.1f\n", rawP50);
    std::printf ("chunk_roundtrip_vs_raw: %.2f\n", rawP50 > 0 ? p50 / rawP50 : 0.0);
    std::printf ("chunk_overhead_p50_us: %.1f\n", p50 - rawP50);
    std::printf ("chunk_samples: %zu\n", samples);
    // Where the time goes: the library opens the node for every write (cheap on
    // a real hidraw node, costly on an emulated one), and the answer's way back.
    std::printf ("chunk_write_p50_us: %.1f\n", writeP50);
    std::printf ("raw_write_p50_us: %.1f\n", rawWriteP50);
    std::printf ("chunk_answer_overhead_p50_us: %.1f\n", (p50 - writeP50) - (rawP50 - rawWriteP50));
    std::printf ("raw_open_write_p50_us: %.1f\n", rawOpenWriteP50);
    std::printf ("chunk_overhead_beyond_open_p50_us: %.1f\n",
                 (p50 - rawP50) - (rawOpenWriteP50 - rawWriteP50));
    std::printf ("package_256kib_usb_s: %.2f\n", bigSeconds);
    return 0;
}
