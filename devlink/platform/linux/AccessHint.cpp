#include "AccessHint.h"

#include <cerrno>
#include <cstring>

namespace qtx::devlink::linuxos
{
void AccessHint::openFailed (const std::string& node, int error)
{
    std::lock_guard<std::mutex> lock (mutex);
    if (!told.insert (node).second)
        return;
    std::fprintf (out, "devlink: cannot open %s: %s\n", node.c_str(), std::strerror (error));
    if (error == EACCES || error == EPERM)
        std::fprintf (out,
                      "devlink: this user may not use the device. Install %s into /etc/udev/rules.d,\n"
                      "devlink: run 'sudo udevadm control --reload' and 'sudo udevadm trigger',\n"
                      "devlink: then plug the device in again (or log out and in again).\n",
                      ruleName);
    std::fflush (out);
}
} // namespace qtx::devlink::linuxos
