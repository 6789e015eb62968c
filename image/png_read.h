// The PNG decoder (through libpng) and the two helpers that read heights from
// any decoded Image and make a displayable picture of it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/bmp.h"

// The largest side DecodePNG decodes; larger ones are refused from the header,
// before anything is allocated for the picture.
const int32_t PngLargestSide = 16384;

// Decodes a whole PNG held in (bytes, size); it reads nothing outside them.
// Accepted: every colour type and bit depth of the format (grey 1 to 16 bits,
// grey with alpha, RGB and RGBA 8 and 16 bits, palette with or without a
// transparency chunk), interlaced or not, sides 1 to PngLargestSide. Null for
// anything else: a missing signature, truncation anywhere (IEND included), a
// CRC mismatch in any chunk, a compressed stream that does not match the
// header's sizes, a picture whose block cannot be allocated. Sides that the
// file's compressed bytes could not fill even at deflate's largest ratio
// (1032 to 1) are refused before the block is allocated.
//
// The Image has one of two shapes:
// - keepHeightSamples and a 16-bit picture: `samples` holds width * height
//   heights (grey, or red for colour pictures), 16-bit, top row first, and
//   pixels[] is empty. For heightmaps: no RGBA copy is made.
// - otherwise: `samples` is null and pixels[] holds RGBA 8-bit. Alpha is 255
//   unless the picture has alpha or a transparency chunk. 16-bit channels are
//   scaled to 8 bits with rounding (libpng's scale_16: round(v / 257)), so a
//   16-bit conversion of an 8-bit picture gives back its 8-bit values.
// Either way FreeImage frees it.
Image* DecodePNG(const uint8_t* bytes, size_t size, bool keepHeightSamples);

// The height of pixel (x, y) at 16-bit precision: the sample where the Image
// has samples, otherwise the red channel * 257, so that an 8-bit picture and
// its 16-bit conversion give equal heights. x and y must lie inside the picture.
uint16_t ImageHeightSample(const Image* image, int32_t x, int32_t y);

// An RGBA 8-bit picture of `image` (of either shape) for display: reduced by
// one whole factor, the smallest that brings both sides to maxSide or below,
// each pixel the average of its box (boxes on the right and bottom edges may be
// narrower). Samples show as grey: R = G = B = round(height / 257), alpha 255.
// Null when maxSide is below 1 or the block cannot be allocated; FreeImage frees it.
Image* ImageToDisplayPixels(const Image* image, int32_t maxSide);
