// The preview on a real Mesa context (llvmpipe through EGL) in the headless main window: set-up
// on every kind of program file, the lighting textures against their definitions, and frames
// of meshes the program generated (or assimp wrote) read back as pixels on both lighting paths.
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "app/main_dialog.h"
#include "image/image_load.h"
#include "model/model_store.h"
#include "render/frame.h"
#include "render/gl_setup.h"
#include "render/view.h"
#include "resources/resource_ids.h"
#include "settings/settings.h"
#include "settings/settings_block.h"
#include "tests/support/main_window_fixture.h"
#include "tests/support/test_files.h"

using namespace std::string_literals;

namespace {

const std::string MinimalProgram = "!!ARBfp1.0\nMOV result.color, fragment.color;\nEND";
const uint8_t Background[3] = {51, 102, 153};

// RGBA pixels of the preview, top row first.
struct Picture {
    std::vector<uint8_t> rgba;
    int width = 0, height = 0;
    const uint8_t* At(int x, int y) const
    {
        return rgba.data() + (static_cast<size_t>(y) * width + x) * 4;
    }
    bool IsBackground(int x, int y) const
    {
        const uint8_t* p = At(x, y);
        return std::abs(p[0] - Background[0]) + std::abs(p[1] - Background[1]) + std::abs(p[2] - Background[2]) <= 3;
    }
    // Where a point of the model at rest lands, in pixels from the top-left corner: its
    // origin lies 4096 in front of the eye and 64 below the line of sight, seen with a
    // 45-degree vertical field of view.
    void Project(double x, double y, double z, double* px, double* py) const
    {
        double f = 1.0 / std::tan(22.5 * M_PI / 180.0), depth = 4096.0 - z;
        *px = (f * height / width * x / depth + 1.0) * 0.5 * width;
        *py = (1.0 - f * (y - 64.0) / depth) * 0.5 * height;
    }
    const uint8_t* Show(double x, double y, double z = 0.0) const
    {
        double px, py;
        Project(x, y, z, &px, &py);
        return At(static_cast<int>(px), static_cast<int>(py));
    }
    int Brightness(double x, double y, double z = 0.0) const
    {
        return Show(x, y, z)[0] + Show(x, y, z)[1] + Show(x, y, z)[2];
    }
};

// Bounding box (inclusive) of the pixels unlike the background, the overlay's corner left out.
struct PixelBox {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1, count = 0;
};

PixelBox MeshBox(const Picture& picture)
{
    PixelBox box;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            if ((x >= 128 || y >= 128) && !picture.IsBackground(x, y)) {
                ++box.count;
                box.left = std::min(box.left, x), box.right = std::max(box.right, x);
                box.top = std::min(box.top, y), box.bottom = std::max(box.bottom, y);
            }
    return box;
}

// What lies beside the stand-in executable as fp/light_std.fp, and the lighting path it leads to.
struct ProgramFile {
    const char* name;
    std::string text;  // "shipped": the program of the sources; "missing": no file
    bool perPixel;
};

const ProgramFile Shipped = {"Shipped", "shipped", true}, Missing = {"Missing", "missing", false};

class RenderTest : public MainWindowTest, public ::testing::WithParamInterface<ProgramFile> {
protected:
    // The program file beside the stand-in executable, then the window as start-up leaves
    // it, with a background to tell the mesh from.
    void SetUp() override
    {
        MainWindowTest::SetUp();
        steersView = false;  // the standard view, as batch mode draws it
        StartMainWindow();
        ASSERT_NE(PreviewGLContext, nullptr);
        ASSERT_EQ(FragmentProgramAvailable, GetParam().perPixel);
        for (int k = 0; k < 3; ++k)
            GenerationSettings.backgroundColor[k] = Background[k] / 255.0f;
    }

