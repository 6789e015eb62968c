// 3DS chunk reader: the walk over the chunk stream, the post-pass that derives the arrays
// drawing needs, vertex normals and surface deformation.
//
// Sections: chunk tables; bounds-checked stream reads; the walk; the post-pass; public
// operations.
#include "model/model3ds.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "model/lighting_data.h"

static_assert(sizeof(MeshFace) == 8, "a face is 8 bytes in the stream");
static_assert(offsetof(Joint, pose) == 116, "a joint record fills the first 116 bytes");
static_assert(sizeof(VertexWeight) == 24, "a weight is 24 bytes in the stream");
static_assert(sizeof(WeightRange) == 8, "a weight range is 8 bytes in the stream");

namespace {

// ---- chunk tables

// Chunk kinds in the order in which ids are compared; the first match wins.
enum ChunkKind {
    kMain,
    kVersion,
    kEditor,
    kObject,
    kTriMesh,
    kVertexList,
    kFaceList,
    kMaterialGroup,
    kTexCoordList,
    kSmoothingGroups,
    kMeshMatrix,
    kVertexNormals,
    kVertexWeights,
    kWeightRanges,
    kJointCount,
    kJointRecord,
    kKeyframer,
    kObjectNode,
    kKeyframeSegment,
    kNodeHeader,
    kKeyframeHeader,
    kPivot,
    kPositionTrack,
    kRotationTrack,
    kScaleTrack,
    kMorphTrack,
    kNodeId,
    kChunkKindCount,
    kUnknownChunk = kChunkKindCount
};

// The standard variant has no extension chunks: 0x9999 stands in for each of them.
const uint16_t StandardChunkIds[kChunkKindCount] = {
    0x4D4D, 0x0002, 0x3D3D, 0x4000, 0x4100, 0x4110, 0x4120, 0x4130, 0x4140, 0x4150, 0x4160, 0x9999, 0x9999, 0x9999,
    0x9999, 0x9999, 0xB000, 0xB002, 0xB008, 0xB010, 0xB00A, 0xB013, 0xB020, 0xB021, 0xB022, 0xB024, 0xB030};
const uint16_t ExtendedChunkIds[kChunkKindCount] = {
    0x1000, 0x1002, 0x0001, 0x2000, 0x2100, 0x2110, 0x2120, 0x2130, 0x2140, 0x2150, 0x2160, 0x2170, 0x2180, 0x2185,
    0x2189, 0x2190, 0x3000, 0x3002, 0x3008, 0x3010, 0x300A, 0x3013, 0x3020, 0x3021, 0x3022, 0x3024, 0x3030};

// The extended variant starts with this word and its chunks at offset 2.
const uint16_t ExtendedStreamMark = 0x1337;
const int JointRecordSize = 116;
// A joint block larger than the 3DS format's 16-bit counts is refused.
const int32_t MaxJointCount = 65535;

ChunkKind KindOfChunk(const uint16_t* table, uint16_t id)
{
    for (int kind = 0; kind < kChunkKindCount; ++kind) {
        if (table[kind] == id)
            return static_cast<ChunkKind>(kind);
    }
    return kUnknownChunk;
}

// ---- bounds-checked stream reads

struct Walk {
    Model* model;
    const uint8_t* bytes;  // the stream
    int64_t length;        // bytes in the stream
    const uint16_t* ids;   // chunk table in force
    Surface* last;         // the current surface: the last of the list, or null
};

// True when count bytes starting at offset lie inside the stream.
bool HasBytes(const Walk& walk, int64_t offset, uint64_t count)
{
    if (offset < 0 || offset > walk.length)
        return false;
    return count <= static_cast<uint64_t>(walk.length - offset);
}

bool ReadU16(const Walk& walk, int64_t offset, uint16_t* out)
{
    if (!HasBytes(walk, offset, 2))
        return false;
    const uint8_t* p = walk.bytes + offset;
    *out = static_cast<uint16_t>(p[0] | (p[1] << 8));
    return true;
}

bool ReadU32(const Walk& walk, int64_t offset, uint32_t* out)
{
    if (!HasBytes(walk, offset, 4))
        return false;
    const uint8_t* p = walk.bytes + offset;
    *out = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
        (static_cast<uint32_t>(p[3]) << 24);
    return true;
}

// Length of the NUL-terminated string at offset, or -1 when no NUL comes before the end.
int64_t NameLength(const Walk& walk, int64_t offset)
{
    if (!HasBytes(walk, offset, 0))
        return -1;
    const void* nul = std::memchr(walk.bytes + offset, 0, static_cast<size_t>(walk.length - offset));
    if (!nul)
        return -1;
    return static_cast<const uint8_t*>(nul) - (walk.bytes + offset);
}

template <class T>
T* AllocateZeroed(int64_t count)
{
    // one element at least, so that a present array is never null
    return static_cast<T*>(std::calloc(count > 0 ? static_cast<size_t>(count) : 1, sizeof(T)));
}

// ---- the walk

Surface* AppendSurface(Walk& walk, const uint8_t* name)
{
    Surface* surface = AllocateZeroed<Surface>(1);
    surface->name = reinterpret_cast<const char*>(name);
    if (walk.last) {
        walk.last->next = surface;
    } else {
        walk.model->firstSurface = surface;
    }
    walk.last = surface;
    return surface;
}

void ReleaseOwnJoints(Surface* surface)
{
    if (!surface->borrowedJoints)
        std::free(surface->joints);
    surface->joints = nullptr;
    surface->jointCount = 0;
    surface->borrowedJoints = 0;
}

// Each handler returns the position of the next chunk, or -1 to stop the walk.

int64_t EnterObject(Walk& walk, int64_t at)
{
    int64_t nameLength = NameLength(walk, at + 6);
    if (nameLength < 0)
        return -1;
    Surface* previous = walk.last;
    Surface* surface = AppendSurface(walk, walk.bytes + at + 6);
    // objects that follow an object with joints share its joint block
    if (previous && previous->joints) {
        surface->joints = previous->joints;
        surface->jointCount = previous->jointCount;
        surface->borrowedJoints = 1;
    }
    return at + 6 + nameLength + 1;
}

// Reads a 16-bit count at chunk + 6 and checks that count records of recordSize follow.
bool ReadCountedList(const Walk& walk, int64_t at, uint64_t recordSize, uint16_t* count)
{
    return ReadU16(walk, at + 6, count) && HasBytes(walk, at + 8, *count * recordSize);
}

int64_t ReadVertexList(Walk& walk, int64_t at)
{
    uint16_t count;
    if (!ReadCountedList(walk, at, 12, &count))
        return -1;
    walk.last->vertexCount = count;
    walk.last->vertices = walk.bytes + at + 8;
    return at + 8 + 12 * static_cast<int64_t>(count);
}

int64_t ReadFaceList(Walk& walk, int64_t at)
{
    uint16_t count;
    if (!ReadCountedList(walk, at, 8, &count))
        return -1;
    walk.last->faceCount = count;
    walk.last->faces = walk.bytes + at + 8;
    // the face list's own sub-chunks (materials, smoothing) follow the last face
    return at + 8 + 8 * static_cast<int64_t>(count);
}

bool ReadTexCoordList(Walk& walk, int64_t at)
{
    uint16_t count;
    if (!ReadCountedList(walk, at, 8, &count))
        return false;
    walk.last->texCoords = walk.bytes + at + 6;
    return true;
}

bool ReadNodeHeader(Walk& walk, int64_t at)
{
    if (NameLength(walk, at + 6) < 0)
        return false;
    const char* name = reinterpret_cast<const char*>(walk.bytes + at + 6);
    if (!FindSurfaceByName(name, walk.model))
        AppendSurface(walk, walk.bytes + at + 6);
    return true;
}

bool ReadVertexNormals(Walk& walk, int64_t at)
{
    Surface* surface = walk.last;
    if (!HasBytes(walk, at + 6, 12 * static_cast<uint64_t>(surface->vertexCount)))
        return false;
    if (!surface->normalsFromFile)
        std::free(const_cast<uint8_t*>(surface->normals));
    surface->normals = walk.bytes + at + 6;
    surface->normalsFromFile = 1;
    return true;
}

bool ReadVertexWeights(Walk& walk, int64_t at)
{
    uint32_t count;
    if (!ReadU32(walk, at + 6, &count))
        return false;
    if (!HasBytes(walk, at + 10, 24 * static_cast<uint64_t>(count)))
        return false;
    walk.last->weightCount = count;
    walk.last->weights = walk.bytes + at + 10;
    return true;
}

bool ReadWeightRanges(Walk& walk, int64_t at)
{
    if (!HasBytes(walk, at + 6, 8 * static_cast<uint64_t>(walk.last->vertexCount)))
        return false;
    walk.last->weightRanges = walk.bytes + at + 6;
    return true;
}

bool ReadJointCount(Walk& walk, int64_t at)
{
    uint32_t stored;
    if (!ReadU32(walk, at + 6, &stored))
        return false;
    int32_t count = static_cast<int32_t>(stored);
    if (count < 0 || count > MaxJointCount)
        return true;  // refused, skipped
    Surface* surface = walk.last;
    ReleaseOwnJoints(surface);
    if (count > 0) {
        surface->joints = AllocateZeroed<Joint>(count);
        surface->jointCount = count;
    }
    return true;
}

bool ReadJointRecord(Walk& walk, int64_t at)
{
    Surface* surface = walk.last;
    if (surface->jointCount < 1)
        return true;
    uint32_t index;
    if (!ReadU32(walk, at + 6, &index) || !HasBytes(walk, at + 6, JointRecordSize))
        return false;
    if (index >= static_cast<uint32_t>(surface->jointCount))
        return true;  // ignored
    Joint* joint = &surface->joints[index];
    std::memset(joint, 0, sizeof(Joint));
    std::memcpy(joint, walk.bytes + at + 6, JointRecordSize);
    joint->name[sizeof(joint->name) - 1] = 0;
    joint->parentName[sizeof(joint->parentName) - 1] = 0;
    return true;
}

// Kinds that store into the current surface; without a surface they are skipped.
bool StoresIntoSurface(ChunkKind kind)
{
    switch (kind) {
    case kVertexList:
    case kFaceList:
    case kTexCoordList:
    case kVertexNormals:
    case kVertexWeights:
    case kWeightRanges:
    case kJointCount:
    case kJointRecord:
        return true;
    default:
        return false;
    }
}

// Acts on the chunk at `at` and returns where the walk goes on, or -1 to stop.
int64_t ActOnChunk(Walk& walk, ChunkKind kind, int64_t at, uint32_t length)
{
    const int64_t entered = at + 6;
    const int64_t skipped = at + length;
    if (StoresIntoSurface(kind) && !walk.last)
        return skipped;
    switch (kind) {
    case kMain:
    case kEditor:
    case kTriMesh:
    case kKeyframer:
    case kObjectNode:
        return entered;
    case kObject:
        return EnterObject(walk, at);
    case kVertexList:
        return ReadVertexList(walk, at);
    case kFaceList:
        return ReadFaceList(walk, at);
    case kTexCoordList:
        return ReadTexCoordList(walk, at) ? skipped : -1;
    case kNodeHeader:
        return ReadNodeHeader(walk, at) ? skipped : -1;
    case kVertexNormals:
        return ReadVertexNormals(walk, at) ? skipped : -1;
    case kVertexWeights:
        return ReadVertexWeights(walk, at) ? skipped : -1;
    case kWeightRanges:
        return ReadWeightRanges(walk, at) ? skipped : -1;
    case kJointCount:
        return ReadJointCount(walk, at) ? skipped : -1;
    case kJointRecord:
        return ReadJointRecord(walk, at) ? skipped : -1;
    default:
        return skipped;
    }
}

void WalkChunks(Walk& walk)
{
    int64_t position = 0;
    uint16_t firstWord;
    walk.ids = StandardChunkIds;
    if (ReadU16(walk, 0, &firstWord) && firstWord == ExtendedStreamMark) {
        walk.ids = ExtendedChunkIds;
        position = 2;
    }
    while (position < walk.length) {
        uint16_t id;
        uint32_t length;
        if (!ReadU16(walk, position, &id) || !ReadU32(walk, position + 2, &length))
            return;
        if (length == 0 || length > static_cast<uint64_t>(walk.length))
            return;
        position = ActOnChunk(walk, KindOfChunk(walk.ids, id), position, length);
        if (position < 0)
            return;
    }
}

// ---- the post-pass

bool ViewHolds(const Model* model, const uint8_t* view, uint64_t count)
{
    return count <= static_cast<uint64_t>(model->bytes + model->length - view);
}

// Drops views that do not cover the final vertex count (a later vertex list can grow it).
void DropShortViews(const Model* model, Surface* surface)
{
    uint64_t vertexCount = static_cast<uint64_t>(surface->vertexCount);
    if (surface->normalsFromFile && !ViewHolds(model, surface->normals, 12 * vertexCount)) {
        surface->normals = nullptr;
        surface->normalsFromFile = 0;
    }
    if (surface->weightRanges && !ViewHolds(model, surface->weightRanges, 8 * vertexCount)) {
        surface->weightRanges = nullptr;
    }
    if (surface->texCoords) {
        uint16_t pairs = static_cast<uint16_t>(surface->texCoords[0] | (surface->texCoords[1] << 8));
        if (pairs < vertexCount)
            surface->texCoords = nullptr;
    }
}

void SetIdentity(float matrix[12])
{
    static const float identity[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    std::memcpy(matrix, identity, sizeof(identity));
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
        ComputeVertexNormals(normals, surface->vertexCount, surface->vertices, surface->faceCount, surface->faces);
        surface->normals = reinterpret_cast<const uint8_t*>(normals);
    }
    surface->lightVectors = AllocateZeroed<Vec3>(surface->vertexCount);
}

bool FaceFits(const MeshFace& face, int32_t vertexCount)
{
    return face.a < vertexCount && face.b < vertexCount && face.c < vertexCount;
}

// Weighted position of vertex i; also refreshes deformedNormals[i] when the surface has them.
Vec3 WeightedPosition(Surface* surface, int32_t i, const Vec3& p)
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
bool SameBits(const T& a, const T& b)
{
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

// Writes position i (and deformed normal i when the surface has them); true when either
// changed, so that frames built from the old ones are stale.
bool DeformVertex(Surface* surface, int32_t i)
{
    const Vec3 before = surface->positions[i];
    const Vec3 normalBefore = surface->deformedNormals ? surface->deformedNormals[i] : Vec3{0, 0, 0};
    Vec3 p = ReadVec3At(surface->vertices, i);
    Vec3 acc = surface->weightRanges ? WeightedPosition(surface, i, p) : p;
    TransformPoint(surface->matrix, acc, surface->positions[i]);
    return !SameBits(before, surface->positions[i]) ||
        (surface->deformedNormals && !SameBits(normalBefore, surface->deformedNormals[i]));
}

}  // namespace

// ---- public operations

const uint8_t* SurfaceTexCoordPairs(const Surface* surface)
{
    return surface && surface->texCoords ? surface->texCoords + 2 : nullptr;
}

bool ReadModelChunks(Model* model)
{
    if (!model)
        return false;
    Walk walk{model, model->bytes, model->bytes ? model->length : 0, StandardChunkIds, nullptr};
    if (walk.length < 0)
        walk.length = 0;
    WalkChunks(walk);
    for (Surface* surface = model->firstSurface; surface; surface = surface->next) {
        if (surface->vertices)
            PrepareSurface(model, surface);
    }
    return true;
}

Surface* FindSurfaceByName(const char* name, const Model* model)
{
    if (!name || !model)
        return nullptr;
    for (Surface* surface = model->firstSurface; surface; surface = surface->next) {
        if (surface->name && std::strcmp(surface->name, name) == 0)
            return surface;
    }
    return nullptr;
}

void BuildTriangleIndices(Surface* surface)
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
