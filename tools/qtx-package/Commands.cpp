#include "Commands.h"

#include "Manifest.h"
#include "PackageWriter.h"
#include "update/PackageLayout.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ostream>

namespace qtx::package
{

namespace
{
    std::string hex (uint32_t v, int digits)
    {
        char buf[16];
        std::snprintf (buf, sizeof (buf), "0x%0*X", digits, v);
        return buf;
    }

    // A fixed-width text field, quoted, with anything unprintable escaped.
    std::string quoted (const uint8_t* p, size_t n)
    {
        std::string s = "\"";
        for (size_t i = 0; i < n; ++i)
        {
            if (p[i] >= 0x20 && p[i] < 0x7F && p[i] != '"' && p[i] != '\\')
                s += static_cast<char> (p[i]);
            else
            {
                char buf[8];
                std::snprintf (buf, sizeof (buf), "\\x%02X", p[i]);
                s += buf;
            }
        }
        return s + "\"";
    }

    std::string shownVersion (int32_t version)
    {
        char buf[32];
        std::snprintf (buf, sizeof (buf), "Ver. %d.%02d", version / 100, version % 100);
        return buf;
    }

    std::string reason (const PackageVerdict& v, const UpdateBlocks& blocks)
    {
        std::string s = describePackageError (v.error);
        if (v.block >= 0)
            s = "block " + std::to_string (v.block) + ": " + s;
        if (v.error == PackageError::fileCrc)
            s += " (residue " + hex (v.fileCrc, 8) + ", expected 0)";
        if (v.error == PackageError::blockCrc)
            s += " (stored " + hex (blocks[static_cast<size_t> (v.block)].crc, 4) + ", computed " +
                 hex (v.computedCrc, 4) + ")";
        return s;
    }

    struct Reading
    {
        UpdateFileInfo info;
        UpdateBlocks blocks;
        PackageVerdict verdict;
        uint32_t result = 0;
        bool usable() const { return packageUsableFrom (result, info) != 0; }
    };

    void readPackage (const std::string& path, Reading& r)
    {
        r.result = readUpdateFile (path, crcTable(), r.info, r.blocks, r.verdict);
    }

