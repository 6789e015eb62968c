// Whole frames of a generated heightmesh, drawn by Mesa and read back as pixels:
// placement, lighting in both paths, the overlay, light passes, entity order,
// the GL state between frames and the drag angles.
#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>

#include "tests/render/render_fixture.h"

namespace {

// 64 x 64 pixels at 24 units each, everything at height 0.
HeightmeshShape FlatShape()
{
    return HeightmeshShape();
}

// Left half flat, right half a steep ramp rising towards the eye (48 units up
// per 24 across).
HeightmeshShape RampShape()
{
    HeightmeshShape shape;
    shape.heightScale = 16.0f;
    shape.red = [](int x, int) { return x < 32 ? 0 : (x - 32) * 3; };
    return shape;
}

class SceneTest : public RenderTest {
protected:
    // Mean brightness (r + g + b) of the 5 x 5 pixels around a point of the model at rest.
    double Brightness(const Picture& picture, double x, double y, double z)
    {
        double px = 0, py = 0;
        ProjectAtRest(x, y, z, &px, &py);
        int cx = static_cast<int>(px), cy = static_cast<int>(py);
        double sum = 0;
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx)
                sum += picture.Brightness(cx + dx, cy + dy);
        return sum / 25.0;
    }

    // The mesh lies where the frame's placement puts it: origin 4096 in front of
    // the eye and 64 below the line of sight.
    void ExpectFlatMeshPlacedAtRest(const Picture& picture)
    {
        PixelBox box = MeshBox(picture);
        ASSERT_FALSE(box.Empty());
        double left, top, right, bottom;
        ProjectAtRest(-768, 768, 0, &left, &top);
        ProjectAtRest(744, -744, 0, &right, &bottom);
        EXPECT_NEAR(box.left, left, 1.5);
        EXPECT_NEAR(box.right + 1, right, 1.5);
        EXPECT_NEAR(box.top, top, 1.5);
        EXPECT_NEAR(box.bottom + 1, bottom, 1.5);
        EXPECT_NEAR(box.CentreX(), picture.width / 2.0, 2.0);
        EXPECT_GT(box.CentreY(), picture.height / 2.0 + 2.0);  // a little below the middle
        EXPECT_LT(box.CentreY(), picture.height / 2.0 + 12.0);
        // the background where there is no mesh
        const uint8_t background[3] = {51, 102, 153};
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(picture.At(picture.width - 1, 0)[k], background[k]);
            EXPECT_EQ(picture.At(picture.width - 1, picture.height - 1)[k], background[k]);
        }
    }

    // Flat parts face the eye and are nearly white; the steep ramp is clearly darker.
    void ExpectRampLitByTheEye(const Picture& picture)
    {
        double flat = Brightness(picture, -384, 0, 0);
        double steep = Brightness(picture, 384, 0, 768);
        EXPECT_GT(flat, 3 * 235);
        EXPECT_LT(steep, 0.75 * flat);
        EXPECT_GT(steep, 0.3 * flat);  // lit, not black
    }

    SceneEntity FrameEntity(uint32_t decal, uint32_t normal)
    {
        SceneEntity entity = {};
        entity.position = FrameEntityPosition;
        entity.angles[0] = FrameTiltOffset;
        entity.angles[1] = FrameSpinOffset;
        entity.active = 1;
        entity.surfaces = GetInstanceModel(CurrentModelInstance)->firstSurface;
        entity.decalTexture = decal;
        entity.normalTexture = normal;
        return entity;
    }

    SceneLight EyeLight(float level)
    {
        SceneLight light = {};
        light.color[0] = light.color[1] = light.color[2] = level;
        light.radius = FrameLightRadius;
        return light;
    }

    void ExpectStateBetweenFrames()
    {
        EXPECT_FALSE(glIsEnabled(GL_FRAGMENT_PROGRAM_ARB));
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
        GLint value = 0;
        glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &value);
        EXPECT_EQ(value, GL_TEXTURE0_ARB);
        glGetIntegerv(GL_CLIENT_ACTIVE_TEXTURE_ARB, &value);
        EXPECT_EQ(value, GL_TEXTURE0_ARB);
        glGetIntegerv(GL_MATRIX_MODE, &value);
        EXPECT_EQ(value, GL_MODELVIEW);
        if (GLExtensions.activeTexture) {
            for (int unit = 1; unit <= 3; ++unit) {
                GLExtensions.activeTexture(GL_TEXTURE0_ARB + unit);
                EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << "unit " << unit;
                EXPECT_FALSE(glIsEnabled(GL_TEXTURE_3D)) << "unit " << unit;
                EXPECT_FALSE(glIsEnabled(GL_TEXTURE_CUBE_MAP_ARB)) << "unit " << unit;
                EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S)) << "unit " << unit;
                EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_Q)) << "unit " << unit;
            }
            GLExtensions.activeTexture(GL_TEXTURE0_ARB);
        }
        EXPECT_EQ(EntityList, nullptr);
        EXPECT_EQ(LightList, nullptr);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
};

