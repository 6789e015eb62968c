#include "image/png_write.h"

#include <png.h>

#include <climits>
#include <cstring>

bool WritePNG(const char* path, const uint8_t* rgba, int width, int height)
{
    if (!path || !rgba || width <= 0 || height <= 0 || width > INT32_MAX / 4)
        return false;
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGBA;
    // a positive stride: the first row in memory is the top row of the picture
    const bool written = png_image_write_to_file(&image, path, 0, rgba, width * 4, nullptr) != 0;
    png_image_free(&image);
    return written;
}