    void PrepareExeDirectory() override
    {
        std::vector<uint8_t> text(GetParam().text.begin(), GetParam().text.end());
        if (GetParam().text == Shipped.text)
            text = ReadFileBytes(ORVANEL_SOURCE_DIR "/fp/light_std.fp");
        ASSERT_EQ(RunCommand("mkdir '" + exeDir + "/fp' '" + exeDir + "/assets'"), 0);
        ASSERT_TRUE(GetParam().text == Missing.text || WriteFileBytes(exeDir + "/fp/light_std.fp", text));
        // one-texel default textures, white and flat: the pictures stay those of the program's stand-ins
        ASSERT_TRUE(
            WriteFileBytes(exeDir + "/assets/deftex.bmp", Bmp24Bytes(1, 1, [](int, int) { return 0xFFFFFFu; })));
        ASSERT_TRUE(
            WriteFileBytes(exeDir + "/assets/defnrm.bmp", Bmp24Bytes(1, 1, [](int, int) { return 0x8080FFu; })));
    }

    // A picture of `side` pixels of 0xRRGGBB colours, loaded as the user would: as the
    // heightmap, the decal or the normal map.
    void Load(int mode, const std::string& name, int side, const std::function<uint32_t(int x, int y)>& color)
    {
        ASSERT_TRUE(WriteFileBytes(exeDir + "/" + name, Bmp24Bytes(side, side, color)));
        ImageLoadMode = mode;
        LoadImageFile(Window(), (exeDir + "/" + name).c_str());
        ImageLoadMode = Heightmap;
    }

    void UsePlainTextures(uint32_t decal = 0xFFFFFF)
    {
        Load(Decal, "decal.bmp", 2, [=](int, int) { return decal; });
        Load(NormalMap, "normal.bmp", 2, [](int, int) { return 0x8080FFu; });
    }

    // The program's own Generate on a 64 x 64 heightmap at grid step 1, 24 units per pixel
    // and 16 per unit of red: flat, or its right half a ramp rising `rise` units of red
    // per pixel towards the eye; then a white decal and a flat normal map.
    void Generate(int rise = 0)
    {
        Load(Heightmap, "heightmap.bmp", 64, [=](int x, int) { return x < 32 ? 0u : uint32_t(x - 32) * rise << 16; });
        HeadlessMoveTrackbar(PropertiesWindow, FuzzTrackbarControl, 1);
        HeadlessMoveTrackbar(PropertiesWindow, HeightTrackbarControl, 4096);
        QueueFileDialogAnswer((exeDir + "/heightmesh.3ds").c_str());
        ASSERT_TRUE(OnGenerate());
        UsePlainTextures();
    }

    static Picture ReadPreview()
    {
        Picture picture;
        EXPECT_TRUE(HeadlessReadPixels(PreviewGLContext, &picture.rgba, &picture.width, &picture.height));
        return picture;
    }

    // A frame as the frame timer draws it; and what it must leave for the next one and
    // for the overlay.
    static Picture DrawFrame()
    {
        BuildFrame();
        SwapGLBuffers(PreviewGLContext);
        GLint state[3] = {};  // the active and client-active texture unit, the matrix mode
        glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &state[0]), glGetIntegerv(GL_CLIENT_ACTIVE_TEXTURE_ARB, &state[1]);
        glGetIntegerv(GL_MATRIX_MODE, &state[2]);
        EXPECT_TRUE(state[0] == GL_TEXTURE0_ARB && state[1] == GL_TEXTURE0_ARB && state[2] == GL_MODELVIEW);
        std::string leftOn = glIsEnabled(GL_FRAGMENT_PROGRAM_ARB) || glIsEnabled(GL_BLEND) ? "program or blending" : "";
        for (int unit = 1; GLExtensions.activeTexture && unit <= 3; ++unit) {
            GLExtensions.activeTexture(GL_TEXTURE0_ARB + unit);
            for (GLenum cap :
                 {GL_TEXTURE_2D, GL_TEXTURE_3D, GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_Q})
                leftOn += glIsEnabled(cap) ? " unit " + std::to_string(unit) + ": " + std::to_string(cap) : "";
            GLExtensions.activeTexture(GL_TEXTURE0_ARB);
        }
        EXPECT_EQ(leftOn, "");
        EXPECT_TRUE(EntityList == nullptr && LightList == nullptr);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        return ReadPreview();
    }
};

