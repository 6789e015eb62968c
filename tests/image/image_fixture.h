// What the image tests share: Images that free themselves, exactly-sized input
// blocks, a picture that shows any swap, and fields set in place.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "image/bmp.h"
#include "tests/support/test_files.h"

typedef std::unique_ptr<Image, decltype(&FreeImage)> ImagePtr;

// The first `size` bytes from a block of exactly that size, so that AddressSanitizer sees any overread.
template <typename Decode>
ImagePtr DecodeExactly(Decode decode, const std::vector<uint8_t>& bytes, size_t size)
{
    std::unique_ptr<uint8_t[]> block(new uint8_t[size ? size : 1]);
    std::copy(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(size), block.get());
    return ImagePtr(decode(block.get(), size), FreeImage);
}

inline ImagePtr Decoded(const std::vector<uint8_t>& bmp)
{
    return DecodeExactly(DecodeBMP, bmp, bmp.size());
}

// 0xRRGGBB, distinct everywhere, so that a swapped row, column or channel shows.
inline uint32_t Pattern(int x, int y)
{
    return static_cast<uint32_t>(((10 + 40 * x + y) & 255) << 16 | ((200 - 30 * y + x) & 255) << 8 |
                                 ((7 * x + 13 * y + 1) & 255));
}

// Sets the little-endian field of `width` bytes at `offset`.
inline void SetField(std::vector<uint8_t>* bytes, size_t offset, uint32_t value, int width = 4)
{
    for (int i = 0; i < width; ++i)
        bytes->at(offset + i) = static_cast<uint8_t>(value >> (8 * i));
}
