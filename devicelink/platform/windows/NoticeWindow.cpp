// The library's notices on Windows: posted window messages to a hidden, disabled 10 x 10
// window of class "HID_WINDOW_CALLBACK", owned by the message thread. The library's notices
// 1025, 1026 and 1027 arrive as those messages with the device number in the first
// parameter; the window procedure hands them to the handler, then passes every message on
// to the default procedure. The thread's message loop (JUCE's) serves them in posting order.

#include "devicelink/HidUtil.h"
#include "devicelink/NoticeQueue.h"

#include <juce_events/juce_events.h>

#include <windows.h>

#include <atomic>

namespace qtx
{
namespace
{
    // The window must belong to the thread whose loop serves it: JUCE's message thread,
    // whichever thread makes or closes the queue (the program does both on it).
    template <typename Fn>
    void onMessageThread (Fn fn)
    {
        auto* messages = juce::MessageManager::getInstanceWithoutCreating();
        if (messages == nullptr || messages->isThisTheMessageThread())
        {
            fn();
            return;
        }
        messages->callFunctionOnMessageThread (
            [] (void* call) -> void*
            {
                (*static_cast<Fn*> (call))();
                return nullptr;
            },
            &fn);
    }
} // namespace

struct NoticeQueue::State
{
    static constexpr const char* className = "HID_WINDOW_CALLBACK";
    // WS_OVERLAPPEDWINDOW | WS_DISABLED
    static constexpr DWORD windowStyle = 0x08CF0000;

    Handler handler; // message thread only
    HINSTANCE instance = nullptr;
    std::atomic<HWND> window{nullptr};

    // Notice numbers in the private range (WM_HID_* among them) travel as themselves;
    // any other number rides in this message's second parameter.
    static constexpr UINT carrier = 0x7FFF;

    static bool isPrivate (unsigned int message) { return message >= WM_USER && message < carrier; }

    static LRESULT CALLBACK windowProc (HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (isPrivate (message) || message == carrier)
        {
            auto* self = reinterpret_cast<State*> (GetWindowLongPtrA (hwnd, GWLP_USERDATA));
            if (self != nullptr && self->handler)
                self->handler (message == carrier ? unsigned (lParam) : message, int (wParam));
        }
        return DefWindowProcA (hwnd, message, wParam, lParam);
    }

    void open()
    {
        instance = GetModuleHandleA (nullptr);
        if (instance == nullptr)
            return;
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = windowProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursor (nullptr, IDC_ARROW);
        windowClass.hbrBackground = static_cast<HBRUSH> (GetStockObject (BLACK_BRUSH));
        windowClass.lpszClassName = className;
        RegisterClassA (&windowClass); // a class left registered by an earlier link serves as well
        HWND created = CreateWindowExA (0, className, className, windowStyle, 0, 0, 10, 10, nullptr, nullptr,
                                        instance, nullptr);
        if (created == nullptr)
            return;
        SetWindowLongPtrA (created, GWLP_USERDATA, reinterpret_cast<LONG_PTR> (this));
        ShowWindow (created, SW_HIDE);
        window = created;
    }

    void close()
    {
        // Messages still queued for the window are dropped with it.
        handler = nullptr;
        if (HWND w = window.exchange (nullptr))
        {
            SetWindowLongPtrA (w, GWLP_USERDATA, 0);
            DestroyWindow (w);
            UnregisterClassA (className, instance);
        }
    }
};

namespace
{
    int postFromLibrary (void* context, unsigned int message, int deviceNumber)
    {
        return static_cast<NoticeQueue*> (context)->post (message, deviceNumber) ? 1 : 0;
    }
} // namespace

NoticeQueue::NoticeQueue (Handler handler)
    : state (std::make_shared<State>())
{
    state->handler = std::move (handler);
    onMessageThread ([this] { state->open(); });
    notifyTarget.post = postFromLibrary;
    notifyTarget.context = this;
}

NoticeQueue::~NoticeQueue()
{
    close();
}

bool NoticeQueue::post (unsigned int message, int deviceNumber)
{
    // Posted, never sent: the library's thread does not wait for the message thread. A window
    // that is gone, or a full message queue, makes PostMessageA fail.
    HWND w = state->window.load();
    if (w == nullptr)
        return false;
    if (State::isPrivate (message))
        return PostMessageA (w, message, WPARAM (deviceNumber), 0) != 0;
    return PostMessageA (w, State::carrier, WPARAM (deviceNumber), LPARAM (message)) != 0;
}

void NoticeQueue::close()
{
    if (state->window.load() != nullptr)
        onMessageThread ([this] { state->close(); });
}

} // namespace qtx
