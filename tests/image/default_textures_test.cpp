// The default textures the build draws beside the executable, and
// LoadDefaultTextures, which fills the decal and normal-map textures from them.
#include <cmath>

#include "tests/image/image_window_fixture.h"

using namespace bmptest;

static const std::string BuiltAssets = ORVANEL_BUILT_ASSETS_DIR;

static ImagePtr DecodeFile(const std::string& path)
{
    std::vector<uint8_t> bytes = ReadWholeFile(path);
    return ImagePtr(DecodeBMP(bytes.data(), bytes.size()));
}

TEST(DefaultTextureFilesTest, AreAccepted256x256Bmps)
{
    for (const char* name : {"deftex.bmp", "defnrm.bmp"}) {
        SCOPED_TRACE(name);
        std::vector<uint8_t> bytes = ReadWholeFile(BuiltAssets + "/" + name);
        ASSERT_EQ(bytes.size(), 54u + 256 * 256 * 3) << "the build did not lay it in " << BuiltAssets;
        BmpHeader header = HeaderOf(bytes);
        EXPECT_EQ(header.infoSize, 40u);
        EXPECT_EQ(header.bitsPerPixel, 24);
        EXPECT_EQ(header.compression, 0u);
        EXPECT_EQ(header.width, 256);
        EXPECT_EQ(header.height, 256);
        ImagePtr image(DecodeBMP(bytes.data(), bytes.size()));
        ASSERT_NE(image, nullptr);
    }
}

// ImageMagick reads the same pixels from our files as our decoder does.
TEST(DefaultTextureFilesTest, ImageMagickReadsTheSamePixels)
{
    ASSERT_NO_FATAL_FAILURE(RequireImageMagick());
    TempFolder folder;
    for (const char* name : {"deftex.bmp", "defnrm.bmp"}) {
        SCOPED_TRACE(name);
        std::string raw = folder.File("pixels.rgb");
        ASSERT_NO_FATAL_FAILURE(Convert("'" + BuiltAssets + "/" + name + "' -depth 8 rgb:'" + raw + "'"));
        std::vector<uint8_t> rgb = ReadWholeFile(raw);
        ImagePtr image = DecodeFile(BuiltAssets + "/" + name);
        ASSERT_NE(image, nullptr);
        ASSERT_EQ(rgb.size(), 256u * 256 * 3);
        for (size_t i = 0; i < 256 * 256; ++i)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(image->pixels[i * 4 + c], rgb[i * 3 + c]) << "pixel " << i;
    }
}

// Every texel is a unit normal pointing out of the surface; on average the
// ground is flat.
TEST(DefaultTextureFilesTest, NormalMapHoldsUnitNormalsAroundFlat)
{
    ImagePtr image = DecodeFile(BuiltAssets + "/defnrm.bmp");
    ASSERT_NE(image, nullptr);
    double sumX = 0, sumY = 0;
    for (size_t i = 0; i < 256 * 256; ++i) {
        double x = (image->pixels[i * 4 + 0] - 128.0) / 127.0;
        double y = (image->pixels[i * 4 + 1] - 128.0) / 127.0;
        double z = (image->pixels[i * 4 + 2] - 128.0) / 127.0;
        ASSERT_NEAR(std::sqrt(x * x + y * y + z * z), 1.0, 0.02) << "texel " << i;
        ASSERT_GT(z, 0.5) << "texel " << i;
        sumX += x;
        sumY += y;
    }
    EXPECT_NEAR(sumX / (256 * 256), 0.0, 0.02);
    EXPECT_NEAR(sumY / (256 * 256), 0.0, 0.02);
}

// Ground colours: mostly green and brown, with variation.
TEST(DefaultTextureFilesTest, DecalLooksLikeGround)
{
    ImagePtr image = DecodeFile(BuiltAssets + "/deftex.bmp");
    ASSERT_NE(image, nullptr);
    double sum[3] = {}, sumSquares = 0;
    for (size_t i = 0; i < 256 * 256; ++i) {
        for (int c = 0; c < 3; ++c)
            sum[c] += image->pixels[i * 4 + c];
        sumSquares += image->pixels[i * 4 + 1] * double(image->pixels[i * 4 + 1]);
    }
    const double count = 256 * 256;
    double meanGreen = sum[1] / count;
    EXPECT_GT(meanGreen, sum[2] / count) << "more green than blue";
    EXPECT_GT(sum[0] / count, sum[2] / count) << "more red than blue (earth)";
    EXPECT_GT(std::sqrt(sumSquares / count - meanGreen * meanGreen), 8.0) << "not a flat colour";
}

class LoadDefaultTexturesTest : public ImageWindowTest {
protected:
    void PrepareExeDirectory() override
    {
        std::string assets = exeDir + "/assets";
        std::string command = "mkdir -p '" + assets + "' && cp '" + BuiltAssets + "/deftex.bmp' '" + BuiltAssets +
            "/defnrm.bmp' '" + assets + "/'";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
};

TEST_F(LoadDefaultTexturesTest, FillsDecalAndNormalTexturesSilently)
{
    DecalTextureId = TakeTextureId();
    NormalTextureId = TakeTextureId();
    LoadDefaultTextures();
    ImagePtr decal = DecodeFile(BuiltAssets + "/deftex.bmp");
    ImagePtr normal = DecodeFile(BuiltAssets + "/defnrm.bmp");
    ASSERT_NE(decal, nullptr);
    ASSERT_NE(normal, nullptr);
    ExpectTextureEquals(DecalTextureId, decal.get());
    ExpectTextureEquals(NormalTextureId, normal.get());
    EXPECT_EQ(StatusLine(), "");
    EXPECT_TRUE(HeadlessDialogCalls().empty());
    EXPECT_EQ(NextTextureId, 3u);
    ExpectBufferClosed();
}

TEST_F(LoadDefaultTexturesTest, MissingOrUnusableFilesGiveOneTexelStandInsAndSaySo)
{
    std::vector<uint8_t> odd = MakeBmp24(6, 4, 1, 2, 3);
    ASSERT_TRUE(WriteWholeFile(exeDir + "/assets/deftex.bmp", odd));
    ASSERT_EQ(std::remove((exeDir + "/assets/defnrm.bmp").c_str()), 0);
    NextTextureId = 100;  // names the start-up has not filled with the good defaults
    DecalTextureId = TakeTextureId();
    NormalTextureId = TakeTextureId();
    LoadDefaultTextures();
    int width, height;
    ReadTexture(DecalTextureId, &width, &height);
    EXPECT_EQ(width, 1);
    ReadTexture(NormalTextureId, &width, &height);
    EXPECT_EQ(width, 1);
    const std::string message = "Could not load the default textures from '" + exeDir + "/assets'.";
    EXPECT_EQ(StatusLine(), message);
    ExpectBufferClosed();

    std::vector<uint8_t> eightBit = MakeBmp24(2, 2, 1, 2, 3);
    PutU16(eightBit, 28, 8);
    ASSERT_TRUE(WriteWholeFile(exeDir + "/assets/deftex.bmp", eightBit));
    LoadDefaultTextures();
    ReadTexture(DecalTextureId, &width, &height);
    EXPECT_EQ(width, 1);
    EXPECT_EQ(StatusLine(), message);
    ExpectBufferClosed();
}
