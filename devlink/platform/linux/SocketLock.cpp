#include "SocketLock.h"

#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace qtx::devlink::linuxos
{
bool SocketLock::acquire (const std::string& name)
{
    if (fd >= 0)
        return false; // held by this process already
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // Abstract name: a leading zero byte, then the name; there is no file to clean up.
    const std::string& abstractName = name;
    if (abstractName.size() + 1 > sizeof address.sun_path)
        return false;
    std::memcpy (address.sun_path + 1, abstractName.data(), abstractName.size());
    const int s = ::socket (AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return false;
    const auto length = socklen_t (offsetof (sockaddr_un, sun_path) + 1 + abstractName.size());
    if (::bind (s, reinterpret_cast<const sockaddr*> (&address), length) != 0)
    {
        ::close (s);
        return false;
    }
    fd = s;
    return true;
}

void SocketLock::release()
{
    if (fd >= 0)
        ::close (fd);
    fd = -1;
}
} // namespace qtx::devlink::linuxos
