// The Debian package's maintainer scripts against a made-up system: a sysfs with
// hidraw nodes of our two vendors and of others, a udev control socket or none,
// and a udevadm that only writes down how it was called.

#include "StagedInstall.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace qtx::test
{
namespace
{
    void writeScript (const fs::path& path, const std::string& text)
    {
        std::ofstream (path) << "#!/bin/sh\n" << text;
        fs::permissions (path, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
    }

    class MaintainerScripts : public ::testing::Test
    {
    protected:
        void SetUp() override
        {
            char pattern[] = "/tmp/qtx-scripts-XXXXXX";
            ASSERT_NE (::mkdtemp (pattern), nullptr);
            root = pattern;
            // USB nodes of both vendors, one of another vendor, and ours over Bluetooth
            // (bus 0005), which the rule's ATTRS{idVendor} does not match either.
            const char* devices[] = {"0003:00007A51:00000046", "0003:0000046D:0000C52B",
                                     "0003:00007a52:00000010", "0005:00007A51:00000046"};
            for (size_t i = 0; i < std::size (devices); ++i)
            {
                const auto node = root / "sys/class/hidraw" / ("hidraw" + std::to_string (i));
                fs::create_directories (node / "device");
                std::ofstream (node / "device/uevent")
                    << "DRIVER=hid-generic\nHID_ID=" << devices[i] << "\nHID_NAME=device\n";
            }
            fs::create_directories (root / "run/udev");
            fs::create_directories (root / "bin");
        }

        void TearDown() override
        {
            if (control >= 0)
                ::close (control);
            fs::remove_all (root);
        }

        void startUdev()
        {
            control = ::socket (AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            const auto path = (root / "run/udev/control").string();
            ASSERT_LT (path.size(), sizeof address.sun_path);
            path.copy (address.sun_path, path.size());
            ASSERT_EQ (::bind (control, reinterpret_cast<sockaddr*> (&address), sizeof address), 0);
        }

        void setUdevadm (const std::string& exit)
        {
            writeScript (root / "bin/udevadm",
                         "echo \"$*\" >> '" + (root / "udevadm.log").string() + "'\n" + exit);
        }

        void setChroot (bool inChroot)
        {
            writeScript (root / "bin/ischroot", inChroot ? "exit 0\n" : "exit 1\n");
        }

        // Runs the configured script with the system paths moved into the made-up root.
        CommandResult runScript (const std::string& name, const std::string& argument)
        {
            auto text = readFile (fs::path (QTX_DEBIAN_SCRIPTS) / name);
            for (const std::string path : {"/sys/class/hidraw", "/run/udev/control"})
            {
                const auto at = text.find (path);
                if (at == std::string::npos)
                    continue;
                text.replace (at, path.size(), (root / path.substr (1)).string());
                EXPECT_EQ (text.find (path, at + root.string().size() + path.size()), std::string::npos);
            }
            std::ofstream (root / name) << text;
            return run ("PATH=" + quoted ((root / "bin").string()) + ":/usr/bin:/bin sh " +
                        quoted (root / name) + " " + argument);
        }

        std::string udevadmCalls() { return readFile (root / "udevadm.log"); }

        std::string node (int number) const
        {
            return (root / "sys/class/hidraw" / ("hidraw" + std::to_string (number))).string();
        }

        fs::path root;
        int control = -1;
    };

    // Only where udev runs (not in a container, a chroot or an aborted upgrade) do the
    // scripts call udevadm: postinst to reload the rules and retrigger our USB nodes only,
    // postrm to reload them on removal. A failing udevadm must not fail either script.
    TEST_F (MaintainerScripts, CallUdevadmOnlyWhereUdevRuns)
    {
        const std::string reload = "control --reload\n";
        const std::string everything =
            reload + "trigger --action=change " + node (0) + "\ntrigger --action=change " + node (2) + "\n";
        const struct
        {
            const char *script, *argument;
            bool udev, chroot;
            const char* udevadm;
            std::string calls;
        } cases[] = {
            {"postinst", "configure", false, false, "exit 0\n", ""}, // a container
            {"postrm", "remove", false, false, "exit 0\n", ""},
            {"postinst", "configure", true, true, "exit 0\n", ""},
            {"postinst", "abort-upgrade", true, false, "exit 0\n", ""},
            {"postinst", "configure", true, false, "exit 0\n", everything},
            {"postinst", "configure", true, false, "exit 1\n", reload},
            {"postinst", "configure", true, false, "case \"$1\" in trigger) exit 1;; esac\n", everything},
            {"postrm", "upgrade", true, false, "exit 0\n", ""},
            {"postrm", "remove", true, false, "exit 1\n", reload},
            {"postrm", "purge", true, false, "exit 0\n", reload},
        };
        for (const auto& c : cases)
        {
            SCOPED_TRACE (std::string (c.script) + " " + c.argument + ", udevadm " + c.udevadm);
            if (c.udev && control < 0)
                startUdev();
            setChroot (c.chroot);
            setUdevadm (c.udevadm);
            fs::remove (root / "udevadm.log");
            const auto result = runScript (c.script, c.argument);
            EXPECT_EQ (result.status, 0) << result.output;
            EXPECT_EQ (udevadmCalls(), c.calls);
        }
    }

} // namespace
} // namespace qtx::test
