// One whole update through the library as this system runs it, against a controller that is
// already there: scripts/bench wine starts qtx-sim with wine's device services in its testbed,
// and runs this program on Linux (inside the testbed) and under wine (outside it) against that
// one simulator, so the two systems' figures come from the same run.
//   bench_hid_update KIB      a package of KIB KiB in four blocks

#include "chunk/TimedUpdate.h"

#include <cstdio>
#include <cstdlib>

int main (int argc, char** argv)
{
    using namespace qtx;
    const int kib = argc > 1 ? std::atoi (argv[1]) : 256;
    if (kib <= 0 || kib > 4096)
    {
        std::fprintf (stderr, "usage: bench_hid_update KIB (1 to 4096)\n");
        return 2;
    }
    test::MessageThread loop;
    test::TestPackage package;
    package.info.version = 101;
    for (int k = 0; k < 4; ++k)
        package.add ((uint32_t) kib * 256, true);
    double seconds = 0;
    auto host = bench::update (loop, package, seconds);
    if (host == nullptr)
    {
        std::fprintf (stderr, "bench hid_update: the update did not complete\n");
        return 1;
    }
    std::printf ("chunk_roundtrip_p50_us: %.1f\n", bench::percentile (host->roundTrips, 0.50));
    std::printf ("chunk_roundtrip_p99_us: %.1f\n", bench::percentile (host->roundTrips, 0.99));
    std::printf ("chunk_write_p50_us: %.1f\n", bench::percentile (host->writeTimes, 0.50));
    std::printf ("chunk_write_p99_us: %.1f\n", bench::percentile (host->writeTimes, 0.99));
    std::printf ("update_s: %.3f\n", seconds);
    loop.call ([&] { host.reset(); });
    return 0;
}
