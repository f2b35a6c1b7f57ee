// The session's claim is an flock on a file in the user's runtime folder (freed by
// the kernel however the process ends); the first copy also listens on a Unix
// socket beside it, served by the JUCE message loop, for "come to the front".

#include "../../SingleCopy.h"

#include <juce_events/juce_events.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace qtx
{
namespace
{
    // $XDG_RUNTIME_DIR is per user and private; without it, a private folder in /tmp.
    std::string runtimeFolder()
    {
        if (const char* xdg = std::getenv ("XDG_RUNTIME_DIR"); xdg != nullptr && *xdg == '/')
        {
            struct stat info
            {
            };
            if (::stat (xdg, &info) == 0 && S_ISDIR (info.st_mode))
                return xdg;
        }
        const std::string folder = "/tmp/qtxupdate-" + std::to_string (::getuid());
        ::mkdir (folder.c_str(), 0700);
        struct stat info
        {
        };
        if (::lstat (folder.c_str(), &info) != 0 || !S_ISDIR (info.st_mode) || info.st_uid != ::getuid())
            return {};
        return folder;
    }

    bool socketAddress (const std::string& path, sockaddr_un& address)
    {
        std::memset (&address, 0, sizeof (address));
        address.sun_family = AF_UNIX;
        if (path.size() >= sizeof (address.sun_path))
            return false;
        std::memcpy (address.sun_path, path.c_str(), path.size());
        return true;
    }

    class SingleCopyLinux final : public SingleCopy
    {
    public:
        explicit SingleCopyLinux (const std::string& name)
        {
            const auto folder = runtimeFolder();
            if (!folder.empty())
            {
                lockPath = folder + "/" + name + ".lock";
                socketPath = folder + "/" + name + ".socket";
            }
        }

        ~SingleCopyLinux() override
        {
            if (listener >= 0)
            {
                juce::LinuxEventLoop::unregisterFdCallback (listener);
                ::close (listener);
                ::unlink (socketPath.c_str());
            }
            if (lockFd >= 0)
                ::close (lockFd);
        }

        bool claim (std::function<void()> onAnotherStart) override
        {
            // Without a usable folder there is nothing to coordinate on: run.
            if (lockPath.empty())
                return true;
            lockFd = ::open (lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
            if (lockFd < 0)
                return true;
            if (::flock (lockFd, LOCK_EX | LOCK_NB) != 0)
            {
                const bool heldElsewhere = errno == EWOULDBLOCK;
                ::close (lockFd);
                lockFd = -1;
                return !heldElsewhere;
            }
            listen (std::move (onAnotherStart));
            return true;
        }

        void notifyRunningCopy() override
        {
            sockaddr_un address;
            if (socketPath.empty() || !socketAddress (socketPath, address))
                return;
            const int fd = ::socket (AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (fd < 0)
                return;
            if (::connect (fd, (const sockaddr*) &address, sizeof (address)) == 0)
            {
                const char message[] = "front\n";
                // The first copy may have closed its end already: no SIGPIPE for that.
                [[maybe_unused]] auto sent = ::send (fd, message, sizeof (message) - 1, MSG_NOSIGNAL);
            }
            ::close (fd);
        }

    private:
        void listen (std::function<void()> onAnotherStart)
        {
            sockaddr_un address;
            if (!socketAddress (socketPath, address))
                return;
            // We hold the lock, so a socket file left here belongs to a copy that died.
            ::unlink (socketPath.c_str());
            listener = ::socket (AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            if (listener < 0)
                return;
            if (::bind (listener, (const sockaddr*) &address, sizeof (address)) != 0 ||
                ::listen (listener, 4) != 0)
            {
                ::close (listener);
                listener = -1;
                return;
            }
            juce::LinuxEventLoop::registerFdCallback (listener,
                                                      [this, onAnotherStart] (int)
                                                      {
                                                          // Each connection is one start of another copy;
                                                          // what it sends is not needed.
                                                          for (;;)
                                                          {
                                                              const int connection = ::accept4 (
                                                                  listener, nullptr, nullptr, SOCK_CLOEXEC);
                                                              if (connection < 0)
                                                                  break;
                                                              ::close (connection);
                                                              if (onAnotherStart)
                                                                  onAnotherStart();
                                                          }
                                                      });
        }

        std::string lockPath, socketPath;
        int lockFd = -1;
        int listener = -1;
    };
} // namespace

std::unique_ptr<SingleCopy> SingleCopy::create (const std::string& programName)
{
    return std::make_unique<SingleCopyLinux> (programName);
}

bool SingleCopy::frameworkKeepsSingleCopy()
{
    return false;
}

} // namespace qtx
