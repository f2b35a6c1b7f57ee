// qtx-sim: plays a QTX-ORB9 controller on a virtual HID device, optionally
// running a program inside the same testbed.

#include "SimController.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace qtx::sim;

namespace
{
const char* usage = "Usage: qtx-sim [OPTIONS] [-- PROGRAM [ARGS...]]\n"
                    "Plays a QTX-ORB9 controller on a virtual USB HID device (umockdev testbed).\n"
                    "With a PROGRAM, starts it inside the testbed (it inherits UMOCKDEV_DIR and\n"
                    "LD_PRELOAD), waits for it and exits with its status. Without one, runs until\n"
                    "interrupted (Ctrl-C).\n"
                    "\n"
                    "Controller:\n"
                    "  --delay-us N             delay before every answer report, in µs (default 1000,\n"
                    "                           about a full-speed USB link; 0 answers at once)\n"
                    "  --release HEX            bcdDevice, the firmware version as read by the program\n"
                    "                           (default 0102: Ver. 1.02)\n"
                    "  --controllers N          number of controllers plugged in (default 1; 0: none)\n"
                    "  --plug-after MS          the first controller is plugged in only MS after the start\n"
                    "  --interim-per-block N    0xF7 progress reports before each block's last answer\n"
                    "  --interim-at-completion N  0xF7 answers to progress checks before 0xFC\n"
                    "  --mode-not-yet N         answer the first N mode changes 0xF6 with 0 (ask again)\n"
                    "  --mode-refuse V          answer every mode change 0xF6 with byte 1 = V (e.g. 2)\n"
                    "\n"
                    "Faults at a step (STEP is mode, start, block, data or check; :N picks the N-th\n"
                    "command of that step, default 1):\n"
                    "  --silent-at STEP[:N]           no answer\n"
                    "  --wrong-code-at STEP[:N]=CODE  answer with CODE (e.g. 0xFB)\n"
                    "  --burst-at STEP[:N]=COUNT      COUNT extra copies of the answer, at once\n"
                    "  --unplug-at STEP[:N][=MS]      unplug instead of answering; replug after MS\n"
                    "  --slow-at STEP[:N]=MS          answer MS late (after the interim reports, if any)\n"
                    "\n"
                    "Plug and unplug: SIGUSR1 unplugs the first controller, SIGUSR2 plugs it in again.\n"
                    "\n"
                    "Output:\n"
                    "  --record FILE            at the end, write the received blocks' bytes (update\n"
                    "                           blocks in block order)\n"
                    "  --wire-log FILE          at the end, write every command received, one hex line each\n"
                    "  --help                   this text\n"
                    "\n"
                    "At the end a summary goes to standard error; the exit status is the program's, or\n"
                    "0 when the controller got a complete, CRC-checked update, else 3.\n";

volatile std::sig_atomic_t interrupted = 0;
volatile std::sig_atomic_t plugRequest = 0; // SIGUSR1 or SIGUSR2, taken by the main loop

// Without SA_RESTART, so that a signal ends the wait for the program and is acted on at once.
void onSignal (int signal, void (*handler) (int))
{
    struct sigaction action
    {
    };
    action.sa_handler = handler;
    sigemptyset (&action.sa_mask);
    sigaction (signal, &action, nullptr);
}

// Plugs or unplugs the controller as the last SIGUSR1/SIGUSR2 asked.
void followPlugRequest (SimController* controller)
{
    const int request = plugRequest;
    plugRequest = 0;
    if (controller == nullptr || request == 0)
        return;
    if (request == SIGUSR1)
        controller->unplug();
    else
        controller->replug();
}

// Delays are slept in µs as an int: keep them well inside its range.
constexpr int longestDelayMs = 600000;

bool parseInt (const char* text, int& value, int base = 10)
{
    if (text == nullptr || *text == 0)
        return false;
    char* end = nullptr;
    const long v = std::strtol (text, &end, base);
    if (*end != 0 || v < 0 || v > 100000000)
        return false;
    value = (int) v;
    return true;
}

// STEP[:N][=VALUE]
bool parseFault (const std::string& text, Fault::Kind kind, bool needsValue, Fault& fault)
{
    const auto eq = text.find ('=');
    if (!parseStep (text.substr (0, eq), fault.step, fault.occurrence))
        return false;
    fault.kind = kind;
    if (eq == std::string::npos)
        return !needsValue;
    int value = 0;
    if (!parseInt (text.c_str() + eq + 1, value, 0))
        return false;
    if (kind == Fault::WrongCode)
    {
        if (value > 255)
            return false;
        fault.code = (uint8_t) value;
    }
    else if (kind == Fault::Burst)
        fault.count = value;
    else if (value > longestDelayMs)
        return false;
    else if (kind == Fault::Slow)
        fault.delayMs = value;
    else
        fault.replugMs = value;
    return true;
}

// --plug-after: the controller leaves before the program starts and comes back on a thread
// of its own (a timer signal could come before the wait for the program and be lost).
class DelayedPlug
{
public:
    DelayedPlug (SimController* controller, int ms)
    {
        if (controller == nullptr || ms <= 0)
            return;
        controller->unplug();
        plug = std::thread (
            [controller, ms, cancelled = cancel.get_future()]
            {
                if (cancelled.wait_for (std::chrono::milliseconds (ms)) == std::future_status::timeout)
                    controller->replug();
            });
    }

    ~DelayedPlug()
    {
        cancel.set_value();
        if (plug.joinable())
            plug.join();
    }

private:
    std::promise<void> cancel;
    std::thread plug;
};

int fail (const std::string& message)
{
    std::fprintf (stderr, "qtx-sim: %s\nTry 'qtx-sim --help'.\n", message.c_str());
    return 2;
}
} // namespace

