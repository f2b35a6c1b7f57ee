// qtx-package: builds, inspects and verifies QTX-ORB9 update packages with the
// same reader the program uses.

#include "Commands.h"

#include <cstring>
#include <iostream>

namespace
{
const char* const usage = "usage: qtx-package build MANIFEST OUT   build a package from a manifest\n"
                          "       qtx-package info FILE             show header, blocks and CRC results\n"
                          "       qtx-package verify FILE           check a package (exit 0 usable, 1 not)\n"
                          "       qtx-package blocks FILE OUT       write the bytes the controller is sent\n"
                          "Manifest and package format: docs/package-format.md\n";
}

int main (int argc, char** argv)
{
    using namespace qtx::package;
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "-h" || command == "--help" || command == "help")
    {
        std::cout << usage;
        return 0;
    }
    if (command == "build" && argc == 4)
        return buildCommand (argv[2], argv[3], std::cout, std::cerr);
    if (command == "info" && argc == 3)
        return infoCommand (argv[2], std::cout, std::cerr);
    if (command == "verify" && argc == 3)
        return verifyCommand (argv[2], std::cout, std::cerr);
    if (command == "blocks" && argc == 4)
        return blocksCommand (argv[2], argv[3], std::cout, std::cerr);

    if (command.empty())
        std::cerr << "qtx-package: no command given\n";
    else if (command != "build" && command != "info" && command != "verify" && command != "blocks")
        std::cerr << "qtx-package: unknown command '" << command << "'\n";
    else
        std::cerr << "qtx-package: wrong number of arguments for '" << command << "'\n";
    std::cerr << usage;
    return 2;
}
