// The BMP decoder against files written by ImageMagick, an encoder of its own,
// and against every way the bytes can disagree with their header.
#include <sys/mman.h>

#include <climits>

#include "image/bmp.h"
#include "tests/image/bmp_files.h"

using namespace bmptest;

class ImageMagickBmpTest : public ::testing::Test {
protected:
    TempFolder folder;

    void SetUp() override
    {
        ASSERT_FALSE(folder.path.empty());
        ASSERT_NO_FATAL_FAILURE(RequireImageMagick());
    }

    // ImageMagick's uncompressed 24-bit BMP of the pattern.
    std::vector<uint8_t> TrueColorBmp(int width, int height, const std::vector<uint8_t>& rgb)
    {
        std::string path = folder.File("truecolor.bmp");
        ConvertRawRgb(folder, width, height, rgb, "-type TrueColor", "BMP3:" + path);
        return ReadWholeFile(path);
    }

    // Writes `source` with ImageMagick options into `format`: and returns the bytes.
    std::vector<uint8_t> Written(const std::string& source, const std::string& options, const std::string& format)
    {
        std::string path = folder.File("mode.bmp");
        Convert(source + " " + options + " " + format + ":'" + path + "'");
        return ReadWholeFile(path);
    }

    // Neither the decoder on the bytes nor the file buffer on the file accepts them.
    void ExpectRefused(const std::vector<uint8_t>& bytes)
    {
        Image* image = DecodeBMP(bytes.data(), bytes.size());
        EXPECT_EQ(image, nullptr);
        FreeImage(image);
        std::string path = folder.File("refused.bmp");
        ASSERT_TRUE(WriteWholeFile(path, bytes));
        ASSERT_TRUE(OpenFileBuffer(path.c_str()));
        image = GetBMPFromBuffer(0, 0);
        EXPECT_EQ(image, nullptr);
        FreeImage(image);
        CloseFileBuffer();
        EXPECT_EQ(TheFileBuffer.fileHandle, -1);
        EXPECT_EQ(TheFileBuffer.bytes, nullptr);
    }
};

// Every pixel of the decoded Image equals the raw picture ImageMagick was given.
static void ExpectPicture(const Image* image, int width, int height, const std::vector<uint8_t>& rgb)
{
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->width, width);
    ASSERT_EQ(image->height, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint8_t* want = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            const uint8_t* got = &image->pixels[(static_cast<size_t>(y) * width + x) * 4];
            ASSERT_EQ(got[0], want[0]) << "red at " << x << "," << y;
            ASSERT_EQ(got[1], want[1]) << "green at " << x << "," << y;
            ASSERT_EQ(got[2], want[2]) << "blue at " << x << "," << y;
            ASSERT_EQ(got[3], 255) << "alpha at " << x << "," << y;
        }
}

TEST_F(ImageMagickBmpTest, DecodesFourByTwoWithTopRowFirst)
{
    std::vector<uint8_t> rgb = PatternRgb(4, 2);
    std::vector<uint8_t> bytes = TrueColorBmp(4, 2, rgb);
    BmpHeader header = HeaderOf(bytes);
    ASSERT_EQ(header.infoSize, 40u);
    ASSERT_EQ(header.bitsPerPixel, 24);
    ASSERT_EQ(header.compression, 0u);
    ASSERT_EQ(header.width, 4);
    ASSERT_EQ(header.height, 2);  // positive: bottom row stored first
    ASSERT_EQ(bytes.size(), 54u + 2 * 12);
    // The first stored row is the picture's bottom row, as blue, green, red.
    EXPECT_EQ(bytes[54], rgb[12 + 2]);
    EXPECT_EQ(bytes[55], rgb[12 + 1]);
    EXPECT_EQ(bytes[56], rgb[12 + 0]);

    Image* image = DecodeBMP(bytes.data(), bytes.size());
    ExpectPicture(image, 4, 2, rgb);
    FreeImage(image);
}

