// The BMP decoder: bytes in, an Image out. It reads nothing but the bytes it
// is given, whatever the header claims.
//
// Contents: the header rules; decoding.
#include "image/bmp.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/byte_order.h"

// Both headers end here; the pixel rows begin here unless the data-offset field says later.
static const size_t BmpHeadersSize = 54;

// ---------------------------------------------------------------------------
// Header rules

bool IsAcceptedBMPHeader(const uint8_t* bytes, size_t size)
{
    if (!bytes || size < BmpHeadersSize)
        return false;
    if (bytes[0] != 'B' || bytes[1] != 'M')
        return false;
    // bytes 2-9: file size, reserved words: not used; 10: pixel-data offset, read by the decoder
    uint32_t infoSize, compression, colorsUsed, importantColors;
    uint16_t bitsPerPixel;
    ReadLittleU32(bytes, size, 14, &infoSize);
    // 18, 22: width and height, checked by the decoder; 26: planes: not used
    ReadLittleU16(bytes, size, 28, &bitsPerPixel);
    ReadLittleU32(bytes, size, 30, &compression);
    // 34-45: image size and resolutions: not used
    ReadLittleU32(bytes, size, 46, &colorsUsed);
    ReadLittleU32(bytes, size, 50, &importantColors);
    return infoSize == 40 && bitsPerPixel == 24 && compression == 0 && colorsUsed == 0 && importantColors == 0;
}

// ---------------------------------------------------------------------------
// Decoding

// True when `rows` rows of `stride` bytes fit between byte `start` and the end.
static bool RowsFitBehind(size_t size, uint64_t start, int32_t rows, uint64_t stride)
{
    return start <= size && static_cast<uint64_t>(rows) <= (size - start) / stride;
}

// Where the rows begin: at the data offset the file names when that is past the headers
// and the rows fit behind it (a writer may leave a gap), else right after the headers,
// where the rows of every file that names no usable offset have always been read.
// False when the rows fit behind neither.
static bool FindPixelRows(const uint8_t* bytes, size_t size, int32_t rows, uint64_t stride, size_t* start)
{
    uint32_t offset = 0;
    if (ReadLittleU32(bytes, size, 10, &offset) && offset >= BmpHeadersSize &&
        RowsFitBehind(size, offset, rows, stride))
        *start = offset;
    else if (RowsFitBehind(size, BmpHeadersSize, rows, stride))
        *start = BmpHeadersSize;
    else
        return false;  // the rows the header declares are not all there
    return true;
}

// Sizes of a picture whose rows all lie inside the bytes and whose Image can be
// allocated; false for anything else.
static bool MeasureBMP24(const uint8_t* bytes, size_t size, int32_t* width, int32_t* height, size_t* stride,
                         size_t* pixelBytes, size_t* rowsStart)
{
    int32_t w, h;
    if (!ReadLittleI32(bytes, size, 18, &w) || !ReadLittleI32(bytes, size, 22, &h) || size < BmpHeadersSize)
        return false;
    // Top-down rows (negative height) are not decoded; an empty picture is of no use.
    if (w <= 0 || h <= 0)
        return false;
    uint64_t rowStride = (3 * static_cast<uint64_t>(w) + 3) / 4 * 4;  // at most about 2^33
    if (!FindPixelRows(bytes, size, h, rowStride, rowsStart))
        return false;
    uint64_t pixels = static_cast<uint64_t>(w) * static_cast<uint64_t>(h);  // below 2^62
    if (pixels > UINT32_MAX / 4 || 4 * pixels > SIZE_MAX - sizeof(Image))
        return false;
    *width = w;
    *height = h;
    *stride = static_cast<size_t>(rowStride);
    *pixelBytes = static_cast<size_t>(4 * pixels);
    return true;
}

