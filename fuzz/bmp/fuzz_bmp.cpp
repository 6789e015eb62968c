// Decode; if it succeeded, read every pixel and free. Seeds lie in corpus/.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "image/bmp.h"

// Reads the whole pixel block, so that a block shorter than its sizes shows.
static void CheckImage(const Image* image)
{
    size_t pixels = static_cast<size_t>(image->width) * static_cast<size_t>(image->height);
    for (size_t i = 0; i < pixels; ++i)
        if (image->pixels[i * 4 + 3] != 255)
            abort();  // every pixel is opaque
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Image* image = DecodeBMP(data, size);
    if (image) {
        CheckImage(image);
        FreeImage(image);
    }
    // The decoder without the header rules must be just as safe.
    image = DecodeBMP24(data, size);
    if (image) {
        CheckImage(image);
        FreeImage(image);
    }
    return 0;
}
