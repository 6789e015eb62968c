// The PNG decoder: libpng reads the caller's bytes through a callback that
// checks every read against what remains. libpng reports errors by longjmp,
// so whatever the decoding allocates is kept in one record that the cleanup
// frees in any state, and no object with a destructor lives across setjmp.
//
// Contents: blocks; reading the bytes; the compressed-size bound; the two
// output shapes; the decoding driver; heights and display pixels.
#include "image/png_read.h"

#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <cstring>

// A deflate stream yields at most 258 bytes for every two bits it holds.
static const uint64_t DeflateLargestRatio = 1032;

// ---------------------------------------------------------------------------
// Blocks

// One block for an Image of `bytesPerPixel` bytes per pixel; null when its size
// does not fit in memory's sizes or cannot be allocated.
static Image* AllocateImage(int32_t width, int32_t height, size_t bytesPerPixel)
{
    if (width <= 0 || height <= 0)
        return nullptr;
    uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);  // below 2^62
    if (pixels > (SIZE_MAX - sizeof(Image)) / bytesPerPixel)
        return nullptr;
    Image* image = static_cast<Image*>(malloc(sizeof(Image) + static_cast<size_t>(pixels) * bytesPerPixel));
    if (!image)
        return nullptr;
    image->width = width;
    image->height = height;
    image->samples = nullptr;
    return image;
}

static size_t PixelIndex(const Image* image, int32_t x, int32_t y)
{
    return static_cast<size_t>(y) * static_cast<size_t>(image->width) + static_cast<size_t>(x);
}

// ---------------------------------------------------------------------------
// Reading the bytes

struct PngSource {
    const uint8_t* bytes;  // the whole file
    size_t size;           // its length in bytes
    size_t offset;         // the next byte libpng reads
};

static void ReadPngBytes(png_structp png, png_bytep target, size_t count)
{
    PngSource* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (count > source->size - source->offset)
        png_error(png, "the file ends early");
    memcpy(target, source->bytes + source->offset, count);
    source->offset += count;
}

