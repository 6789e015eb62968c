// The normalisation cube map and the attenuation volume.
#include "render/lighting_textures.h"

#include <cmath>
#include <cstdlib>

#include "image/picture_texture.h"
#include "platform/gl_library.h"
#include "render/gl_setup.h"

int32_t NormalizationCubeMapId = -1;
int32_t AttenuationTextureId = -1;
uint8_t AttenuationRamp[AttenuationSize];
uint8_t AttenuationVolume[AttenuationTexelCount];

// The direction through texel (s, t) of cube face `face` (+X, -X, +Y, -Y, +Z, -Z).
static void CubeFaceDirection(int face, double s, double t, double direction[3])
{
    const double directions[6][3] = {
        {1, -t, -s}, {-1, -t, s}, {s, 1, t}, {s, -1, -t}, {s, -t, 1}, {-s, -t, -1},
    };
    for (int k = 0; k < 3; ++k)
        direction[k] = directions[face][k];
}

// One face of size x size RGB texels, row j, column i at (j x size + i) x 3.
static void FillCubeFace(int face, int size, uint8_t* texels)
{
    for (int j = 0; j < size; ++j) {
        for (int i = 0; i < size; ++i) {
            double s = 2.0 * (i + 0.5) / size - 1.0;
            double t = 2.0 * (j + 0.5) / size - 1.0;
            double direction[3];
            CubeFaceDirection(face, s, t, direction);
            double length =
                std::sqrt(direction[0] * direction[0] + direction[1] * direction[1] + direction[2] * direction[2]);
            uint8_t* texel = texels + (static_cast<size_t>(j) * size + i) * 3;
            // 127 and 128 keep every byte within 1 .. 255
            for (int k = 0; k < 3; ++k)
                texel[k] = static_cast<uint8_t>(static_cast<int>(direction[k] / length * 127.0 + 128.0));
        }
    }
}

// Fills the cube map bound to GL_TEXTURE_CUBE_MAP_ARB on the active unit: six
// faces of size x size texels, each the unit direction through the texel centre
// encoded per component as trunc(c x 127 + 128) (decoded as (byte - 128) / 127).
static void BuildNormalizationCubeMap(int size)
{
    if (size < 1 || size > 4096)
        return;
    uint8_t* texels = static_cast<uint8_t*>(malloc(static_cast<size_t>(size) * size * 3));
    if (!texels)
        return;
    glTexParameteri(GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    for (int face = 0; face < 6; ++face) {
        FillCubeFace(face, size, texels);
        glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X_ARB + face, 0, GL_RGB8, size, size, 0, GL_RGB, GL_UNSIGNED_BYTE,
                     texels);
    }
    free(texels);
}

static void FillAttenuationRamp()
{
    for (int i = 0; i < AttenuationSize; ++i) {
        float x = (static_cast<float>(i) - 15.5f) * 0.06451613f;
        float v = x * x;
        if (v > 1.0f)
            v = 1.0f;
        AttenuationRamp[i] = static_cast<uint8_t>(static_cast<int>(255.0f * v));
    }
    // the outermost texels are dark whatever the rounding gave
    AttenuationRamp[0] = 255;
    AttenuationRamp[AttenuationSize - 1] = 255;
}

static void FillAttenuationVolume()
{
    for (int r = 0; r < AttenuationSize; ++r)
        for (int t = 0; t < AttenuationSize; ++t)
            for (int s = 0; s < AttenuationSize; ++s) {
                int sum = AttenuationRamp[s] + AttenuationRamp[t] + AttenuationRamp[r];
                AttenuationVolume[(r * AttenuationSize + t) * AttenuationSize + s] =
                    static_cast<uint8_t>(255 - (sum < 255 ? sum : 255));
            }
}

// Fills AttenuationRamp and AttenuationVolume and uploads the volume into the
// texture bound to GL_TEXTURE_3D on the active unit: about 255 x (1 - |x|^2) for x
// the texel centre in [-1, 1]^3, clamped at 0.
static void BuildAttenuationTexture()
{
    FillAttenuationRamp();
    FillAttenuationVolume();
    GLExtensions.texImage3D(GL_TEXTURE_3D, 0, GL_INTENSITY8, AttenuationSize, AttenuationSize, AttenuationSize, 0,
                            GL_LUMINANCE, GL_UNSIGNED_BYTE, AttenuationVolume);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
}

void ResetLightingTexturesForTests()
{
    NormalizationCubeMapId = -1;
    AttenuationTextureId = -1;
}

void CreateLightingTextures()
{
    if (NormalizationCubeMapId != -1)
        return;
    NormalizationCubeMapId = static_cast<int32_t>(TakeTextureId());
    if (AttenuationTextureId == -1)
        AttenuationTextureId = static_cast<int32_t>(TakeTextureId());

    GLExtensions.activeTexture(GL_TEXTURE3_ARB);
    glBindTexture(GL_TEXTURE_CUBE_MAP_ARB, static_cast<GLuint>(NormalizationCubeMapId));
    BuildNormalizationCubeMap(NormalizationCubeMapSize);

    // the volume stays bound on unit 1: the light passes rely on that binding
    GLExtensions.activeTexture(GL_TEXTURE1_ARB);
    glBindTexture(GL_TEXTURE_3D, static_cast<GLuint>(AttenuationTextureId));
    BuildAttenuationTexture();

    GLExtensions.activeTexture(GL_TEXTURE0_ARB);
}
