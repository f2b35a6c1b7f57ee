// The machine-wide single-client lock: a named mutex. Its name exists while any handle to it
// is open, and the system closes a dead holder's handles, so a killed client frees it.
#pragma once

#include "Platform.h"

#include <windows.h>

namespace qtx::devlink::winos
{
class NamedMutexLock : public SystemLock
{
public:
    ~NamedMutexLock() override { release(); }
    bool acquire (const std::string& name) override;
    void release() override;

private:
    HANDLE mutex = nullptr;
    int ownership = 0; // times this thread owns it (creation and the wait)
};
} // namespace qtx::devlink::winos
