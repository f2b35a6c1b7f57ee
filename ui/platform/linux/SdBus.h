#pragma once

// libsystemd's sd-bus, loaded when the first inhibitor lock is asked for rather
// than linked: the program then starts without mapping libsystemd and the
// libraries it pulls in, and runs (without the lock) where it is missing.

#include <systemd/sd-bus.h>

namespace qtx::sdbus
{

struct Functions
{
    decltype (&sd_bus_open_system) openSystem;
    decltype (&sd_bus_new) create;
    decltype (&sd_bus_set_address) setAddress;
    decltype (&sd_bus_set_bus_client) setBusClient;
    decltype (&sd_bus_start) start;
    decltype (&sd_bus_close_unref) closeUnref;
    decltype (&sd_bus_set_method_call_timeout) setMethodCallTimeout;
    decltype (&sd_bus_call_method_async) callMethodAsync;
    decltype (&sd_bus_process) process;
    decltype (&sd_bus_get_fd) getFd;
    decltype (&sd_bus_get_events) getEvents;
    decltype (&sd_bus_get_timeout) getTimeout;
    decltype (&sd_bus_slot_unref) slotUnref;
    decltype (&sd_bus_message_is_method_error) messageIsMethodError;
    decltype (&sd_bus_message_read_basic) messageReadBasic;
};

// The functions, or null when libsystemd.so.0 (or one of them) is missing.
// Loaded once, on first use, from any thread.
const Functions* load();

} // namespace qtx::sdbus
