#include "ImageLoader.h"

#include "qtx_resource_data.h"

#include <cstdint>
#include <cstring>

namespace qtx
{
namespace
{
    struct EmbeddedImage
    {
        const unsigned char* data;
        unsigned int size;
    };

    const EmbeddedImage images[] = {{qtx::data::warning_png, qtx::data::warning_pngSize}};

    constexpr size_t bitmapHeaderSize = 54;

    uint32_t readLe32 (const uint8_t* p)
    {
        return (uint32_t) p[0] | ((uint32_t) p[1] << 8) | ((uint32_t) p[2] << 16) | ((uint32_t) p[3] << 24);
    }

    uint16_t readLe16 (const uint8_t* p)
    {
        return (uint16_t) (p[0] | (p[1] << 8));
    }
} // namespace

ImageLoader* ImageLoader::instance = nullptr;

ImageLoader* ImageLoader::getInstance()
{
    if (instance == nullptr)
        instance = new ImageLoader();
    return instance;
}

void ImageLoader::deleteInstance()
{
    delete instance;
    instance = nullptr;
}

ImageLoader::ImageLoader() = default;

ImageLoader::~ImageLoader()
{
    // Dropping our reference hands the picture back to JUCE's image cache,
    // which frees it after its time-out or at shutdown.
    delete image;
    delete twiceAsLarge;
}

juce::Image* ImageLoader::getImage (int index) const
{
    if (index != 0)
        return nullptr;
    if (!imageDecoded)
    {
        loadImage (0, image);
        imageDecoded = true;
    }
    return image;
}

juce::Image* ImageLoader::getImage (int index, float scale) const
{
    if (index != 0 || scale <= 1.0f)
        return getImage (index);
    // Decoded on the first high-DPI paint only: most screens never ask for it.
    if (!twiceAsLargeDecoded)
    {
        twiceAsLarge = decodeImage (qtx::data::warning_2x_png, qtx::data::warning_2x_pngSize);
        twiceAsLargeDecoded = true;
    }
    return twiceAsLarge != nullptr ? twiceAsLarge : getImage (index);
}

void ImageLoader::loadImage (int index, juce::Image*& where)
{
    where = nullptr;
    if (index < 0 || index >= (int) std::size (images))
        return;
    where = decodeImage (images[index].data, images[index].size);
}

juce::Image* ImageLoader::decodeImage (const void* data, size_t size)
{
    auto decoded = juce::ImageCache::getFromMemory (data, (int) size);
    if (decoded.isNull())
    {
        decoded = decodeBitmap (data, size);
        if (decoded.isNull())
            return nullptr;
        // Keyed on the pixel rows of the (read-only) source, which outlive the cache entry.
        juce::ImageCache::addImageToCache (
            decoded,
            (juce::int64) (juce::pointer_sized_int) (static_cast<const uint8_t*> (data) + bitmapHeaderSize));
    }
    return new juce::Image (decoded);
}

juce::Image ImageLoader::decodeBitmap (const void* data, size_t size)
{
    const auto* bytes = static_cast<const uint8_t*> (data);
    if (bytes == nullptr || size < bitmapHeaderSize || bytes[0] != 'B' || bytes[1] != 'M')
        return {};

    const auto bitsPerPixel = readLe16 (bytes + 28);
    const auto width = (int32_t) readLe32 (bytes + 18);
    const auto height = (int32_t) readLe32 (bytes + 22);
    if ((bitsPerPixel != 24 && bitsPerPixel != 32) || width <= 0 || height <= 0)
        return {};

    const auto bytesPerPixel = (uint64_t) bitsPerPixel / 8;
    const auto stride = ((bytesPerPixel * (uint64_t) width) + 3) & ~(uint64_t) 3;
    // Rows that the data does not hold are not read: such a file is rejected whole.
    if (stride * (uint64_t) height > size - bitmapHeaderSize)
        return {};

    const bool hasAlpha = bitsPerPixel == 32;
    juce::Image image (hasAlpha ? juce::Image::ARGB : juce::Image::RGB, width, height, true);
    juce::Image::BitmapData pixels (image, juce::Image::BitmapData::writeOnly);

    for (int32_t row = 0; row < height; ++row)
    {
        // Rows are stored bottom-up: the first one is the picture's last line.
        const auto* src = bytes + bitmapHeaderSize + stride * (uint64_t) row;
        const int line = height - 1 - row;
        for (int32_t x = 0; x < width; ++x)
        {
            const auto* p = src + bytesPerPixel * (uint64_t) x;
            const auto alpha = hasAlpha ? p[3] : (uint8_t) 255;
            // JUCE keeps ARGB premultiplied; a stored alpha of 0 must come out transparent.
            pixels.setPixelColour (x, line, juce::Colour (p[2], p[1], p[0], alpha));
        }
    }
    return image;
}

} // namespace qtx
