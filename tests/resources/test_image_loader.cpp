#include "resources/ImageLoader.h"

#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace
{
using qtx::ImageLoader;

void putLe32 (std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.at (at + (size_t) i) = (uint8_t) (v >> (8 * i));
}

// A bitmap file: 54-byte header, then the given pixel rows as stored.
std::vector<uint8_t> makeBitmap (int width, int height, int bitsPerPixel, std::vector<uint8_t> rows)
{
    std::vector<uint8_t> b (54 + rows.size(), 0);
    std::copy (rows.begin(), rows.end(), b.begin() + 54);
    b[0] = 'B';
    b[1] = 'M';
    putLe32 (b, 18, (uint32_t) width);
    putLe32 (b, 22, (uint32_t) height);
    b[28] = (uint8_t) bitsPerPixel;
    putLe32 (b, 2, (uint32_t) b.size());
    return b;
}

TEST (BitmapFallback, RowsArePaddedBottomUpAndThirtyTwoBitsHaveAlpha)
{
    // 3 x 2 pixels: 9 bytes of pixels per row, padded to 12. Bytes are blue, green, red.
    std::vector<uint8_t> rows = {
        0, 0, 255, 0, 255, 0, 255, 0, 0, 0xEE, 0xEE, 0xEE, // stored first: line 1 (red, green, blue)
        9, 8, 7,   6, 5,   4, 3,   2, 1, 0xEE, 0xEE, 0xEE, // stored second: line 0
    };
    const auto bmp = makeBitmap (3, 2, 24, rows);
    const auto image = ImageLoader::decodeBitmap (bmp.data(), bmp.size());
    ASSERT_TRUE (image.isValid());
    EXPECT_EQ (image.getFormat(), juce::Image::RGB);
    EXPECT_EQ (image.getPixelAt (0, 1), juce::Colour (255, 0, 0));
    EXPECT_EQ (image.getPixelAt (1, 1), juce::Colour (0, 255, 0));
    EXPECT_EQ (image.getPixelAt (2, 1), juce::Colour (0, 0, 255));
    EXPECT_EQ (image.getPixelAt (0, 0), juce::Colour (7, 8, 9));
    EXPECT_EQ (image.getPixelAt (2, 0), juce::Colour (1, 2, 3));

    // 32 bits: alpha from the fourth byte, no padding.
    const auto bmp32 = makeBitmap (2, 1, 32, {10, 20, 30, 0, 40, 50, 60, 255});
    const auto argb = ImageLoader::decodeBitmap (bmp32.data(), bmp32.size());
    ASSERT_TRUE (argb.isValid());
    EXPECT_EQ (argb.getFormat(), juce::Image::ARGB);
    EXPECT_EQ (argb.getPixelAt (0, 0).getAlpha(), 0);
    EXPECT_EQ (argb.getPixelAt (1, 0), juce::Colour (60, 50, 40));
}

TEST (BitmapFallback, RejectsUnusableHeadersAndShortData)
{
    const auto good = makeBitmap (3, 2, 24, std::vector<uint8_t> (24, 1));
    const auto edited = [&] (size_t at, uint32_t value, bool oneByte = false)
    {
        auto b = good;
        if (oneByte)
            b.at (at) = (uint8_t) value;
        else
            putLe32 (b, at, value);
        return b;
    };
    const std::pair<const char*, std::vector<uint8_t>> cases[] = {
        {"not BM", edited (0, 'P', true)},
        {"16 bits per pixel", edited (28, 16, true)},
        {"zero width", edited (18, 0)},
        {"negative height", edited (22, (uint32_t) -2)},
        {"more rows than data", edited (22, 3)},
        {"huge width", edited (18, 0x7FFFFFFF)},
        {"last row one byte short", std::vector<uint8_t> (good.begin(), good.end() - 1)},
        {"empty", {}},
    };
    for (const auto& [what, data] : cases)
        EXPECT_TRUE (ImageLoader::decodeBitmap (data.data(), data.size()).isNull()) << what;

    EXPECT_TRUE (ImageLoader::decodeBitmap (good.data(), good.size()).isValid());
}

TEST (ImageDecoding, FallsBackToBitmapAndGivesNullForGarbage)
{
    const juce::ScopedJuceInitialiser_GUI juce;
    const auto bmp = makeBitmap (2, 2, 24, std::vector<uint8_t> (16, 0x80));
    std::unique_ptr<juce::Image> fromBitmap (ImageLoader::decodeImage (bmp.data(), bmp.size()));
    ASSERT_NE (fromBitmap, nullptr);
    EXPECT_EQ (fromBitmap->getWidth(), 2);

    const std::vector<uint8_t> garbage (100, 0x5A);
    EXPECT_EQ (ImageLoader::decodeImage (garbage.data(), garbage.size()), nullptr);
}

} // namespace
