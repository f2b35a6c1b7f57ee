// What `cmake --install` puts where: the program with its launcher, the udev rule
// and the desktop files; and a client program built against that install, which
// finds the library's headers, pkg-config and CMake files and loads it by its SONAME.

#include "StagedInstall.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

namespace fs = std::filesystem;

namespace qtx::test
{
namespace
{
    const std::string libdir = QTX_LIBDIR;
    const std::string appDir = QTX_APP_DIR;
    const std::string appId = QTX_APP_ID;

    bool executable (const fs::path& path)
    {
        return (fs::status (path).permissions() & fs::perms::owner_exec) != fs::perms::none;
    }

    // The value of `key=` in a desktop entry, empty when absent.
    std::string desktopValue (const std::string& entry, const std::string& key)
    {
        const auto at = entry.find ("\n" + key + "=");
        if (at == std::string::npos)
            return {};
        const auto start = at + key.size() + 2;
        return entry.substr (start, entry.find ('\n', start) - start);
    }

    class Install : public ::testing::Test
    {
    protected:
        static void SetUpTestSuite() { staged = std::make_unique<StagedInstall>(); }
        static void TearDownTestSuite() { staged.reset(); }
        void SetUp() override { ASSERT_TRUE (staged->ok()) << staged->log(); }

        static std::unique_ptr<StagedInstall> staged;
    };
    std::unique_ptr<StagedInstall> Install::staged;

    // Where the loader finds libdevlink.so.1 for `program`, as ldd reports it.
    fs::path loadedLibrary (const fs::path& program)
    {
        const auto out = run ("ldd " + quoted (program)).output;
        const std::string marker = "libdevlink.so.1 => ";
        const auto at = out.find (marker);
        if (at == std::string::npos)
            return {};
        const auto start = at + marker.size();
        std::error_code error;
        return fs::canonical (out.substr (start, out.find (" (", start) - start), error);
    }

    TEST_F (Install, EveryPieceIsInItsPlace)
    {
        // Headers, pkg-config and CMake files are the client build's to find, the
        // desktop files the validators'.
        for (const std::string file : {"lib/udev/rules.d/70-devlink.rules", "share/man/man1/QtxUpdate.1",
                                       "share/man/man1/qtx-update.1"})
            EXPECT_TRUE (fs::is_regular_file (*staged / file)) << file;

        // The real program sits in its private folder; bin/ has the launcher script.
        EXPECT_TRUE (executable (*staged / (appDir + "/QtxUpdate")));
        EXPECT_TRUE (executable (*staged / "bin/QtxUpdate"));
        EXPECT_EQ (readFile (*staged / "bin/QtxUpdate").substr (0, 2), "#!");
        // The headless updater beside it, linked from bin/.
        EXPECT_TRUE (executable (*staged / (appDir + "/qtx-update")));
        EXPECT_EQ (fs::canonical (*staged / "bin/qtx-update"),
                   fs::canonical (*staged / (appDir + "/qtx-update")));
        // The installed program loads the installed library, not the build tree's.
        EXPECT_EQ (loadedLibrary (*staged / (appDir + "/QtxUpdate")),
                   fs::canonical (*staged / (libdir + "/libdevlink.so.1.0.0")));
    }

    TEST_F (Install, DesktopEntryAndMetainfoAreValidAndPointAtInstalledFiles)
    {
        const auto desktopFile = *staged / ("share/applications/" + appId + ".desktop");
        const auto metainfo = *staged / ("share/metainfo/" + appId + ".metainfo.xml");
        const auto entryCheck = run ("desktop-file-validate " + quoted (desktopFile));
        EXPECT_TRUE (entryCheck.status == 0 && entryCheck.output.empty()) << entryCheck.output;
        const auto metainfoCheck = run ("appstreamcli validate --no-net " + quoted (metainfo));
        EXPECT_EQ (metainfoCheck.status, 0) << metainfoCheck.output;

        const auto entry = readFile (desktopFile);
        EXPECT_TRUE (fs::exists (*staged / ("bin/" + desktopValue (entry, "Exec"))));
        EXPECT_EQ (desktopValue (entry, "Icon"), appId);
        EXPECT_EQ (desktopValue (entry, "StartupWMClass"), "QTXUpdateProgram"); // the window's class
        EXPECT_NE (readFile (metainfo).find ("<launchable type=\"desktop-id\">" + appId + ".desktop<"),
                   std::string::npos);
    }

    // A client finds the installed library both ways and calls it.
    TEST_F (Install, AClientBuildsAndRunsAgainstTheInstall)
    {
        const auto work = staged->prefix().parent_path() / "client";
        fs::create_directories (work);
        std::ofstream (work / "client.c")
            << "#include <devlink.h>\n#include <devlink_ids.h>\n#include <stdio.h>\n"
               "int main(void)\n{\n"
               "    printf(\"%d %d\\n\", HID_GetDeviceType(DEVLINK_MAX_DEVICES),\n"
               "           DEVLINK_CONTROLLER_TYPE);\n    return 0;\n}\n";
        std::ofstream (work / "CMakeLists.txt")
            << "cmake_minimum_required(VERSION 3.22)\nproject(client C)\n"
               "find_package(devlink 1 REQUIRED)\nadd_executable(client client.c)\n"
               "target_link_libraries(client PRIVATE devlink::devlink)\n";

        const auto prefix = quoted (staged->prefix());
        const auto pkgconfig =
            "PKG_CONFIG_PATH=" + quoted (*staged / (libdir + "/pkgconfig")) + " pkg-config ";
        const struct
        {
            const char* how;
            std::string build;
            std::string program;
        } ways[] = {
            {"find_package",
             quoted (QTX_CMAKE) + " -S " + quoted (work) + " -B " + quoted (work / "build") +
                 " -DCMAKE_C_COMPILER=" + quoted (QTX_C_COMPILER) +
                 " -DCMAKE_C_FLAGS=" + quoted (QTX_CLIENT_FLAGS) + " -DCMAKE_PREFIX_PATH=" + prefix + " && " +
                 quoted (QTX_CMAKE) + " --build " + quoted (work / "build"),
             (work / "build/client").string()},
            {"pkg-config",
             quoted (QTX_C_COMPILER) + " " + QTX_CLIENT_FLAGS + " " + quoted (work / "client.c") + " -o " +
                 quoted (work / "pc-client") + " $(" + pkgconfig + "--cflags --libs devlink) -Wl,-rpath,$(" +
                 pkgconfig + "--variable=libdir devlink)",
             (work / "pc-client").string()},
        };
        for (const auto& way : ways)
        {
            SCOPED_TRACE (way.how);
            const auto built = run (way.build);
            ASSERT_EQ (built.status, 0) << built.output;
            const auto ran = run (quoted (way.program));
            EXPECT_EQ (ran.status, 0) << ran.output;
            EXPECT_EQ (ran.output, "-1 9\n");
            EXPECT_EQ (loadedLibrary (way.program),
                       fs::canonical (*staged / (libdir + "/libdevlink.so.1.0.0")));
        }
    }

} // namespace
} // namespace qtx::test
