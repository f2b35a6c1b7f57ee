#include "Rig.h"

#include "devlink/include/devlink.h"

#include <chrono>
#include <thread>

namespace qtx::campaign
{

Rig::Rig (sim::ControllerOptions options, double scale)
    : sim (std::make_unique<sim::SimController> (bed, std::move (options)))
    , timeScale (scale)
{
}

Rig::~Rig() = default;

RunResult Rig::update (const test::TestPackage& package, int timeoutMs)
{
    RunResult result;
    const auto began = std::chrono::steady_clock::now();
    // Keep the library for the host (its own initialisation then finds it held
    // and goes on), waiting while another client on the machine has it.
    loop.call (
        []
        {
            while (HID_Initialize (nullptr) != 1)
                std::this_thread::sleep_for (std::chrono::milliseconds (10));
        });
    HeadlessHost::Options options;
    options.timeScale = timeScale;
    auto host =
        loop.call ([&] { return std::make_unique<HeadlessHost> (package.info, package.blocks, 1, options); });
    loop.call ([&] { host->leaveLanguageScreen(); });
    if (loop.call ([&] { return host->start ("QTX-ORB9"); }))
        result.ended = host->waitForEnd (timeoutMs);
    else
        result.ended = true; // not Ready: no controller held
    result.seconds = std::chrono::duration<double> (std::chrono::steady_clock::now() - began).count();
    if (!result.ended)
    {
        result.traces = host->traces();
        (void) host.release(); // closing it would wait for the hung worker
        return result;
    }
    loop.flush(); // the worker's last state request is applied there
    result.state = host->getScreenState();
    result.traces = host->traces();
    loop.call ([&] { host.reset(); });
    return result;
}

} // namespace qtx::campaign
