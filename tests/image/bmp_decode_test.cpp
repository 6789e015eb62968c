// The BMP decoder against files written by ImageMagick, an encoder of its own,
// and against every way the bytes can disagree with their header.
#include <sys/mman.h>

#include <climits>

#include "image/bmp.h"
#include "image/file_buffer.h"
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

    // Neither the decoder on the bytes nor the file buffer on the file accepts them.
    void ExpectRefused(const std::vector<uint8_t>& bytes)
    {
        Image* image = DecodeBMP(bytes.data(), bytes.size());
        EXPECT_EQ(image, nullptr);
        FreeImage(image);
        std::string path = folder.File("refused.bmp");
        ASSERT_TRUE(WriteWholeFile(path, bytes));
        ASSERT_TRUE(OpenFileBuffer(path.c_str()));
        image = GetBMPFromBuffer();
        EXPECT_EQ(image, nullptr);
        FreeImage(image);
        CloseFileBuffer();
        EXPECT_EQ(TheFileBuffer.bytes, nullptr);
    }
};

// Every pixel of the decoded Image equals the raw picture ImageMagick was given.
static void ExpectPicture(const Image* image, int width, int height, const std::vector<uint8_t>& rgb)
{
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->width, width);
    ASSERT_EQ(image->height, height);
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
        for (int c = 0; c < 3; ++c)
            ASSERT_EQ(image->pixels[i * 4 + c], rgb[i * 3 + c]) << "channel " << c << " of pixel " << i;
        ASSERT_EQ(image->pixels[i * 4 + 3], 255) << "alpha of pixel " << i;
    }
}

// The stored layout: bottom row first, blue-green-red, rows padded to 4 bytes.
TEST_F(ImageMagickBmpTest, DecodesEveryPaddingWidth)
{
    const int sizes[][2] = {{4, 2}, {3, 2}, {1, 1}, {2, 3}, {5, 3}, {6, 4}, {7, 5}, {16, 16}, {33, 9}};
    for (const auto& size : sizes) {
        const int width = size[0], height = size[1];
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
        std::vector<uint8_t> rgb = PatternRgb(width, height);
        std::vector<uint8_t> bytes = TrueColorBmp(width, height, rgb);
        BmpHeader header = HeaderOf(bytes);
        ASSERT_EQ(header.infoSize, 40u);
        ASSERT_EQ(header.bitsPerPixel, 24);
        ASSERT_EQ(header.compression, 0u);
        ASSERT_EQ(header.width, width);
        ASSERT_EQ(header.height, height);  // positive: bottom row stored first
        ASSERT_EQ(bytes.size(), 54u + height * ((width * 3 + 3) / 4 * 4));
        const size_t bottomRow = static_cast<size_t>(height - 1) * width * 3;
        EXPECT_EQ(bytes[54], rgb[bottomRow + 2]);
        EXPECT_EQ(bytes[55], rgb[bottomRow + 1]);
        EXPECT_EQ(bytes[56], rgb[bottomRow + 0]);
        Image* image = DecodeBMP(bytes.data(), bytes.size());
        ExpectPicture(image, width, height, rgb);
        FreeImage(image);
    }
}

// The rows begin where the offset field says when that is past the headers and they fit
// behind it (a writer may leave a gap); any other offset reads them from byte 54.
TEST_F(ImageMagickBmpTest, ReadsPixelsFromAUsableOffsetFieldElseFromByte54)
{
    std::vector<uint8_t> rgb = PatternRgb(4, 2);
    const std::vector<uint8_t> written = TrueColorBmp(4, 2, rgb);
    ASSERT_EQ(U32At(written, 10), 54u);
    const struct {
        uint32_t offset;
        size_t gap;  // bytes put between the headers and the rows
    } cases[] = {{58, 4}, {1000, 0}, {58, 0}, {50, 0}, {0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.offset);
        std::vector<uint8_t> bytes = written;
        bytes.insert(bytes.begin() + 54, c.gap, 0xEE);
        PutU32(bytes, 10, c.offset);
        Image* image = DecodeBMP(bytes.data(), bytes.size());
        ExpectPicture(image, 4, 2, rgb);
        FreeImage(image);
    }
}

