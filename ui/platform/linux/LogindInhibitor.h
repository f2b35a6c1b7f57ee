#pragma once

// systemd-logind's inhibitor lock, taken over D-Bus with libsystemd's sd-bus.
// logind hands out a file descriptor; the lock lasts until it is closed.

#include "../SleepInhibitor.h"

#include <array>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace qtx
{

class LogindInhibitor : public SleepInhibitor
{
public:
    // "block", not "delay": a delay lock lets logind go on after a few seconds
    // (InhibitDelayMaxSec), far shorter than a transfer, and logind refuses
    // delay locks on idle altogether.
    static constexpr const char* what = "sleep:idle:shutdown";
    // logind's own lid switch action passes over the lock above (its default
    // LidSwitchIgnoreInhibited=yes) and would cut the controller's power mid-block;
    // only this low-level lock stops it. Asked for on its own: where logind checks
    // each kind of lock apart, a policy that refuses it costs the lock above nothing.
    static constexpr const char* lidWhat = "handle-lid-switch";
    static constexpr const char* who = "QtxUpdate";
    static constexpr const char* why = "Updating controller firmware";
    static constexpr const char* mode = "block";

    // An empty address means the system bus (DBUS_SYSTEM_BUS_ADDRESS, else its
    // standard socket); tests give a private bus.
    explicit LogindInhibitor (std::string busAddress = {});
    ~LogindInhibitor() override;

    // The D-Bus call runs on a helper thread, so a slow or stuck bus never holds
    // up the window; a lock that arrives after release() is closed at once.
    void hold() override;
    void release() override;

private:
    static constexpr size_t lockCount = 2; // what, lidWhat
    using Locks = std::array<int, lockCount>;

    void serve();
    // Asks for the locks that `held` lacks, both calls at once; -1 for those not had.
    Locks requestLocks (const Locks& held) const;
    bool allHeld() const;
    void closeLocks();

    const std::string address;
    int wakeFd = -1; // readable once the inhibitor goes: ends a call in flight

    std::mutex mutex;
    std::condition_variable changed;
    bool wanted = false; // between hold() and release()
    bool asked = false;  // a request the helper has not taken up yet
    bool closing = false;
    Locks lockFds{-1, -1};
    std::thread helper;
};

} // namespace qtx
