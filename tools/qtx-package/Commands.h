#pragma once

// The commands of qtx-package. Each returns the process exit status:
// 0 success, 1 a refused or unreadable package (or manifest), 2 bad usage.

#include <iosfwd>
#include <string>

namespace qtx::package
{

int buildCommand (const std::string& manifestPath, const std::string& outPath, std::ostream& out,
                  std::ostream& err);
int infoCommand (const std::string& path, std::ostream& out, std::ostream& err);
int verifyCommand (const std::string& path, std::ostream& out, std::ostream& err);
// Writes what the controller is sent: the update blocks' data, unscrambled, in block order
// (as qtx-sim --record writes what it received).
int blocksCommand (const std::string& path, const std::string& outPath, std::ostream& out, std::ostream& err);

} // namespace qtx::package