// Each refused mode as ImageMagick writes it, checked to be what it claims to be.
TEST_F(ImageMagickBmpTest, RefusesEveryOtherMode)
{
    const char* gradient = "-size 16x16 gradient:red-blue";
    const char* red = "-size 4x2 xc:red";
    struct Mode {
        const char* source;
        const char* options;
        const char* format;
        uint32_t infoSize;
        uint16_t bitsPerPixel;
        int compression;     // -1: not checked
        uint32_t minColors;  // palette entries the file must declare
        uint32_t maxColors;
    } const modes[] = {
        {gradient, "-type Bilevel -compress None", "BMP3", 40, 1, 0, 0, UINT32_MAX},
        {gradient, "-colors 8 -type Palette -compress None", "BMP3", 40, 4, 0, 0, UINT32_MAX},
        {"rose:", "-colors 200 -type Palette -compress None", "BMP3", 40, 8, 0, 17, UINT32_MAX},
        {"rose:", "-colors 200 -type Palette -compress RLE", "BMP3", 40, 8, 1, 0, UINT32_MAX},
        {gradient, "-define bmp:subtype=RGB555", "BMP3", 40, 16, -1, 0, UINT32_MAX},
        {gradient, "-define bmp:subtype=RGB565", "BMP3", 40, 16, -1, 0, UINT32_MAX},
        // only the depth is wrong
        {red, "-alpha on -type TrueColorAlpha -define bmp3:alpha=true", "BMP3", 40, 32, 0, 0, 0},
        {red, "-type TrueColor", "BMP2", 12, 24, -1, 0, UINT32_MAX},
        {red, "-type TrueColor -intent Undefined", "BMP", 108, 24, 0, 0, UINT32_MAX},
        {red, "-type TrueColor", "BMP", 124, 24, -1, 0, UINT32_MAX},
        {red, "-alpha on -type TrueColorAlpha", "BMP", 124, 32, -1, 0, UINT32_MAX},
    };
    for (const Mode& mode : modes) {
        SCOPED_TRACE(std::string(mode.format) + " " + mode.options);
        std::string path = folder.File("mode.bmp");
        ASSERT_NO_FATAL_FAILURE(
            Convert(std::string(mode.source) + " " + mode.options + " " + mode.format + ":'" + path + "'"));
        std::vector<uint8_t> bytes = ReadWholeFile(path);
        BmpHeader header = HeaderOf(bytes);
        ASSERT_EQ(header.infoSize, mode.infoSize);
        ASSERT_EQ(header.bitsPerPixel, mode.bitsPerPixel);
        if (mode.compression >= 0) {
            ASSERT_EQ(header.compression, static_cast<uint32_t>(mode.compression));
        }
        ASSERT_GE(header.colorsUsed, mode.minColors);
        ASSERT_LE(header.colorsUsed, mode.maxColors);
        ExpectRefused(bytes);
    }
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
        {"signature B", 0, 'X', 1},
        {"signature M", 1, 'A', 1},
        {"info size 41", 14, 41, 4},
        {"info size 56", 14, 56, 4},
        {"24 bits as 16", 28, 16, 2},
        {"24 bits as 32", 28, 32, 2},
        {"compression 1", 30, 1, 4},
        {"compression 3", 30, 3, 4},
        {"colours used 1", 46, 1, 4},
        {"important colours 1", 50, 1, 4},
        {"width 0", 18, 0, 4},
        {"height 0", 22, 0, 4},
        {"negative width", 18, 0xFFFFFFFCu, 4},
        {"top-down height", 22, 0xFFFFFFFEu, 4},
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

// Nothing is read beyond the bytes given.
TEST_F(ImageMagickBmpTest, RefusesEveryTruncatedPrefix)
{
    const std::vector<uint8_t> whole = TrueColorBmp(5, 3, PatternRgb(5, 3));
    ASSERT_EQ(whole.size(), 54u + 3 * 16);
    for (size_t size = 0; size <= whole.size(); ++size) {
        // Each prefix in a block of exactly its size, so AddressSanitizer sees any overread.
        std::unique_ptr<uint8_t[]> prefix(new uint8_t[size == 0 ? 1 : size]);
        memcpy(prefix.get(), whole.data(), size);
        Image* image = DecodeBMP(prefix.get(), size);
        EXPECT_EQ(image != nullptr, size == whole.size()) << "prefix of " << size << " bytes";
        FreeImage(image);
        if (size == whole.size())
            break;
        image = DecodeBMP24(prefix.get(), size);
        EXPECT_EQ(image, nullptr) << "prefix of " << size << " bytes, header not checked";
        FreeImage(image);
    }
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
    const int32_t sides[][2] = {{INT32_MAX, 1}, {1, INT32_MAX}, {INT32_MAX, INT32_MAX}, {65536, 65536}, {3, 2}, {2, 3}};
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
    const size_t size = 54 + size_t{3} * width * height;
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
