// The file buffer and the BMP decoder. Exactly one kind of BMP is accepted:
// uncompressed, 24 bits per pixel, the 40-byte info header, no colour table.
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

// The single open input file.
struct FileBuffer {
    int fileHandle;  // descriptor of the open file, -1 when none
    int32_t length;  // bytes in the file, taken when it was opened
    uint8_t* bytes;  // what GetBMPFromBuffer last read, or null; owned here
    int32_t used;    // how many bytes were actually read into `bytes`
};

extern FileBuffer TheFileBuffer;

// Opens `path` for reading, binary. False (handle -1) when it cannot be opened.
bool OpenFileBuffer(const char* path);
// Reads `length` bytes from `offset` (0 or less, or more than the file: the
// whole file) and decodes them. Null for anything but an accepted BMP.
Image* GetBMPFromBuffer(int32_t offset, int32_t length);
// Frees the bytes and closes the file; harmless in any state.
void CloseFileBuffer();
// The header rules: "BM", a 40-byte info header, 24 bits per pixel, no
// compression, no colour table. False for fewer than the 54 header bytes.
bool IsAcceptedBMPHeader(const uint8_t* bytes, size_t size);
// Decodes bytes that passed the header rules; null when the header's sizes do
// not fit the bytes or cannot be allocated (a side of 0 or below, rows missing,
// 4 * width * height beyond 32 bits).
Image* DecodeBMP24(const uint8_t* bytes, size_t size);
// The header rules, then DecodeBMP24: what GetBMPFromBuffer makes of the bytes it read.
Image* DecodeBMP(const uint8_t* bytes, size_t size);
void FreeImage(Image* image);
