// The fallback's CPU lighting on hand-made surfaces: no GL involved.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "render/fallback_lighting.h"
#include "render/frame.h"
#include "render/gl_setup.h"
#include "render/scene.h"

namespace {

// A surface of a few vertices with owned positions and colours, freed by the test.
class FallbackLightingTest : public ::testing::Test {
protected:
    Surface surface = {};
    std::vector<Vec3> positions;
    std::vector<uint32_t> triangles;
    const Vec3 origin = {0.0f, 0.0f, 0.0f};
    const Vec3 noTurn = {0.0f, 0.0f, 0.0f};

    void SetUp() override
    {
        ResetRendererForTests();
    }

    void TearDown() override
    {
        FreeLightList(LightList);
        LightList = nullptr;
        free(surface.vertexColors);
    }

    void UseVertices(const std::vector<Vec3>& vertices)
    {
        positions = vertices;
        surface.positions = positions.data();
        surface.vertexCount = static_cast<int32_t>(positions.size());
        surface.vertexColors = static_cast<float*>(malloc(positions.size() * 4 * sizeof(float)));
        for (size_t i = 0; i < positions.size() * 4; ++i)
            surface.vertexColors[i] = -7.0f;  // anything; the lighting overwrites it
    }

    void UseTriangles(const std::vector<uint32_t>& corners)
    {
        triangles = corners;
        surface.triangleIndices = triangles.data();
        surface.triangleCount = static_cast<int32_t>(triangles.size() / 3);
    }

    static void AddWhiteLight(Vec3 position, float radius, float level = 1.0f)
    {
        SceneLight light = {};
        light.position = position;
        light.color[0] = light.color[1] = light.color[2] = level;
        light.radius = radius;
        AddLight(&light);
    }

    const float* Color(int vertex) const
    {
        return surface.vertexColors + vertex * 4;
    }

    void ExpectColor(int vertex, float grey, float tolerance = 1e-4f) const
    {
        EXPECT_NEAR(Color(vertex)[0], grey, tolerance) << "vertex " << vertex;
        EXPECT_NEAR(Color(vertex)[1], grey, tolerance) << "vertex " << vertex;
        EXPECT_NEAR(Color(vertex)[2], grey, tolerance) << "vertex " << vertex;
        EXPECT_EQ(Color(vertex)[3], 1.0f) << "vertex " << vertex;
    }