// Each frame test runs with the lighting program and with the fallback's vertex colours.
class ScenePathTest : public SceneTest, public ::testing::WithParamInterface<bool> {
protected:
    ScenePathTest()
    {
        programFile = GetParam() ? ProgramFile::Present : ProgramFile::Missing;
    }

    void StartWith(const HeightmeshShape& shape, const std::vector<uint16_t>& extraFaces = {},
                   bool withTexCoords = true)
    {
        ASSERT_NO_FATAL_FAILURE(StartPreview());
        ASSERT_EQ(FragmentProgramAvailable, GetParam());
        UsePlainTextures();
        ASSERT_NO_FATAL_FAILURE(LoadHeightmesh(shape, extraFaces, withTexCoords));
    }
};

INSTANTIATE_TEST_SUITE_P(Paths, ScenePathTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "Program" : "Fallback");
                         });

TEST_P(ScenePathTest, FlatMeshAtRestIsCentredALittleBelowTheMiddle)
{
    StartWith(FlatShape());
    Picture picture = DrawFrame();
    ExpectFlatMeshPlacedAtRest(picture);
    // facing the eye: lit nearly white in the middle
    EXPECT_GT(Brightness(picture, 0, 0, 0), 3 * (GetParam() ? 240 : 235));
    ExpectStateBetweenFrames();
}

TEST_P(ScenePathTest, BrighterWhereTheMeshFacesTheEye)
{
    StartWith(RampShape());
    ExpectRampLitByTheEye(DrawFrame());
}

TEST_P(ScenePathTest, DecalColorModulatesTheLight)
{
    StartWith(FlatShape());
    const uint8_t color[3] = {uint8_t(GetParam() ? 255 : 0), uint8_t(GetParam() ? 0 : 255), 0};
    DecalTextureId = SolidTexture(color[0], color[1], color[2]);
    Picture picture = DrawFrame();
    double px, py;
    ProjectAtRest(0, 0, 0, &px, &py);
    const uint8_t* p = picture.At(static_cast<int>(px), static_cast<int>(py));
    for (int k = 0; k < 3; ++k) {
        if (color[k])
            EXPECT_GT(p[k], 235) << k;
        else
            EXPECT_LT(p[k], 3) << k;
    }
}

TEST_P(ScenePathTest, SecondLightAddsASecondPass)
{
    StartWith(FlatShape());
    double px, py;
    ProjectAtRest(-200, 100, 0, &px, &py);
    SceneEntity entity = FrameEntity(DecalTextureId, NormalTextureId);
    SceneLight light = EyeLight(0.25f);
    int brightness[2];
    for (int lights = 1; lights <= 2; ++lights) {
        AddEntity(&entity);
        for (int i = 0; i < lights; ++i)
            AddLight(&light);
        RenderFrame();
        ExpectStateBetweenFrames();
        brightness[lights - 1] = ReadPreview().Brightness(static_cast<int>(px), static_cast<int>(py));
    }
    EXPECT_GT(brightness[0], 3 * 55);
    EXPECT_LT(brightness[0], 3 * 66);
    EXPECT_NEAR(brightness[1], 2 * brightness[0], 6);
}

TEST_P(ScenePathTest, FacesWithCornerPastTheVertexListAreLeftOut)
{
    StartWith(FlatShape());
    Picture sound = DrawFrame();
    ReleaseAllModels();
    LoadHeightmesh(FlatShape(), {0, 1, 60000, 0, 65535, 2, 3, 0});
    Picture damaged = DrawFrame();
    EXPECT_EQ(sound.rgba, damaged.rgba);
}