Image* DecodeBMP24(const uint8_t* bytes, size_t size)
{
    int32_t width, height;
    size_t stride, pixelBytes, rowsStart;
    if (!bytes || !MeasureBMP24(bytes, size, &width, &height, &stride, &pixelBytes, &rowsStart))
        return nullptr;
    Image* image = static_cast<Image*>(calloc(1, sizeof(Image) + pixelBytes));
    if (!image)
        return nullptr;
    image->width = width;
    image->height = height;
    image->samples = nullptr;
    // The file stores the bottom row first: its last row is the picture's top row.
    for (int32_t row = 0; row < height; ++row) {
        const uint8_t* source = bytes + rowsStart + static_cast<size_t>(height - 1 - row) * stride;
        uint8_t* target = image->pixels + static_cast<size_t>(row) * static_cast<size_t>(width) * 4;
        for (int32_t x = 0; x < width; ++x, source += 3, target += 4) {
            target[0] = source[2];  // red
            target[1] = source[1];  // green
            target[2] = source[0];  // blue
            target[3] = 255;
        }
    }
    return image;
}

// ---------------------------------------------------------------------------
// 8-bit palette pictures

// The palette's entries: the colours-used field, 0 meaning all 256; 0 for a header that is
// no uncompressed 8-bit one with the 40-byte info header.
static uint32_t PaletteEntries(const uint8_t* bytes, size_t size)
{
    uint32_t infoSize = 0, compression = 0, colorsUsed = 0;
    uint16_t bitsPerPixel = 0;
    if (!bytes || size < BmpHeadersSize || bytes[0] != 'B' || bytes[1] != 'M' ||
        !ReadLittleU32(bytes, size, 14, &infoSize) || !ReadLittleU16(bytes, size, 28, &bitsPerPixel) ||
        !ReadLittleU32(bytes, size, 30, &compression) || !ReadLittleU32(bytes, size, 46, &colorsUsed))
        return 0;
    if (infoSize != 40 || bitsPerPixel != 8 || compression != 0 || colorsUsed > 256)
        return 0;
    return colorsUsed == 0 ? 256 : colorsUsed;
}

bool IsAcceptedPaletteBMPHeader(const uint8_t* bytes, size_t size)
{
    return PaletteEntries(bytes, size) != 0;
}

Image* DecodeBMP8(const uint8_t* bytes, size_t size)
{
    const uint32_t entries = PaletteEntries(bytes, size);
    int32_t width = 0, height = 0;
    uint32_t offset = 0;
    if (entries == 0 || !ReadLittleI32(bytes, size, 18, &width) || !ReadLittleI32(bytes, size, 22, &height) ||
        !ReadLittleU32(bytes, size, 10, &offset) || width <= 0 || height <= 0)
        return nullptr;
    const size_t paletteEnd = BmpHeadersSize + 4 * static_cast<size_t>(entries);
    const uint64_t stride = (static_cast<uint64_t>(width) + 3) / 4 * 4;
    const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    // the rows follow the palette: at the data offset when it is past it, else right behind it
    const size_t start = offset >= paletteEnd ? offset : paletteEnd;
    if (paletteEnd > size || !RowsFitBehind(size, start, height, stride) || pixels > UINT32_MAX / 4 ||
        4 * pixels > SIZE_MAX - sizeof(Image))
        return nullptr;
    Image* image = static_cast<Image*>(calloc(1, sizeof(Image) + static_cast<size_t>(4 * pixels)));
    if (!image)
        return nullptr;
    *image = Image{width, height, nullptr};
    for (int32_t row = 0; row < height; ++row) {
        const uint8_t* source = bytes + start + static_cast<size_t>(height - 1 - row) * stride;
        uint8_t* target = image->pixels + static_cast<size_t>(row) * static_cast<size_t>(width) * 4;
        for (int32_t x = 0; x < width; ++x, target += 4) {
            if (source[x] >= entries) {  // an index past the palette names no colour
                free(image);
                return nullptr;
            }
            const uint8_t* entry = bytes + BmpHeadersSize + 4 * static_cast<size_t>(source[x]);  // B, G, R, 0
            target[0] = entry[2];
            target[1] = entry[1];
            target[2] = entry[0];
            target[3] = 255;
        }
    }
    return image;
}

Image* DecodeBMP(const uint8_t* bytes, size_t size)
{
    if (IsAcceptedPaletteBMPHeader(bytes, size))
        return DecodeBMP8(bytes, size);
    if (!IsAcceptedBMPHeader(bytes, size))
        return nullptr;
    return DecodeBMP24(bytes, size);
}

void FreeImage(Image* image)
{
    free(image);
}
