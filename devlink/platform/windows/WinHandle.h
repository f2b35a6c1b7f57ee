// An owned Windows handle, closed with the object.
#pragma once

#include <windows.h>

#include <utility>

namespace qtx::devlink::winos
{
class Handle
{
public:
    Handle() = default;
    explicit Handle (HANDLE h)
        : handle (h)
    {
    }
    ~Handle() { reset(); }
    Handle (Handle&& other) noexcept
        : handle (std::exchange (other.handle, INVALID_HANDLE_VALUE))
    {
    }
    Handle& operator= (Handle&& other) noexcept
    {
        if (this != &other)
        {
            reset();
            handle = std::exchange (other.handle, INVALID_HANDLE_VALUE);
        }
        return *this;
    }
    Handle (const Handle&) = delete;
    Handle& operator= (const Handle&) = delete;

    // Null and INVALID_HANDLE_VALUE both mean "none": the APIs use either.
    bool valid() const { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle; }
    void reset (HANDLE h = INVALID_HANDLE_VALUE)
    {
        if (valid())
            CloseHandle (handle);
        handle = h;
    }

private:
    HANDLE handle = INVALID_HANDLE_VALUE;
};
} // namespace qtx::devlink::winos
