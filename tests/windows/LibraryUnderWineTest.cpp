// devlink.dll as a client sees it under wine with no device of ours: start and stop, the
// single-client lock across processes, the device-change window; and the device link's
// hidden window serving posted notices in order. With devices: HidUnderWineTest.cpp.

#include "devicelink/NoticeQueue.h"
#include "devlink.h"
#include "support/MessageThread.h"

#include <gtest/gtest.h>

#include <windows.h>

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

const char* const unloadArgument = "--unload-devlink";

std::wstring besideSelf (const wchar_t* name)
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW (nullptr, self, MAX_PATH);
    std::wstring path = self;
    return path.substr (0, path.find_last_of (L'\\') + 1) + name;
}

template <typename Function>
Function exported (HMODULE library, const char* name)
{
    return reinterpret_cast<Function> (reinterpret_cast<void*> (GetProcAddress (library, name)));
}

// Child mode: a client that loads a copy of the library (so it is not the one this program
// is linked with) and unloads it, first after HID_Finalize, then without.
int unloadLibrary()
{
    const std::wstring copy = besideSelf (L"devlink-unload.dll");
    for (const bool finalize : {true, false})
    {
        HMODULE library = LoadLibraryW (copy.c_str());
        if (library == nullptr)
            return 2;
        const auto initialize = exported<int (*) (void*)> (library, "HID_Initialize");
        const auto start = exported<void (*)()> (library, "HID_Start");
        const auto finish = exported<void (*)()> (library, "HID_Finalize");
        if (initialize == nullptr || start == nullptr || finish == nullptr || initialize (nullptr) != 1)
            return 3;
        start();
        if (finalize)
            finish();
        // Without HID_Finalize the unload must not wait for the library's threads, nor take
        // their code away while they run: the library stays.
        FreeLibrary (library);
        if ((GetModuleHandleW (copy.c_str()) == nullptr) != finalize)
            return finalize ? 4 : 5;
    }
    return 0; // and the process ends with the library running
}

PROCESS_INFORMATION startSelf (const std::string& arguments)
{
    std::wstring command = L"\"" + besideSelf (L"windows_library_tests.exe") + L"\" " +
                           std::wstring (arguments.begin(), arguments.end());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    CreateProcessW (nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child);
    return child;
}

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
    EXPECT_FALSE (IsWindowVisible (watch)); // served on its own thread: HidUnderWineTest.cpp

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
    const PROCESS_INFORMATION child = startSelf (std::string (holdLockArgument) + " " + eventName);
    ASSERT_NE (child.hProcess, nullptr);
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

// Unloading the library must never wait for its threads: under the loader lock, a thread
// that ends waits for that lock in turn.
TEST (LibraryUnderWine, UnloadingWithoutFinalizeDoesNotWaitForItsThreads)
{
    const std::wstring copy = besideSelf (L"devlink-unload.dll");
    ASSERT_TRUE (CopyFileW (besideSelf (L"devlink.dll").c_str(), copy.c_str(), FALSE));
    const PROCESS_INFORMATION child = startSelf (unloadArgument);
    ASSERT_NE (child.hProcess, nullptr);
    const bool ended = WaitForSingleObject (child.hProcess, 30000) == WAIT_OBJECT_0;
    DWORD status = 0;
    GetExitCodeProcess (child.hProcess, &status);
    if (!ended)
        TerminateProcess (child.hProcess, 9);
    EXPECT_TRUE (ended) << "the unload hung";
    EXPECT_EQ (status, 0u);
    WaitForSingleObject (child.hProcess, 30000);
    CloseHandle (child.hThread);
    CloseHandle (child.hProcess);
    DeleteFileW (copy.c_str());
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
    if (argc == 2 && std::strcmp (argv[1], unloadArgument) == 0)
        return unloadLibrary();
    ::testing::InitGoogleTest (&argc, argv);
    return RUN_ALL_TESTS();
}
