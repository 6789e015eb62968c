// The normalisation cube map and the attenuation volume, read back from GL
// texel for texel and compared with their definitions.
#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <vector>

#include "tests/render/render_fixture.h"

namespace {

// The byte that stores direction component c of a unit vector.
uint8_t EncodeComponent(double c)
{
    return static_cast<uint8_t>(static_cast<int>(c * 127.0 + 128.0));
}

// The expected texels of cube face `face` (+X, -X, +Y, -Y, +Z, -Z), row j, column i.
std::vector<uint8_t> ExpectedCubeFace(int face, int size)
{
    std::vector<uint8_t> texels(static_cast<size_t>(size) * size * 3);
    for (int j = 0; j < size; ++j)
        for (int i = 0; i < size; ++i) {
            double s = 2.0 * (i + 0.5) / size - 1.0, t = 2.0 * (j + 0.5) / size - 1.0;
            double v[3];
            switch (face) {
            case 0:
                v[0] = 1;
                v[1] = -t;
                v[2] = -s;
                break;
            case 1:
                v[0] = -1;
                v[1] = -t;
                v[2] = s;
                break;
            case 2:
                v[0] = s;
                v[1] = 1;
                v[2] = t;
                break;
            case 3:
                v[0] = s;
                v[1] = -1;
                v[2] = -t;
                break;
            case 4:
                v[0] = s;
                v[1] = -t;
                v[2] = 1;
                break;
            default:
                v[0] = -s;
                v[1] = -t;
                v[2] = -1;
                break;
            }
            double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
            for (int k = 0; k < 3; ++k)
                texels[(static_cast<size_t>(j) * size + i) * 3 + k] = EncodeComponent(v[k] / length);
        }
    return texels;
}

const uint8_t DocumentedRamp[32] = {255, 223, 193, 165, 140, 117, 95, 76, 59, 44, 32,  21,  13,  6,   2,   0,
                                    0,   2,   6,   13,  21,  32,  44, 59, 76, 95, 117, 140, 165, 193, 223, 255};

TEST_F(RenderTest, LightingTexturesTakeTheFirstTwoNames)
{
    StartMainWindow();
    ASSERT_TRUE(FragmentProgramAvailable);
    // the start-up reserves them before the decal and the normal map
    EXPECT_EQ(NormalizationCubeMapId, 1);
    EXPECT_EQ(AttenuationTextureId, 2);
    EXPECT_EQ(DecalTextureId, 3u);
    uint32_t next = NextTextureId;
    CreateLightingTextures();  // only once
    EXPECT_EQ(NextTextureId, next);
    EXPECT_EQ(NormalizationCubeMapId, 1);
    GLint active = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &active);
    EXPECT_EQ(active, GL_TEXTURE0_ARB);
}

TEST_F(RenderTest, CubeMapFacesHoldUnitDirections)
{
    StartPreview();
    ASSERT_TRUE(FragmentProgramAvailable);
    GLExtensions.activeTexture(GL_TEXTURE3_ARB);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_CUBE_MAP_ARB, &bound);
    EXPECT_EQ(bound, NormalizationCubeMapId);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    for (int face = 0; face < 6; ++face) {
        GLenum target = GL_TEXTURE_CUBE_MAP_POSITIVE_X_ARB + face;
        GLint width = 0, height = 0, format = 0;
        glGetTexLevelParameteriv(target, 0, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(target, 0, GL_TEXTURE_HEIGHT, &height);
        glGetTexLevelParameteriv(target, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
        ASSERT_EQ(width, 128);
        ASSERT_EQ(height, 128);
        EXPECT_EQ(format, GL_RGB8);
        std::vector<uint8_t> texels(128 * 128 * 3);
        glGetTexImage(target, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
        std::vector<uint8_t> expected = ExpectedCubeFace(face, 128);
        int mismatches = 0;
        for (size_t k = 0; k < texels.size(); ++k)
            mismatches += texels[k] != expected[k];
        EXPECT_EQ(mismatches, 0) << "face " << face;
        if (face == 0) {
            // the corner texel (1, -t, -s), s = t = -127/128: 1 / sqrt(2.969) * 127 + 128, twice 0.9921875 / ...
            EXPECT_EQ(texels[0], 201);
            EXPECT_EQ(texels[1], 201);
            EXPECT_EQ(texels[2], 201);
        }
    }
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_WRAP_S, &value);
    EXPECT_EQ(value, GL_CLAMP_TO_EDGE);
    glGetTexParameteriv(GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_WRAP_T, &value);
    EXPECT_EQ(value, GL_CLAMP_TO_EDGE);
    glGetTexParameteriv(GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_MIN_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR);
    glGetTexParameteriv(GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_MAG_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR);
    GLExtensions.activeTexture(GL_TEXTURE0_ARB);
}

TEST_F(RenderTest, AttenuationVolumeReadsBackAsDefined)
{
    StartPreview();
    ASSERT_TRUE(FragmentProgramAvailable);
    for (int i = 0; i < 32; ++i)
        EXPECT_EQ(AttenuationRamp[i], DocumentedRamp[i]) << "entry " << i;
    GLExtensions.activeTexture(GL_TEXTURE1_ARB);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_3D, &bound);
    EXPECT_EQ(bound, AttenuationTextureId);
    GLint width = 0, height = 0, depth = 0, format = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_3D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_3D, 0, GL_TEXTURE_HEIGHT, &height);
    glGetTexLevelParameteriv(GL_TEXTURE_3D, 0, GL_TEXTURE_DEPTH, &depth);
    glGetTexLevelParameteriv(GL_TEXTURE_3D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    EXPECT_EQ(width, 32);
    EXPECT_EQ(height, 32);
    EXPECT_EQ(depth, 32);
    EXPECT_EQ(format, GL_INTENSITY8);
    std::vector<uint8_t> texels(32 * 32 * 32);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_3D, 0, GL_RED, GL_UNSIGNED_BYTE, texels.data());
    int mismatches = 0;
    for (int r = 0; r < 32; ++r)
        for (int t = 0; t < 32; ++t)
            for (int s = 0; s < 32; ++s) {
                int sum = DocumentedRamp[s] + DocumentedRamp[t] + DocumentedRamp[r];
                int expected = 255 - std::min(255, sum);
                size_t index = (static_cast<size_t>(r) * 32 + t) * 32 + s;
                mismatches += texels[index] != expected;
                mismatches += AttenuationVolume[index] != expected;
            }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(texels[(15 * 32 + 15) * 32 + 15], 255);
    EXPECT_EQ(texels[(16 * 32 + 16) * 32 + 16], 255);
    for (int a = 0; a < 32; ++a)
        for (int b = 0; b < 32; ++b)
            for (int edge : {0, 31}) {
                EXPECT_EQ(texels[(edge * 32 + a) * 32 + b], 0);
                EXPECT_EQ(texels[(a * 32 + edge) * 32 + b], 0);
                EXPECT_EQ(texels[(a * 32 + b) * 32 + edge], 0);
            }
    GLint value = 0;
    for (GLenum wrap : {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T, GL_TEXTURE_WRAP_R}) {
        glGetTexParameteriv(GL_TEXTURE_3D, wrap, &value);
        EXPECT_EQ(value, GL_CLAMP_TO_EDGE);
    }
    glGetTexParameteriv(GL_TEXTURE_3D, GL_TEXTURE_MIN_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR);
    glGetTexParameteriv(GL_TEXTURE_3D, GL_TEXTURE_MAG_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR);
    GLExtensions.activeTexture(GL_TEXTURE0_ARB);
}

}  // namespace
