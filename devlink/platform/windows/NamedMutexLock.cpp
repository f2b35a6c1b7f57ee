#include "NamedMutexLock.h"

#include "WideText.h"

namespace qtx::devlink::winos
{
bool NamedMutexLock::acquire (const std::string& name)
{
    if (mutex != nullptr)
        return false;
    // Someone (this process too) has it open: another client holds the library.
    const std::wstring wideName = widen (name);
    if (HANDLE existing = OpenMutexW (MUTEX_ALL_ACCESS, FALSE, wideName.c_str()))
    {
        CloseHandle (existing);
        return false;
    }
    HANDLE created = CreateMutexW (nullptr, TRUE, wideName.c_str());
    if (created == nullptr)
        return false;
    // Created between the look and now by another client: the creation did not make us the
    // owner, and the wait tells whether the other one holds it. A mutex whose owner died
    // without releasing it (abandoned) is ours all the same.
    const bool createdHere = GetLastError() != ERROR_ALREADY_EXISTS;
    const DWORD wait = WaitForSingleObject (created, 0);
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED)
    {
        // Not ours: keeping the handle would keep the name alive for nothing.
        CloseHandle (created);
        return false;
    }
    mutex = created;
    ownership = createdHere ? 2 : 1;
    return true;
}

void NamedMutexLock::release()
{
    if (mutex == nullptr)
        return;
    // Only the owning thread can release; from another thread closing is enough, since the
    // name goes with the last handle.
    while (ownership > 0 && ReleaseMutex (mutex))
        --ownership;
    ownership = 0;
    CloseHandle (mutex);
    mutex = nullptr;
}
} // namespace qtx::devlink::winos
