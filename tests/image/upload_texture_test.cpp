// UploadTexture against real GL pixels (Mesa llvmpipe): contents, row order,
// the mipmap chain and filters, and the power-of-two rule.
#include "tests/image/image_window_fixture.h"

using namespace bmptest;

class UploadTextureTest : public ImageWindowTest {};

static GLint TextureParameter(uint32_t name, GLenum parameter)
{
    glBindTexture(GL_TEXTURE_2D, name);
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, parameter, &value);
    return value;
}

TEST_F(UploadTextureTest, TextureHoldsThePictureTopRowFirst)
{
    ImagePtr image = MakeImage(4, 2, 7);
    // Mark the top-left pixel so that a flipped upload cannot pass.
    image->pixels[0] = 0xAB;
    image->pixels[1] = 0xCD;
    uint32_t name = TakeTextureId();
    ASSERT_EQ(UploadTexture(image.get(), name), name);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    int width, height;
    std::vector<uint8_t> rgba = ReadTexture(name, &width, &height);
    ASSERT_EQ(width, 4);
    ASSERT_EQ(height, 2);
    EXPECT_EQ(rgba[0], 0xAB);
    EXPECT_EQ(rgba[1], 0xCD);
    EXPECT_EQ(0, memcmp(rgba.data(), image->pixels, rgba.size()));
}

TEST_F(UploadTextureTest, FullMipmapChainAndFilters)
{
    ImagePtr image = MakeImage(8, 2);
    uint32_t name = TakeTextureId();
    ASSERT_EQ(UploadTexture(image.get(), name), name);
    EXPECT_EQ(TextureParameter(name, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(TextureParameter(name, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(TextureParameter(name, GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(TextureParameter(name, GL_TEXTURE_WRAP_T), GL_REPEAT);
    const int sizes[][2] = {{8, 2}, {4, 1}, {2, 1}, {1, 1}};
    for (int level = 0; level < 4; ++level) {
        SCOPED_TRACE(level);
        int width, height;
        ReadTexture(name, &width, &height, level);
        EXPECT_EQ(width, sizes[level][0]);
        EXPECT_EQ(height, sizes[level][1]);
    }
    glBindTexture(GL_TEXTURE_2D, name);
    GLint components = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_ALPHA_SIZE, &components);
    EXPECT_GT(components, 0) << "four components, alpha included";
}

// A uniform picture stays the same colour down the whole chain.
TEST_F(UploadTextureTest, MipmapsAverageThePicture)
{
    ImagePtr image = MakeImage(4, 4);
    for (int i = 0; i < 16; ++i) {
        image->pixels[i * 4 + 0] = 90;
        image->pixels[i * 4 + 1] = 150;
        image->pixels[i * 4 + 2] = 210;
        image->pixels[i * 4 + 3] = 255;
    }
    uint32_t name = TakeTextureId();
    ASSERT_EQ(UploadTexture(image.get(), name), name);
    int width, height;
    std::vector<uint8_t> smallest = ReadTexture(name, &width, &height, 2);
    ASSERT_EQ(width, 1);
    EXPECT_EQ(smallest[0], 90);
    EXPECT_EQ(smallest[1], 150);
    EXPECT_EQ(smallest[2], 210);
}

// Each upload replaces the same texture.
TEST_F(UploadTextureTest, AcceptsPowerOfTwoSides)
{
    const int sizes[][2] = {{256, 128}, {1, 1}, {1, 64}, {2, 1}, {4, 4}, {2, 8}};
    uint32_t name = TakeTextureId();
    for (const auto& size : sizes) {
        SCOPED_TRACE(std::to_string(size[0]) + "x" + std::to_string(size[1]));
        ImagePtr image = MakeImage(size[0], size[1], size[0]);
        ASSERT_EQ(UploadTexture(image.get(), name), name);
        ExpectTextureEquals(name, image.get());
    }
}

TEST_F(UploadTextureTest, RefusedImageLeavesTheTextureAsItWas)
{
    ImagePtr first = MakeImage(2, 2, 3);
    uint32_t name = TakeTextureId();
    ASSERT_EQ(UploadTexture(first.get(), name), name);
    const int sizes[][2] = {{256, 100}, {3, 4}, {4, 3}, {0, 4}, {4, 0}, {-2, 2}, {2, -4}, {6, 6}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(std::to_string(size[0]) + "x" + std::to_string(size[1]));
        ImagePtr refused = MakeImage(size[0] > 0 ? size[0] : 1, size[1] > 0 ? size[1] : 1, 9);
        refused->width = size[0];
        refused->height = size[1];
        EXPECT_EQ(UploadTexture(refused.get(), name), 0u);
        ExpectTextureEquals(name, first.get());
    }
}

TEST_F(UploadTextureTest, RefusesNoImageAndNameZero)
{
    EXPECT_EQ(UploadTexture(nullptr, TakeTextureId()), 0u);
    ImagePtr image = MakeImage(2, 2);
    EXPECT_EQ(UploadTexture(image.get(), 0), 0u);
    int width, height;
    ReadTexture(0, &width, &height);
    EXPECT_EQ(width, 0) << "the default texture was filled";
}

TEST_F(UploadTextureTest, NamesCountUpFromOne)
{
    EXPECT_EQ(NextTextureId, 1u);
    EXPECT_EQ(TakeTextureId(), 1u);
    EXPECT_EQ(TakeTextureId(), 2u);
    EXPECT_EQ(NextTextureId, 3u);
}
