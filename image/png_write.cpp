#include "image/png_write.h"

#include <png.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/file_io.h"

// The PNG is made in memory and saved like every other file the program writes, so that
// a failed write leaves an existing picture as it was.
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
    png_alloc_size_t size = 0;
    bool encoded = png_image_write_get_memory_size(image, size, 0, rgba, width * 4, nullptr) != 0;
    void* bytes = encoded ? malloc(size) : nullptr;
    encoded = bytes && png_image_write_to_memory(&image, bytes, &size, 0, rgba, width * 4, nullptr) != 0;
    png_image_free(&image);
    const bool written = encoded && WriteFileReplacing(path, static_cast<const uint8_t*>(bytes), size);
    free(bytes);
    return written;
}
