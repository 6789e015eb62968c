// 3DS chunk reader: the walk over the chunk stream; the post-pass (surface.cpp)
// derives the arrays drawing needs.
//
// Sections: chunk tables; bounds-checked stream reads; the walk; public operations.
#include "model/model3ds.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "model/chunk_ids.h"
#include "platform/byte_order.h"

static_assert(offsetof(Joint, pose) == 116, "a joint record fills the first 116 bytes");
static_assert(sizeof(VertexWeight) == 24, "a weight is 24 bytes in the stream");
static_assert(sizeof(WeightRange) == 8, "a weight range is 8 bytes in the stream");

// ---- chunk tables

// Chunk kinds in the order in which ids are compared; the first match wins.
enum ChunkKind {
    MainChunk,
    VersionChunk,
    EditorChunk,
    ObjectChunk,
    TriMeshChunk,
    VertexListChunk,
    FaceListChunk,
    MaterialGroupChunk,
    TexCoordListChunk,
    SmoothingGroupsChunk,
    MeshMatrixChunk,
    VertexNormalsChunk,
    VertexWeightsChunk,
    WeightRangesChunk,
    JointCountChunk,
    JointRecordChunk,
    KeyframerChunk,
    ObjectNodeChunk,
    KeyframeSegmentChunk,
    NodeHeaderChunk,
    KeyframeHeaderChunk,
    PivotChunk,
    PositionTrackChunk,
    RotationTrackChunk,
    ScaleTrackChunk,
    MorphTrackChunk,
    NodeIdChunk,
    ChunkKindCount,
    UnknownChunk = ChunkKindCount
};

// The standard variant has no extension chunks: an id of its own stands in for each of them.
static const uint16_t NoStandardChunkId = 0x9999;
static const uint16_t StandardChunkIds[ChunkKindCount] = {
    MainChunkId,           VersionChunkId,    EditorChunkId,        ObjectChunkId,          TriMeshChunkId,
    VertexListChunkId,     FaceListChunkId,   MaterialGroupChunkId, TexCoordListChunkId,    SmoothingGroupsChunkId,
    MeshMatrixChunkId,     NoStandardChunkId, NoStandardChunkId,    NoStandardChunkId,      NoStandardChunkId,
    NoStandardChunkId,     KeyframerChunkId,  ObjectNodeChunkId,    KeyframeSegmentChunkId, NodeHeaderChunkId,
    KeyframeHeaderChunkId, PivotChunkId,      PositionTrackChunkId, RotationTrackChunkId,   ScaleTrackChunkId,
    MorphTrackChunkId,     NodeIdChunkId};
static const uint16_t ExtendedChunkIds[ChunkKindCount] = {
    0x1000, 0x1002, 0x0001, 0x2000, 0x2100, 0x2110, 0x2120, 0x2130, 0x2140, 0x2150, 0x2160, 0x2170, 0x2180, 0x2185,
    0x2189, 0x2190, 0x3000, 0x3002, 0x3008, 0x3010, 0x300A, 0x3013, 0x3020, 0x3021, 0x3022, 0x3024, 0x3030};

// The extended variant starts with this word and its chunks at offset 2.
static const uint16_t ExtendedStreamMark = 0x1337;
static const int JointRecordSize = 116;
// A joint block larger than the 3DS format's 16-bit counts is refused.
static const int32_t MaxJointCount = 65535;