TEST_P(ScenePathTest, SurfaceWithoutTextureCoordinatesIsDrawnWithoutReadingThem)
{
    StartWith(FlatShape(), {}, false);
    ASSERT_EQ(SurfaceTexCoordPairs(GetInstanceModel(CurrentModelInstance)->firstSurface), nullptr);
    ExpectFlatMeshPlacedAtRest(DrawFrame());
    ExpectStateBetweenFrames();
}

// Pixels whose colour differs clearly between two pictures.
int DifferingPixels(const Picture& a, const Picture& b)
{
    int count = 0;
    for (size_t i = 0; i + 3 < a.rgba.size() && i + 3 < b.rgba.size(); i += 4) {
        int d = std::abs(a.rgba[i] - b.rgba[i]) + std::abs(a.rgba[i + 1] - b.rgba[i + 1]) +
            std::abs(a.rgba[i + 2] - b.rgba[i + 2]);
        count += d > 24;
    }
    return count;
}

TEST_P(ScenePathTest, FullSpinShowsTheSamePictureAsNone)
{
    StartWith(RampShape());
    Picture rest = DrawFrame();
    ViewSpin = 360.0f;
    Picture turned = DrawFrame();
    // only a few edge pixels may round the other way
    EXPECT_LT(DifferingPixels(rest, turned), 20);
    ViewSpin = 90.0f;
    Picture edgeOn = DrawFrame();
    EXPECT_GT(DifferingPixels(rest, edgeOn), 1000);
}

TEST_F(SceneTest, OverlayShowsHeightmapUprightInTopLeftCorner)
{
    StartPreview();
    UseTwoToneHeightmap(64);
    Picture picture = DrawFrame();  // no model: background and overlay only
    for (int y : {2, 30, 60}) {
        EXPECT_EQ(picture.At(64, y)[0], 255) << y;
        EXPECT_EQ(picture.At(64, y)[2], 0) << y;
    }
    for (int y : {68, 100, 125}) {
        EXPECT_EQ(picture.At(64, y)[0], 0) << y;
        EXPECT_EQ(picture.At(64, y)[2], 255) << y;
    }
    // exactly 128 x 128 pixels
    EXPECT_EQ(picture.At(127, 127)[2], 255);
    EXPECT_EQ(picture.At(128, 127)[0], 51);
    EXPECT_EQ(picture.At(127, 128)[0], 51);
    EXPECT_TRUE(MeshBox(picture).Empty());
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    // and none without the heightmap's texture
    HeightmapTextureId = 0;
    picture = DrawFrame();
    EXPECT_EQ(picture.At(10, 10)[0], 51);
    EXPECT_EQ(picture.At(10, 10)[1], 102);
}

TEST_F(SceneTest, OverlayOfLargePictureIsStill128Pixels)
{
    StartPreview();
    UseTwoToneHeightmap(1024);
    Picture picture = DrawFrame();
    EXPECT_EQ(picture.At(0, 0)[0], 255);
    EXPECT_EQ(picture.At(127, 127)[2], 255);
    EXPECT_EQ(picture.At(128, 0)[0], 51);
    EXPECT_EQ(picture.At(0, 128)[0], 51);
}

class SceneFallbackTest : public SceneTest {
protected:
    SceneFallbackTest()
    {
        programFile = ProgramFile::Missing;
    }
};

TEST_F(SceneFallbackTest, OverlayIsDrawnOverTheLitMesh)
{
    StartPreview();
    UsePlainTextures();
    UseTwoToneHeightmap(64);
    LoadHeightmesh(FlatShape());
    Picture picture = DrawFrame();
    EXPECT_EQ(picture.At(64, 10)[0], 255);
    EXPECT_EQ(picture.At(64, 110)[2], 255);
    EXPECT_FALSE(MeshBox(picture).Empty());
    ExpectStateBetweenFrames();
}

// Without a light, or with the entity inactive, nothing of the surface is drawn.
TEST_F(SceneTest, NoLightOrInactiveEntityDrawsNothing)
{
    StartPreview();
    UsePlainTextures();
    LoadHeightmesh(FlatShape());
    SceneEntity entity = FrameEntity(DecalTextureId, NormalTextureId);
    SceneLight light = EyeLight(1.0f);
    AddEntity(&entity);
    RenderFrame();
    EXPECT_TRUE(MeshBox(ReadPreview()).Empty());
    ExpectStateBetweenFrames();
    entity.active = 0;
    AddEntity(&entity);
    AddLight(&light);
    RenderFrame();
    EXPECT_TRUE(MeshBox(ReadPreview()).Empty());
    ExpectStateBetweenFrames();
}

