// Surfaces after the walk: the post-pass that derives the arrays drawing needs,
// triangle indices, vertex normals and deformation.
//
// Sections: the post-pass; deformation; public operations.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "model/lighting_data.h"
#include "model/model3ds.h"
#include "platform/byte_order.h"

static_assert(sizeof(MeshFace) == 8, "a face is 8 bytes in the stream");

template <class T>
static T* AllocateZeroed(int64_t count)
{
    // one element at least, so that a present array is never null
    return static_cast<T*>(std::calloc(count > 0 ? static_cast<size_t>(count) : 1, sizeof(T)));
}

// ---- the post-pass

static bool ViewHolds(const Model* model, const uint8_t* view, uint64_t count)
{
    return count <= static_cast<uint64_t>(model->bytes + model->length - view);
}

// Drops views that do not cover the final vertex count (a later vertex list can grow it).
static void DropShortViews(const Model* model, Surface* surface)
{
    uint64_t vertexCount = static_cast<uint64_t>(surface->vertexCount);
    if (surface->normalsFromFile && !ViewHolds(model, surface->normals, 12 * vertexCount)) {
        surface->normals = nullptr;
        surface->normalsFromFile = 0;
    }
    if (surface->weightRanges && !ViewHolds(model, surface->weightRanges, 8 * vertexCount)) {
        surface->weightRanges = nullptr;
    }
    uint16_t pairs = 0;
    if (surface->texCoords && (!ReadLittleU16(surface->texCoords, 2, 0, &pairs) || pairs < vertexCount))
        surface->texCoords = nullptr;
}

