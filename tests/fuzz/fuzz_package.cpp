// Feeds arbitrary bytes to the package reader, twice: as they are, and with a
// freshly computed trailer so that mutations get past the whole-file CRC and reach
// the header and record checks. A successful read must be self-consistent.

#include "update/PackageLayout.h"
#include "update/UpdateFile.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace
{
const qtx::Crc32Table& table()
{
    static const qtx::Crc32Table t = []
    {
        qtx::Crc32Table made;
        qtx::buildCrc32Table (made);
        return made;
    }();
    return t;
}

void check (bool condition)
{
    if (!condition)
        std::abort();
}

void parseAndCheck (const uint8_t* image, size_t size)
{
    auto info = std::make_unique<qtx::UpdateFileInfo>();
    auto blocks = std::make_unique<qtx::UpdateBlocks>();
    qtx::PackageVerdict verdict;
    const uint32_t result = qtx::parseUpdatePackage (table(), image, size, *info, *blocks, verdict);
    check ((result != 0) == (verdict.error == qtx::PackageError::none));
    if (result == 0)
        return;

    check (info->blockCount >= 1 && info->blockCount <= qtx::maxUpdateBlocks);
    uint64_t total = 0;
    for (size_t i = 0; i < blocks->size(); ++i)
    {
        const auto& row = (*blocks)[i];
        if (i >= info->blockCount)
        {
            check (row.length == 0 && row.data.empty());
            continue;
        }
        check (row.data.size() == row.length);
        check (qtx::crc16Xmodem (row.data.data(), row.data.size()) == row.crc);
        check (verdict.recordOffset[i] + qtx::layout::recordSize (row.length) <=
               size - qtx::layout::trailerSize);
        total += row.length;
    }
    check (total == result && info->totalLength == result);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    // Exact-size heap copies, so any read past the image is caught.
    std::unique_ptr<uint8_t[]> image (new uint8_t[size == 0 ? 1 : size]);
    std::memcpy (image.get(), data, size);
    parseAndCheck (image.get(), size);

    if (size >= qtx::layout::trailerSize)
    {
        const size_t body = size - qtx::layout::trailerSize;
        qtx::layout::writeBe32 (image.get() + body, qtx::crc32Mpeg2 (table(), image.get(), body));
        parseAndCheck (image.get(), size);
    }
    return 0;
}
