// The BMP and PNG decoders against files ImageMagick writes, over their fuzzing corpora (the
// BMP one holds every other kind of BMP, as ImageMagick writes them), and against lying headers.
#include <sys/mman.h>

#include <sstream>

#include "image/png_read.h"
#include "tests/image/image_fixture.h"

static void ExpectPattern(const Image* image, int width, int height)
{
    ASSERT_TRUE(image && image->width == width && image->height == height);
    for (int i = 0; i < width * height; ++i) {
        const uint8_t* p = image->pixels + 4 * i;
        const uint32_t rgb = Pattern(i % width, i / width);
        ASSERT_TRUE(p[0] == (rgb >> 16) && p[1] == (rgb >> 8 & 255) && p[2] == (rgb & 255) && p[3] == 255) << i;
    }
}

static void Convert(const std::string& arguments)
{
    std::string output;
    ASSERT_EQ(RunCommand("convert " + arguments, &output), 0) << "convert " << arguments << "\n" << output;
}

// A PNG in either shape (heights kept or not); a BMP with the header rules or without.
static ImagePtr Decode(const std::vector<uint8_t>& bytes, size_t size, bool png, bool shape)
{
    auto decodePng = [shape](const uint8_t* b, size_t n) { return DecodePNG(b, n, shape); };
    // each BMP decoder on its own, after the header rules that pick it
    auto decodeBmp = [](const uint8_t* b, size_t n) {
        return IsAcceptedBMPHeader(b, n) ? DecodeBMP24(b, n) : DecodeBMP8(b, n);
    };
    return png  ? DecodeExactly(decodePng, bytes, size)
        : shape ? DecodeExactly(DecodeBMP, bytes, size)
                : DecodeExactly(decodeBmp, bytes, size);
}

// Rows padded by 0 to 3 bytes and stored bottom row first; pixels start at byte 54 whatever the offset says.
TEST(BmpDecodeTest, DecodesImageMagickTrueColorAtEveryRowPadding)
{
    TempFolder folder;
    for (auto size : {std::make_pair(4, 2), {1, 1}, {2, 3}, {3, 2}, {33, 9}}) {
        ASSERT_TRUE(WriteFileBytes(folder.File("in.bmp"), Bmp24Bytes(size.first, size.second, Pattern)));
        ASSERT_NO_FATAL_FAILURE(Convert(folder.File("in.bmp") + " -type TrueColor BMP3:" + folder.File("bmp")));
        std::vector<uint8_t> bytes = ReadFileBytes(folder.File("bmp"));
        ASSERT_TRUE(bytes.size() > 54 && GetLE32(&bytes[10]) == 54 && bytes[14] == 40 && bytes[28] == 24);
        for (uint32_t offset : {54u, 1000u, 0u}) {
            SetField(&bytes, 10, offset);
            ExpectPattern(Decoded(bytes).get(), size.first, size.second);
        }
    }
}

// Fields of the header rules, which DecodeBMP24 leaves out, and sides whose rows cannot all be there.
TEST(BmpDecodeTest, RefusesEachBadField)
{
    const std::vector<uint8_t> good = Bmp24Bytes(4, 2, Pattern);
    ExpectPattern(Decoded(good).get(), 4, 2);
    const std::vector<std::vector<uint32_t>> changes = {
        // offset, value, width in bytes, a header rule
        {0, 'X', 1, 1}, {1, 'A', 1, 1},         {14, 12, 4, 1},         {28, 32, 2, 1},
        {30, 3, 4, 1},  {46, 1, 4, 1},          {50, 1, 4, 1},          {18, 0, 4, 0},
        {22, 0, 4, 0},  {18, 0xFFFFFFFC, 4, 0}, {22, 0xFFFFFFFE, 4, 0}, {18, 5, 4, 0},
        {22, 3, 4, 0},  {18, 0x7FFFFFFF, 4, 0}, {22, 0x7FFFFFFF, 4, 0}, {18, 65536, 4, 0}};
    for (const auto& change : changes) {
        std::vector<uint8_t> bytes = good;
        SetField(&bytes, change[0], change[1], static_cast<int>(change[2]));
        EXPECT_FALSE(Decoded(bytes)) << change[0] << " = " << change[1];
        EXPECT_EQ(!DecodeExactly(DecodeBMP24, bytes, bytes.size()), !change[3]) << change[0] << " = " << change[1];
    }
    EXPECT_FALSE(DecodeBMP(nullptr, 100) || DecodeBMP24(nullptr, 100) || IsAcceptedBMPHeader(nullptr, 100));
}