static ChunkKind KindOfChunk(const uint16_t* table, uint16_t id)
{
    for (int kind = 0; kind < ChunkKindCount; ++kind) {
        if (table[kind] == id)
            return static_cast<ChunkKind>(kind);
    }
    return UnknownChunk;
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
static bool HasBytes(const Walk& walk, int64_t offset, uint64_t count)
{
    return offset >= 0 && HasBytesAt(static_cast<size_t>(walk.length), static_cast<size_t>(offset), count);
}

static bool ReadU16(const Walk& walk, int64_t offset, uint16_t* out)
{
    return offset >= 0 && ReadLittleU16(walk.bytes, static_cast<size_t>(walk.length), static_cast<size_t>(offset), out);
}

static bool ReadU32(const Walk& walk, int64_t offset, uint32_t* out)
{
    return offset >= 0 && ReadLittleU32(walk.bytes, static_cast<size_t>(walk.length), static_cast<size_t>(offset), out);
}

// Length of the NUL-terminated string at offset, or -1 when no NUL comes before the end.
static int64_t NameLength(const Walk& walk, int64_t offset)
{
    if (!HasBytes(walk, offset, 0))
        return -1;
    const void* nul = std::memchr(walk.bytes + offset, 0, static_cast<size_t>(walk.length - offset));
    if (!nul)
        return -1;
    return static_cast<const uint8_t*>(nul) - (walk.bytes + offset);
}

// ---- the walk

static Surface* AppendSurface(Walk& walk, const uint8_t* name)
{
    Surface* surface = static_cast<Surface*>(std::calloc(1, sizeof(Surface)));
    if (!surface)
        return nullptr;  // the walk ends here; what was read is kept
    surface->name = reinterpret_cast<const char*>(name);
    if (walk.last) {
        walk.last->next = surface;
    } else {
        walk.model->firstSurface = surface;
    }
    walk.last = surface;
    return surface;
}

static void ReleaseOwnJoints(Surface* surface)
{
    if (!surface->borrowedJoints)
        std::free(surface->joints);
    surface->joints = nullptr;
    surface->jointCount = 0;
    surface->borrowedJoints = 0;
}

// Each handler returns the position of the next chunk, or -1 to stop the walk.

static int64_t EnterObject(Walk& walk, int64_t at)
{
    int64_t nameLength = NameLength(walk, at + 6);
    if (nameLength < 0)
        return -1;
    Surface* previous = walk.last;
    Surface* surface = AppendSurface(walk, walk.bytes + at + 6);
    if (!surface)
        return -1;
    // objects that follow an object with joints share its joint block
    if (previous && previous->joints) {
        surface->joints = previous->joints;
        surface->jointCount = previous->jointCount;
        surface->borrowedJoints = 1;
    }
    return at + 6 + nameLength + 1;
}

// Reads a 16-bit count at chunk + 6 and checks that count records of recordSize follow.
static bool ReadCountedList(const Walk& walk, int64_t at, uint64_t recordSize, uint16_t* count)
{
    return ReadU16(walk, at + 6, count) && HasBytes(walk, at + 8, *count * recordSize);
}

static int64_t ReadVertexList(Walk& walk, int64_t at)
{
    uint16_t count;
    if (!ReadCountedList(walk, at, 12, &count))
        return -1;
    walk.last->vertexCount = count;
    walk.last->vertices = walk.bytes + at + 8;
    return at + 8 + 12 * static_cast<int64_t>(count);
}

static int64_t ReadFaceList(Walk& walk, int64_t at)
{
    uint16_t count;
    if (!ReadCountedList(walk, at, 8, &count))
        return -1;
    walk.last->faceCount = count;
    walk.last->faces = walk.bytes + at + 8;
    // the face list's own sub-chunks (materials, smoothing) follow the last face
    return at + 8 + 8 * static_cast<int64_t>(count);
}

static bool ReadTexCoordList(Walk& walk, int64_t at)
{
    uint16_t count;
    if (!ReadCountedList(walk, at, 8, &count))
        return false;
    walk.last->texCoords = walk.bytes + at + 6;
    return true;
}

static bool ReadNodeHeader(Walk& walk, int64_t at)
{
    if (NameLength(walk, at + 6) < 0)
        return false;
    const char* name = reinterpret_cast<const char*>(walk.bytes + at + 6);
    if (!FindSurfaceByName(name, walk.model))
        AppendSurface(walk, walk.bytes + at + 6);
    return true;
}

static bool ReadVertexNormals(Walk& walk, int64_t at)
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

static bool ReadVertexWeights(Walk& walk, int64_t at)
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

static bool ReadWeightRanges(Walk& walk, int64_t at)
{
    if (!HasBytes(walk, at + 6, 8 * static_cast<uint64_t>(walk.last->vertexCount)))
        return false;
    walk.last->weightRanges = walk.bytes + at + 6;
    return true;
}

static bool ReadJointCount(Walk& walk, int64_t at)
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
        surface->joints = static_cast<Joint*>(std::calloc(static_cast<size_t>(count), sizeof(Joint)));
        surface->jointCount = surface->joints ? count : 0;
    }
    return true;
}

static bool ReadJointRecord(Walk& walk, int64_t at)
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
static bool StoresIntoSurface(ChunkKind kind)
{
    switch (kind) {
    case VertexListChunk:
    case FaceListChunk:
    case TexCoordListChunk:
    case VertexNormalsChunk:
    case VertexWeightsChunk:
    case WeightRangesChunk:
    case JointCountChunk:
    case JointRecordChunk:
        return true;
    default:
        return false;
    }
}

// Acts on the chunk at `at` and returns where the walk goes on, or -1 to stop.
static int64_t ActOnChunk(Walk& walk, ChunkKind kind, int64_t at, uint32_t length)
{
    const int64_t entered = at + 6;
    const int64_t skipped = at + length;
    if (StoresIntoSurface(kind) && !walk.last)
        return skipped;
    switch (kind) {
    case MainChunk:
    case EditorChunk:
    case TriMeshChunk:
    case KeyframerChunk:
    case ObjectNodeChunk:
        return entered;
    case ObjectChunk:
        return EnterObject(walk, at);
    case VertexListChunk:
        return ReadVertexList(walk, at);
    case FaceListChunk:
        return ReadFaceList(walk, at);
    case TexCoordListChunk:
        return ReadTexCoordList(walk, at) ? skipped : -1;
    case NodeHeaderChunk:
        return ReadNodeHeader(walk, at) ? skipped : -1;
    case VertexNormalsChunk:
        return ReadVertexNormals(walk, at) ? skipped : -1;
    case VertexWeightsChunk:
        return ReadVertexWeights(walk, at) ? skipped : -1;
    case WeightRangesChunk:
        return ReadWeightRanges(walk, at) ? skipped : -1;
    case JointCountChunk:
        return ReadJointCount(walk, at) ? skipped : -1;
    case JointRecordChunk:
        return ReadJointRecord(walk, at) ? skipped : -1;
    default:
        return skipped;
    }
}

static void WalkChunks(Walk& walk)
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

// ---- public operations

bool BeginsWithMainChunk(const uint8_t* bytes, size_t size)
{
    uint16_t first = 0, second = 0;
    if (!ReadLittleU16(bytes, size, 0, &first))
        return false;
    if (first == ExtendedStreamMark)
        return size >= 2 + ChunkHeaderSize && ReadLittleU16(bytes, size, 2, &second) &&
            second == ExtendedChunkIds[MainChunk];
    return first == MainChunkId && size >= ChunkHeaderSize;
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
