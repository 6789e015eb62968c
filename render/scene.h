// Drawing one frame of the preview from the frame's two lists: the entities
// (models placed in the world) and the point lights.
//
// Each surface is lit either per pixel, one additive pass per light with the
// lighting fragment program on four texture units, or, without fragment
// programs, in one pass with per-vertex colours computed on the CPU. Then the
// heightmap picture is drawn as a 128 x 128 overlay in the top-left corner.
// The lists are consumed: every record is freed once drawn.
//
// Texture units during a light pass (what fp/light_std.fp is given):
//   0: 2D normal map, the surface's texture coordinates
//   1: 3D attenuation volume, coordinates generated from the object-space
//      position through the attenuation texture matrix
//   2: 2D decal texture, the surface's texture coordinates
//   3: normalisation cube map, the surface's tangent-space light vectors
// The primary colour is the light's colour; no program parameters are set.
//
// Between frames: fragment program and blending disabled, units 1 to 3
// disabled, unit 0 active and client-active, modelview matrix selected.
#pragma once

#include <cstdint>

#include "model/geometry.h"
#include "model/model3ds.h"

// One model placed in the world for one frame; a heap record.
struct SceneEntity {
    Vec3 position;           // world position of the model's origin
    float angles[3];         // degrees: [0] about X (applied negated), [1] about Z, [2] about Y
    uint8_t active;          // non-zero: draw the surfaces
    Surface* surfaces;       // first surface of a Model, borrowed; null draws nothing
    uint32_t decalTexture;   // colour texture name, 0 for none
    uint32_t normalTexture;  // normal-map texture name
    uint8_t wireframe;       // non-zero: the triangles' edges are drawn over the surfaces
    SceneEntity* next;       // list link, null at the end
};

// One point light for one frame; a heap record.
struct SceneLight {
    Vec3 position;     // world position
    float color[3];    // red, green, blue, nominally 0 .. 1
    float radius;      // world distance at which the light's influence reaches zero
    SceneLight* next;  // list link, null at the end
};

// The eye: at the world origin, looking along the world's -X axis, +Z down the screen.
struct SceneCamera {
    Vec3 position;    // world position, always 0
    float angles[3];  // degrees, always 0
};

// Filled by AddEntity / AddLight (render/frame.h), emptied by RenderFrame.
extern SceneEntity* EntityList;
extern SceneLight* LightList;
// Nothing moves the eye.
extern const SceneCamera Camera;

// Clears, draws the entities from the last added to the first, freeing each
// record, frees the lights, then draws the heightmap overlay when there is one.
void RenderFrame();

// Walks the list from its last record back to the first: draws each record
// when drawRecords, then frees it when freeRecords.
void DrawEntityList(SceneEntity* list, bool freeRecords, bool drawRecords);
void FreeLightList(SceneLight* first);

// Multiplies the eye's view transform onto the current modelview matrix: a world
// point (x, y, z) lands at eye coordinates (-y, -z, x).
void ApplyCameraTransform();
// The rigid transform (geometry.h layout) that maps world points into the
// entity's object space.
void EntityWorldToObject(const SceneEntity& entity, float worldToObject[12]);
