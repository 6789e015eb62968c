// Per-vertex lighting data for per-pixel lighting: tangent frames and the vector from
// each vertex to the light in tangent space. The light vectors are made for every light in
// every frame; a surface's frames depend only on its positions, normals, texture
// coordinates and faces, so they are rebuilt only after DeformSurface changes a position
// or deformed normal. Writes only into arrays the surface already owns, allocates nothing.
//
// Faces with a corner at or past vertexCount are left out (as everywhere in the model
// store). A vertex that no face names gets zero tangent and binormal.
#pragma once

#include <cstdint>

#include "model/geometry.h"
#include "model/model3ds.h"

struct TangentFrame {
    uint32_t count;  // face corners naming this vertex (a face naming it twice counts twice)
    Vec3 tangent;    // unit direction of increasing u, perpendicular to normal
    Vec3 binormal;   // unit direction of increasing v, perpendicular to normal
    Vec3 normal;     // copy of the vertex normal used
};

// uvPairs: vertexCount (u, v) float32 pairs (SurfaceTexCoordPairs); normals: vertexCount
// x 3 float32 (any alignment). Fills frames[0 .. vertexCount).
void ComputeTangentFrames(const uint8_t* uvPairs, int32_t vertexCount, const Vec3* positions, int32_t faceCount,
                          const uint8_t* faces, TangentFrame* frames, const uint8_t* normals);

// Writes out[i] = (L . tangent, L . binormal, L . normal), L = light - positions[i], light
// given in the surface's own space, with the frames of ComputeTangentFrames. Does nothing
// unless frames, normals, out, uvPairs and positions are present. When surface is given and
// has deformedNormals, those replace normals.
// When every array given is the surface's own (its positions, faces, tangentFrames,
// normals and texCoords pairs), the frames are built only while surface->tangentFramesValid
// is 0 and the flag is then set; with any other arrays they are built on every call (and a
// build into the surface's tangentFrames from other arrays clears the flag). Whoever writes
// a surface's positions, normals or tangentFrames other than through DeformSurface and
// these calls must clear tangentFramesValid.
void ComputeTangentLightVectors(int32_t vertexCount, const Vec3* positions, int32_t faceCount, const uint8_t* faces,
                                TangentFrame* frames, const uint8_t* normals, Vec3* out, const Vec3& light,
                                const uint8_t* uvPairs, Surface* surface);
