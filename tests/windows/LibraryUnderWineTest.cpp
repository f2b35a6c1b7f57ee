// devlink.dll as a client sees it under wine (which has no device of ours): start and stop,
// the single-client lock across processes, the device-change window, the answers read from
// the system with no device; and the device link's hidden window serving posted notices in order.

#include "devicelink/NoticeQueue.h"
#include "devlink.h"
#include "support/MessageThread.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <dbt.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

namespace
{
const char* const holdLockArgument = "--hold-devlink";

// Child mode: takes the library, says so through the named event, and waits to be killed.
int holdLock (const char* readyEvent)
{
    if (HID_Initialize (nullptr) != 1)
        return 2;
    HANDLE ready = OpenEventA (EVENT_MODIFY_STATE, FALSE, readyEvent);
    if (ready == nullptr)
        return 3;
    SetEvent (ready);
    Sleep (INFINITE);
    return 0;
}

struct Counter
{
    static int post (void* context, unsigned int, int) { return ++static_cast<Counter*> (context)->posts; }
    std::atomic<int> posts{0};
};

HWND deviceChangeWindow()
{
    return FindWindowA ("HIDCOM", "HIDComunication");
}

TEST (LibraryUnderWine, InitialisesOncePerMachineAndWatchesOnItsOwnWindow)
{
    ASSERT_EQ (deviceChangeWindow(), nullptr);
    ASSERT_EQ (HID_Initialize (GetModuleHandleA (nullptr)), 1);
    EXPECT_EQ (HID_Initialize (nullptr), 0); // the lock exists

    const HWND watch = deviceChangeWindow();
    ASSERT_NE (watch, nullptr);
    EXPECT_FALSE (IsWindowVisible (watch));
    EXPECT_NE (GetWindowThreadProcessId (watch, nullptr), GetCurrentThreadId());

    // A device-change event refreshes and announces; with no device of ours, nothing.
    Counter counter;
    const DevlinkNotifyTarget target{Counter::post, &counter};
    HID_SetCallback (&target, 1027, 1026, 1025);
    SendMessageA (watch, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    HID_Start();
    SendMessageA (watch, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    HID_Stop();
    HID_SetCallback (nullptr, 0, 0, 0);
    EXPECT_EQ (counter.posts, 0);

    HID_Finalize();
    EXPECT_EQ (deviceChangeWindow(), nullptr);
    HID_Finalize();                          // harmless
    EXPECT_EQ (HID_Initialize (nullptr), 1); // free again
    HID_Finalize();
}

TEST (LibraryUnderWine, AnotherProcessHoldsTheLockUntilKilled)
{
    const std::string eventName = "QtxDevlinkHolder" + std::to_string (GetCurrentProcessId());
    HANDLE ready = CreateEventA (nullptr, TRUE, FALSE, eventName.c_str());
    ASSERT_NE (ready, nullptr);
    char self[MAX_PATH] = {};
    GetModuleFileNameA (nullptr, self, MAX_PATH);
    std::string command = "\"" + std::string (self) + "\" " + holdLockArgument + " " + eventName;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    ASSERT_TRUE (CreateProcessA (nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                 &startup, &child));
    HANDLE waitFor[2] = {ready, child.hProcess};
    ASSERT_EQ (WaitForMultipleObjects (2, waitFor, FALSE, 60000), WAIT_OBJECT_0)
        << "the holder did not start";

    EXPECT_EQ (HID_Initialize (nullptr), 0);
    HID_Finalize(); // after a refused initialise: nothing to undo

    TerminateProcess (child.hProcess, 9);
    WaitForSingleObject (child.hProcess, 60000);
    EXPECT_EQ (HID_Initialize (nullptr), 1);
    HID_Finalize();
    CloseHandle (child.hThread);
    CloseHandle (child.hProcess);
    CloseHandle (ready);
}

// What the table, input, writes and audio answer without a device is the core's tests'; here
// the system's own USB list and driver files are read for real.
TEST (LibraryUnderWine, NoDeviceOfOursAnswersEmpty)
{
    ASSERT_EQ (HID_Initialize (nullptr), 1);
    HID_Start();
    EXPECT_EQ (HID_GetDeviceCount(), 0);
    int numbers[DEVLINK_MAX_DEVICES];
    std::memset (numbers, 0x55, sizeof numbers);
    EXPECT_EQ (HID_EnumHIDno (numbers), 0);
    EXPECT_EQ (numbers[0], 0x55555555);
    int versions[2] = {7, 7};
    HID_GetFirmwareVersion (9, versions, 1);
    EXPECT_EQ (versions[0], 0);
    EXPECT_EQ (versions[1], 7);

    char text[256] = "x";
    EXPECT_EQ (HID_GetDriverVersion (1, text), 0);
    EXPECT_STREQ (text, "");
    HID_Stop();
    HID_Finalize();
}

TEST (NoticeWindow, PostedNoticesArriveInOrderOnTheMessageThread)
{
    qtx::test::MessageThread loop;
    std::vector<std::pair<unsigned int, int>> served;
    int offThread = 0;
    qtx::NoticeQueue queue (
        [&] (unsigned int message, int number)
        {
            if (std::this_thread::get_id() != loop.id)
                ++offThread;
            served.emplace_back (message, number);
        });
    const HWND window = FindWindowA ("HID_WINDOW_CALLBACK", "HID_WINDOW_CALLBACK");
    ASSERT_NE (window, nullptr);
    EXPECT_FALSE (IsWindowVisible (window));
    EXPECT_FALSE (IsWindowEnabled (window));

    // As the library posts them (through the queue's target), and straight to the window.
    queue.target().post (queue.target().context, 1026, 3);
    PostMessageA (window, 1027, 3, 0);
    queue.target().post (queue.target().context, 1025, 3);
    PostMessageA (window, WM_NULL, 9, 0); // not a notice
    queue.target().post (queue.target().context, 1027, 5);
    loop.flush();
    const auto result = loop.call ([&] { return served; });
    const std::vector<std::pair<unsigned int, int>> expected = {{1026, 3}, {1027, 3}, {1025, 3}, {1027, 5}};
    EXPECT_EQ (result, expected);
    EXPECT_EQ (loop.call ([&] { return offThread; }), 0);

    loop.call ([&] { queue.close(); });
    EXPECT_EQ (FindWindowA ("HID_WINDOW_CALLBACK", "HID_WINDOW_CALLBACK"), nullptr);
}
} // namespace

int main (int argc, char** argv)
{
    if (argc == 3 && std::strcmp (argv[1], holdLockArgument) == 0)
        return holdLock (argv[2]);
    ::testing::InitGoogleTest (&argc, argv);
    return RUN_ALL_TESTS();
}
