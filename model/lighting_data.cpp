// Tangent frames, rebuilt when the surface changes, and tangent-space light vectors per light.
#include "model/lighting_data.h"

#include <cstring>

struct TexCoord {
    float u;  // horizontal texture coordinate
    float v;  // vertical texture coordinate
};

static TexCoord ReadPair(const uint8_t* pairs, int32_t index)
{
    TexCoord pair;
    std::memcpy(&pair, pairs + 8 * static_cast<size_t>(index), sizeof(pair));
    return pair;
}

static float Difference(float a, float b)
{
    return static_cast<float>(static_cast<double>(a) - b);
}

// Adds the face's tangent and binormal to its corners' frames and counts the corners.
static void AccumulateFace(const uint8_t* uvPairs, const Vec3* positions, const MeshFace& face, TangentFrame* frames)
{
    const uint16_t corners[3] = {face.a, face.b, face.c};
    TexCoord ta = ReadPair(uvPairs, face.a), tb = ReadPair(uvPairs, face.b), tc = ReadPair(uvPairs, face.c);
    Vec3 e1, e2;
    VecSubtract(positions[face.b], positions[face.a], e1);
    VecSubtract(positions[face.c], positions[face.a], e2);
    float du1 = Difference(tb.u, ta.u), dv1 = Difference(tb.v, ta.v);
    float du2 = Difference(tc.u, ta.u), dv2 = Difference(tc.v, ta.v);
    float determinant = static_cast<float>(static_cast<double>(du1) * dv2 - static_cast<double>(dv1) * du2);
    if (determinant != 0) {
        double r = static_cast<float>(1.0 / determinant);
        Vec3 t{static_cast<float>((static_cast<double>(e1.x) * dv2 - static_cast<double>(dv1) * e2.x) * r),
               static_cast<float>((static_cast<double>(e1.y) * dv2 - static_cast<double>(dv1) * e2.y) * r),
               static_cast<float>((static_cast<double>(e1.z) * dv2 - static_cast<double>(dv1) * e2.z) * r)};
        Vec3 s{static_cast<float>((static_cast<double>(du1) * e2.x - static_cast<double>(e1.x) * du2) * r),
               static_cast<float>((static_cast<double>(du1) * e2.y - static_cast<double>(e1.y) * du2) * r),
               static_cast<float>((static_cast<double>(du1) * e2.z - static_cast<double>(e1.z) * du2) * r)};
        for (uint16_t corner : corners) {
            VecAdd(frames[corner].tangent, t, frames[corner].tangent);
            VecAdd(frames[corner].binormal, s, frames[corner].binormal);
        }
    }
    for (uint16_t corner : corners)
        ++frames[corner].count;
}

// Removes from v its part along the line through n and -n, then normalises the rest.
// This is v - ProjectOntoLine(v, n, -n) with the line's unit direction computed once per
// vertex for both tangent and binormal; the arithmetic is ProjectOntoLine's.
static void MakePerpendicular(Vec3& v, const Vec3& n, const Vec3& direction)
{
    double t = direction.x * (static_cast<double>(v.x) - n.x) + direction.y * (static_cast<double>(v.y) - n.y) +
        direction.z * (static_cast<double>(v.z) - n.z);
    Vec3 along = MakeVec3FromDoubles(n.x + t * direction.x, n.y + t * direction.y, n.z + t * direction.z);
    VecSubtract(v, along, v);
    Normalize(v);
}

// First half of a frame's finish: average and normalise tangent and binormal; park the
// unit direction of the line from n to -n in the normal field for the second half.
static void AverageFrame(TangentFrame& frame, const Vec3& normal)
{
    // a vertex no face names keeps zero vectors rather than dividing by zero
    if (frame.count > 0) {
        float inverse = static_cast<float>(1.0 / frame.count);
        VecScale(frame.tangent, inverse);
        VecScale(frame.binormal, inverse);
    }
    Normalize(frame.tangent);
    Normalize(frame.binormal);
    Vec3 direction{-normal.x, -normal.y, -normal.z};
    VecSubtract(direction, normal, direction);
    Normalize(direction);  // zero when n is zero, and then nothing is removed
    frame.normal = direction;
}

// Second half: make tangent and binormal perpendicular to n, each on its own.
static void OrthogonaliseFrame(TangentFrame& frame, const Vec3& normal)
{
    const Vec3 direction = frame.normal;
    MakePerpendicular(frame.tangent, normal, direction);
    MakePerpendicular(frame.binormal, normal, direction);
    frame.normal = normal;
}

// True when the arrays are exactly the ones the surface's frame cache was built from.
static bool NamesSurfaceArrays(const Surface& surface, int32_t vertexCount, const Vec3* positions, int32_t faceCount,
                               const uint8_t* faces, const TangentFrame* frames, const uint8_t* normals,
                               const uint8_t* uvPairs)
{
    const uint8_t* surfaceNormals =
        surface.deformedNormals ? reinterpret_cast<const uint8_t*>(surface.deformedNormals) : surface.normals;
    return frames == surface.tangentFrames && positions == surface.positions && vertexCount == surface.vertexCount &&
        faceCount == surface.faceCount && faces == surface.faces && normals == surfaceNormals &&
        uvPairs == SurfaceTexCoordPairs(&surface);
}

void ComputeTangentFrames(const uint8_t* uvPairs, int32_t vertexCount, const Vec3* positions, int32_t faceCount,
                          const uint8_t* faces, TangentFrame* frames, const uint8_t* normals)
{
    if (vertexCount <= 0)
        return;
    std::memset(frames, 0, sizeof(TangentFrame) * static_cast<size_t>(vertexCount));
    for (int32_t f = 0; f < faceCount; ++f) {
        MeshFace face = ReadMeshFaceAt(faces, f);
        // faces with a corner past the vertex list are left out everywhere
        if (face.a >= vertexCount || face.b >= vertexCount || face.c >= vertexCount)
            continue;
        AccumulateFace(uvPairs, positions, face, frames);
    }
    // two short passes rather than one long one: more independent square roots in flight
    for (int32_t i = 0; i < vertexCount; ++i)
        AverageFrame(frames[i], ReadVec3At(normals, i));
    for (int32_t i = 0; i < vertexCount; ++i)
        OrthogonaliseFrame(frames[i], ReadVec3At(normals, i));
}

void ComputeTangentLightVectors(int32_t vertexCount, const Vec3* positions, int32_t faceCount, const uint8_t* faces,
                                TangentFrame* frames, const uint8_t* normals, Vec3* out, const Vec3& light,
                                const uint8_t* uvPairs, Surface* surface)
{
    if (!frames || !normals || !out || !uvPairs || !positions)
        return;
    if (surface && surface->deformedNormals) {
        normals = reinterpret_cast<const uint8_t*>(surface->deformedNormals);
    }
    const bool ownArrays =
        surface && NamesSurfaceArrays(*surface, vertexCount, positions, faceCount, faces, frames, normals, uvPairs);
    if (!ownArrays || !surface->tangentFramesValid) {
        ComputeTangentFrames(uvPairs, vertexCount, positions, faceCount, faces, frames, normals);
        if (surface && frames == surface->tangentFrames)
            surface->tangentFramesValid = ownArrays;
    }
    for (int32_t i = 0; i < vertexCount; ++i) {
        Vec3 toLight;
        VecSubtract(light, positions[i], toLight);
        const TangentFrame& frame = frames[i];
        out[i] = Vec3{VecDot(toLight, frame.tangent), VecDot(toLight, frame.binormal), VecDot(toLight, frame.normal)};
    }
}
