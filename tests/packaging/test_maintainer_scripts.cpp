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
            setUdevadm ("exit 0\n");
            setChroot (false);
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

    // A failing udevadm must not fail the installation either (the scripts run under set -e).
    TEST_F (MaintainerScripts, InstallReloadsTheRulesAndRetriggersOnlyOurUsbNodes)
    {
        startUdev();
        const std::string everything = "control --reload\ntrigger --action=change " + node (0) +
                                       "\ntrigger --action=change " + node (2) + "\n";
        const struct
        {
            const char* udevadm;
            const char* calls;
        } cases[] = {{"exit 0\n", nullptr},
                     {"exit 1\n", "control --reload\n"},
                     {"case \"$1\" in trigger) exit 1;; esac\n", nullptr}};
        for (const auto& c : cases)
        {
            SCOPED_TRACE (c.udevadm);
            setUdevadm (c.udevadm);
            fs::remove (root / "udevadm.log");
            const auto result = runScript ("postinst", "configure");
            EXPECT_EQ (result.status, 0) << result.output;
            EXPECT_EQ (udevadmCalls(), c.calls != nullptr ? c.calls : everything);
        }
    }

    TEST_F (MaintainerScripts, InstallDoesNothingWhereUdevDoesNotRun)
    {
        const struct
        {
            const char* where;
            bool udev, chroot;
            const char* argument;
        } cases[] = {
            {"no udev daemon (container)", false, false, "configure"},
            {"a chroot", true, true, "configure"},
            {"an aborted upgrade", true, false, "abort-upgrade"},
        };
        for (const auto& c : cases)
        {
            SCOPED_TRACE (c.where);
            if (c.udev && control < 0)
                startUdev();
            setChroot (c.chroot);
            const auto result = runScript ("postinst", c.argument);
            EXPECT_EQ (result.status, 0) << result.output;
            EXPECT_EQ (udevadmCalls(), "");
        }
    }

    TEST_F (MaintainerScripts, RemovalReloadsTheRulesWhereUdevRuns)
    {
        EXPECT_EQ (runScript ("postrm", "remove").status, 0);
        EXPECT_EQ (udevadmCalls(), "");
        startUdev();
        for (const char* argument : {"upgrade", "remove", "purge"})
            EXPECT_EQ (runScript ("postrm", argument).status, 0) << argument;
        EXPECT_EQ (udevadmCalls(), "control --reload\ncontrol --reload\n");
    }

} // namespace
} // namespace qtx::test
