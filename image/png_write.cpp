#include "image/png_write.h"

#include <png.h>
#include <zlib.h>

#include <climits>
#include <cstdlib>
#include <cstring>

// Previews are written on every batch run and read rarely: deflate level 1
// with run-length matching after the SUB filter writes an 800 x 600 frame in
// about a seventh of the time of libpng's defaults (level 6, every filter
// tried on every row), for a file about a fifth larger. The pixels are the same.
static const int FastCompressionLevel = 1;
static const int FastCompressionStrategy = Z_RLE;
static const int FastRowFilter = PNG_FILTER_SUB;

// The encoded file, grown as libpng hands over its bytes.
struct PNGBytes {
    uint8_t* bytes;
    size_t used;
    size_t capacity;
};

static void AppendPNGBytes(png_structp png, png_bytep data, png_size_t length)
{
    PNGBytes* out = static_cast<PNGBytes*>(png_get_io_ptr(png));
    if (length > out->capacity - out->used) {
        size_t capacity = out->capacity ? out->capacity : 65536;
        while (capacity - out->used < length)
            capacity *= 2;
        uint8_t* grown = static_cast<uint8_t*>(realloc(out->bytes, capacity));
        if (!grown)
            png_error(png, "out of memory");
        out->bytes = grown;
        out->capacity = capacity;
    }
    memcpy(out->bytes + out->used, data, length);
    out->used += length;
}

// libpng reports an error by calling this, which must not return; the caller
// says what failed.
static void ThrowPNGError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

static void IgnorePNGWarning(png_structp, png_const_charp) {}

// Nothing in this function may need a destructor: an error jumps out of libpng
// back to its setjmp.
static bool EncodePNG(PNGBytes* out, const uint8_t* rgba, int width, int height)
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
    png_set_write_fn(png, out, AppendPNGBytes, nullptr);
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

#include "platform/file_io.h"

// The PNG is made in memory and saved like every other file the program writes, so that
// a failed write leaves an existing picture as it was.
bool WritePNG(const char* path, const uint8_t* rgba, int width, int height)
{
    if (!path || !rgba || width <= 0 || height <= 0 || width > INT32_MAX / 4)
        return false;
    PNGBytes out = {nullptr, 0, 0};
    const bool encoded = EncodePNG(&out, rgba, width, height);
    const bool written = encoded && WriteFileReplacing(path, out.bytes, out.used);
    free(out.bytes);
    return written;
}