TEST_F(ImageMagickBmpTest, SwapsBlueGreenRedIntoRedGreenBlueAlpha)
{
    std::vector<uint8_t> rgb = {0x30, 0x20, 0x10};  // one pixel: red 0x30, green 0x20, blue 0x10
    std::vector<uint8_t> bytes = TrueColorBmp(1, 1, rgb);
    ASSERT_EQ(HeaderOf(bytes).bitsPerPixel, 24);
    ASSERT_EQ(bytes.size(), 54u + 4);
    EXPECT_EQ(bytes[54], 0x10);
    EXPECT_EQ(bytes[55], 0x20);
    EXPECT_EQ(bytes[56], 0x30);
    Image* image = DecodeBMP(bytes.data(), bytes.size());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->pixels[0], 0x30);
    EXPECT_EQ(image->pixels[1], 0x20);
    EXPECT_EQ(image->pixels[2], 0x10);
    EXPECT_EQ(image->pixels[3], 0xFF);
    FreeImage(image);
}

TEST_F(ImageMagickBmpTest, SkipsRowPaddingOfWidthThree)
{
    std::vector<uint8_t> rgb = PatternRgb(3, 2);
    std::vector<uint8_t> bytes = TrueColorBmp(3, 2, rgb);
    ASSERT_EQ(HeaderOf(bytes).width, 3);
    ASSERT_EQ(bytes.size(), 54u + 2 * 12);  // 9 bytes of pixels, 3 of padding per row
    Image* image = DecodeBMP(bytes.data(), bytes.size());
    ExpectPicture(image, 3, 2, rgb);
    FreeImage(image);
}

TEST_F(ImageMagickBmpTest, DecodesEveryPaddingWidth)
{
    const int sizes[][2] = {{1, 1}, {2, 3}, {5, 3}, {6, 4}, {7, 5}, {16, 16}, {33, 9}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(std::to_string(size[0]) + "x" + std::to_string(size[1]));
        std::vector<uint8_t> rgb = PatternRgb(size[0], size[1]);
        std::vector<uint8_t> bytes = TrueColorBmp(size[0], size[1], rgb);
        ASSERT_EQ(HeaderOf(bytes).bitsPerPixel, 24);
        Image* image = DecodeBMP(bytes.data(), bytes.size());
        ExpectPicture(image, size[0], size[1], rgb);
        FreeImage(image);
    }
}

TEST_F(ImageMagickBmpTest, ReadsPixelsFromByte54WhateverTheOffsetField)
{
    std::vector<uint8_t> rgb = PatternRgb(4, 2);
    std::vector<uint8_t> bytes = TrueColorBmp(4, 2, rgb);
    ASSERT_EQ(U32At(bytes, 10), 54u);
    PutU32(bytes, 10, 1000);
    Image* image = DecodeBMP(bytes.data(), bytes.size());
    ExpectPicture(image, 4, 2, rgb);
    FreeImage(image);
    PutU32(bytes, 10, 0);
    image = DecodeBMP(bytes.data(), bytes.size());
    ExpectPicture(image, 4, 2, rgb);
    FreeImage(image);
}

// ---------------------------------------------------------------------------
// Modes that are refused, each checked to be what it claims to be

TEST_F(ImageMagickBmpTest, RefusesOneBitPalette)
{
    std::vector<uint8_t> bytes = Written("-size 16x16 gradient:red-blue", "-type Bilevel -compress None", "BMP3");
    BmpHeader header = HeaderOf(bytes);
    ASSERT_EQ(header.infoSize, 40u);
    ASSERT_EQ(header.bitsPerPixel, 1);
    ASSERT_EQ(header.compression, 0u);
    ExpectRefused(bytes);
}

TEST_F(ImageMagickBmpTest, RefusesFourBitPalette)
{
    std::vector<uint8_t> bytes =
        Written("-size 16x16 gradient:red-blue", "-colors 8 -type Palette -compress None", "BMP3");
    BmpHeader header = HeaderOf(bytes);
    ASSERT_EQ(header.infoSize, 40u);
    ASSERT_EQ(header.bitsPerPixel, 4);
    ASSERT_EQ(header.compression, 0u);
    ExpectRefused(bytes);
}

TEST_F(ImageMagickBmpTest, RefusesEightBitPalette)
{
    std::vector<uint8_t> bytes = Written("rose:", "-colors 200 -type Palette -compress None", "BMP3");
    BmpHeader header = HeaderOf(bytes);
    ASSERT_EQ(header.infoSize, 40u);
    ASSERT_EQ(header.bitsPerPixel, 8);
    ASSERT_EQ(header.compression, 0u);
    ASSERT_GT(header.coloursUsed, 16u);
    ExpectRefused(bytes);
}

