#include "DeviceChangeWindow.h"

#include <future>

namespace qtx::devlink::winos
{
// GUID_DEVINTERFACE_USB_DEVICE
const GUID watchedInterfaceClass = {
    0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

namespace
{
    // Asks the window's own thread to take the window down and end its loop.
    constexpr UINT quitMessage = WM_APP + 1;
    // WS_OVERLAPPEDWINDOW | WS_DISABLED: never shown, never takes input.
    constexpr DWORD windowStyle = 0x08CF0000;

    HINSTANCE thisModule()
    {
        HMODULE module = nullptr;
        GetModuleHandleExW (GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR> (&watchedInterfaceClass), &module);
        return module;
    }
} // namespace

bool isDeviceChange (WPARAM event, const DEV_BROADCAST_HDR* header)
{
    const bool deviceInterface = header != nullptr && header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE;
    switch (event)
    {
        case DBT_DEVNODES_CHANGED:
            return true;
        case DBT_DEVICEARRIVAL:
            return deviceInterface &&
                   IsEqualGUID (
                       reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*> (header)->dbcc_classguid,
                       watchedInterfaceClass);
        case DBT_DEVICEQUERYREMOVE:
        case DBT_DEVICEREMOVEPENDING:
        case DBT_DEVICEREMOVECOMPLETE:
            return deviceInterface;
        default:
            return false;
    }
}

bool DeviceChangeWindow::start (std::function<void()> onChange)
{
    if (thread.joinable())
        return false;
    changed = std::move (onChange);
    std::promise<bool> ready;
    auto created = ready.get_future();
    thread = std::thread ([this, &ready] { run (ready); });
    if (created.get())
        return true;
    thread.join();
    return false;
}

void DeviceChangeWindow::stop()
{
    if (!thread.joinable())
        return;
    PostMessageW (window, quitMessage, 0, 0);
    thread.join();
    window = nullptr;
}

void DeviceChangeWindow::run (std::promise<bool>& ready)
{
    const HINSTANCE module = thisModule();
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = module;
    windowClass.hCursor = LoadCursor (nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH> (GetStockObject (BLACK_BRUSH));
    windowClass.lpszClassName = className;
    // Fails harmlessly when another start of this process registered it already.
    RegisterClassW (&windowClass);

    window = CreateWindowExW (0, className, windowTitle, windowStyle, 0, 0, 10, 10, nullptr, nullptr, module,
                              this);
    if (window == nullptr)
    {
        UnregisterClassW (className, module);
        ready.set_value (false);
        return;
    }
    ShowWindow (window, SW_HIDE);

    DEV_BROADCAST_DEVICEINTERFACE_A filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = watchedInterfaceClass;
    registration = RegisterDeviceNotificationA (window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    ready.set_value (true);

    MSG message;
    while (GetMessageW (&message, nullptr, 0, 0) > 0)
    {
        TranslateMessage (&message);
        DispatchMessageW (&message);
    }
    UnregisterClassW (className, module);
}

LRESULT CALLBACK DeviceChangeWindow::windowProc (HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE)
    {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*> (lParam);
        SetWindowLongPtrW (window, GWLP_USERDATA, reinterpret_cast<LONG_PTR> (create->lpCreateParams));
    }
    auto* self = reinterpret_cast<DeviceChangeWindow*> (GetWindowLongPtrW (window, GWLP_USERDATA));
    if (self != nullptr)
    {
        if (message == WM_DEVICECHANGE && self->changed &&
            isDeviceChange (wParam, reinterpret_cast<const DEV_BROADCAST_HDR*> (lParam)))
            self->changed();
        else if (message == quitMessage)
        {
            if (self->registration != nullptr)
                UnregisterDeviceNotification (self->registration);
            self->registration = nullptr;
            DestroyWindow (window);
            return 0;
        }
        else if (message == WM_DESTROY)
            PostQuitMessage (0);
    }
    return DefWindowProcW (window, message, wParam, lParam);
}
} // namespace qtx::devlink::winos
