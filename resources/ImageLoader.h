#pragma once

// The program's embedded pictures, each decoded once, when first asked for: the
// first screen shows none, and decoding pulls in the PNG reader's code and
// buffers. Image 0 is the warning sign.

#include <juce_graphics/juce_graphics.h>

#include <cstddef>

namespace qtx
{

class ImageLoader
{
public:
    static ImageLoader* getInstance();
    static void deleteInstance();

    virtual ~ImageLoader();

    // Index 0: the warning sign (null if it could not be decoded); any other index: null.
    // Message thread only (decoded on first use).
    juce::Image* getImage (int index) const;

    // The same picture for a screen with `scale` device pixels per pixel: drawn
    // larger where it has a source for that, so it stays smooth at 150 % and 200 %.
    // Message thread only (the larger source is decoded on first use).
    juce::Image* getImage (int index, float scale) const;

    // Decodes image data through JUCE's readers and image cache, falling back to an
    // uncompressed Windows bitmap. Null when neither accepts the data.
    static juce::Image* decodeImage (const void* data, size_t size);

    // The bitmap fallback alone: 24- or 32-bit, bottom-up rows from byte 54.
    // An invalid Image when the header is unusable or the data is too short for
    // the rows it announces.
    static juce::Image decodeBitmap (const void* data, size_t size);

private:
    ImageLoader();
    static void loadImage (int index, juce::Image*& where);

    mutable juce::Image* image = nullptr;
    mutable bool imageDecoded = false;
    mutable juce::Image* twiceAsLarge = nullptr;
    mutable bool twiceAsLargeDecoded = false;

    static ImageLoader* instance;

    JUCE_DECLARE_NON_COPYABLE (ImageLoader)
};

} // namespace qtx