// libpng's own handlers print; the caller reports a refused file its own way.
static void StopDecoding(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

static void IgnoreWarning(png_structp, png_const_charp) {}

// ---------------------------------------------------------------------------
// The compressed-size bound: a header may claim sides its data cannot fill.
// Checked before the picture's block is allocated, so that a small file cannot
// make the decoder reserve a gigabyte only to fail on the first row.

// The IDAT bytes present in the file: chunk lengths as written, cut at its end.
static uint64_t CompressedBytesPresent(const uint8_t* bytes, size_t size)
{
    uint64_t total = 0;
    size_t at = 8;            // after the signature
    while (size - at >= 8) {  // at never passes size
        uint64_t length = png_get_uint_32(bytes + at);
        uint64_t remaining = size - at - 8;
        if (memcmp(bytes + at + 4, "IDAT", 4) == 0)
            total += length < remaining ? length : remaining;
        if (length + 4 >= remaining)
            break;
        at += static_cast<size_t>(length) + 12;  // length, type, data, CRC
    }
    return total;
}

static bool CompressedDataCanFill(png_structp png, png_infop info, uint64_t compressedBytes)
{
    uint64_t bitsPerPixel = static_cast<uint64_t>(png_get_channels(png, info)) * png_get_bit_depth(png, info);
    uint64_t pixelBits = static_cast<uint64_t>(png_get_image_width(png, info)) * png_get_image_height(png, info) *
        bitsPerPixel;  // at most 2^28 * 64
    return pixelBits / 8 <= compressedBytes * DeflateLargestRatio;
}

// ---------------------------------------------------------------------------
// The two output shapes

struct PngDecoding {
    PngSource source;        // the file
    bool keepHeightSamples;  // the caller's choice, see DecodePNG
    png_structp png;         // libpng's reader; null once destroyed
    png_infop info;          // the header as libpng read it
    Image* image;            // the picture being filled; freed unless handed out
    uint8_t* row;            // one row as libpng delivers it, for the samples shape
};

// RGBA 8-bit, whatever the colour type and depth: libpng's own conversions.
static bool PrepareRgbaPixels(PngDecoding* decoding)
{
    png_structp png = decoding->png;
    png_set_expand(png);  // palette to RGB, grey below 8 bits to 8, transparency chunk to alpha
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_filler(png, 0xff, PNG_FILLER_AFTER);  // where the picture has no alpha
    png_read_update_info(png, decoding->info);
    uint32_t width = png_get_image_width(png, decoding->info);
    if (png_get_bit_depth(png, decoding->info) != 8 || png_get_channels(png, decoding->info) != 4 ||
        png_get_rowbytes(png, decoding->info) != static_cast<size_t>(width) * 4)
        return false;
    decoding->image =
        AllocateImage(static_cast<int32_t>(width), static_cast<int32_t>(png_get_image_height(png, decoding->info)), 4);
    return decoding->image != nullptr;
}

// Samples of 16-bit pictures as stored, one row at a time; the first channel
// (grey or red) is taken from each row.
static bool PrepareHeightSamples(PngDecoding* decoding)
{
    png_read_update_info(decoding->png, decoding->info);
    size_t rowBytes = png_get_rowbytes(decoding->png, decoding->info);
    uint32_t width = png_get_image_width(decoding->png, decoding->info);
    if (rowBytes != static_cast<size_t>(width) * png_get_channels(decoding->png, decoding->info) * 2)
        return false;
    decoding->row = static_cast<uint8_t*>(malloc(rowBytes));
    decoding->image = AllocateImage(static_cast<int32_t>(width),
                                    static_cast<int32_t>(png_get_image_height(decoding->png, decoding->info)), 2);
    if (!decoding->row || !decoding->image)
        return false;
    decoding->image->samples = reinterpret_cast<uint16_t*>(decoding->image->pixels);
    return true;
}

// Interlaced pictures arrive in seven passes, each over every row; libpng
// writes into the row only the pixels that belong to the pass.
static void ReadRgbaRows(PngDecoding* decoding, int passes)
{
    Image* image = decoding->image;
    for (int pass = 0; pass < passes; ++pass)
        for (int32_t y = 0; y < image->height; ++y)
            png_read_row(decoding->png, image->pixels + PixelIndex(image, 0, y) * 4, nullptr);
}

static void ReadSampleRows(PngDecoding* decoding, int passes)
{
    Image* image = decoding->image;
    size_t pixelBytes = static_cast<size_t>(png_get_channels(decoding->png, decoding->info)) * 2;
    for (int pass = 0; pass < passes; ++pass)
        for (int32_t y = 0; y < image->height; ++y) {
            png_read_row(decoding->png, decoding->row, nullptr);
            if (passes > 1 && !PNG_ROW_IN_INTERLACE_PASS(y, pass))
                continue;
            int32_t first = passes > 1 ? PNG_PASS_START_COL(pass) : 0;
            int32_t step = passes > 1 ? PNG_PASS_COL_OFFSET(pass) : 1;
            uint16_t* target = image->samples + PixelIndex(image, 0, y);
            for (int32_t x = first; x < image->width; x += step) {
                const uint8_t* sample = decoding->row + static_cast<size_t>(x) * pixelBytes;
                target[x] = static_cast<uint16_t>((sample[0] << 8) | sample[1]);  // stored big-endian
            }
        }
}

// ---------------------------------------------------------------------------
// The decoding driver

// Everything that can fail runs here, below setjmp; the caller cleans up.
static bool RunDecoding(PngDecoding* decoding)
{
    png_structp png = decoding->png;
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_read_fn(png, &decoding->source, ReadPngBytes);
    png_set_user_limits(png, PngLargestSide, PngLargestSide);
    png_set_crc_action(png, PNG_CRC_DEFAULT, PNG_CRC_ERROR_QUIT);  // a damaged chunk of any kind
    // Only the chunks that shape the pixels (PLTE, tRNS) are interpreted; the
    // others are skipped, their CRCs still checked.
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_read_info(png, decoding->info);
    if (!CompressedDataCanFill(png, decoding->info,
                               CompressedBytesPresent(decoding->source.bytes, decoding->source.size)))
        return false;
    bool samples = decoding->keepHeightSamples && png_get_bit_depth(png, decoding->info) == 16;
    int passes = png_set_interlace_handling(png);
    if (!(samples ? PrepareHeightSamples(decoding) : PrepareRgbaPixels(decoding)))
        return false;
    if (samples)
        ReadSampleRows(decoding, passes);
    else
        ReadRgbaRows(decoding, passes);
    png_read_end(png, nullptr);  // the rest of the stream, its CRCs and IEND
    return true;
}

Image* DecodePNG(const uint8_t* bytes, size_t size, bool keepHeightSamples)
{
    if (!bytes || size < 8 || png_sig_cmp(bytes, 0, 8) != 0)
        return nullptr;
    PngDecoding decoding = {};
    decoding.source = {bytes, size, 0};
    decoding.keepHeightSamples = keepHeightSamples;
    decoding.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, StopDecoding, IgnoreWarning);
    if (decoding.png)
        decoding.info = png_create_info_struct(decoding.png);
    bool decoded = decoding.info && RunDecoding(&decoding);
    png_destroy_read_struct(&decoding.png, decoding.info ? &decoding.info : nullptr, nullptr);
    free(decoding.row);
    if (decoded)
        return decoding.image;
    FreeImage(decoding.image);
    return nullptr;
}

