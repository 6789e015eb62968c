// The main window on the headless back end with a current GL context, the
// image module's globals reset, and ways to look at menu items, the Generate
// button and textures.
#pragma once

#include <GL/gl.h>

#include "image/bmp.h"
#include "image/file_buffer.h"
#include "image/image_load.h"
#include "image/picture_texture.h"
#include "image/report_message.h"
#include "resources/resource_ids.h"
#include "tests/image/bmp_files.h"
#include "tests/support/main_window_fixture.h"

class ImageWindowTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(StartMainWindow());
        ASSERT_NO_FATAL_FAILURE(EnsureGLContext());
        // the image module's state as before its first use: the start-up has
        // already taken texture names and said how the GL set-up went
        ResetImageGlobals();
        SetControlText(Window(), StatusLineControl, "");
    }

    void TearDown() override
    {
        ResetImageGlobals();
        MainWindowTest::TearDown();
    }

    static void ResetImageGlobals()
    {
        CloseFileBuffer();
        FreeImage(HeightmapImage);
        HeightmapImage = nullptr;
        ImageLoadMode = Heightmap;
        HeightmapTextureId = DecalTextureId = NormalTextureId = 0;
        // names handed out again start empty, whatever the start-up put into them
        for (GLuint name = 1; name < NextTextureId; ++name)
            glDeleteTextures(1, &name);
        NextTextureId = 1;
    }

    // Writes `bytes` beside the stand-in executable and returns the path.
    std::string PutFile(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        std::string path = exeDir + "/" + name;
        EXPECT_TRUE(bmptest::WriteWholeFile(path, bytes));
        return path;
    }

    int ItemState(unsigned commandId) const
    {
        return GetMenuItemState(Window(), commandId);
    }
    bool TextureItemsGrayed() const
    {
        return (ItemState(LoadDecalTextureCommand) & MenuItemGrayed) == MenuItemGrayed &&
            (ItemState(LoadNormalTextureCommand) & MenuItemGrayed) == MenuItemGrayed;
    }
    bool TextureItemsEnabled() const
    {
        return (ItemState(LoadDecalTextureCommand) & MenuItemGrayed) == 0 &&
            (ItemState(LoadNormalTextureCommand) & MenuItemGrayed) == 0;
    }
    bool GenerateEnabled() const
    {
        return IsControlEnabled(Window(), GenerateButtonControl);
    }

    // The file buffer is closed and holds nothing.
    static void ExpectBufferClosed()
    {
        EXPECT_EQ(TheFileBuffer.bytes, nullptr);
    }

    // Level `level` of texture `name` as RGBA bytes, row 0 first; empty when the level has no pixels.
    static std::vector<uint8_t> ReadTexture(uint32_t name, int* width, int* height, int level = 0)
    {
        glBindTexture(GL_TEXTURE_2D, name);
        GLint w = 0, h = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &w);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &h);
        *width = w;
        *height = h;
        std::vector<uint8_t> rgba(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
        if (!rgba.empty()) {
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        }
        return rgba;
    }

    // The texture holds exactly the Image's pixels, its row 0 as texture row 0.
    static void ExpectTextureEquals(uint32_t name, const Image* image)
    {
        int width, height;
        std::vector<uint8_t> rgba = ReadTexture(name, &width, &height);
        ASSERT_EQ(width, image->width);
        ASSERT_EQ(height, image->height);
        ASSERT_EQ(0, memcmp(rgba.data(), image->pixels, rgba.size())) << "texture " << name << " differs";
    }
};
