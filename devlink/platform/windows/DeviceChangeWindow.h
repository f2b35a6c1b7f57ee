// Watches for device changes with a hidden window of class "HIDCOM" registered for
// device-interface notifications. The window lives on a thread of its own with its own
// message loop, so a client that never pumps messages (a console tool) still hears of
// changes, and the library can end the watch from any thread.
#pragma once

#include "Platform.h"

#include <windows.h>

#include <dbt.h>

#include <future>
#include <thread>

namespace qtx::devlink::winos
{
// The interface class whose arrivals are watched: USB devices (not the HID class itself;
// device-nodes-changed covers the HID interfaces that follow).
extern const GUID watchedInterfaceClass;

// Whether a WM_DEVICECHANGE with this event code and header calls for a new look at the
// devices: nodes changed; an arrival of the watched class; a removal step of any interface.
bool isDeviceChange (WPARAM event, const DEV_BROADCAST_HDR* header);

class DeviceChangeWindow : public DeviceWatch
{
public:
    static constexpr const wchar_t* className = L"HIDCOM";
    static constexpr const wchar_t* windowTitle = L"HIDComunication";

    ~DeviceChangeWindow() override { stop(); }
    bool start (std::function<void()> changed) override;
    void stop() override;

private:
    static LRESULT CALLBACK windowProc (HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void run (std::promise<bool>& ready);

    std::function<void()> changed;
    std::thread thread;
    HWND window = nullptr;
    HDEVNOTIFY registration = nullptr;
};
} // namespace qtx::devlink::winos
