// The BMP decoder. Two kinds of BMP are accepted, both uncompressed with the
// 40-byte info header: 24 bits per pixel with no colour table, and 8-bit palette.
#pragma once

#include <cstddef>
#include <cstdint>

// A decoded picture: one heap block holding the two sizes and the pixels,
// allocated and freed in one piece (FreeImage).
struct Image {
    int32_t width;      // pixels per row
    int32_t height;     // number of rows
    uint16_t* samples;  // the picture's heights at 16-bit precision: width * height samples, top row
                        // first, inside this block; null where the heights are 8-bit (pixels' red)
    uint8_t pixels[];   // width * height RGBA pixels, top row first, rows unpadded; empty with samples
};

// The header rules: "BM", a 40-byte info header, 24 bits per pixel, no
// compression, no colour table. False for fewer than the 54 header bytes.
bool IsAcceptedBMPHeader(const uint8_t* bytes, size_t size);
// Decodes bytes that passed the header rules; null when the header's sizes do
// not fit the bytes or cannot be allocated (a side of 0 or below, rows missing,
// 4 * width * height beyond 32 bits). The rows are read from the pixel-data
// offset (bytes 10-13) when it is 54 or more and they fit behind it, else from
// byte 54.
Image* DecodeBMP24(const uint8_t* bytes, size_t size);
// An uncompressed 8-bit palette BMP with the 40-byte info header and at most 256
// palette entries (0 in the colours-used field: 256).
bool IsAcceptedPaletteBMPHeader(const uint8_t* bytes, size_t size);
// Decodes such a picture into RGBA from its palette; null when the palette or the
// rows do not fit the bytes, an index lies past the palette, or the block cannot be
// allocated.
Image* DecodeBMP8(const uint8_t* bytes, size_t size);
// A palette picture by DecodeBMP8, else the header rules and DecodeBMP24.
Image* DecodeBMP(const uint8_t* bytes, size_t size);
void FreeImage(Image* image);