// Also the tests' names.
void PrintTo(const ProgramFile& file, std::ostream* out)
{
    *out << file.name;
}

// ---------------------------------------------------------------------------
// Set-up and the lighting textures, on every kind of program file

using ProgramFileTest = RenderTest;

// The path is decided once, at the first set-up, with its message: a later one (a resize,
// here to nothing) keeps the context, the message and the path, even when a good program
// has appeared since.
TEST_P(ProgramFileTest, FirstSetUpDecidesThePathWithItsMessage)
{
    const bool unreadable = GetParam().text == Missing.text || GetParam().text.size() > (1 << 20);
    EXPECT_EQ(StatusLine(),
              GetParam().perPixel ? "OpenGL initialization successful."
                  : unreadable    ? "Could not read the lighting program '" + exeDir + "/fp/light_std.fp'."
                                  : "Hardware does not support fp1.0, ppl functions unavailable.");
    EXPECT_TRUE(!GetParam().perPixel || glGetError() == GL_NO_ERROR);
    GLContextHandle context = PreviewGLContext;
    ASSERT_TRUE(WriteFileText(exeDir + "/fp/light_std.fp", MinimalProgram));
    SetControlText(Window(), StatusLineControl, "unchanged");
    ASSERT_TRUE(SetControlSize(Window(), PreviewFrameControl, 0, 0));
    EXPECT_TRUE(SetupPreviewGL(Window()));
    EXPECT_EQ(StatusLine(), "unchanged");
    EXPECT_TRUE(ViewportWidth == 1 && ViewportHeight == 1) << ViewportWidth << " x " << ViewportHeight;  // not empty
    EXPECT_TRUE(PreviewGLContext == context && context == HeadlessFindGLContext(Window(), PreviewFrameControl));
    EXPECT_EQ(FragmentProgramAvailable, GetParam().perPixel);
}

// The text is passed up to its first zero byte, the last line whole without a line break.
INSTANTIATE_TEST_SUITE_P(
    Files, ProgramFileTest,
    ::testing::Values(Shipped, Missing, ProgramFile{"Empty", "", false},
                      ProgramFile{"Broken", "!!ARBfp1.0\nMOV result.color, nothing;\nEND\n", false},
                      ProgramFile{"NoFinalLineBreak", MinimalProgram, true},
                      ProgramFile{"ZeroByteAfterTheEnd", MinimalProgram + "\0garbage that does not parse"s, true},
                      ProgramFile{"ZeroByteInside", "!!ARBfp1.0\n\0MOV result.color, fragment.color;\nEND\n"s, false},
                      ProgramFile{"OverOneMiB", MinimalProgram + std::string(1 << 20, '\n'), false}),
    ::testing::PrintToStringParamName());

// A stored program that cannot be read (its folder moved, or a pipe that would never end)
// gives way to the one beside the executable; the stored path stays.
TEST_P(ProgramFileTest, StoredProgramThatCannotBeReadGivesWayToTheOneBesideTheExecutable)
{
    const std::string pipe = exeDir + "/pipe.fp";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    alarm(20);  // a read that waits on the pipe ends the test
    for (const std::string& stored : {std::string("/moved/fp/light_std.fp"), pipe}) {
        ResetRendererForTests();
        snprintf(GenerationSettings.fragmentProgramPath, FragmentProgramPathSize, "%s", stored.c_str());
        SetupPreviewGL(Window());
        EXPECT_EQ(FragmentProgramAvailable, GetParam().perPixel) << stored;
        EXPECT_EQ(stored, GenerationSettings.fragmentProgramPath);
    }
    alarm(0);
}