// 32768 x 32769 pixels: every row is there (about 3 GiB of mapped, never
// touched memory), but 4 * width * height is just over 2^32.
TEST(BmpDecodeTest, RefusesPicturesBeyondThirtyTwoBits)
{
    const size_t size = 54 + size_t{3} * 32768 * 32769;
    void* mapped = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(mapped, MAP_FAILED);
    std::vector<uint8_t> header = Bmp24Bytes(1, 1, Pattern);
    SetField(&header, 18, 32768);
    SetField(&header, 22, 32769);
    memcpy(mapped, header.data(), 54);
    EXPECT_EQ(ImagePtr(DecodeBMP(static_cast<const uint8_t*>(mapped), size), FreeImage), nullptr);
    munmap(mapped, size);
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

// Seeds and every input that once failed: each valid_* file decodes (a BMP opaque, a PNG in both
// shapes) and each of its prefixes is refused; every other file is refused, all without a block of
// a megabyte being asked for.
TEST(CorpusTest, ValidFilesDecodeAndEveryOtherFileOrPrefixIsRefused)
{
    static const bool hooked = __sanitizer_install_malloc_and_free_hooks &&
        __sanitizer_install_malloc_and_free_hooks(NoteRequest, NoteRelease);  // once: hooks stay
    std::string listing;
    ASSERT_EQ(RunCommand("ls -d '" BMP_CORPUS_DIR "'/* '" PNG_CORPUS_DIR "'/*", &listing), 0);
    std::istringstream paths(listing);
    int files = 0;
    for (std::string path; std::getline(paths, path); ++files) {
        const std::vector<uint8_t> bytes = ReadFileBytes(path);
        const bool valid = path.find("/valid_") != std::string::npos, png = path.find(".png") != std::string::npos;
        auto decode = [&](size_t size, bool shape) { return Decode(bytes, size, png, shape); };
        LargestRequest = 0;
        ImagePtr image = decode(bytes.size(), true);
        EXPECT_TRUE(bool(image) == valid && (!png || bool(decode(bytes.size(), false)) == valid)) << path;
        EXPECT_TRUE(!hooked || LargestRequest < (1u << 20)) << path << ": " << LargestRequest << " bytes asked for";
        for (int i = 0; !png && image && i < image->width * image->height; ++i)
            ASSERT_EQ(image->pixels[4 * i + 3], 255) << path;
        for (size_t size = 0; valid && size < bytes.size(); ++size)
            ASSERT_FALSE(decode(size, true) || decode(size, false)) << path << ": " << size << " bytes";
    }
    EXPECT_GE(files, 35);
}

// 16-bit channels become round(v / 257); ImageMagick's own 8-bit output truncates (colour down, alpha up).
// Heights are 16-bit samples or red * 257; a display pixel is the rounded average of its box of heights
// (red for colour pictures), boxes narrower at the right and bottom edges.
TEST(PngReadTest, DecodesEveryModeAsImageMagickDoes)
{
    TempFolder folder;
    std::vector<uint8_t> noise(19 * 11 * 8);  // RGBA 16-bit
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
    ASSERT_TRUE(WriteFileBytes(folder.File("noise"), noise));
    // ImageMagick's decoding of x.png as RGBA at `depth` bits (16-bit big-endian)
    auto reference = [&](int depth) {
        Convert(folder.File("x.png") + " -depth " + std::to_string(depth) + " -endian MSB rgba:" + folder.File("r"));
        return ReadFileBytes(folder.File("r"));
    };
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
        Convert("-size 19x11 -depth 16 rgba:" + folder.File("noise") + " -strip " + mode.first + folder.File("x.png"));
        std::vector<uint8_t> bytes = ReadFileBytes(folder.File("x.png")), wide = reference(16), narrow = reference(8);
        ASSERT_EQ(std::vector<int>({bytes.at(24), bytes.at(25), bytes.at(28)}),
                  mode.second);  // depth, colour, interlace
        ImagePtr pixels = Decode(bytes, bytes.size(), true, false), heights = Decode(bytes, bytes.size(), true, true);
        ASSERT_TRUE(pixels && heights && pixels->width == 19 && pixels->height == 11 && !pixels->samples);
        ASSERT_EQ(heights->samples != nullptr, mode.second[0] == 16);
        for (size_t i = 0; i < narrow.size(); ++i) {
            unsigned wideValue = (wide[2 * i] << 8) | wide[2 * i + 1], red = i - i % 4;
            ASSERT_EQ(pixels->pixels[i], (wideValue * 255 + 32767) / 65535) << "byte " << i;
            ASSERT_LE(std::abs(pixels->pixels[i] - narrow[i]), 1) << "byte " << i;
            ASSERT_EQ(ImageHeightSample(heights.get(), int(i / 4 % 19), int(i / 4 / 19)),
                      heights->samples ? (wide[2 * red] << 8) | wide[2 * red + 1] : pixels->pixels[red] * 257);
        }
        for (int32_t maxSide : {19, 7, 1}) {
            const int32_t factor = (19 + maxSide - 1) / maxSide;  // the smallest that brings both sides to maxSide
            ImagePtr display(ImageToDisplayPixels(heights.get(), maxSide), FreeImage);
            ASSERT_TRUE(display && display->width == (19 + factor - 1) / factor &&
                        display->height == (11 + factor - 1) / factor);
            for (int32_t i = 0; i < display->width * display->height; ++i) {
                const int32_t left = i % display->width * factor, top = i / display->width * factor;
                uint64_t sum = 0, count = 0;
                for (int32_t y = top; y < std::min(11, top + factor); ++y)
                    for (int32_t x = left; x < std::min(19, left + factor); ++x, ++count)
                        sum += ImageHeightSample(heights.get(), x, y);
                const uint8_t* shown = display->pixels + 4 * i;
                ASSERT_EQ(shown[0], (2 * sum / (257 * count) + 1) / 2) << maxSide << ", " << i;  // halves up
                ASSERT_TRUE(!heights->samples || (shown[2] == shown[0] && shown[3] == 255));
            }
        }
    }
}
