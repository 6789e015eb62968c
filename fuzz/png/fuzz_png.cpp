// Decode in both shapes; if it succeeded, read every height through the display
// picture and free. Seeds lie in corpus/.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>

#include "image/png_read.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    for (bool keepHeightSamples : {true, false}) {
        Image* image = DecodePNG(data, size, keepHeightSamples);
        Image* display = image ? ImageToDisplayPixels(image, 64) : nullptr;  // visits every sample or pixel
        if (image && (!display || display->width > 64 || display->height > 64))
            abort();
        FreeImage(display);
        FreeImage(image);
    }
    return 0;
}
