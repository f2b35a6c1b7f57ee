#include "HidrawIo.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace qtx::devlink::linuxos
{
namespace
{
    class HidrawInput : public InputStream
    {
    public:
        HidrawInput (int fd, int wakeFd, bool numbered)
            : fd (fd)
            , wakeFd (wakeFd)
            , numbered (numbered)
        {
        }

        ~HidrawInput() override
        {
            ::close (fd);
            ::close (wakeFd);
        }

        ReadResult read (std::uint8_t* buffer, int capacity, int& got, int sliceMs) override
        {
            got = 0;
            if (capacity < 2)
                return ReadResult::ended;
            pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
            const int ready = ::poll (fds, 2, sliceMs);
            if (ready < 0)
                return errno == EINTR ? ReadResult::timeout : ReadResult::ended;
            if (ready == 0)
                return ReadResult::timeout;
            if (fds[1].revents != 0)
                return ReadResult::stopped;
            if ((fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0)
                return ReadResult::ended; // unplugged
            // Without report IDs hidraw leaves the ID byte out: put the 0 back in front.
            std::uint8_t* into = numbered ? buffer : buffer + 1;
            const ssize_t n = ::read (fd, into, std::size_t (numbered ? capacity : capacity - 1));
            if (n < 0)
                return errno == EAGAIN || errno == EINTR ? ReadResult::timeout : ReadResult::ended;
            if (n == 0)
                return ReadResult::ended;
            if (!numbered)
                buffer[0] = 0;
            got = int (n) + (numbered ? 0 : 1);
            return ReadResult::report;
        }

        void wake() override
        {
            const std::uint64_t one = 1;
            [[maybe_unused]] ssize_t n = ::write (wakeFd, &one, sizeof one);
        }

    private:
        const int fd;
        const int wakeFd;
        const bool numbered;
    };
} // namespace

std::unique_ptr<InputStream> HidrawIo::openInput (const HidInterface& device)
{
    const auto node = enumerator.findNode (device.path);
    if (!node)
        return nullptr;
    const int fd = ::open (node->devnode.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
    {
        hint.openFailed (node->devnode, errno);
        return nullptr;
    }
    const int wakeFd = ::eventfd (0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0)
    {
        ::close (fd);
        return nullptr;
    }
    return std::make_unique<HidrawInput> (fd, wakeFd, node->numberedReports);
}

int HidrawIo::writeReport (const std::string& path, const std::uint8_t* report, int length)
{
    const auto node = enumerator.findNode (path, true);
    if (!node || length <= 0)
        return -1;
    const int fd = ::open (node->devnode.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
    {
        hint.openFailed (node->devnode, errno);
        return -1;
    }
    ssize_t n;
    do
        n = ::write (fd, report, std::size_t (length));
    while (n < 0 && errno == EINTR);
    ::close (fd);
    return n < 0 ? -1 : int (n);
}
} // namespace qtx::devlink::linuxos