    // A face in the plane z = 25 whose normal is +z, with its first corner 50 from
    // the origin: the unit direction from a light at the origin makes n . d = 0.5.
    void UseHalfFacingFace()
    {
        float x = std::sqrt(50.0f * 50.0f - 25.0f * 25.0f);
        UseVertices({{x, 0.0f, 25.0f}, {x + 1.0f, 0.0f, 25.0f}, {x, 1.0f, 25.0f}});
    }
};

// Each light adds (radius - distance) / radius x n . d, clamped at one.
TEST_F(FallbackLightingTest, LightsAddUpAndClampAtOne)
{
    UseHalfFacingFace();
    const float expected[] = {0.0f, 0.25f, 0.5f, 0.75f, 1.0f, 1.0f};
    for (int lights = 0; lights <= 5; ++lights) {
        SCOPED_TRACE(lights);
        if (lights > 0)
            AddWhiteLight(origin, 100.0f);
        LightFaceVertices(&surface, origin, noTurn, 0, 1, 2);
        ExpectColor(0, expected[lights], lights == 5 ? 0.0f : 1e-4f);
        if (lights == 5)
            for (int vertex : {1, 2})
                ExpectColor(vertex, 1.0f, 0.0f);
    }
}

TEST_F(FallbackLightingTest, LightColorScalesEachChannel)
{
    UseHalfFacingFace();
    SceneLight light = {};
    light.color[0] = 1.0f;
    light.color[1] = 0.5f;
    light.color[2] = 0.0f;
    light.radius = 100.0f;
    AddLight(&light);
    LightFaceVertices(&surface, origin, noTurn, 0, 1, 2);
    EXPECT_NEAR(Color(0)[0], 0.25f, 1e-4);
    EXPECT_NEAR(Color(0)[1], 0.125f, 1e-4);
    EXPECT_EQ(Color(0)[2], 0.0f);
}

TEST_F(FallbackLightingTest, EdgeOnIsTheLimitOfNearlyEdgeOn)
{
    // raising the face a little above the light's plane brings n . d towards 0 from above
    UseVertices({{50.0f, 0.0f, 0.01f}, {51.0f, 0.0f, 0.01f}, {50.0f, 1.0f, 0.01f}});
    AddWhiteLight(origin, 100.0f);
    LightFaceVertices(&surface, origin, noTurn, 0, 1, 2);
    EXPECT_GT(Color(0)[0], 0.0f);
    EXPECT_LT(Color(0)[0], 1e-3f);
}

// Turned away (reversed winding: n . d = -0.5), seen edge-on (the light in the
// face's plane: n . d exactly 0) or at the radius: every corner stays black.
TEST_F(FallbackLightingTest, UnlitCornersStayBlack)
{
    float x = std::sqrt(50.0f * 50.0f - 25.0f * 25.0f);
    struct Case {
        const char* what;
        std::vector<Vec3> vertices;
        float radius;
        int second, third;
    } const cases[] = {
        {"turned away", {{x, 0, 25}, {x + 1, 0, 25}, {x, 1, 25}}, 100.0f, 2, 1},
        {"edge-on", {{50, 0, 0}, {51, 0, 0}, {50, 1, 0}}, 100.0f, 1, 2},
        {"at the radius", {{x, 0, 25}, {x + 1, 0, 25}, {x, 1, 25}}, 50.0f, 1, 2},
    };
    for (const Case& entry : cases) {
        SCOPED_TRACE(entry.what);
        free(surface.vertexColors);
        UseVertices(entry.vertices);
        FreeLightList(LightList);
        LightList = nullptr;
        AddWhiteLight(origin, entry.radius);
        LightFaceVertices(&surface, origin, noTurn, 0, entry.second, entry.third);
        for (int vertex = 0; vertex < 3; ++vertex)
            ExpectColor(vertex, 0.0f, 0.0f);
    }
}

TEST_F(FallbackLightingTest, OriginMovesTheFace)
{
    UseHalfFacingFace();
    AddWhiteLight({0.0f, 0.0f, 0.0f}, 100.0f);
    // moved 30 further away along x: distance and angle change accordingly
    LightFaceVertices(&surface, {30.0f, 0.0f, 0.0f}, noTurn, 0, 1, 2);
    float x = std::sqrt(50.0f * 50.0f - 25.0f * 25.0f) + 30.0f;
    float distance = std::sqrt(x * x + 25.0f * 25.0f);
    float expected = (100.0f - distance) / 100.0f * (25.0f / distance);
    ExpectColor(0, expected);
}

TEST_F(FallbackLightingTest, CornerIndexPastTheVerticesIsIgnored)
{
    UseHalfFacingFace();
    AddWhiteLight(origin, 100.0f);
    LightFaceVertices(&surface, origin, noTurn, 0, 1, 3);
    EXPECT_EQ(Color(0)[0], -7.0f);  // untouched
}

class FallbackColorsTest : public FallbackLightingTest {};

TEST_F(FallbackColorsTest, AllocatesColorsOnceAndKeepsThem)
{
    positions = {{10, 0, 0}, {11, 0, 0}, {10, 1, 0}};
    surface.positions = positions.data();
    surface.vertexCount = 3;
    UseTriangles({0, 1, 2});
    SceneEntity entity = {};
    entity.position = {0.0f, 0.0f, 50.0f};  // n . d > 0, d running from the light to the corner
    AddWhiteLight(origin, 100.0f);
    ComputeFallbackColors(entity, &surface);
    ASSERT_NE(surface.vertexColors, nullptr);
    float* first = surface.vertexColors;
    ComputeFallbackColors(entity, &surface);
    EXPECT_EQ(surface.vertexColors, first);
    EXPECT_GT(Color(0)[0], 0.0f);
    EXPECT_EQ(Color(0)[3], 1.0f);
}

TEST_F(FallbackColorsTest, SharedVertexKeepsTheLastFacesColor)
{
    // two faces share vertices 1 and 2; the second is turned away from the light
    UseVertices({{0, 0, 10}, {1, 0, 10}, {0, 1, 10}, {1, 1, 10}});
    UseTriangles({0, 1, 2, 1, 2, 3});
    SceneEntity entity = {};
    AddWhiteLight({0.0f, 0.0f, 0.0f}, 100.0f);
    ComputeFallbackColors(entity, &surface);
    EXPECT_GT(Color(0)[0], 0.05f);  // only in the lit face
    EXPECT_EQ(Color(1)[0], 0.0f);   // last named by the dark face
    EXPECT_EQ(Color(2)[0], 0.0f);
    EXPECT_EQ(Color(3)[0], 0.0f);
}

TEST_F(FallbackColorsTest, EntityAnglesTurnTheFaceIntoTheWorld)
{
    // angles[1] is the yaw: 90 degrees turns object +x into world +y
    UseHalfFacingFace();
    UseTriangles({0, 1, 2});
    SceneEntity entity = {};
    entity.angles[1] = 90.0f;
    float x = std::sqrt(50.0f * 50.0f - 25.0f * 25.0f);
    // 25 straight below the turned first corner; 66 from the unturned one
    AddWhiteLight({0.0f, x, 0.0f}, 60.0f);
    ComputeFallbackColors(entity, &surface);
    ExpectColor(0, (60.0f - 25.0f) / 60.0f, 1e-4f);
    // with angles[0] (the roll) instead, the face turns about x, out of the light's reach
    entity.angles[1] = 0.0f;
    entity.angles[0] = 180.0f;
    ComputeFallbackColors(entity, &surface);
    ExpectColor(0, 0.0f, 0.0f);
}

}  // namespace