    bool writeFileAtomically (const std::string& path, const std::vector<uint8_t>& bytes)
    {
        // Written beside the target and renamed, so a failed build leaves no half file.
        const std::string temp = path + ".part";
        {
            std::ofstream out (temp, std::ios::binary | std::ios::trunc);
            if (!out)
                return false;
            out.write (reinterpret_cast<const char*> (bytes.data()),
                       static_cast<std::streamsize> (bytes.size()));
            out.close();
            if (!out)
            {
                std::error_code ec;
                std::filesystem::remove (temp, ec);
                return false;
            }
        }
        std::error_code ec;
        std::filesystem::rename (temp, path, ec);
        if (ec)
        {
            std::filesystem::remove (temp, ec);
            return false;
        }
        return true;
    }
} // namespace

int buildCommand (const std::string& manifestPath, const std::string& outPath, std::ostream& out,
                  std::ostream& err)
{
    PackageDescription package;
    std::string error;
    if (!loadManifest (manifestPath, package, error))
    {
        err << "qtx-package: " << manifestPath << ": " << error << "\n";
        return 1;
    }
    const std::vector<uint8_t> bytes = buildPackage (package);
    if (!writeFileAtomically (outPath, bytes))
    {
        err << "qtx-package: cannot write '" << outPath << "'\n";
        return 1;
    }

    // Read back with the program's own reader, so a package we write is one it takes.
    Reading r;
    readPackage (outPath, r);
    if (!r.usable())
    {
        err << "qtx-package: " << outPath << ": written but not usable: " << reason (r.verdict, r.blocks)
            << "\n";
        return 1;
    }
    out << "wrote " << outPath << ": " << bytes.size() << " bytes, " << int (r.info.blockCount) << " blocks, "
        << r.info.totalLength << " bytes of data, " << shownVersion (r.info.version) << "\n";
    return 0;
}

int verifyCommand (const std::string& path, std::ostream& out, std::ostream&)
{
    Reading r;
    readPackage (path, r);
    if (r.result == 0)
    {
        out << path << ": refused: " << reason (r.verdict, r.blocks) << "\n";
        return 1;
    }
    if (!r.usable())
    {
        out << path << ": unusable: version " << r.info.version << " is below 1\n";
        return 1;
    }
    out << path << ": OK: " << shownVersion (r.info.version) << ", " << int (r.info.blockCount) << " blocks, "
        << r.info.totalLength << " bytes of data\n";
    return 0;
}

int blocksCommand (const std::string& path, const std::string& outPath, std::ostream& out, std::ostream& err)
{
    Reading r;
    readPackage (path, r);
    if (!r.usable())
    {
        err << "qtx-package: " << path
            << ": not usable: " << (r.result == 0 ? reason (r.verdict, r.blocks) : "version below 1") << "\n";
        return 1;
    }
    std::vector<uint8_t> sent;
    for (int i = 0; i < r.info.blockCount; ++i)
        if (const UpdateBlock& b = r.blocks[static_cast<size_t> (i)]; b.update)
            sent.insert (sent.end(), b.data.begin(), b.data.end());
    if (!writeFileAtomically (outPath, sent))
    {
        err << "qtx-package: cannot write '" << outPath << "'\n";
        return 1;
    }
    out << "wrote " << outPath << ": " << sent.size() << " bytes of update blocks\n";
    return 0;
}

int infoCommand (const std::string& path, std::ostream& out, std::ostream&)
{
    Reading r;
    readPackage (path, r);
    std::vector<uint8_t> image;
    if (r.verdict.error == PackageError::unreadable && !readWholeFile (path, image))
    {
        out << path << ": refused: " << describePackageError (PackageError::unreadable) << "\n";
        return 1;
    }
    if (image.empty())
        readWholeFile (path, image);

    using namespace layout;
    out << "file            " << path << " (" << image.size() << " bytes)\n";
    if (image.size() >= headerSize)
    {
        const uint8_t* h = image.data();
        out << "magic           " << quoted (h + magicOffset, magicSize) << "\n";
        out << "format version  " << quoted (h + formatVersionOffset, formatVersionSize) << "\n";
        out << "model           " << quoted (h + modelOffset, modelSize) << "\n";
        out << "version digits  " << quoted (h + versionOffset, 3) << "\n";
        out << "block count     " << int (h[blockCountOffset]) << "\n";
    }
    if (image.size() >= trailerSize)
    {
        const uint8_t* t = image.data() + image.size() - trailerSize;
        const uint32_t stored = uint32_t (t[0]) << 24 | uint32_t (t[1]) << 16 | uint32_t (t[2]) << 8 | t[3];
        const uint32_t residue = crc32Mpeg2 (crcTable(), image.data(), image.size());
        out << "file CRC-32     stored " << hex (stored, 8) << ", " << (residue == 0 ? "ok" : "BAD") << "\n";
    }

    // Every record the reader reached (all of them for a sound package).
    const PackageError e = r.verdict.error;
    const bool allRead =
        e == PackageError::none || e == PackageError::noData || e == PackageError::lengthOverflow;
    const int reached = r.verdict.block >= 0 ? r.verdict.block + 1 : (allRead ? r.info.blockCount : 0);
    for (int i = 0; i < reached; ++i)
    {
        const size_t offset = r.verdict.recordOffset[static_cast<size_t> (i)];
        out << "block " << i << "         offset " << offset;
        if (offset + recordHeaderSize > image.size())
        {
            out << ", record runs past the end\n";
            continue;
        }
        const uint8_t* rec = image.data() + offset;
        const UpdateBlock& b = r.blocks[static_cast<size_t> (i)];
        out << ", tag " << quoted (rec + recordTagOffset, 4) << " = "
            << hex (tagValue (rec + recordTagOffset), 4) << ", update "
            << (rec[recordUpdateOffset] == updateYes ? "yes" : "no") << ", "
            << (rec[recordScrambledOffset] != 0 ? "scrambled" : "plain") << ", key index "
            << int (rec[recordKeyIndexOffset]) << ", key word "
            << hex (readLe32 (rec + recordKeyWordOffset), 8) << ", length "
            << readLe32 (rec + recordLengthOffset);
        if (i == r.verdict.block && r.verdict.error != PackageError::blockCrc)
            out << "\n";
        else if (i == r.verdict.block)
            out << ", CRC-16 stored " << hex (b.crc, 4) << " computed " << hex (r.verdict.computedCrc, 4)
                << " BAD\n";
        else
            out << ", CRC-16 " << hex (b.crc, 4) << " ok\n";
    }

    if (r.result == 0)
    {
        out << "result          refused: " << reason (r.verdict, r.blocks) << "\n";
        return 1;
    }
    out << "total length    " << r.info.totalLength << "\n";
    out << "version         " << r.info.version << " (" << shownVersion (r.info.version) << ")\n";
    if (!r.usable())
    {
        out << "result          unusable: version below 1\n";
        return 1;
    }
    out << "result          usable\n";
    return 0;
}

} // namespace qtx::package