// ---------------------------------------------------------------------------
// Heights and display pixels

uint16_t ImageHeightSample(const Image* image, int32_t x, int32_t y)
{
    size_t index = PixelIndex(image, x, y);
    if (image->samples)
        return image->samples[index];
    return static_cast<uint16_t>(image->pixels[index * 4] * 257);
}

// The average of one box of the source as an RGBA pixel.
static void AverageBox(const Image* image, int32_t left, int32_t top, int32_t right, int32_t bottom, uint8_t* target)
{
    uint64_t sums[4] = {0, 0, 0, 0};
    for (int32_t y = top; y < bottom; ++y)
        for (int32_t x = left; x < right; ++x) {
            size_t index = PixelIndex(image, x, y);
            if (image->samples) {
                sums[0] += image->samples[index];
                continue;
            }
            for (int c = 0; c < 4; ++c)
                sums[c] += image->pixels[index * 4 + c];
        }
    uint64_t count = static_cast<uint64_t>(right - left) * static_cast<uint64_t>(bottom - top);
    if (image->samples) {
        // round(average / 257), halves up as for pixels, so that samples v * 257
        // show as pixels v would; a box holds fewer than 2^32 samples
        uint8_t grey = static_cast<uint8_t>((2 * sums[0] + 257 * count) / (514 * count));
        target[0] = target[1] = target[2] = grey;
        target[3] = 255;
        return;
    }
    for (int c = 0; c < 4; ++c)
        target[c] = static_cast<uint8_t>((sums[c] + count / 2) / count);
}

Image* ImageToDisplayPixels(const Image* image, int32_t maxSide)
{
    if (!image || maxSide < 1 || image->width <= 0 || image->height <= 0)
        return nullptr;
    int32_t longer = image->width > image->height ? image->width : image->height;
    int32_t factor = longer / maxSide + (longer % maxSide != 0);
    Image* display = AllocateImage(image->width / factor + (image->width % factor != 0),
                                   image->height / factor + (image->height % factor != 0), 4);
    if (!display)
        return nullptr;
    for (int32_t y = 0; y < display->height; ++y)
        for (int32_t x = 0; x < display->width; ++x) {
            int32_t left = x * factor, top = y * factor;  // inside the picture
            int32_t right = factor < image->width - left ? left + factor : image->width;
            int32_t bottom = factor < image->height - top ? top + factor : image->height;
            AverageBox(image, left, top, right, bottom, display->pixels + PixelIndex(display, x, y) * 4);
        }
    return display;
}
