#include "app/png_writer.h"

#include <png.h>

#include <cstdio>

// libpng reports errors by longjmp; everything it touched is released on both paths.
bool WritePNG(const char* path, const uint8_t* rgba, int width, int height)
{
    if (!path || !rgba || width <= 0 || height <= 0)
        return false;
    FILE* file = fopen(path, "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    volatile bool written = false;  // read again after a longjmp
    if (info && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int row = 0; row < height; ++row)
            png_write_row(png, rgba + static_cast<size_t>(row) * width * 4);
        png_write_end(png, info);
        written = true;
    }
    png_destroy_write_struct(&png, info ? &info : nullptr);
    return fclose(file) == 0 && written;
}
