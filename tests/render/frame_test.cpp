// The frame loop: the timer callback, the frame's scene and the lists.
#include <GL/gl.h>

#include "tests/render/render_fixture.h"

namespace {

TEST(FrameLists, AddEntityAppendsCopiesInOrder)
{
    ResetRendererForTests();
    SceneEntity entity = {};
    entity.position = {1.0f, 2.0f, 3.0f};
    entity.decalTexture = 7;
    entity.next = reinterpret_cast<SceneEntity*>(&entity);  // never followed
    AddEntity(&entity);
    entity.decalTexture = 8;
    AddEntity(&entity);
    ASSERT_NE(EntityList, nullptr);
    EXPECT_NE(EntityList, &entity);
    EXPECT_EQ(EntityList->decalTexture, 7u);
    EXPECT_EQ(EntityList->position.z, 3.0f);
    ASSERT_NE(EntityList->next, nullptr);
    EXPECT_EQ(EntityList->next->decalTexture, 8u);
    EXPECT_EQ(EntityList->next->next, nullptr);
    DrawEntityList(EntityList, true, false);
    EntityList = nullptr;
}

TEST(FrameLists, AddLightAppendsCopiesInOrder)
{
    ResetRendererForTests();
    SceneLight light = {};
    light.radius = 10.0f;
    AddLight(&light);
    light.radius = 20.0f;
    AddLight(&light);
    ASSERT_NE(LightList, nullptr);
    EXPECT_EQ(LightList->radius, 10.0f);
    ASSERT_NE(LightList->next, nullptr);
    EXPECT_EQ(LightList->next->radius, 20.0f);
    EXPECT_EQ(LightList->next->next, nullptr);
    FreeLightList(LightList);
    LightList = nullptr;
}

class FrameTest : public RenderTest {};

TEST_F(FrameTest, TimerTickDrawsAndSwapsWhileTheWindowExists)
{
    StartPreview();
    UsePlainTextures();
    LoadHeightmesh(HeightmeshShape());
    ASSERT_TRUE(SetWindowTimer(Window(), FrameTimerId, FrameTimerIntervalMs, FrameTimerProc));
    int swaps = HeadlessSwapCount(PreviewGLContext);
    // once the window installs its own frame timer at start-up, both tick
    int calls = TickHeadlessTimers(3);
    EXPECT_GE(calls, 3);
    EXPECT_EQ(HeadlessSwapCount(PreviewGLContext), swaps + calls);
    EXPECT_EQ(EntityList, nullptr);
    EXPECT_EQ(LightList, nullptr);
    EXPECT_FALSE(MeshBox(ReadPreview()).Empty());

    MainWindow = nullptr;  // no window: no frame, no swap
    FrameTimerProc(nullptr, 0, FrameTimerId, 0);
    EXPECT_EQ(HeadlessSwapCount(PreviewGLContext), swaps + calls);
    MainWindow = Window();
}

TEST_F(FrameTest, FrameWithoutModelShowsOnlyTheBackground)
{
    StartPreview();
    Picture picture = DrawFrame();
    EXPECT_TRUE(MeshBox(picture, false).Empty());
    EXPECT_EQ(EntityList, nullptr);
    EXPECT_EQ(LightList, nullptr);
}

TEST_F(FrameTest, FrameUsesTheCurrentTexturesAndDragAngles)
{
    StartPreview();
    UsePlainTextures();
    DecalTextureId = SolidTexture(0, 0, 255);
    LoadHeightmesh(HeightmeshShape());
    Picture picture = DrawFrame();
    double px, py;
    ProjectAtRest(0, 0, 0, &px, &py);
    const uint8_t* p = picture.At(static_cast<int>(px), static_cast<int>(py));
    EXPECT_LT(p[0], 3);
    EXPECT_GT(p[2], 235);
    // a quarter turn of spin shows the flat mesh edge-on
    ViewSpin = 90.0f;
    PixelBox edgeOn = MeshBox(DrawFrame());
    EXPECT_LT(edgeOn.count, 400);
}

TEST_F(FrameTest, UnloadedModelIsReloadedForTheFrame)
{
    StartPreview();
    UsePlainTextures();
    LoadHeightmesh(HeightmeshShape());
    UnloadModelSlot(CurrentModelInstance->slot);
    EXPECT_FALSE(MeshBox(DrawFrame()).Empty());
}

TEST_F(FrameTest, SceneConstants)
{
    EXPECT_EQ(FrameTimerId, 1025u);
    EXPECT_EQ(FrameTimerIntervalMs, 0u);
    EXPECT_EQ(FrameSleepMs, 5u);
    EXPECT_EQ(FrameEntityPosition.x, -4096.0f);
    EXPECT_EQ(FrameEntityPosition.y, 0.0f);
    EXPECT_EQ(FrameEntityPosition.z, 64.0f);
    EXPECT_EQ(FrameLightRadius, 163840.0f);
    EXPECT_EQ(FrameLightColor[0], 1.0f);
    EXPECT_EQ(FrameLightPosition.x, 0.0f);
    EXPECT_EQ(Camera.position.x, 0.0f);
    EXPECT_EQ(Camera.angles[1], 0.0f);
}

TEST(HeightmeshFile, HasTheWritersLength)
{
    HeightmeshShape shape;
    shape.width = 4;
    shape.height = 4;
    HeightmeshData mesh = SampleHeightmesh(shape);
    std::vector<uint8_t> bytes = HeightmeshFileBytes(mesh);
    EXPECT_EQ(bytes.size(), 67u + 20u * 16u + 8u * 18u);
    EXPECT_EQ(bytes[37], 0x00);  // TriMesh id, low byte
    EXPECT_EQ(bytes[38], 0x41);
}

}  // namespace
