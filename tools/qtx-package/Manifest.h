#pragma once

// The package manifest: a short text naming the version and, one line each, the
// blocks with their data and settings. Format: docs/package-format.md.
//
//   version 123
//   block file=boot.bin tag=B001 update=yes scrambled=no key-index=0 key-word=0
//   block hex=table.hex tag=C002 update=no
//   block pattern=4096:7 tag=A003 scrambled=yes key-index=17 key-word=0x5EED1234

#include "PackageWriter.h"

#include <string>

namespace qtx::package
{

// Parses manifest text; data files are looked up relative to baseDir. On failure
// returns false and sets error to one line ("line N: reason").
bool parseManifest (const std::string& text, const std::string& baseDir, PackageDescription& package,
                    std::string& error);

// Reads and parses a manifest file.
bool loadManifest (const std::string& path, PackageDescription& package, std::string& error);

// Reads a file whole; false when it cannot be read.
bool readWholeFile (const std::string& path, std::vector<uint8_t>& bytes);

} // namespace qtx::package