// Each texel of cube face +X, -X, +Y, -Y, +Z, -Z holds the unit direction through its
// centre, as GL's cube-map lookup defines the faces, each component stored as
// trunc(c x 127 + 128). The attenuation volume holds 255 less the sum of three ramps
// along s, t and r, at least 0; the ramp is 255 x^2 over the texel centres x in
// [-1, 1], its two outermost entries 255; clamped at its edges, so that nothing beyond
// a light's radius is lit.
TEST_P(RenderTest, LightingTexturesHoldTheirDefinitions)
{
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    GLExtensions.activeTexture(GL_TEXTURE3_ARB);
    std::vector<uint8_t> texels(128 * 128 * 3);
    int mismatches = 0;
    for (int face = 0; face < 6; ++face) {
        glGetTexImage(GL_TEXTURE_CUBE_MAP_POSITIVE_X_ARB + face, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
        for (int j = 0; j < 128; ++j)
            for (int i = 0; i < 128; ++i) {
                double s = (i + 0.5) / 64 - 1.0, t = (j + 0.5) / 64 - 1.0, length = std::sqrt(1 + s * s + t * t);
                const double faces[6][3] = {{1, -t, -s}, {-1, -t, s}, {s, 1, t}, {s, -1, -t}, {s, -t, 1}, {-s, -t, -1}};
                for (int k = 0; k < 3; ++k)
                    mismatches += texels[(j * 128 + i) * 3 + k] != int(faces[face][k] / length * 127.0 + 128.0);
            }
    }
    const int ramp[32] = {255, 223, 193, 165, 140, 117, 95, 76, 59, 44, 32,  21,  13,  6,   2,   0,
                          0,   2,   6,   13,  21,  32,  44, 59, 76, 95, 117, 140, 165, 193, 223, 255};
    GLExtensions.activeTexture(GL_TEXTURE1_ARB);
    glGetTexImage(GL_TEXTURE_3D, 0, GL_RED, GL_UNSIGNED_BYTE, texels.data());
    for (int r = 0; r < 32; ++r)
        for (int t = 0; t < 32; ++t)
            for (int s = 0; s < 32; ++s)
                mismatches += texels[(r * 32 + t) * 32 + s] != 255 - std::min(255, ramp[s] + ramp[t] + ramp[r]);
    EXPECT_EQ(mismatches, 0);
    for (GLenum wrap : {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T, GL_TEXTURE_WRAP_R}) {
        GLint value = 0;
        glGetTexParameteriv(GL_TEXTURE_3D, wrap, &value);
        EXPECT_EQ(value, GL_CLAMP_TO_EDGE);
    }
    GLExtensions.activeTexture(GL_TEXTURE0_ARB);
}

// ---------------------------------------------------------------------------
// Frames on both paths: the lighting program, and the fallback's vertex colours

using FrameTest = RenderTest;
INSTANTIATE_TEST_SUITE_P(Paths, FrameTest, ::testing::Values(Shipped, Missing), ::testing::PrintToStringParamName());

// 64 x 64 pixels at 24 units each; the left half flat, the right half rising 48 units
// per 24 across to 1488 at its far edge: nearly white where it faces the eye, darker
// where steep, in the decal's colour, its normals read from the normal map at the
// texture coordinates. The heightmap shows upright, exactly 128 pixels square, in the
// top-left corner over it, and goes once a load has failed.
TEST_P(FrameTest, MeshLiesWhereTheProjectionPutsItLitByItsSlopeUnderTheOverlay)
{
    Generate(3);
    Picture picture = DrawFrame();
    PixelBox box = MeshBox(picture);
    double left, top, right, bottom, unused;
    picture.Project(-768, 768, 0, &left, &unused);
    picture.Project(744, 768, 1488, &right, &top);
    picture.Project(744, -744, 1488, &unused, &bottom);
    EXPECT_NEAR(box.left, left, 1.5);
    EXPECT_NEAR(box.top, top, 1.5);
    EXPECT_NEAR(box.right + 1, right, 1.5);
    EXPECT_NEAR(box.bottom + 1, bottom, 1.5);
    double flat = picture.Brightness(-384, 0), steep = picture.Brightness(384, 0, 768);
    EXPECT_GT(flat, 3 * 235);
    EXPECT_TRUE(steep < 0.75 * flat && steep > 0.3 * flat) << steep << " against " << flat;
    if (GetParam().perPixel) {  // the second column of the normal map turned edge-on to the light
        Load(NormalMap, "normal.bmp", 4, [](int x, int) { return x == 1 ? 0xFF8080u : 0x8080FFu; });
        picture = DrawFrame();
        EXPECT_TRUE(picture.Brightness(-576, 0) > 3 * 235 && picture.Brightness(-192, 0) < 3 * 20);
    }
    UsePlainTextures(0xFF00FF);
    picture = DrawFrame();
    const uint8_t* p = picture.Show(-384, 0);
    EXPECT_TRUE(p[0] > 235 && p[1] < 3 && p[2] > 235) << int(p[0]) << " " << int(p[1]) << " " << int(p[2]);

    Load(Heightmap, "two-tone.bmp", 64, [](int, int y) { return y < 32 ? 0xFF0000u : 0x0000FFu; });
    picture = DrawFrame();
    for (int y : {2, 60, 68, 125}) {
        EXPECT_EQ(picture.At(64, y)[0], y < 64 ? 255 : 0) << y;
        EXPECT_EQ(picture.At(64, y)[2], y < 64 ? 0 : 255) << y;
    }
    EXPECT_FALSE(picture.IsBackground(127, 64) || picture.IsBackground(64, 127));
    EXPECT_TRUE(picture.IsBackground(128, 64) && picture.IsBackground(64, 128));
    Load(Heightmap, "odd.bmp", 48, [](int, int) { return 0xFF0000u; });
    ASSERT_EQ(HeightmapImage, nullptr);
    EXPECT_TRUE(DrawFrame().IsBackground(10, 10));
}

// Each further light adds a pass at equal depth; a light fades towards its radius,
// wherever it stands relative to the model.
TEST_P(FrameTest, LightsAddUpAndFadeWithDistance)
{
    Generate();
    SceneEntity entity = {};  // as the frame places the model
    entity.position = FrameEntityPosition;
    entity.angles[0] = FrameTiltOffset;
    entity.angles[1] = FrameSpinOffset;
    entity.active = 1;
    entity.surfaces = GetInstanceModel(CurrentModelInstance)->firstSurface;
    entity.decalTexture = DecalTextureId;
    entity.normalTexture = NormalTextureId;
    CurrentModelInstance = nullptr;  // the frames draw only what is added here
    const float scenes[4][3] = {{0.25f, FrameLightRadius, 1},
                                {0.25f, FrameLightRadius, 2},
                                {1, FrameLightRadius, 1},
                                {1, 6000, 1}};  // level, radius, lights
    int brightness[4];
    for (int i = 0; i < 4; ++i) {
        SceneLight light = {};
        light.color[0] = light.color[1] = light.color[2] = scenes[i][0];
        light.radius = scenes[i][1];
        AddEntity(&entity);
        for (int n = 0; n < scenes[i][2]; ++n)
            AddLight(&light);
        brightness[i] = DrawFrame().Brightness(-200, 100);
    }
    EXPECT_NEAR(brightness[0], 0.25 * brightness[2], 6);
    EXPECT_NEAR(brightness[1], 2 * brightness[0], 6);
    // 4096 from a light of radius 6000: a third to a half of it is left
    EXPECT_TRUE(brightness[3] > 0.2 * brightness[2] && brightness[3] < 0.65 * brightness[2]) << brightness[3];
}

// Spin turns about the screen's vertical axis, tilt tips the mesh towards the eye:
// the turned side shrinks by about cos 60, the edge that came nearer grows the other.
TEST_P(FrameTest, DragAnglesTurnTheMesh)
{
    Generate();
    PixelBox rest = MeshBox(DrawFrame());
    for (float* angle : {&ViewSpin, &ViewTilt}) {
        ViewSpin = ViewTilt = 0.0f;
        *angle = 60.0f;
        PixelBox box = MeshBox(DrawFrame());
        double across = (box.right - box.left + 1.0) / (rest.right - rest.left + 1.0);
        double down = (box.bottom - box.top + 1.0) / (rest.bottom - rest.top + 1.0);
        double shrunk = angle == &ViewSpin ? across : down, grown = angle == &ViewSpin ? down : across;
        EXPECT_TRUE(shrunk > 0.4 && shrunk < 0.6 && grown >= 1.0 && grown < 1.3) << shrunk << ", " << grown;
    }
}

// assimp's file has no texture coordinates, and surfaces without vertices.
TEST_P(FrameTest, ForeignFileWithoutTextureCoordinatesIsDrawn)
{
    ASSERT_TRUE(WriteFileText(exeDir + "/quad.obj",
                              "o quad\nv -500 -500 0\nv 500 -500 0\nv 500 500 0\nv -500 500 0\nf 1 2 3\nf 1 3 4\n"));
    ASSERT_EQ(RunCommand("cd '" + exeDir + "' && assimp export quad.obj quad.3ds"), 0) << "assimp is needed";
    CurrentModelInstance = LoadModelInstance((exeDir + "/quad.3ds").c_str());
    ASSERT_NE(CurrentModelInstance, nullptr);
    UsePlainTextures();
    Picture picture = DrawFrame();
    PixelBox box = MeshBox(picture);
    double left, top;
    picture.Project(-500, 500, 0, &left, &top);
    EXPECT_TRUE(std::abs(box.left - left) < 1.5 && std::abs(box.top - top) < 1.5) << box.left << ", " << box.top;
    EXPECT_GT(picture.Brightness(0, 0), 3 * 235);
}

// ---------------------------------------------------------------------------
// One path is enough

INSTANTIATE_TEST_SUITE_P(Program, RenderTest, ::testing::Values(Shipped), ::testing::PrintToStringParamName());

// The frame timer draws and presents while the window exists, reloading an unloaded
// model; each frame clears with the background of the moment. After shut-down nothing
// is set up without a context.
TEST_P(RenderTest, TimerPresentsAFrameWhileTheWindowExists)
{
    EXPECT_EQ(MeshBox(DrawFrame()).count, 0);
    Generate();
    UnloadModelSlot(CurrentModelInstance->slot);
    int swaps = HeadlessSwapCount(PreviewGLContext);
    EXPECT_EQ(TickHeadlessTimers(1), 2);  // the frame and the live preview
    EXPECT_EQ(HeadlessSwapCount(PreviewGLContext), swaps + 1);
    EXPECT_GT(MeshBox(ReadPreview()).count, 1000);
    GenerationSettings.backgroundColor[0] = 1.0f;
    EXPECT_EQ(DrawFrame().rgba.end()[-4], 255);
    MainWindow = nullptr;
    FrameTimerProc(nullptr, 0, FrameTimerId, 0);
    EXPECT_EQ(HeadlessSwapCount(PreviewGLContext), swaps + 2);
    MainWindow = Window();
    ReleasePreviewGL();
    ReleasePreviewGL();  // harmless twice
    EXPECT_FALSE(SetupPreviewGL(Window()) || SetupPreviewGL(nullptr));
}

}  // namespace

