#include "image/png_write.h"

#include <png.h>
#include <zlib.h>

#include <climits>
#include <cstdio>

// Previews are written on every batch run and read rarely: deflate level 1
// with run-length matching after the SUB filter writes an 800 x 600 frame in
// about a seventh of the time of libpng's defaults (level 6, every filter
// tried on every row), for a file about a fifth larger. The pixels are the same.
static const int FastCompressionLevel = 1;
static const int FastCompressionStrategy = Z_RLE;
static const int FastRowFilter = PNG_FILTER_SUB;

// libpng reports an error by calling this, which must not return; the caller
// says what failed.
static void ThrowPNGError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

static void IgnorePNGWarning(png_structp, png_const_charp) {}

// Nothing in this function may need a destructor: an error jumps out of libpng
// back to its setjmp.
static bool EncodePNG(FILE* file, const uint8_t* rgba, int width, int height)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, ThrowPNGError, IgnorePNGWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // the frame's bytes are sRGB values, as the GL drew them
    png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, FastRowFilter);
    png_set_compression_level(png, FastCompressionLevel);
    png_set_compression_strategy(png, FastCompressionStrategy);
    png_write_info(png, info);
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    for (int row = 0; row < height; ++row)
        png_write_row(png, rgba + row * rowBytes);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool WritePNG(const char* path, const uint8_t* rgba, int width, int height)
{
    if (!path || !rgba || width <= 0 || height <= 0 || width > INT32_MAX / 4)
        return false;
    FILE* file = fopen(path, "wb");
    if (!file)
        return false;
    bool written = EncodePNG(file, rgba, width, height);
    // a full disk may show only when the last buffer is flushed
    written = fclose(file) == 0 && written;
    if (!written)
        remove(path);
    return written;
}
