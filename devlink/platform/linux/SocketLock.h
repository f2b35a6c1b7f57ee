// The machine-wide single-client lock: a Unix socket bound to the lock's name in the abstract
// namespace. Only one socket can hold a name, and the kernel frees it when its holder dies.
#pragma once

#include "Platform.h"

namespace qtx::devlink::linuxos
{
class SocketLock : public SystemLock
{
public:
    ~SocketLock() override { release(); }
    bool acquire (const std::string& name) override;
    void release() override;

private:
    int fd = -1;
};
} // namespace qtx::devlink::linuxos
