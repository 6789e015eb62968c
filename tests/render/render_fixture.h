// The renderer's test fixture: the real main window on the headless back end,
// its preview set up with a real GL context (Mesa llvmpipe through EGL), the
// lighting fragment program laid beside the stand-in executable, and helpers
// for textures, a generated heightmesh model and reading pixels back.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "image/image_load.h"
#include "model/model_store.h"
#include "render/frame.h"
#include "render/gl_setup.h"
#include "render/lighting_textures.h"
#include "render/scene.h"
#include "settings/settings.h"
#include "tests/support/heightmesh_file.h"
#include "tests/support/main_window_fixture.h"
#include "tests/support/test_files.h"

// RGBA pixels of the preview, top row first.
struct Picture {
    std::vector<uint8_t> rgba;  // width x height x 4 bytes
    int width = 0;              // pixels per row
    int height = 0;             // rows

    const uint8_t* At(int x, int y) const
    {
        return rgba.data() + (static_cast<size_t>(y) * width + x) * 4;
    }
    int Brightness(int x, int y) const
    {
        return At(x, y)[0] + At(x, y)[1] + At(x, y)[2];
    }
};

// Bounding box of the pixels that differ from a colour.
struct PixelBox {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;  // inclusive; right < left when empty
    int count = 0;                                               // pixels inside the set
    bool Empty() const
    {
        return count == 0;
    }
    double CentreX() const
    {
        return (left + right) / 2.0;
    }
    double CentreY() const
    {
        return (top + bottom) / 2.0;
    }
};

// What the program file beside the executable holds.
enum class ProgramFile { Present, Missing, Empty, Broken };

