#pragma once

// A simulated controller in a umockdev testbed, a message thread, and whole
// updates through the headless host (the real library, device link and
// worker) against it. One per process: a process holds one testbed at a time.

#include "HeadlessHost.h"
#include "MessageThread.h"
#include "SimController.h"
#include "support/TestPackage.h"

#include <memory>
#include <string>
#include <vector>

namespace qtx::campaign
{

struct RunResult
{
    bool ended = false; // false: the worker still ran at the time limit (left as it is)
    int state = -1;     // the screen state at the end
    std::vector<std::string> traces;
    double seconds = 0.0;
};

class Rig
{
public:
    Rig (sim::ControllerOptions options, double timeScale);
    ~Rig();

    // Opens the host (waiting for the library's lock), Ready, Start, waits for
    // the end, closes the host. A host whose worker hangs is never closed.
    RunResult update (const test::TestPackage& package, int timeoutMs);

    sim::SimController& controller() { return *sim; }

private:
    vhid::Testbed bed; // first: before the library looks at udev
    MessageThread loop;
    std::unique_ptr<sim::SimController> sim;
    double timeScale;
};

} // namespace qtx::campaign
