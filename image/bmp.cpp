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

Image* DecodeBMP(const uint8_t* bytes, size_t size)
{
    if (!IsAcceptedBMPHeader(bytes, size))
        return nullptr;
    return DecodeBMP24(bytes, size);
}

void FreeImage(Image* image)
{
    free(image);
}