TEST_F(ImageMagickBmpTest, RefusesRunLengthEncoding)
{
    std::vector<uint8_t> bytes = Written("rose:", "-colors 200 -type Palette -compress RLE", "BMP3");
    BmpHeader header = HeaderOf(bytes);
    ASSERT_EQ(header.infoSize, 40u);
    ASSERT_EQ(header.bitsPerPixel, 8);
    ASSERT_EQ(header.compression, 1u);  // RLE8
    ExpectRefused(bytes);
}

TEST_F(ImageMagickBmpTest, RefusesSixteenBitRgb555AndRgb565)
{
    for (const char* subtype : {"RGB555", "RGB565"}) {
        SCOPED_TRACE(subtype);
        std::vector<uint8_t> bytes =
            Written("-size 16x16 gradient:red-blue", std::string("-define bmp:subtype=") + subtype, "BMP3");
        BmpHeader header = HeaderOf(bytes);
        ASSERT_EQ(header.infoSize, 40u);
        ASSERT_EQ(header.bitsPerPixel, 16);
        ExpectRefused(bytes);
    }
}

TEST_F(ImageMagickBmpTest, RefusesThirtyTwoBitWithPlainHeader)
{
    std::vector<uint8_t> bytes = Written("-size 4x2 xc:red", "-alpha on -type TrueColorAlpha -define bmp3:alpha=true", "BMP3");
    BmpHeader header = HeaderOf(bytes);
    ASSERT_EQ(header.infoSize, 40u);
    ASSERT_EQ(header.bitsPerPixel, 32);
    ASSERT_EQ(header.compression, 0u);  // only the depth is wrong
    ASSERT_EQ(header.coloursUsed, 0u);
    ExpectRefused(bytes);
}

TEST_F(ImageMagickBmpTest, RefusesOs2TwelveByteHeader)
{
    std::vector<uint8_t> bytes = Written("-size 4x2 xc:red", "-type TrueColor", "BMP2");
    BmpHeader header = HeaderOf(bytes);
    ASSERT_EQ(header.infoSize, 12u);
    ASSERT_EQ(header.bitsPerPixel, 24);
    ExpectRefused(bytes);
}

TEST_F(ImageMagickBmpTest, RefusesV4HundredAndEightByteHeader)
{
    std::vector<uint8_t> bytes = Written("-size 4x2 xc:red", "-type TrueColor -intent Undefined", "BMP");
    BmpHeader header = HeaderOf(bytes);
    ASSERT_EQ(header.infoSize, 108u);
    ASSERT_EQ(header.bitsPerPixel, 24);
    ASSERT_EQ(header.compression, 0u);
    ExpectRefused(bytes);
}

TEST_F(ImageMagickBmpTest, RefusesV5HundredAndTwentyFourByteHeader)
{
    std::vector<uint8_t> bytes = Written("-size 4x2 xc:red", "-type TrueColor", "BMP");
    BmpHeader header = HeaderOf(bytes);
    ASSERT_EQ(header.infoSize, 124u);
    ASSERT_EQ(header.bitsPerPixel, 24);
    ExpectRefused(bytes);
}

TEST_F(ImageMagickBmpTest, RefusesV5HeaderWithAlpha)
{
    std::vector<uint8_t> bytes = Written("-size 4x2 xc:red", "-alpha on -type TrueColorAlpha", "BMP");
    BmpHeader header = HeaderOf(bytes);
    ASSERT_EQ(header.infoSize, 124u);
    ASSERT_EQ(header.bitsPerPixel, 32);
    ExpectRefused(bytes);
}

// Single fields changed in an otherwise good 24-bit file.
TEST_F(ImageMagickBmpTest, RefusesEachBadHeaderField)
{
    const std::vector<uint8_t> good = TrueColorBmp(4, 2, PatternRgb(4, 2));
    Image* image = DecodeBMP(good.data(), good.size());
    ASSERT_NE(image, nullptr);
    FreeImage(image);

    struct Change {
        const char* what;
        size_t offset;
        uint32_t value;
        int width;  // 1, 2 or 4 bytes
    };
    const Change changes[] = {
        {"signature B", 0, 'X', 1},          {"signature M", 1, 'A', 1},
        {"info size 41", 14, 41, 4},          {"info size 56", 14, 56, 4},
        {"24 bits as 16", 28, 16, 2},         {"24 bits as 32", 28, 32, 2},
        {"compression 1", 30, 1, 4},          {"compression 3", 30, 3, 4},
        {"colours used 1", 46, 1, 4},         {"important colours 1", 50, 1, 4},
        {"width 0", 18, 0, 4},                {"height 0", 22, 0, 4},
        {"negative width", 18, 0xFFFFFFFCu, 4}, {"top-down height", 22, 0xFFFFFFFEu, 4},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.what);
        std::vector<uint8_t> bytes = good;
        if (change.width == 1)
            bytes[change.offset] = static_cast<uint8_t>(change.value);
        else if (change.width == 2)
            PutU16(bytes, change.offset, static_cast<uint16_t>(change.value));
        else
            PutU32(bytes, change.offset, change.value);
        ExpectRefused(bytes);
    }
}