int main (int argc, char** argv)
{
    ControllerOptions options;
    options.answerDelayUs = 1000;
    int release = 0x0102;
    int controllers = 1;
    int plugAfterMs = 0;
    std::string recordPath, wirePath;
    std::vector<char*> program;

    for (int k = 1; k < argc; ++k)
    {
        const std::string arg = argv[k];
        const char* next = k + 1 < argc ? argv[k + 1] : nullptr;
        auto value = [&] (int& out, int base = 10)
        {
            ++k;
            return parseInt (next, out, base);
        };
        Fault fault;
        if (arg == "--help" || arg == "-h")
        {
            std::fputs (usage, stdout);
            return 0;
        }
        else if (arg == "--")
        {
            program.assign (argv + k + 1, argv + argc);
            break;
        }
        else if (arg == "--delay-us" && value (options.answerDelayUs))
            continue;
        else if (arg == "--release" && value (release, 16) && release <= 0xFFFF)
            continue;
        else if (arg == "--controllers" && value (controllers) && controllers <= 8)
            continue;
        else if (arg == "--plug-after" && value (plugAfterMs) && plugAfterMs <= longestDelayMs)
            continue;
        else if (arg == "--interim-per-block" && value (options.interimPerBlock))
            continue;
        else if (arg == "--interim-at-completion" && value (options.interimAtCompletion))
            continue;
        else if (arg == "--mode-not-yet" && value (options.modeNotYet))
            continue;
        else if (arg == "--mode-refuse" && value (options.modeRefuseValue, 0) &&
                 options.modeRefuseValue <= 255)
            continue;
        else if (arg == "--silent-at" && next && parseFault (next, Fault::Silent, false, fault))
            ++k;
        else if (arg == "--wrong-code-at" && next && parseFault (next, Fault::WrongCode, true, fault))
            ++k;
        else if (arg == "--burst-at" && next && parseFault (next, Fault::Burst, true, fault))
            ++k;
        else if (arg == "--unplug-at" && next && parseFault (next, Fault::Unplug, false, fault))
            ++k;
        else if (arg == "--slow-at" && next && parseFault (next, Fault::Slow, true, fault))
            ++k;
        else if (arg == "--record" && next)
        {
            recordPath = argv[++k];
            continue;
        }
        else if (arg == "--wire-log" && next)
        {
            wirePath = argv[++k];
            continue;
        }
        else
            return fail ("bad option or value: " + arg);
        options.faults.push_back (fault);
    }

    // The testbed needs the umockdev preload in this process; the program started
    // below inherits it.
    qtx::vhid::runUnderPreload (argc, argv);

    qtx::vhid::Testbed bed;
    // The first controller answers; with none, the testbed stays empty.
    std::unique_ptr<SimController> first;
    if (controllers > 0)
    {
        first = std::make_unique<SimController> (bed, options, controllerConfig ((uint16_t) release, "1-2"));
        if (first->device() < 0)
            return fail ("could not create the virtual controller");
    }
    SimController* controller = first.get();
    // Further controllers only sit there (they answer nothing).
    for (int k = 1; k < controllers; ++k)
        bed.plug (controllerConfig ((uint16_t) release, "1-" + std::to_string (k + 2)));

    onSignal (SIGUSR1, [] (int signal) { plugRequest = signal; });
    onSignal (SIGUSR2, [] (int signal) { plugRequest = signal; });
    DelayedPlug delayedPlug (controller, plugAfterMs);
    int status = 0;
    if (!program.empty())
    {
        program.push_back (nullptr);
        const pid_t child = fork();
        if (child == 0)
        {
            execvp (program[0], program.data());
            std::fprintf (stderr, "qtx-sim: cannot start %s: %s\n", program[0], std::strerror (errno));
            _exit (127);
        }
        if (child < 0)
            return fail ("fork failed");
        int raw = 0;
        while (waitpid (child, &raw, 0) < 0 && errno == EINTR)
            followPlugRequest (controller);
        status = WIFEXITED (raw) ? WEXITSTATUS (raw) : 128 + WTERMSIG (raw);
    }
    else
    {
        onSignal (SIGINT, [] (int) { interrupted = 1; });
        onSignal (SIGTERM, [] (int) { interrupted = 1; });
        std::fprintf (stderr, "qtx-sim: controller at %s in %s (UMOCKDEV_DIR); Ctrl-C ends\n",
                      controller != nullptr ? bed.devnode (controller->device()).c_str() : "(none)",
                      bed.rootDir().c_str());
        while (!interrupted)
        {
            followPlugRequest (controller);
            std::this_thread::sleep_for (std::chrono::milliseconds (100));
        }
    }

    if (controller == nullptr)
    {
        std::fprintf (stderr, "qtx-sim: no controller was plugged in\n");
        return program.empty() ? 3 : status;
    }
    controller->waitIdle();
    if (!recordPath.empty() && !controller->writeImage (recordPath))
        std::fprintf (stderr, "qtx-sim: cannot write %s\n", recordPath.c_str());
    if (!wirePath.empty() && !controller->writeWireLog (wirePath))
        std::fprintf (stderr, "qtx-sim: cannot write %s\n", wirePath.c_str());
    const bool good = controller->completed() && controller->allBlocksGood();
    if (controller->refusedWrites() > 0)
        std::fprintf (stderr, "qtx-sim: %d writes refused: not report ID 0 and 64 bytes\n",
                      controller->refusedWrites());
    std::fprintf (stderr, "qtx-sim: %zu commands, %zu update blocks, %s\n", controller->commands().size(),
                  controller->blockCount(),
                  good ? "update complete, all CRC-16s match" : "update not complete");
    if (!program.empty())
        return status;
    return good ? 0 : 3;
}
