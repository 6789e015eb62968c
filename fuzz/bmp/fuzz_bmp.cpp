// Decode with the header rules and without; if it succeeded, read every pixel
// (so that a block shorter than its sizes shows) and free. Seeds lie in corpus/.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>

#include "image/bmp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    for (Image* image : {DecodeBMP(data, size), DecodeBMP24(data, size)}) {
        for (size_t i = 0; image && i < static_cast<size_t>(image->width) * static_cast<size_t>(image->height); ++i)
            if (image->pixels[i * 4 + 3] != 255)
                abort();  // every pixel is opaque
        FreeImage(image);
    }
    return 0;
}
