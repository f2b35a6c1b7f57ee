#include "FakeLogind.h"

#include "tests/ui/XServer.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace qtx::test
{
namespace
{
    // The bus accepts connections once dbus-daemon listens; it starts in a few ms.
    sd_bus* connect (const std::string& address)
    {
        for (int attempt = 0; attempt < 200; ++attempt)
        {
            sd_bus* bus = nullptr;
            if (sd_bus_new (&bus) >= 0 && sd_bus_set_address (bus, address.c_str()) >= 0 &&
                sd_bus_set_bus_client (bus, 1) >= 0 && sd_bus_start (bus) >= 0)
                return bus;
            sd_bus_close_unref (bus);
            std::this_thread::sleep_for (std::chrono::milliseconds (50));
        }
        return nullptr;
    }
} // namespace

FakeLogind::FakeLogind()
{
    char pattern[] = "/tmp/qtx-bus-XXXXXX";
    if (mkdtemp (pattern) == nullptr)
        return;
    directory = pattern;
    busAddress = "unix:path=" + directory + "/bus";
    // The session bus's rules: its one user may own any name, logind's too. Its
    // output goes: as root it complains that it may not raise its descriptor limit.
    daemon =
        startProcess ({"dbus-daemon", "--session", "--address=" + busAddress, "--nofork", "--nopidfile"}, {});
    if (daemon <= 0)
        return;

    server = std::thread ([this] { serve(); });
    std::unique_lock<std::mutex> lock (mutex);
    arrived.wait_for (lock, std::chrono::seconds (15), [this] { return serving || stopping; });
}

FakeLogind::~FakeLogind()
{
    stopping = true;
    if (server.joinable())
        server.join();
    endProcess (daemon);
    for (int fd : lockEnds)
        if (fd >= 0)
            close (fd);
    if (!directory.empty())
    {
        unlink ((directory + "/bus").c_str());
        rmdir (directory.c_str());
    }
}

void FakeLogind::serve()
{
    sd_bus* bus = connect (busAddress);
    sd_bus_slot* slot = nullptr;
    static const sd_bus_vtable vtable[] = {
        SD_BUS_VTABLE_START (0),
        SD_BUS_METHOD ("Inhibit", "ssss", "h", &FakeLogind::onInhibit, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_VTABLE_END,
    };

    const bool ok = bus != nullptr &&
                    sd_bus_add_object_vtable (bus, &slot, "/org/freedesktop/login1",
                                              "org.freedesktop.login1.Manager", vtable, this) >= 0 &&
                    sd_bus_request_name (bus, "org.freedesktop.login1", 0) >= 0;
    {
        const std::lock_guard<std::mutex> lock (mutex);
        serving = ok;
        stopping = stopping || !ok;
    }
    arrived.notify_all();

    while (!stopping)
    {
        const int processed = sd_bus_process (bus, nullptr);
        if (processed < 0)
            break;
        if (processed == 0)
            sd_bus_wait (bus, 50'000);
    }

    sd_bus_slot_unref (slot);
    sd_bus_close_unref (bus);
}

int FakeLogind::onInhibit (sd_bus_message* message, void* userdata, sd_bus_error*)
{
    auto& self = *static_cast<FakeLogind*> (userdata);
    const char *what = nullptr, *who = nullptr, *why = nullptr, *mode = nullptr;
    int r = sd_bus_message_read (message, "ssss", &what, &who, &why, &mode);
    if (r < 0)
        return r;

    Answer answer = Answer::lock;
    size_t index = 0;
    {
        const std::lock_guard<std::mutex> lock (self.mutex);
        const auto own = self.answers.find (what);
        answer = own != self.answers.end() ? own->second : self.answers[""];
        self.received.push_back ({what, who, why, mode});
        self.lockEnds.push_back (-1);
        index = self.received.size() - 1;
    }
    self.arrived.notify_all();

    switch (answer)
    {
        case Answer::refuse:
            return sd_bus_reply_method_errorf (message, "org.freedesktop.DBus.Error.AccessDenied",
                                               "Permission denied");
        case Answer::lock:
            break;
    }

    // Like logind: the caller gets the writing end, we watch the reading end.
    int ends[2];
    if (pipe2 (ends, O_CLOEXEC) < 0)
        return -errno;
    {
        const std::lock_guard<std::mutex> lock (self.mutex);
        self.lockEnds[index] = ends[0];
    }
    r = sd_bus_reply_method_return (message, "h", ends[1]);
    close (ends[1]);
    self.arrived.notify_all();
    return r;
}

void FakeLogind::setAnswer (Answer answer, const std::string& what)
{
    const std::lock_guard<std::mutex> lock (mutex);
    if (what.empty())
        answers.clear();
    answers[what] = answer;
}

bool FakeLogind::waitForCalls (size_t count, int timeoutMs)
{
    std::unique_lock<std::mutex> lock (mutex);
    return arrived.wait_for (lock, std::chrono::milliseconds (timeoutMs),
                             [&] { return received.size() >= count; });
}

std::vector<FakeLogind::Call> FakeLogind::calls()
{
    const std::lock_guard<std::mutex> lock (mutex);
    return received;
}

int FakeLogind::lockEnd (size_t index)
{
    std::unique_lock<std::mutex> lock (mutex);
    arrived.wait_for (lock, std::chrono::seconds (5),
                      [&] { return index < lockEnds.size() && lockEnds[index] >= 0; });
    return index < lockEnds.size() ? lockEnds[index] : -1;
}

bool FakeLogind::waitReleased (size_t index, int timeoutMs)
{
    const int fd = lockEnd (index);
    if (fd < 0)
        return true;
    pollfd watch{fd, POLLIN, 0};
    // Nobody writes to the pipe: it only becomes readable (end of file) once every
    // copy of the caller's end is closed.
    return poll (&watch, 1, timeoutMs) > 0;
}

} // namespace qtx::test