TEST_F(SceneTest, EntitiesAreDrawnLastAddedFirst)
{
    StartPreview();
    UsePlainTextures();
    LoadHeightmesh(FlatShape());
    GLuint red = SolidTexture(255, 0, 0), green = SolidTexture(0, 255, 0);
    SceneEntity first = FrameEntity(red, NormalTextureId);
    SceneEntity second = FrameEntity(green, NormalTextureId);
    SceneLight light = EyeLight(1.0f);
    AddEntity(&first);
    AddEntity(&second);
    AddLight(&light);
    RenderFrame();
    ExpectStateBetweenFrames();
    double px, py;
    ProjectAtRest(0, 0, 0, &px, &py);
    // at equal depth the one drawn last, the first added, covers the other
    Picture picture = ReadPreview();
    const uint8_t* p = picture.At(static_cast<int>(px), static_cast<int>(py));
    EXPECT_GT(p[0], 235);
    EXPECT_LT(p[1], 3);
}

// Spin turns about the screen's vertical axis, tilt tips the mesh: the turned
// side shrinks by about cos 60, the edge that came nearer grows the other side.
TEST_F(SceneTest, SpinAndTiltTurnTheMesh)
{
    StartPreview();
    UsePlainTextures();
    LoadHeightmesh(FlatShape());
    PixelBox rest = MeshBox(DrawFrame());
    for (float* angle : {&ViewSpin, &ViewTilt}) {
        bool spin = angle == &ViewSpin;
        SCOPED_TRACE(spin ? "spin" : "tilt");
        ViewSpin = ViewTilt = 0.0f;
        *angle = 60.0f;
        PixelBox turned = MeshBox(DrawFrame());
        ASSERT_FALSE(turned.Empty());
        double widthRatio = (turned.right - turned.left + 1.0) / (rest.right - rest.left + 1.0);
        double heightRatio = (turned.bottom - turned.top + 1.0) / (rest.bottom - rest.top + 1.0);
        double shrunk = spin ? widthRatio : heightRatio, grown = spin ? heightRatio : widthRatio;
        EXPECT_GT(shrunk, 0.4);
        EXPECT_LT(shrunk, 0.6);
        EXPECT_GE(grown, 1.0);
        EXPECT_LT(grown, 1.3);
    }
}

TEST_F(SceneTest, CameraViewMapsWorldToEye)
{
    StartPreview();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    ApplyCameraTransform();
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    // world (x, y, z) -> eye (-y, -z, x)
    const float world[3] = {3.0f, 5.0f, 7.0f};
    float eye[3];
    for (int row = 0; row < 3; ++row)
        eye[row] = m[row] * world[0] + m[4 + row] * world[1] + m[8 + row] * world[2] + m[12 + row];
    EXPECT_NEAR(eye[0], -5.0f, 1e-5);
    EXPECT_NEAR(eye[1], -7.0f, 1e-5);
    EXPECT_NEAR(eye[2], 3.0f, 1e-5);
    glLoadIdentity();
}

TEST_F(SceneTest, WorldToObjectInvertsThePlacement)
{
    StartPreview();
    SceneEntity entity = {};
    entity.position = FrameEntityPosition;
    entity.angles[0] = FrameTiltOffset;
    entity.angles[1] = FrameSpinOffset;
    float w[12];
    EntityWorldToObject(entity, w);
    // the eye at the world origin lies 4096 in front of the model and 64 above its origin
    Vec3 eye = {0.0f, 0.0f, 0.0f}, object;
    TransformPoint(w, eye, object);
    EXPECT_NEAR(object.x, 0.0f, 1e-2);
    EXPECT_NEAR(object.y, 64.0f, 1e-2);
    EXPECT_NEAR(object.z, 4096.0f, 1e-2);
    // the modelview matrix is left as it was
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_EQ(m[0], 1.0f);
    EXPECT_EQ(m[12], 0.0f);
}

}  // namespace
