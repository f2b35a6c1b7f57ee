#pragma once

// What one run of qtx-update found, decided and did, and its JSON form for
// --json. Scripts read these keys: they stay as they are, and the manual page
// lists them.

#include <cstdint>
#include <string>
#include <vector>

namespace qtx::cli
{

struct Report
{
    struct Block
    {
        int number = 0; // as sent: its row in the package, from 1
        uint32_t tag = 0;
        uint32_t length = 0;
        uint16_t crc16 = 0;
    };

    struct Device
    {
        int number = 0;
        int type = 0;
        int version = 0; // 0: not known
    };

    std::string action; // "update", "check", "list"; empty when the command line made no sense

    bool controllerFound = false;
    int controllerVersion = 0;

    std::string packagePath; // empty: no package was looked at
    int packageVersion = -1; // -1: not read

    std::string decision;        // "update", "reinstall", "downgrade", "skip"; empty: none made
    std::vector<Block> blocks;   // the blocks an update sends, once it has begun
    std::vector<Device> devices; // --list

    int exitStatus = 0;
    std::string reason;

    // Records how the run ends and returns its status.
    int finish (int status, std::string why);

    // The whole document, pretty-printed, ending in a new line. Never throws on a
    // path that is not UTF-8: such bytes come out as U+FFFD.
    std::string toJson() const;
};

// "1.23" for 123.
std::string versionNumberText (int version);

} // namespace qtx::cli
