// The PNG decoder against ImageMagick in every mode, and over its fuzzing corpus.
#include <dirent.h>

#include "image/png_read.h"
#include "tests/image/bmp_files.h"

using namespace bmptest;

// Decodes the first `size` bytes from a block of exactly that size, so that ASan sees any overread.
static ImagePtr Decode(const std::vector<uint8_t>& bytes, bool keepHeightSamples, size_t size = SIZE_MAX)
{
    size = std::min(size, bytes.size());
    std::unique_ptr<uint8_t[]> block(new uint8_t[size]);
    std::copy(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(size), block.get());
    return ImagePtr(DecodePNG(block.get(), size, keepHeightSamples));
}

class PngReadTest : public ::testing::Test {
protected:
    TempFolder folder;

    // ImageMagick's PNG of 19 x 11 RGBA 16-bit noise after `options`, whose IHDR must say
    // `ihdr` (bit depth, colour type, interlace), left in x.png.
    std::vector<uint8_t> Write(const std::string& options, const std::vector<int>& ihdr)
    {
        std::vector<uint8_t> noise(19 * 11 * 8);
        for (size_t i = 0; i < noise.size(); ++i)
            noise[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
        EXPECT_TRUE(WriteWholeFile(folder.File("noise"), noise));
        Convert("-size 19x11 -depth 16 rgba:" + folder.File("noise") + " -strip " + options + folder.File("x.png"));
        std::vector<uint8_t> bytes = ReadWholeFile(folder.File("x.png"));
        EXPECT_EQ(std::vector<int>({bytes.at(24), bytes.at(25), bytes.at(28)}), ihdr) << options;
        return bytes;
    }

    // ImageMagick's decoding of x.png, after `options`, as RGBA at `depth` bits (16-bit big-endian).
    std::vector<uint8_t> Reference(int depth, const std::string& options = "")
    {
        Convert(folder.File("x.png") + options + " -depth " + std::to_string(depth) +
                " -endian MSB rgba:" + folder.File("r"));
        return ReadWholeFile(folder.File("r"));
    }
};

// 16-bit channels become round(v / 257); ImageMagick's own 8-bit output truncates (colour down, alpha up).
TEST_F(PngReadTest, DecodesEveryModeAsImageMagickDoes)
{
    const std::string grey = "-colorspace Gray -alpha off -depth ",
                      greyAlpha = "-colorspace Gray -define png:color-type=4";
    const std::pair<std::string, std::vector<int>> modes[] = {
        {grey + "1 PNG:", {1, 0, 0}},
        {grey + "2 -interlace PNG PNG:", {2, 0, 1}},
        {grey + "4 PNG:", {4, 0, 0}},
        {grey + "8 PNG:", {8, 0, 0}},
        {grey + "16 PNG:", {16, 0, 0}},
        {grey + "16 -interlace PNG PNG:", {16, 0, 1}},
        {greyAlpha + " -depth 8 PNG:", {8, 4, 0}},
        {greyAlpha + " -depth 16 -interlace PNG PNG:", {16, 4, 1}},
        {"-alpha off -depth 8 PNG24:", {8, 2, 0}},
        {"-alpha off -depth 16 PNG48:", {16, 2, 0}},
        {"-depth 8 -interlace PNG PNG32:", {8, 6, 1}},
        {"-depth 16 PNG64:", {16, 6, 0}},
        {"-alpha off -colors 20 PNG8:", {8, 3, 0}},
        {"-colors 20 -interlace PNG PNG8:", {8, 3, 1}}};  // with tRNS
    for (const auto& mode : modes) {
        SCOPED_TRACE(mode.first);
        std::vector<uint8_t> bytes = Write(mode.first, mode.second), wide = Reference(16), narrow = Reference(8);
        ImagePtr pixels = Decode(bytes, false), heights = Decode(bytes, true);
        ASSERT_TRUE(pixels && heights && pixels->width == 19 && pixels->height == 11 && !pixels->samples);
        ASSERT_EQ(heights->samples != nullptr, mode.second[0] == 16);
        for (size_t i = 0; i < narrow.size(); ++i) {
            unsigned wideValue = (wide[2 * i] << 8) | wide[2 * i + 1], red = i - i % 4;
            ASSERT_EQ(pixels->pixels[i], (wideValue * 255 + 32767) / 65535) << "byte " << i;
            ASSERT_LE(std::abs(pixels->pixels[i] - narrow[i]), 1) << "byte " << i;
            ASSERT_EQ(ImageHeightSample(heights.get(), int(i / 4 % 19), int(i / 4 / 19)),
                      heights->samples ? (wide[2 * red] << 8) | wide[2 * red + 1] : pixels->pixels[red] * 257);
        }
    }
}

// Equal heights and display pixels at both depths; box averages as ImageMagick's -scale makes them.
TEST_F(PngReadTest, EightBitPictureAndItsSixteenBitConversionAgree)
{
    std::vector<uint8_t> eightBit = Write("-crop 18x9+0+0 -colorspace Gray -alpha off -depth 8 PNG:", {8, 0, 0});
    std::vector<uint8_t> scaled = Reference(8, " -scale 6x3");
    Convert(folder.File("x.png") + " -define png:bit-depth=16 " + folder.File("x.png"));
    ImagePtr eight = Decode(eightBit, true), sixteen = Decode(ReadWholeFile(folder.File("x.png")), true);
    ASSERT_TRUE(eight && sixteen && sixteen->samples);
    for (int32_t i = 0; i < 18 * 9; ++i)
        ASSERT_EQ(ImageHeightSample(eight.get(), i % 18, i / 18), ImageHeightSample(sixteen.get(), i % 18, i / 18));
    for (int32_t maxSide : {18, 7, 6, 1}) {
        ImagePtr fromEight(ImageToDisplayPixels(eight.get(), maxSide));
        ImagePtr fromSixteen(ImageToDisplayPixels(sixteen.get(), maxSide));
        ASSERT_TRUE(fromEight && fromSixteen && fromSixteen->width <= maxSide && fromSixteen->height <= maxSide);
        size_t bytes = static_cast<size_t>(fromEight->width) * fromEight->height * 4;
        EXPECT_EQ(0, memcmp(fromSixteen->pixels, fromEight->pixels, bytes)) << maxSide;
        for (size_t i = 0; maxSide == 6 && i < scaled.size(); ++i)
            EXPECT_NEAR(fromSixteen->pixels[i], scaled[i], 1) << "byte " << i;  // boxes of 3 x 3
    }
}

// ASan's allocator reports every request to a hook; without ASan the function is null.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                         void (*)(const volatile void*)) __attribute__((weak));
static size_t LargestRequest;
static void NoteRequest(const volatile void*, size_t size)
{
    LargestRequest = size > LargestRequest ? size : LargestRequest;
}
static void NoteRelease(const volatile void*) {}

// Seeds and every input that once failed: each valid_* decodes in both shapes and each of its
// prefixes is refused; every other file (damaged CRCs, sides of zero, beyond the limit or more than
// the compressed data can fill) is refused, all without a block of a megabyte being asked for.
TEST(PngCorpusTest, ValidFilesDecodeAndEveryOtherFileOrPrefixIsRefused)
{
    static const bool hooked = __sanitizer_install_malloc_and_free_hooks &&
        __sanitizer_install_malloc_and_free_hooks(NoteRequest, NoteRelease);  // once: hooks stay
    DIR* directory = opendir(PNG_CORPUS_DIR);
    ASSERT_NE(directory, nullptr) << PNG_CORPUS_DIR;
    int files = 0;
    while (dirent* entry = readdir(directory)) {
        std::string name = entry->d_name;
        if (name[0] == '.')
            continue;
        std::vector<uint8_t> bytes = ReadWholeFile(std::string(PNG_CORPUS_DIR) + "/" + name);
        bool valid = name.rfind("valid_", 0) == 0;
        LargestRequest = 0;
        EXPECT_TRUE(bool(Decode(bytes, false)) == valid && bool(Decode(bytes, true)) == valid) << name;
        EXPECT_TRUE(!hooked || LargestRequest < (1u << 20)) << name << ": " << LargestRequest << " bytes asked for";
        for (size_t size = 0; valid && size < bytes.size(); ++size)
            ASSERT_FALSE(Decode(bytes, size % 2, size)) << name << ": " << size << " bytes";
        ++files;
    }
    closedir(directory);
    EXPECT_GE(files, 20);
}
