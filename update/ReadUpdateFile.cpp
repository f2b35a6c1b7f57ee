// Reads a package file whole and hands the image to the parser. The image lives
// only for the duration of the call.

#include "UpdateFile.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <new>

namespace qtx
{

uint32_t readUpdateFile (const std::string& path, const Crc32Table& table, UpdateFileInfo& info,
                         UpdateBlocks& blocks)
{
    PackageVerdict verdict;
    return readUpdateFile (path, table, info, blocks, verdict);
}

uint32_t readUpdateFile (const std::string& path, const Crc32Table& table, UpdateFileInfo& info,
                         UpdateBlocks& blocks, PackageVerdict& verdict)
{
    verdict = PackageVerdict{};
    verdict.error = PackageError::unreadable;
    info = UpdateFileInfo{};
    for (auto& row : blocks)
        row = UpdateBlock{};

    // The path is UTF-8. Taken as a narrow path, Windows would read it in the ANSI code
    // page and miss a folder named beyond it (a user's name in Cyrillic, say).
    const auto file = std::filesystem::u8path (path);

    // A directory or a device would "open" and report a meaningless length.
    std::error_code ec;
    if (!std::filesystem::is_regular_file (file, ec))
        return 0;

    std::ifstream in (file, std::ios::binary);
    if (!in)
        return 0;
    in.seekg (0, std::ios::end);
    const std::streamoff fullLength = in.tellg();
    if (fullLength < 0)
        return 0;
    in.seekg (0, std::ios::beg);

    // Only the low 32 bits of the length count; a package is far below 4 GiB.
    const size_t size = static_cast<uint32_t> (static_cast<uint64_t> (fullLength));
    std::unique_ptr<uint8_t[]> image (new (std::nothrow) uint8_t[size == 0 ? 1 : size]);
    if (!image)
        return 0;
    if (size > 0 && !in.read (reinterpret_cast<char*> (image.get()), static_cast<std::streamsize> (size)))
        return 0;

    return parseUpdatePackage (table, image.get(), size, info, blocks, verdict);
}

} // namespace qtx