inline std::string ReadSourceFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class RenderTest : public MainWindowTest {
protected:
    ProgramFile programFile = ProgramFile::Present;

    void SetUp() override
    {
        ResetRendererForTests();
        HeightmapImage = nullptr;
        HeightmapTextureId = DecalTextureId = NormalTextureId = 0;
        CurrentModelInstance = nullptr;
        ViewTilt = ViewSpin = 0.0f;
        MainWindowTest::SetUp();
    }

    void TearDown() override
    {
        ReleaseAllModels();
        CurrentModelInstance = nullptr;
        ResetRendererForTests();
        if (HeightmapImage)
            free(HeightmapImage);
        HeightmapImage = nullptr;
        HeightmapTextureId = DecalTextureId = NormalTextureId = 0;
        ViewTilt = ViewSpin = 0.0f;
        MainWindowTest::TearDown();
    }

    std::string ProgramPath() const
    {
        return exeDir + "/fp/light_std.fp";
    }

    void PrepareExeDirectory() override
    {
        ASSERT_EQ(std::system(("mkdir -p '" + exeDir + "/fp' '" + exeDir + "/assets'").c_str()), 0);
        // one-texel default textures, white and flat: the pictures stay those of the program's stand-ins
        ASSERT_TRUE(
            WriteFileBytes(exeDir + "/assets/deftex.bmp", Bmp24Bytes(1, 1, [](int, int) { return 0xFFFFFFu; })));
        ASSERT_TRUE(
            WriteFileBytes(exeDir + "/assets/defnrm.bmp", Bmp24Bytes(1, 1, [](int, int) { return 0x8080FFu; })));
        if (programFile == ProgramFile::Missing)
            return;
        std::string text;
        if (programFile == ProgramFile::Present)
            text = ReadSourceFile(std::string(ORVANEL_SOURCE_DIR) + "/fp/light_std.fp");
        if (programFile == ProgramFile::Broken)
            text = "!!ARBfp1.0\nMOV result.color, nothing;\nEND\n";
        ASSERT_TRUE(programFile != ProgramFile::Present || !text.empty()) << "fp/light_std.fp missing from the sources";
        std::ofstream(ProgramPath(), std::ios::binary) << text;
    }

    // Starts the window and sets up its preview as start-up does; with the
    // lighting textures when per-pixel lighting is available.
    void StartPreview(float red = 0.2f, float green = 0.4f, float blue = 0.6f)
    {
        StartMainWindow();
        ASSERT_NE(dialog, nullptr);
        GenerationSettings.backgroundColor[0] = red;
        GenerationSettings.backgroundColor[1] = green;
        GenerationSettings.backgroundColor[2] = blue;
        GenerationSettings.backgroundColor[3] = 1.0f;
        snprintf(GenerationSettings.fragmentProgramPath, sizeof GenerationSettings.fragmentProgramPath, "%s",
                 ProgramPath().c_str());
        ASSERT_TRUE(SetupPreviewGL(Window()));
        if (FragmentProgramAvailable)
            CreateLightingTextures();
    }

    // A texture of one colour (or a picture) under a name of the program's counter.
    GLuint UploadRGBA(int width, int height, const std::vector<uint8_t>& rgba)
    {
        GLuint name = TakeTextureId();
        glBindTexture(GL_TEXTURE_2D, name);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        // clamped, so that the picture's edges do not blend with the opposite side
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        glBindTexture(GL_TEXTURE_2D, 0);
        return name;
    }

    GLuint SolidTexture(uint8_t r, uint8_t g, uint8_t b)
    {
        std::vector<uint8_t> rgba;
        for (int i = 0; i < 16; ++i)
            rgba.insert(rgba.end(), {r, g, b, 255});
        return UploadRGBA(4, 4, rgba);
    }

    // A white decal and a flat normal map, as the default textures would be.
    void UsePlainTextures()
    {
        DecalTextureId = SolidTexture(255, 255, 255);
        NormalTextureId = SolidTexture(128, 128, 255);
    }

    // A heightmap picture and its texture: top half red, bottom half blue.
    void UseTwoToneHeightmap(int side = 64)
    {
        size_t bytes = sizeof(Image) + static_cast<size_t>(side) * side * 4;
        HeightmapImage = static_cast<Image*>(calloc(1, bytes));
        HeightmapImage->width = HeightmapImage->height = side;
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                uint8_t* p = HeightmapImage->pixels + (static_cast<size_t>(y) * side + x) * 4;
                p[0] = y < side / 2 ? 255 : 0;
                p[2] = y < side / 2 ? 0 : 255;
                p[3] = 255;
            }
        std::vector<uint8_t> rgba(HeightmapImage->pixels,
                                  HeightmapImage->pixels + static_cast<size_t>(side) * side * 4);
        HeightmapTextureId = UploadRGBA(side, side, rgba);
    }

    // Writes the mesh as a .3ds file beside the executable and makes it the current model.
    void LoadHeightmesh(const HeightmeshShape& shape, const std::vector<uint16_t>& extraFaces = {},
                        bool withTexCoords = true)
    {
        std::string path = exeDir + "/heightmesh.3ds";
        ASSERT_TRUE(WriteBytesToFile(path, HeightmeshFileBytes(SampleHeightmesh(shape), extraFaces, withTexCoords)));
        CurrentModelInstance = LoadModelInstance(path.c_str());
        ASSERT_NE(CurrentModelInstance, nullptr);
        ASSERT_NE(GetInstanceModel(CurrentModelInstance), nullptr);
    }

    Picture ReadPreview()
    {
        Picture picture;
        EXPECT_TRUE(HeadlessReadPixels(PreviewGLContext, &picture.rgba, &picture.width, &picture.height));
        return picture;
    }

    Picture DrawFrame()
    {
        BuildFrame();
        SwapGLBuffers(PreviewGLContext);
        return ReadPreview();
    }

    // Pixels unlike the background, the overlay's corner left out.
    PixelBox MeshBox(const Picture& picture, bool skipOverlay = true) const
    {
        PixelBox box;
        const uint8_t background[3] = {51, 102, 153};
        for (int y = 0; y < picture.height; ++y)
            for (int x = 0; x < picture.width; ++x) {
                if (skipOverlay && x < 128 && y < 128)
                    continue;
                const uint8_t* p = picture.At(x, y);
                if (std::abs(p[0] - background[0]) + std::abs(p[1] - background[1]) + std::abs(p[2] - background[2]) <=
                    3)
                    continue;
                ++box.count;
                box.left = std::min(box.left, x);
                box.right = std::max(box.right, x);
                box.top = std::min(box.top, y);
                box.bottom = std::max(box.bottom, y);
            }
        return box;
    }

    // Where the frame's projection puts a point of the model at rest (eye
    // coordinates (x, y - 64, z - 4096)), in pixels from the top-left corner.
    void ProjectAtRest(double x, double y, double z, double* px, double* py) const
    {
        double ex = x, ey = y - 64.0, ez = z - 4096.0;
        double f = 1.0 / std::tan(22.5 * 3.14159265358979323846 / 180.0);
        double aspect = static_cast<double>(ViewportWidth) / ViewportHeight;
        double ndcX = f / aspect * ex / -ez, ndcY = f * ey / -ez;
        *px = (ndcX + 1.0) * 0.5 * ViewportWidth;
        *py = (1.0 - (ndcY + 1.0) * 0.5) * ViewportHeight;
    }

    static void DrainGLErrors()
    {
        while (glGetError() != GL_NO_ERROR) {}
    }
};

// The same, with the program file beside the executable missing.
class RenderFallbackTest : public RenderTest {
protected:
    RenderFallbackTest()
    {
        programFile = ProgramFile::Missing;
    }
};
