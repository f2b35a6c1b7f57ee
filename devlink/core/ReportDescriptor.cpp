#include "ReportDescriptor.h"

#include <algorithm>
#include <array>

namespace qtx::devlink
{
namespace
{
    enum ItemType
    {
        mainItem = 0,
        globalItem = 1,
        localItem = 2
    };

    enum MainTag
    {
        inputTag = 0x8,
        outputTag = 0x9,
        featureTag = 0xB,
        collectionTag = 0xA,
        endCollectionTag = 0xC
    };

    enum GlobalTag
    {
        reportSizeTag = 0x7,
        reportIdTag = 0x8,
        reportCountTag = 0x9,
        pushTag = 0xA,
        popTag = 0xB
    };

    struct Globals
    {
        std::uint32_t reportSize = 0;
        std::uint32_t reportCount = 0;
        std::uint32_t reportId = 0;
    };

    constexpr std::size_t maxPushDepth = 16;
    constexpr int reportIds = 256;
} // namespace

bool parseReportDescriptor (const std::uint8_t* data, std::size_t size, ReportLayout& layout,
                            int maxReportLength)
{
    layout = ReportLayout();
    if (data == nullptr && size > 0)
        return false;

    // Bits per report ID; a report longer than the limit ends the parse, so these stay small.
    const std::uint64_t maxBits = std::uint64_t (std::max (maxReportLength, 0)) * 8u;
    std::array<std::uint64_t, reportIds> inputBits{};
    std::array<std::uint64_t, reportIds> outputBits{};
    std::array<bool, reportIds> hasInput{};
    std::array<bool, reportIds> hasOutput{};
    std::array<Globals, maxPushDepth> stack{};
    std::size_t depth = 0;
    Globals g;
    bool valueFound = false;

    std::size_t pos = 0;
    while (pos < size)
    {
        const std::uint8_t prefix = data[pos];
        if (prefix == 0xFE) // long item: size, tag, data; nothing we use
        {
            if (size - pos < 3)
                return false;
            const std::size_t length = data[pos + 1];
            if (size - pos - 3 < length)
                return false;
            pos += 3 + length;
            continue;
        }
        const std::size_t length = (prefix & 3u) == 3u ? 4u : (prefix & 3u);
        if (size - pos - 1 < length)
            return false;
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < length; ++i)
            value |= std::uint32_t (data[pos + 1 + i]) << (8u * i);
        const int type = (prefix >> 2) & 3;
        const int tag = prefix >> 4;
        pos += 1 + length;

        if (type == globalItem)
        {
            switch (tag)
            {
                case reportSizeTag:
                    g.reportSize = value;
                    break;
                case reportCountTag:
                    g.reportCount = value;
                    break;
                case reportIdTag:
                    if (value == 0 || value >= reportIds)
                        return false;
                    g.reportId = value;
                    layout.numberedReports = true;
                    break;
                case pushTag:
                    if (depth == maxPushDepth)
                        return false;
                    stack[depth++] = g;
                    break;
                case popTag:
                    if (depth == 0)
                        return false;
                    g = stack[--depth];
                    break;
                default:
                    break;
            }
        }
        else if (type == mainItem && (tag == inputTag || tag == outputTag))
        {
            // Both factors are 32-bit: the product fits 64 bits; check before adding.
            const std::uint64_t bits = std::uint64_t (g.reportSize) * g.reportCount;
            auto& total = tag == inputTag ? inputBits[g.reportId] : outputBits[g.reportId];
            if (bits > maxBits || total + bits > maxBits)
                return false;
            total += bits;
            (tag == inputTag ? hasInput : hasOutput)[g.reportId] = true;

            const bool constant = (value & 1u) != 0;
            const bool variable = (value & 2u) != 0;
            if (tag == inputTag && !valueFound && !constant && variable && g.reportSize > 1)
            {
                valueFound = true;
                layout.inputValueBytes = int ((bits + 7) / 8);
            }
        }
        // Features, collections and local items don't change the lengths we report.
    }

    auto longest = [] (const auto& bits, const auto& present)
    {
        std::uint64_t best = 0;
        bool any = false;
        for (int id = 0; id < reportIds; ++id)
            if (present[std::size_t (id)])
            {
                any = true;
                best = std::max (best, bits[std::size_t (id)]);
            }
        // The report ID byte is counted whether or not the device numbers its reports.
        return any ? int ((best + 7) / 8) + 1 : 0;
    };
    layout.inputReportLength = longest (inputBits, hasInput);
    layout.outputReportLength = longest (outputBits, hasOutput);
    if (layout.inputReportLength > maxReportLength || layout.outputReportLength > maxReportLength)
        return false;
    return true;
}
} // namespace qtx::devlink
