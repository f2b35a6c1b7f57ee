// bench_startup PROGRAM BASELINE [RUNS]: on the X server in DISPLAY, times exec
// until the first frame the program paints (a window whose pixel (3, 3) shows
// the background grey after a damage report) and reads its resident memory
// then. Runs both programs alternately and prints the medians. With
// QTX_BENCH_SMAPS=DIR set, each program's /proc/PID/smaps at that moment is
// kept as DIR/NAME.smaps (the last run's), to see where the memory went.

#include <X11/extensions/Xdamage.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

struct Sample
{
    double ms = -1.0;
    long rssKib = -1;
};

long residentKib (pid_t pid)
{
    std::ifstream status ("/proc/" + std::to_string (pid) + "/status");
    for (std::string line; std::getline (status, line);)
        if (line.rfind ("VmRSS:", 0) == 0)
            return std::atol (line.c_str() + 6);
    return -1;
}

void keepSmaps (pid_t pid, const std::string& to)
{
    std::ifstream from ("/proc/" + std::to_string (pid) + "/smaps");
    std::ofstream (to) << from.rdbuf();
}

bool showsBackground (Display* display, Window window)
{
    XWindowAttributes attributes;
    if (XGetWindowAttributes (display, window, &attributes) == 0 || attributes.map_state != IsViewable ||
        attributes.width < 8 || attributes.height < 8)
        return false;
    XImage* image = XGetImage (display, window, 3, 3, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr)
        return false;
    const auto pixel = XGetPixel (image, 0, 0);
    XDestroyImage (image);
    return (pixel & 0xffffff) == 0xeaeaea;
}

Sample runOnce (Display* display, int damageEvent, const char* program, const std::string& runtimeDir)
{
    Sample sample;
    const Window root = DefaultRootWindow (display);
    XSelectInput (display, root, SubstructureNotifyMask);
    XSync (display, True);

    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0)
    {
        setenv ("LANG", "C", 1);
        setenv ("XDG_RUNTIME_DIR", runtimeDir.c_str(), 1);
        execl (program, program, (char*) nullptr);
        _exit (127);
    }

    std::vector<Damage> damages;
    const auto deadline = start + std::chrono::seconds (30);
    while (Clock::now() < deadline && sample.ms < 0)
    {
        while (XPending (display) == 0 && Clock::now() < deadline)
            usleep (200);
        if (XPending (display) == 0)
            break;
        XEvent event;
        XNextEvent (display, &event);
        if (event.type == CreateNotify)
        {
            XWindowAttributes attributes;
            if (XGetWindowAttributes (display, event.xcreatewindow.window, &attributes) != 0 &&
                attributes.c_class == InputOutput)
                damages.push_back (
                    XDamageCreate (display, event.xcreatewindow.window, XDamageReportNonEmpty));
        }
        else if (event.type == damageEvent + XDamageNotify)
        {
            const auto* notice = reinterpret_cast<const XDamageNotifyEvent*> (&event);
            XDamageSubtract (display, notice->damage, None, None);
            if (showsBackground (display, notice->drawable))
            {
                sample.ms = std::chrono::duration<double, std::milli> (Clock::now() - start).count();
                sample.rssKib = residentKib (pid);
                if (const char* dir = std::getenv ("QTX_BENCH_SMAPS"))
                {
                    const std::string path (program);
                    keepSmaps (pid, std::string (dir) + "/" + path.substr (path.rfind ('/') + 1) + ".smaps");
                }
            }
        }
    }

    kill (pid, SIGKILL);
    waitpid (pid, nullptr, 0);
    XSelectInput (display, root, NoEventMask);
    XSync (display, True);
    return sample;
}

template <typename T>
T median (std::vector<T> values)
{
    std::sort (values.begin(), values.end());
    return values[values.size() / 2];
}
} // namespace

int main (int argc, char** argv)
{
    if (argc < 3)
    {
        std::fprintf (stderr, "usage: bench_startup PROGRAM BASELINE [RUNS]\n");
        return 2;
    }
    const int runs = argc > 3 ? std::max (1, std::atoi (argv[3])) : 7;
    Display* display = XOpenDisplay (nullptr);
    int damageEvent = 0, damageError = 0;
    if (display == nullptr || !XDamageQueryExtension (display, &damageEvent, &damageError))
    {
        std::fprintf (stderr, "bench_startup: needs an X server with DAMAGE in DISPLAY\n");
        return 2;
    }
    // Windows may vanish between their creation notice and our look at them.
    XSetErrorHandler ([] (Display*, XErrorEvent*) { return 0; });
    char runtimeTemplate[] = "/tmp/qtx-bench-XXXXXX";
    const std::string runtimeDir = mkdtemp (runtimeTemplate);

    std::vector<double> programMs, bareMs;
    std::vector<long> programRss, bareRss;
    // One unmeasured run each, so both start with the same warm caches.
    runOnce (display, damageEvent, argv[1], runtimeDir);
    runOnce (display, damageEvent, argv[2], runtimeDir);
    for (int i = 0; i < runs; ++i)
    {
        for (bool bare : {false, true})
        {
            const auto s = runOnce (display, damageEvent, bare ? argv[2] : argv[1], runtimeDir);
            if (s.ms < 0)
            {
                std::fprintf (stderr, "bench_startup: %s painted no frame\n", bare ? argv[2] : argv[1]);
                return 1;
            }
            (bare ? bareMs : programMs).push_back (s.ms);
            (bare ? bareRss : programRss).push_back (s.rssKib);
        }
    }
    rmdir (runtimeDir.c_str());

    const double ms = median (programMs), bms = median (bareMs);
    const long rss = median (programRss), brss = median (bareRss);
    std::printf ("startup_ms: %.1f\n", ms);
    std::printf ("bare_startup_ms: %.1f\n", bms);
    std::printf ("startup_vs_bare: %.2f\n", ms / bms);
    std::printf ("rss_kib: %ld\n", rss);
    std::printf ("bare_rss_kib: %ld\n", brss);
    std::printf ("rss_vs_bare: %.2f\n", (double) rss / (double) brss);
    XCloseDisplay (display);
    return 0;
}
