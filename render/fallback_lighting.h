// Lighting without fragment programs: per-vertex colours computed on the CPU
// from the frame's lights (LightList), drawn in one pass by the scene.
#pragma once

#include <cstdint>

#include "model/model3ds.h"
#include "render/scene.h"

// The fallback's CPU lighting: fills the surface's vertexColors (allocated on
// first use, kept with the surface) face by face, so a shared vertex keeps the
// colour of the last face that names it.
void ComputeFallbackColors(const SceneEntity& entity, Surface* surface);
// Colours the corners a, b, c of one face for every light of LightList: each
// corner nearer than the radius gets (radius - distance) / radius x (n . d) x the
// light's colour, n the face's unit normal in the world and d the unit direction
// from the light to the corner, when n . d is greater than 0; clamped at 1.
// `origin` and `angles` (pitch, yaw, roll) place the surface in the world.
void LightFaceVertices(Surface* surface, const Vec3& origin, const Vec3& angles, uint32_t a, uint32_t b, uint32_t c);