static void SetIdentity(float matrix[12])
{
    static const float identity[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    std::memcpy(matrix, identity, sizeof(identity));
}

// ---- deformation and the faces

static bool FaceFits(const MeshFace& face, int32_t vertexCount)
{
    return face.a < vertexCount && face.b < vertexCount && face.c < vertexCount;
}

// Weighted position of vertex i; also refreshes deformedNormals[i] when the surface has them.
static Vec3 WeightedPosition(Surface* surface, int32_t i, const Vec3& p)
{
    Vec3 acc{0, 0, 0};
    Vec3* deformed = surface->deformedNormals ? &surface->deformedNormals[i] : nullptr;
    Vec3 n{0, 0, 0}, pn{0, 0, 0};
    if (deformed) {
        *deformed = Vec3{0, 0, 0};
        n = ReadVec3At(surface->normals, i);
        VecAdd(p, n, pn);
    }
    WeightRange range;
    std::memcpy(&range, surface->weightRanges + 8 * static_cast<size_t>(i), sizeof(range));
    bool fits = range.count > 0 &&
        static_cast<uint64_t>(range.first) + static_cast<uint64_t>(range.count) <= surface->weightCount;
    for (int32_t j = 0; fits && j < range.count; ++j) {
        VertexWeight weight;
        std::memcpy(&weight, surface->weights + 24 * (static_cast<size_t>(range.first) + j), sizeof(weight));
        if (weight.joint >= static_cast<uint32_t>(surface->jointCount))
            continue;  // ignored
        const Joint& joint = surface->joints[weight.joint];
        Vec3 t;
        TransformPoint(joint.pose, p, t);
        VecScale(t, weight.weight);
        VecAdd(acc, t, acc);
        if (deformed) {
            Vec3 u;
            TransformPoint(joint.pose, pn, u);
            VecScale(u, weight.weight);
            VecSubtract(u, t, u);
            VecAdd(*deformed, u, *deformed);
        }
    }
    if (deformed)
        Normalize(*deformed);
    return acc;
}

// True when a and b hold the same bytes (bit patterns, so -0 differs from 0 and a NaN
// equals itself): the test for "would give the same results".
template <typename T>
static bool SameBits(const T& a, const T& b)
{
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

// Writes position i (and deformed normal i when the surface has them); true when either
// changed, so that frames built from the old ones are stale.
static bool DeformVertex(Surface* surface, int32_t i)
{
    const Vec3 before = surface->positions[i];
    const Vec3 normalBefore = surface->deformedNormals ? surface->deformedNormals[i] : Vec3{0, 0, 0};
    Vec3 p = ReadVec3At(surface->vertices, i);
    Vec3 acc = surface->weightRanges ? WeightedPosition(surface, i, p) : p;
    TransformPoint(surface->matrix, acc, surface->positions[i]);
    return !SameBits(before, surface->positions[i]) ||
        (surface->deformedNormals && !SameBits(normalBefore, surface->deformedNormals[i]));
}

// ---- public operations

const uint8_t* SurfaceTexCoordPairs(const Surface* surface)
{
    return surface && surface->texCoords ? surface->texCoords + 2 : nullptr;
}

// Fills triangleIndices and triangleCount once (kept afterwards): corners a, b, c of each
// face whose corners are all below vertexCount, in face order.
static void BuildTriangleIndices(Surface* surface)
{
    if (surface->triangleIndices)
        return;
    surface->triangleIndices = AllocateZeroed<uint32_t>(3 * static_cast<int64_t>(surface->faceCount));
    uint32_t* out = surface->triangleIndices;
    int32_t triangles = 0;
    for (int32_t f = 0; f < surface->faceCount; ++f) {
        MeshFace face = ReadMeshFaceAt(surface->faces, f);
        if (!FaceFits(face, surface->vertexCount))
            continue;
        out[0] = face.a;
        out[1] = face.b;
        out[2] = face.c;
        out += 3;
        ++triangles;
    }
    surface->triangleCount = triangles;
}

// Adding each face's unit normal to its distinct corners, face by face, builds for every
// vertex the same sum in the same order as summing per vertex over all faces that name it.
void ComputeVertexNormals(Vec3* out, int32_t vertexCount, const uint8_t* vertices, int32_t faceCount,
                          const uint8_t* faces)
{
    for (int32_t i = 0; i < vertexCount; ++i)
        out[i] = Vec3{0, 0, 0};
    for (int32_t f = 0; f < faceCount; ++f) {
        MeshFace face = ReadMeshFaceAt(faces, f);
        if (!FaceFits(face, vertexCount))
            continue;
        Plane plane;
        PlaneFromPoints(ReadVec3At(vertices, face.a), ReadVec3At(vertices, face.b), ReadVec3At(vertices, face.c),
                        plane);
        Normalize(plane.normal);
        VecAdd(out[face.a], plane.normal, out[face.a]);
        if (face.b != face.a)
            VecAdd(out[face.b], plane.normal, out[face.b]);
        if (face.c != face.a && face.c != face.b)
            VecAdd(out[face.c], plane.normal, out[face.c]);
    }
    for (int32_t i = 0; i < vertexCount; ++i)
        Normalize(out[i]);
}

void DeformSurface(Surface* surface)
{
    if (!surface || !surface->vertices)
        return;
    const int32_t count = surface->vertexCount;
    if (!surface->positions) {
        surface->positions = AllocateZeroed<Vec3>(count);
        if (!surface->positions)
            return;
        surface->tangentFramesValid = 0;
    } else if (!surface->weightRanges && SameBits(surface->matrix, surface->deformedMatrix)) {
        return;  // positions come from the fixed vertices and this matrix alone: already made
    }
    if (surface->weightRanges && surface->normals && !surface->deformedNormals) {
        surface->deformedNormals = AllocateZeroed<Vec3>(count);
        // without the block the base normals stay in use, as before weights were seen
        if (surface->deformedNormals) {
            std::memcpy(surface->deformedNormals, surface->normals, 12 * static_cast<size_t>(count));
        }
        surface->tangentFramesValid = 0;
    }
    std::memcpy(surface->deformedMatrix, surface->matrix, sizeof(surface->matrix));
    bool changed = false;
    for (int32_t i = 0; i < count; ++i)
        changed |= DeformVertex(surface, i);
    if (changed)
        surface->tangentFramesValid = 0;
}

void PrepareSurface(const Model* model, Surface* surface)
{
    DropShortViews(model, surface);
    SetIdentity(surface->matrix);
    DeformSurface(surface);
    BuildTriangleIndices(surface);
    surface->tangentFrames = AllocateZeroed<TangentFrame>(surface->vertexCount);
    if (!surface->normalsFromFile) {
        std::free(const_cast<uint8_t*>(surface->normals));
        Vec3* normals = AllocateZeroed<Vec3>(surface->vertexCount);
        if (normals)
            ComputeVertexNormals(normals, surface->vertexCount, surface->vertices, surface->faceCount, surface->faces);
        surface->normals = reinterpret_cast<const uint8_t*>(normals);
    }
    surface->lightVectors = AllocateZeroed<Vec3>(surface->vertexCount);
}
