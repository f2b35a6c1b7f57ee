#include "Manifest.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace qtx::package
{

namespace
{
    constexpr size_t maxPatternLength = 64u << 20; // keeps a typo from filling the disk

    bool parseNumber (const std::string& text, uint64_t limit, uint64_t& value)
    {
        if (text.empty())
            return false;
        size_t pos = 0;
        int base = 10;
        if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        {
            base = 16;
            pos = 2;
        }
        value = 0;
        for (; pos < text.size(); ++pos)
        {
            const char c = text[pos];
            int digit;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (base == 16 && std::isxdigit (static_cast<unsigned char> (c)))
                digit = std::tolower (static_cast<unsigned char> (c)) - 'a' + 10;
            else
                return false;
            value = value * static_cast<uint64_t> (base) + static_cast<uint64_t> (digit);
            if (value > limit)
                return false;
        }
        return true;
    }

    bool parseYesNo (const std::string& text, bool& value)
    {
        if (text == "yes" || text == "y" || text == "Y" || text == "1")
            value = true;
        else if (text == "no" || text == "n" || text == "N" || text == "0")
            value = false;
        else
            return false;
        return true;
    }

    // Hex text: byte pairs, whitespace between them, '#' to end of line a comment.
    bool parseHexText (const std::string& text, std::vector<uint8_t>& bytes, std::string& error)
    {
        bytes.clear();
        int pending = -1;
        bool comment = false;
        for (char c : text)
        {
            if (comment)
            {
                comment = c != '\n';
                continue;
            }
            if (c == '#')
            {
                comment = true;
                continue;
            }
            if (std::isspace (static_cast<unsigned char> (c)))
            {
                if (pending >= 0)
                {
                    error = "odd number of hex digits";
                    return false;
                }
                continue;
            }
            if (!std::isxdigit (static_cast<unsigned char> (c)))
            {
                error = std::string ("not a hex digit: '") + c + "'";
                return false;
            }
            const int v = std::isdigit (static_cast<unsigned char> (c))
                              ? c - '0'
                              : std::tolower (static_cast<unsigned char> (c)) - 'a' + 10;
            if (pending < 0)
                pending = v;
            else
            {
                bytes.push_back (static_cast<uint8_t> (pending << 4 | v));
                pending = -1;
            }
        }
        if (pending >= 0)
        {
            error = "odd number of hex digits";
            return false;
        }
        return true;
    }

    std::string joinPath (const std::string& baseDir, const std::string& name)
    {
        const std::filesystem::path p (name);
        if (p.is_absolute() || baseDir.empty())
            return name;
        return (std::filesystem::path (baseDir) / p).string();
    }

    bool parseBlock (std::istringstream& words, const std::string& baseDir, BlockDescription& block,
                     std::string& error)
    {
        bool haveData = false;
        std::string word;
        while (words >> word)
        {
            const auto eq = word.find ('=');
            if (eq == std::string::npos || eq == 0)
            {
                error = "expected key=value, got '" + word + "'";
                return false;
            }
            const std::string key = word.substr (0, eq);
            const std::string value = word.substr (eq + 1);
            uint64_t n = 0;
            bool flag = false;

            if (key == "file" || key == "hex" || key == "pattern")
            {
                if (haveData)
                {
                    error = "a block takes one of file=, hex= or pattern=";
                    return false;
                }
                haveData = true;
                if (key == "pattern")
                {
                    const auto colon = value.find (':');
                    uint64_t seed = 1;
                    if (!parseNumber (value.substr (0, colon), maxPatternLength, n) ||
                        (colon != std::string::npos &&
                         !parseNumber (value.substr (colon + 1), UINT32_MAX, seed)))
                    {
                        error = "pattern= wants LENGTH or LENGTH:SEED (length up to 64 MiB)";
                        return false;
                    }
                    block.data = patternData (static_cast<size_t> (n), static_cast<uint32_t> (seed));
                    continue;
                }
                std::vector<uint8_t> bytes;
                const std::string path = joinPath (baseDir, value);
                if (value.empty() || !readWholeFile (path, bytes))
                {
                    error = "cannot read data file '" + value + "'";
                    return false;
                }
                if (key == "hex")
                {
                    std::string why;
                    if (!parseHexText (std::string (bytes.begin(), bytes.end()), block.data, why))
                    {
                        error = "hex file '" + value + "': " + why;
                        return false;
                    }
                }
                else
                {
                    block.data = std::move (bytes);
                }
            }
            else if (key == "tag")
            {
                if (value.size() != 4)
                {
                    error = "tag= wants four characters, got '" + value + "'";
                    return false;
                }
                block.tag = value;
            }
            else if (key == "update" || key == "scrambled")
            {
                if (!parseYesNo (value, flag))
                {
                    error = key + "= wants yes or no, got '" + value + "'";
                    return false;
                }
                if (key == "update")
                    block.updateFlag = flag ? 'Y' : 'N';
                else
                    block.scrambledFlag = flag ? 1 : 0;
            }
            else if (key == "key-index")
            {
                if (!parseNumber (value, 255, n))
                {
                    error = "key-index= wants 0 to 255, got '" + value + "'";
                    return false;
                }
                block.keyIndex = static_cast<uint8_t> (n);
            }
            else if (key == "key-word")
            {
                if (!parseNumber (value, UINT32_MAX, n))
                {
                    error = "key-word= wants a 32-bit number, got '" + value + "'";
                    return false;
                }
                block.keyWord = static_cast<uint32_t> (n);
            }
            else
            {
                error = "unknown block setting '" + key + "'";
                return false;
            }
        }
        if (!haveData)
        {
            error = "a block needs file=, hex= or pattern=";
            return false;
        }
        if (block.data.size() > UINT32_MAX)
        {
            error = "block data is 4 GiB or more";
            return false;
        }
        return true;
    }
} // namespace

bool readWholeFile (const std::string& path, std::vector<uint8_t>& bytes)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file (path, ec))
        return false;
    std::ifstream in (path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign (std::istreambuf_iterator<char> (in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool parseManifest (const std::string& text, const std::string& baseDir, PackageDescription& package,
                    std::string& error)
{
    package = PackageDescription{};
    bool haveVersion = false;
    std::istringstream lines (text);
    std::string line;
    int lineNumber = 0;
    while (std::getline (lines, line))
    {
        ++lineNumber;
        const auto fail = [&] (const std::string& why)
        {
            error = "line " + std::to_string (lineNumber) + ": " + why;
            return false;
        };
        if (const auto hash = line.find ('#'); hash != std::string::npos)
            line.erase (hash);
        std::istringstream words (line);
        std::string keyword;
        if (!(words >> keyword))
            continue;

        if (keyword == "version")
        {
            std::string digits, extra;
            words >> digits;
            if (haveVersion)
                return fail ("version given twice");
            if (digits.size() != 3 || !std::isdigit (static_cast<unsigned char> (digits[0])) ||
                !std::isdigit (static_cast<unsigned char> (digits[1])) ||
                !std::isdigit (static_cast<unsigned char> (digits[2])) || (words >> extra))
                return fail ("version wants three digits, e.g. 'version 123' for 1.23");
            package.versionDigits = digits;
            haveVersion = true;
        }
        else if (keyword == "block")
        {
            if (package.blocks.size() == maxUpdateBlocks)
                return fail ("a package holds at most 16 blocks");
            BlockDescription block;
            std::string why;
            if (!parseBlock (words, baseDir, block, why))
                return fail (why);
            package.blocks.push_back (std::move (block));
        }
        else
        {
            return fail ("unknown keyword '" + keyword + "' (expected 'version' or 'block')");
        }
    }
    if (!haveVersion)
    {
        error = "no 'version' line";
        return false;
    }
    if (package.blocks.empty())
    {
        error = "no 'block' line";
        return false;
    }
    return true;
}

bool loadManifest (const std::string& path, PackageDescription& package, std::string& error)
{
    std::vector<uint8_t> bytes;
    if (!readWholeFile (path, bytes))
    {
        error = "cannot read manifest '" + path + "'";
        return false;
    }
    const std::string base = std::filesystem::path (path).parent_path().string();
    return parseManifest (std::string (bytes.begin(), bytes.end()), base, package, error);
}

} // namespace qtx::package