// ---------------------------------------------------------------------------
// Truncation and sizes: nothing is read beyond the bytes given

TEST_F(ImageMagickBmpTest, RefusesEveryTruncatedPrefix)
{
    const std::vector<uint8_t> whole = TrueColorBmp(5, 3, PatternRgb(5, 3));
    ASSERT_EQ(whole.size(), 54u + 3 * 16);
    for (size_t size = 0; size < whole.size(); ++size) {
        // Each prefix in a block of exactly its size, so AddressSanitizer sees any overread.
        std::unique_ptr<uint8_t[]> prefix(new uint8_t[size == 0 ? 1 : size]);
        memcpy(prefix.get(), whole.data(), size);
        Image* image = DecodeBMP(prefix.get(), size);
        EXPECT_EQ(image, nullptr) << "prefix of " << size << " bytes";
        FreeImage(image);
        image = DecodeBMP24(prefix.get(), size);
        EXPECT_EQ(image, nullptr) << "prefix of " << size << " bytes, header not checked";
        FreeImage(image);
    }
    std::unique_ptr<uint8_t[]> exact(new uint8_t[whole.size()]);
    memcpy(exact.get(), whole.data(), whole.size());
    Image* image = DecodeBMP(exact.get(), whole.size());
    EXPECT_NE(image, nullptr);
    FreeImage(image);
}

TEST(BmpSizeTest, RefusesNullBytes)
{
    EXPECT_EQ(DecodeBMP(nullptr, 100), nullptr);
    EXPECT_EQ(DecodeBMP24(nullptr, 100), nullptr);
    EXPECT_FALSE(IsAcceptedBMPHeader(nullptr, 100));
}

TEST(BmpSizeTest, RefusesSidesWhoseRowsCannotBeThere)
{
    std::vector<uint8_t> bytes = MakeBmp24(2, 2, 1, 2, 3);
    const int32_t sides[][2] = {{INT32_MAX, 1}, {1, INT32_MAX}, {INT32_MAX, INT32_MAX},
                                {65536, 65536}, {3, 2}, {2, 3}};
    for (const auto& side : sides) {
        SCOPED_TRACE(std::to_string(side[0]) + "x" + std::to_string(side[1]));
        PutU32(bytes, 18, static_cast<uint32_t>(side[0]));
        PutU32(bytes, 22, static_cast<uint32_t>(side[1]));
        std::unique_ptr<uint8_t[]> exact(new uint8_t[bytes.size()]);
        memcpy(exact.get(), bytes.data(), bytes.size());
        Image* image = DecodeBMP(exact.get(), bytes.size());
        EXPECT_EQ(image, nullptr);
        FreeImage(image);
    }
}

// 32768 x 32769 pixels: every row is there (about 3 GiB of mapped, never
// touched memory), but 4 * width * height is just over 2^32.
TEST(BmpSizeTest, RefusesPicturesBeyondThirtyTwoBits)
{
    const int32_t width = 32768, height = 32769;
    const size_t stride = 3 * 32768;
    const size_t size = 54 + stride * height;
    ASSERT_GT(4ull * width * height, 0xFFFFFFFFull);
    void* mapped = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(mapped, MAP_FAILED);
    std::vector<uint8_t> header = MakeBmp24(1, 1, 0, 0, 0);
    PutU32(header, 18, width);
    PutU32(header, 22, height);
    memcpy(mapped, header.data(), 54);
    Image* image = DecodeBMP(static_cast<const uint8_t*>(mapped), size);
    EXPECT_EQ(image, nullptr);
    FreeImage(image);
    munmap(mapped, size);
}
