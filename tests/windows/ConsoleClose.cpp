// console_close NAME: closes the console of the running program NAME as Windows does, since
// wine delivers no CTRL_CLOSE_EVENT: a thread of that process runs the system's console
// control routine with the event, and the process is ended as soon as the routine returns.
// Exit status 0 when the program ended by itself first, 1 when it had to be ended, 2 when
// there was no such program. (The program must not exit with status 1 itself.)

#include <windows.h>

#include <tlhelp32.h> // after windows.h, which it needs

#include <cstdio>
#include <cstring>

int main (int argc, char** argv)
{
    DWORD pid = 0;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    HANDLE all = CreateToolhelp32Snapshot (TH32CS_SNAPPROCESS, 0);
    for (BOOL more = Process32First (all, &entry); more && argc > 1; more = Process32Next (all, &entry))
        if (_stricmp (entry.szExeFile, argv[1]) == 0)
            pid = entry.th32ProcessID;
    CloseHandle (all);
    // The routine lies at the same address in every process, as the system's DLLs do.
    auto routine =
        (LPTHREAD_START_ROUTINE) (void*) GetProcAddress (GetModuleHandleA ("kernelbase.dll"), "CtrlRoutine");
    HANDLE process = pid != 0 ? OpenProcess (PROCESS_ALL_ACCESS, FALSE, pid) : nullptr;
    HANDLE thread =
        process != nullptr && routine != nullptr
            ? CreateRemoteThread (process, nullptr, 0, routine, (void*) CTRL_CLOSE_EVENT, 0, nullptr)
            : nullptr;
    if (thread == nullptr)
    {
        std::printf ("console_close: no running %s\n", argc > 1 ? argv[1] : "program");
        return 2;
    }
    // Wine's routine returns 1 once a handler has taken the event; a thread that the
    // program's own exit ended has the program's exit status instead.
    DWORD routineResult = 1;
    if (WaitForSingleObject (thread, 20000) == WAIT_OBJECT_0)
        GetExitCodeThread (thread, &routineResult);
    if (routineResult != 1)
        return 0;
    TerminateProcess (process, 0xC000013A);
    std::printf ("console_close: %s was ended when its handler returned\n", argv[1]);
    return 1;
}
