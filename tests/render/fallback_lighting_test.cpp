// The fallback's CPU lighting against a reference in double precision, on random
// faces and lights; no GL involved.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "render/fallback_lighting.h"
#include "render/frame.h"
#include "render/gl_setup.h"

namespace {

// Owns the positions and colours of a surface and the frame's light list.
struct LitSurface {
    std::vector<Vec3> positions;
    std::vector<float> colors;
    std::vector<uint32_t> corners;
    Surface surface = {};

    explicit LitSurface(const std::vector<Vec3>& vertices, const std::vector<uint32_t>& faces = {})
        : positions(vertices), colors(vertices.size() * 4, -7.0f), corners(faces)
    {
        surface.positions = positions.data();
        surface.vertexCount = static_cast<int32_t>(positions.size());
        surface.vertexColors = colors.data();
        surface.triangleIndices = corners.data();
        surface.triangleCount = static_cast<int32_t>(corners.size() / 3);
    }
    ~LitSurface()
    {
        FreeLightList(LightList);
        LightList = nullptr;
    }
};

void AddWhiteLight(Vec3 position, float radius)
{
    SceneLight light = {};
    light.position = position;
    light.color[0] = light.color[1] = light.color[2] = 1.0f;
    light.radius = radius;
    AddLight(&light);
}

// Each corner nearer than a light's radius gets (radius - distance) / radius x n . d of
// its colour, n the face's unit normal ((b - a) x (c - a)) and d the unit direction from
// the light to the corner, where n . d > 0; the sum clamped at 1.
TEST(FallbackLighting, MatchesTheReferenceOnRandomFacesAndLights)
{
    std::mt19937 random(12);
    auto uniform = [&](double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); };
    int lit = 0, dark = 0;
    for (int round = 0; round < 400; ++round) {
        std::vector<Vec3> corners(3);
        for (Vec3& p : corners)
            p = {float(uniform(-60, 60)), float(uniform(-60, 60)), float(uniform(-60, 60))};
        LitSurface face(corners);
        const Vec3 origin = {float(uniform(-20, 20)), float(uniform(-20, 20)), float(uniform(-20, 20))}, noTurn = {};
        std::vector<SceneLight> lights(1 + round % 3);
        for (SceneLight& light : lights) {
            light.position = {float(uniform(-90, 90)), float(uniform(-90, 90)), float(uniform(-90, 90))};
            for (float& channel : light.color)
                channel = float(uniform(0, 1.5));
            light.radius = float(uniform(20, 200));
            AddLight(&light);
        }
        LightFaceVertices(&face.surface, origin, noTurn, 0, 1, 2);
        double p[3][3], e1[3], e2[3], n[3];
        for (int k = 0; k < 3; ++k)
            for (int axis = 0; axis < 3; ++axis)
                p[k][axis] = double((&corners[k].x)[axis]) + (&origin.x)[axis];
        for (int axis = 0; axis < 3; ++axis)
            e1[axis] = p[1][axis] - p[0][axis], e2[axis] = p[2][axis] - p[0][axis];
        n[0] = e1[1] * e2[2] - e1[2] * e2[1], n[1] = e1[2] * e2[0] - e1[0] * e2[2],
        n[2] = e1[0] * e2[1] - e1[1] * e2[0];
        double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        for (int k = 0; k < 3; ++k) {
            double sum[3] = {0, 0, 0};
            for (const SceneLight& light : lights) {
                double d[3] = {p[k][0] - light.position.x, p[k][1] - light.position.y, p[k][2] - light.position.z};
                double distance = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
                double facing = (n[0] * d[0] + n[1] * d[1] + n[2] * d[2]) / (length * distance);
                for (int channel = 0; distance < light.radius && facing > 0 && channel < 3; ++channel)
                    sum[channel] += (light.radius - distance) / light.radius * facing * light.color[channel];
            }
            for (int channel = 0; channel < 3; ++channel) {
                EXPECT_NEAR(face.colors[k * 4 + channel], std::min(1.0, sum[channel]), 1e-4) << round << " " << k;
                (sum[channel] > 0 ? lit : dark) += 1;
            }
            EXPECT_EQ(face.colors[k * 4 + 3], 1.0f);
        }
    }
    EXPECT_GT(lit, 300);  // both outcomes well represented
    EXPECT_GT(dark, 300);
}

// Faces are placed by the entity; a shared vertex keeps the colour of the last face
// naming it; a corner past the vertex list leaves the face alone.
TEST(FallbackLighting, EntityPlacesTheFacesInTheWorld)
{
    // two faces sharing vertices 1 and 2 at z = 10; the second winds the other way
    LitSurface shared({{0, 0, 10}, {1, 0, 10}, {0, 1, 10}, {1, 1, 10}}, {0, 1, 2, 1, 2, 3});
    AddWhiteLight({0, 0, 0}, 100);
    SceneEntity entity = {};
    ComputeFallbackColors(entity, &shared.surface);
    EXPECT_NEAR(shared.colors[0], 0.9f, 1e-4);
    for (int vertex : {1, 2, 3})
        EXPECT_EQ(shared.colors[vertex * 4], 0.0f) << vertex;
    // moved 95 along z, the face lies beyond the reach of the light
    entity.position = {0, 0, 95};
    ComputeFallbackColors(entity, &shared.surface);
    EXPECT_EQ(shared.colors[0], 0.0f);
    // angles[1] turns about z: object +x becomes world +y, right above a light 30 below
    LitSurface turned({{40, 0, 0}, {41, 0, 0}, {40, 1, 0}}, {0, 1, 2});
    entity.position = {};
    entity.angles[1] = 90.0f;
    FreeLightList(LightList);
    LightList = nullptr;
    AddWhiteLight({0, 40, -30}, 60);
    ComputeFallbackColors(entity, &turned.surface);
    EXPECT_NEAR(turned.colors[0], 0.5f, 1e-4);
    turned.colors[0] = -7.0f;
    LightFaceVertices(&turned.surface, {}, {}, 0, 1, 3);
    EXPECT_EQ(turned.colors[0], -7.0f);
}

}  // namespace
