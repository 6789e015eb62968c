// The fallback's CPU lighting: per-vertex colours for drawing without fragment programs.
#include "render/fallback_lighting.h"

#include <cstdlib>

// The axes of the entity's angles, found once for all faces of a surface.
struct WorldFrame {
    Vec3 origin;   // world position of the object's origin
    Vec3 forward;  // world direction of the object's +x
    Vec3 right;    // world direction of the object's -y
    Vec3 up;       // world direction of the object's +z
};

static WorldFrame MakeWorldFrame(const Vec3& origin, const Vec3& angles)
{
    WorldFrame frame;
    frame.origin = origin;
    AnglesToAxes(angles, &frame.forward, &frame.right, &frame.up);
    return frame;
}

// The origin plus p read in the frame (forward, left, up), left being -right; in
// double precision and rounded once.
static Vec3 ObjectToWorld(const WorldFrame& frame, const Vec3& p)
{
    double x = p.x, y = p.y, z = p.z;
    Vec3 world;
    world.x = static_cast<float>(frame.origin.x + x * frame.forward.x - y * frame.right.x + z * frame.up.x);
    world.y = static_cast<float>(frame.origin.y + x * frame.forward.y - y * frame.right.y + z * frame.up.y);
    world.z = static_cast<float>(frame.origin.z + x * frame.forward.z - y * frame.right.z + z * frame.up.z);
    return world;
}

static void LightFaceCorners(Surface* surface, const WorldFrame& frame, uint32_t a, uint32_t b, uint32_t c)
{
    const uint32_t corners[3] = {a, b, c};
    Vec3 world[3];
    for (int k = 0; k < 3; ++k)
        world[k] = ObjectToWorld(frame, surface->positions[corners[k]]);
    Plane plane;
    PlaneFromPoints(world[0], world[1], world[2], plane);
    Vec3 normal = plane.normal;
    Normalize(normal);

    float* colors[3];
    for (int k = 0; k < 3; ++k) {
        colors[k] = surface->vertexColors + static_cast<size_t>(corners[k]) * 4;
        colors[k][0] = colors[k][1] = colors[k][2] = 0.0f;
    }
    for (const SceneLight* light = LightList; light; light = light->next) {
        Vec3 direction[3];
        float distance[3];
        for (int k = 0; k < 3; ++k) {
            VecSubtract(world[k], light->position, direction[k]);
            distance[k] = Normalize(direction[k]);
        }
        for (int k = 0; k < 3; ++k) {
            if (!(distance[k] < light->radius))
                continue;
            float dot = VecDot(normal, direction[k]);
            // a corner seen edge-on (dot 0) gets nothing, as the positive values tending to it do
            if (!(dot > 0.0f))
                continue;
            float amount = (light->radius - distance[k]) / light->radius * dot;
            for (int channel = 0; channel < 3; ++channel)
                colors[k][channel] += amount * light->color[channel];
        }
    }
    for (int k = 0; k < 3; ++k) {
        for (int channel = 0; channel < 3; ++channel)
            if (colors[k][channel] > 1.0f)
                colors[k][channel] = 1.0f;
        colors[k][3] = 1.0f;
    }
}

void LightFaceVertices(Surface* surface, const Vec3& origin, const Vec3& angles, uint32_t a, uint32_t b, uint32_t c)
{
    uint32_t count = surface->vertexCount > 0 ? static_cast<uint32_t>(surface->vertexCount) : 0;
    if (!surface->positions || !surface->vertexColors || a >= count || b >= count || c >= count)
        return;
    LightFaceCorners(surface, MakeWorldFrame(origin, angles), a, b, c);
}

void ComputeFallbackColors(const SceneEntity& entity, Surface* surface)
{
    if (!surface->positions || surface->vertexCount <= 0)
        return;
    if (!surface->vertexColors) {
        surface->vertexColors =
            static_cast<float*>(malloc(static_cast<size_t>(surface->vertexCount) * 4 * sizeof(float)));
        if (!surface->vertexColors)
            return;
    }
    // the entity's turns read as (pitch, yaw, roll)
    const Vec3 angles = {entity.angles[2], entity.angles[1], entity.angles[0]};
    WorldFrame frame = MakeWorldFrame(entity.position, angles);
    // triangleIndices holds the faces in order, those with a corner past the
    // vertex list left out
    const uint32_t* corners = surface->triangleIndices;
    for (int32_t face = 0; corners && face < surface->triangleCount; ++face, corners += 3)
        LightFaceCorners(surface, frame, corners[0], corners[1], corners[2]);
}
