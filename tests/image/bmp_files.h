// Helpers of the image tests: temporary folders, whole files, BMP header
// fields, ImageMagick as an independent BMP encoder, and Images made by hand.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "image/bmp.h"

namespace bmptest {

// A folder of its own under /tmp, removed with everything in it.
class TempFolder {
public:
    TempFolder()
    {
        char pattern[] = "/tmp/orvanel-bmp-XXXXXX";
        if (mkdtemp(pattern))
            path = pattern;
    }
    ~TempFolder()
    {
        if (!path.empty()) {
            std::string command = "rm -rf '" + path + "'";
            if (std::system(command.c_str()) != 0)
                ADD_FAILURE() << "could not remove " << path;
        }
    }
    std::string File(const std::string& name) const
    {
        return path + "/" + name;
    }
    std::string path;  // empty when the folder could not be made
};

inline std::vector<uint8_t> ReadWholeFile(const std::string& path)
{
    std::vector<uint8_t> bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return bytes;
    uint8_t chunk[65536];
    size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + count);
    std::fclose(file);
    return bytes;
}

inline bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

inline uint16_t U16At(const std::vector<uint8_t>& bytes, size_t offset)
{
    return static_cast<uint16_t>(bytes.at(offset) | (bytes.at(offset + 1) << 8));
}

inline uint32_t U32At(const std::vector<uint8_t>& bytes, size_t offset)
{
    return static_cast<uint32_t>(bytes.at(offset)) | (static_cast<uint32_t>(bytes.at(offset + 1)) << 8) |
        (static_cast<uint32_t>(bytes.at(offset + 2)) << 16) | (static_cast<uint32_t>(bytes.at(offset + 3)) << 24);
}

inline void PutU32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes.at(offset + i) = static_cast<uint8_t>(value >> (8 * i));
}

inline void PutU16(std::vector<uint8_t>& bytes, size_t offset, uint16_t value)
{
    bytes.at(offset) = static_cast<uint8_t>(value);
    bytes.at(offset + 1) = static_cast<uint8_t>(value >> 8);
}

// The header fields that decide whether a file is accepted.
struct BmpHeader {
    uint32_t infoSize;      // 12, 40, 108 or 124
    int32_t width;          // pixels per row
    int32_t height;         // rows; positive = bottom row first
    uint16_t bitsPerPixel;  // 1, 4, 8, 16, 24 or 32
    uint32_t compression;   // 0 none, 1 RLE8, 2 RLE4, 3 bit fields
    uint32_t colorsUsed;    // palette entries
};

// Reads the header of a BITMAPINFOHEADER-style file (info size 40 or more),
// or the OS/2 one (12) with its 16-bit sizes.
inline BmpHeader HeaderOf(const std::vector<uint8_t>& bytes)
{
    BmpHeader header = {};
    if (bytes.size() < 26 || bytes[0] != 'B' || bytes[1] != 'M')
        return header;
    header.infoSize = U32At(bytes, 14);
    if (header.infoSize == 12) {
        header.width = U16At(bytes, 18);
        header.height = U16At(bytes, 20);
        header.bitsPerPixel = U16At(bytes, 24);
        return header;
    }
    header.width = static_cast<int32_t>(U32At(bytes, 18));
    header.height = static_cast<int32_t>(U32At(bytes, 22));
    header.bitsPerPixel = U16At(bytes, 28);
    header.compression = U32At(bytes, 30);
    header.colorsUsed = U32At(bytes, 46);
    return header;
}

// ---------------------------------------------------------------------------
// ImageMagick

// Runs a shell command and returns what it printed (stdout and stderr) and its status.
inline int RunCommand(const std::string& command, std::string* output)
{
    output->clear();
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return -1;
    char chunk[4096];
    size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
        output->append(chunk, count);
    return pclose(pipe);
}

// Fails the test (never skips) when ImageMagick's convert is not there.
inline void RequireImageMagick()
{
    std::string output;
    int status = RunCommand("convert -version", &output);
    ASSERT_EQ(status, 0) << "ImageMagick's convert is needed to write the test BMPs:\n" << output;
    ASSERT_NE(output.find("ImageMagick"), std::string::npos) << "'convert' is not ImageMagick:\n" << output;
}

// convert <arguments>; the test fails if it does not succeed.
inline void Convert(const std::string& arguments)
{
    std::string output;
    int status = RunCommand("convert " + arguments, &output);
    ASSERT_EQ(status, 0) << "convert " << arguments << "\n" << output;
}

// Has ImageMagick encode raw RGB bytes (top row first) as `format`:<path>.
inline void ConvertRawRgb(const TempFolder& folder, int width, int height, const std::vector<uint8_t>& rgb,
                          const std::string& options, const std::string& target)
{
    std::string raw = folder.File("input.rgb");
    ASSERT_TRUE(WriteWholeFile(raw, rgb));
    Convert("-size " + std::to_string(width) + "x" + std::to_string(height) + " -depth 8 rgb:'" + raw + "' " + options +
            " '" + target + "'");
}

// Distinct, position-dependent colours, so that any swapped row, column or channel shows.
inline std::vector<uint8_t> PatternRgb(int width, int height)
{
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            p[0] = static_cast<uint8_t>(10 + 40 * x + y);
            p[1] = static_cast<uint8_t>(200 - 30 * y + x);
            p[2] = static_cast<uint8_t>(7 * x + 13 * y + 1);
        }
    return rgb;
}

// ---------------------------------------------------------------------------
// Images and BMP bytes made by hand

struct ImageDeleter {
    void operator()(Image* image) const
    {
        FreeImage(image);
    }
};
typedef std::unique_ptr<Image, ImageDeleter> ImagePtr;

// An Image as the decoder makes them: one malloc'd block.
inline ImagePtr MakeImage(int32_t width, int32_t height, uint32_t seed = 1)
{
    size_t pixelBytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
    Image* image = static_cast<Image*>(std::calloc(1, sizeof(Image) + pixelBytes));
    image->width = width;
    image->height = height;
    for (size_t i = 0; i < pixelBytes; ++i)
        image->pixels[i] = (i % 4 == 3) ? 255 : static_cast<uint8_t>((i * 37 + seed * 101) >> 1);
    return ImagePtr(image);
}

// A 24-bit bottom-up BMP of the given RGB picture (top row first) in the one
// accepted layout; for sizes ImageMagick would take long to write.
inline std::vector<uint8_t> MakeBmp24(int32_t width, int32_t height, uint8_t red, uint8_t green, uint8_t blue)
{
    size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
    std::vector<uint8_t> bytes(54 + stride * static_cast<size_t>(height), 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    PutU32(bytes, 2, static_cast<uint32_t>(bytes.size()));
    PutU32(bytes, 10, 54);
    PutU32(bytes, 14, 40);
    PutU32(bytes, 18, static_cast<uint32_t>(width));
    PutU32(bytes, 22, static_cast<uint32_t>(height));
    PutU16(bytes, 26, 1);
    PutU16(bytes, 28, 24);
    for (int32_t row = 0; row < height; ++row)
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* p = &bytes[54 + static_cast<size_t>(row) * stride + static_cast<size_t>(x) * 3];
            p[0] = blue;
            p[1] = green;
            p[2] = red;
        }
    return bytes;
}

}  // namespace bmptest