namespace {

// While nothing changes the timer presents nothing; each kind of change presents one
// frame again, the same picture as one drawn at once.
TEST_P(RenderTest, TimerPresentsOnlyWhenThePictureChanges)
{
    Generate();
    const std::function<void()> changes[] = {
        [] { ViewSpin += 1.0f; },        [] { GenerationSettings.backgroundColor[1] = 0.5f; },
        [this] { UsePlainTextures(); },  [this] { HeadlessResizeClient(Window(), 300, 260); },
        [] { PreviewOutOfDate = true; },
    };
    TickHeadlessTimers(1);
    for (const auto& change : changes) {
        int swaps = HeadlessSwapCount(PreviewGLContext);
        TickHeadlessTimers(3);
        EXPECT_EQ(HeadlessSwapCount(PreviewGLContext), swaps);
        change();
        TickHeadlessTimers(3);
        EXPECT_EQ(HeadlessSwapCount(PreviewGLContext), swaps + 1);
        std::vector<uint8_t> presented = ReadPreview().rgba;
        EXPECT_TRUE(presented == DrawFrame().rgba);
    }
}

// A framed mesh stays whole inside the preview however it is turned, and fills a good
// part of it whether it was far too small or far too big before.
TEST_P(FrameTest, FramedMeshFitsThePreviewAtEveryAngle)
{
    Generate();
    const Picture standard = DrawFrame();
    const int shorter = std::min(standard.width, standard.height);
    const float angles[][2] = {{0, 0}, {60, 0}, {45, 60}, {0, 90}};
    for (float zoom : {0.25f, 64.0f}) {
        ViewZoom = zoom;
        FitViewToModel(GetInstanceModel(CurrentModelInstance));
        for (const auto& angle : angles) {
            ViewSpin = angle[0], ViewTilt = angle[1];
            PixelBox box = MeshBox(DrawFrame());
            bool inside =
                box.left > 0 && box.top > 0 && box.right < standard.width - 1 && box.bottom < standard.height - 1;
            EXPECT_TRUE(inside && std::max(box.right - box.left, box.bottom - box.top) > shorter / 3)
                << zoom << ", " << angle[0] << ", " << angle[1];
        }
    }
}

int PixelBrightness(const Picture& picture, int x, int y)
{
    return picture.At(x, y)[0] + picture.At(x, y)[1] + picture.At(x, y)[2];
}

// Mean brightness of the mesh's left and right halves.
std::pair<double, double> HalfBrightness(const Picture& picture)
{
    const PixelBox box = MeshBox(picture);
    const int middle = (box.left + box.right) / 2;
    double sums[2] = {}, counts[2] = {};
    for (int y = box.top; y <= box.bottom; ++y)
        for (int x = box.left; x <= box.right; ++x)
            if ((x >= 128 || y >= 128) && !picture.IsBackground(x, y))
                sums[x > middle] += PixelBrightness(picture, x, y), ++counts[x > middle];
    return {sums[0] / counts[0], sums[1] / counts[1]};
}

// The light turned to the right lights the right half more; overhead it lights both
// alike. Wireframe draws dark edges over the surface.
TEST_P(FrameTest, LightDirectionAndWireframeShowInThePixels)
{
    Generate();
    const Picture plain = DrawFrame();
    auto overhead = HalfBrightness(plain);
    EXPECT_NEAR(overhead.first, overhead.second, 0.05 * overhead.second);
    SettingsBlock.lightAzimuth = 90.0f, SettingsBlock.lightElevation = 30.0f;
    auto fromRight = HalfBrightness(DrawFrame());
    EXPECT_GT(fromRight.second, 1.1 * fromRight.first);
    SettingsBlock.lightElevation = 90.0f;
    EXPECT_TRUE(DrawFrame().rgba == plain.rgba);

    SettingsBlock.wireframe = 1;
    const Picture wired = DrawFrame();
    int darkened = 0;
    for (int y = 0; y < plain.height; ++y)
        for (int x = 0; x < plain.width; ++x)
            darkened += PixelBrightness(wired, x, y) + 60 < PixelBrightness(plain, x, y);
    EXPECT_GT(darkened, MeshBox(plain).count / 10);
}

}  // namespace
