// 3D Studio chunk reader: turns a .3ds byte stream into a Model, a list of Surfaces.
//
// The reader copies nothing of the stream: names and lists stay views (pointers) into the
// stream's bytes, which must outlive the Model (the file table in model_store.h keeps
// them). Views may sit at any byte offset, so they are typed as byte pointers and read
// with ReadVec3At / ReadMeshFaceAt or memcpy, never through a cast.
//
// Two stream variants: the standard one, and an extended one that starts with the word
// 0x1337 and adds vertex normals, vertex weights and joints.
//
// Damaged input never makes the reader touch memory outside the stream:
// - a chunk header within 6 bytes of the end, a length of 0 or past the stream, a count
//   larger than the data behind it, a name without a NUL before the end, or any view that
//   would reach past the stream ends the walk; what was read so far is kept and the
//   post-pass runs;
// - chunks that store into the current surface before any surface exists are skipped;
// - a JointCount outside 0..65535 is skipped; a JointRecord index at or past jointCount,
//   a weight whose joint index is at or past jointCount and a weight range that reaches
//   past weightCount are ignored;
// - a vertex normal or weight range view that does not hold vertexCount records, and a
//   texture coordinate list with fewer pairs than vertexCount, are dropped by the
//   post-pass (normals are then computed; texCoords becomes null).
// - Faces with a corner at or past vertexCount are left out of everything derived from
//   the faces: vertex normals, tangent frames, and the triangle index list. Consumers
//   that draw or walk triangles use triangleIndices / triangleCount, never faces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "model/geometry.h"

struct TangentFrame;  // model/lighting_data.h

// One triangle as the 3DS face list stores it: 8 bytes, little-endian.
struct MeshFace {
    uint16_t a;      // first corner, vertex index
    uint16_t b;      // second corner, vertex index
    uint16_t c;      // third corner, vertex index
    uint16_t flags;  // edge visibility flags: not used
};

// A joint: the first 116 bytes come verbatim from a JointRecord chunk.
struct Joint {
    uint32_t index;       // the joint's index as stored
    char name[80];        // joint name, NUL-terminated (the last byte is forced to NUL)
    char parentName[32];  // parent joint's name, empty for a root (last byte forced to NUL)
    float pose[12];       // current transform in the geometry.h matrix layout; zero after loading
};

// Weight record of the extended stream (24 bytes).
struct VertexWeight {
    uint32_t unused;       // not used
    uint32_t joint;        // index into the surface's joints
    float weight;          // contribution of that joint
    uint8_t reserved[12];  // not used
};

// Per-vertex weight range of the extended stream (8 bytes, one per vertex).
struct WeightRange {
    uint32_t first;  // index of the vertex's first VertexWeight
    int32_t count;   // number of weights; none when <= 0
};

// One object of the stream. Allocated zeroed; arrays marked owned are malloc'd blocks
// released with free() by FreeModel (model_store.h).
struct Surface {
    const char* name;             // view: NUL-terminated object name in the stream
    int32_t vertexCount;          // from the vertex list's 16-bit count
    const uint8_t* vertices;      // view: vertexCount x 3 float32 (ReadVec3At); null without a vertex list
    int32_t faceCount;            // from the face list's 16-bit count
    const uint8_t* faces;         // view: faceCount MeshFace records (ReadMeshFaceAt)
    const uint8_t* normals;       // vertexCount x 3 float32: view (normalsFromFile) or owned Vec3 block
    Vec3* deformedNormals;        // owned: vertexCount unit normals made by DeformSurface, or null
    uint32_t weightCount;         // count field of the VertexWeights chunk; bounds weight ranges
    const uint8_t* weights;       // view: weightCount VertexWeight records
    int32_t jointCount;           // number of joints in joints (0 when joints is null)
    Joint* joints;                // owned, or borrowed from the previous surface
    const uint8_t* weightRanges;  // view: vertexCount WeightRange records, or null
    const uint8_t* texCoords;     // view: 16-bit count, then count (u, v) float32 pairs; null when
                                  // absent or holding fewer pairs than vertexCount
    TangentFrame* tangentFrames;  // owned: vertexCount frames, built by lighting_data.h when stale
    Vec3* positions;              // owned: vertexCount deformed positions, the drawing vertex array
    uint32_t* triangleIndices;    // owned: triangleCount x 3 corners, faces with a bad corner left out
    float* vertexColors;          // owned: vertexCount x 4 float32 (RGBA), made by the renderer with malloc, or null
    Vec3* lightVectors;           // owned: vertexCount tangent-space vectors to the light (zeroed at load)
    uint8_t borrowedJoints;       // 1 when joints belong to an earlier surface
    uint8_t normalsFromFile;      // 1 when normals is a view of a VertexNormals chunk
    float matrix[12];             // the surface's transform; identity after loading
    Surface* next;                // next surface in creation order, or null
    int32_t triangleCount;        // triangles in triangleIndices: faces whose corners are all < vertexCount
    uint8_t tangentFramesValid;   // 1 while tangentFrames match the current positions and normals
    float deformedMatrix[12];     // the matrix positions were last made with
};

// A loaded stream. Allocated zeroed by the model store.
struct Model {
    const uint8_t* bytes;   // the whole stream, owned by the file table, never by the model
    int32_t length;         // number of bytes in the stream
    Surface* firstSurface;  // head of the surface list, in creation order, or null
};

// True when the bytes begin with a 3DS main chunk's header: the standard one, or the
// extended variant's mark followed by its main chunk.
bool BeginsWithMainChunk(const uint8_t* bytes, size_t size);

// Walks the stream of a Model whose bytes and length are set and which has no surfaces,
// builds the surface list and runs the post-pass (identity matrix, DeformSurface, triangle
// indices, tangent frame and light vector blocks, computed normals unless the stream has
// them). Damage ends the walk early; the result is still true.
bool ReadModelChunks(Model* model);

// The post-pass for one walked surface that has a vertex list (model/surface.cpp).
void PrepareSurface(const Model* model, Surface* surface);

// First surface, in list order, whose name equals name byte for byte; unnamed surfaces
// are passed over. Null when none.
Surface* FindSurfaceByName(const char* name, const Model* model);

// Writes one unit normal per vertex into out: the normalised sum of the unit normals
// (b - a) x (c - a) of the faces that name the vertex (each face once), added in face
// order. Faces with a corner at or past vertexCount are left out; an unused vertex gets
// (0, 0, 0). Linear in vertices plus faces.
void ComputeVertexNormals(Vec3* out, int32_t vertexCount, const uint8_t* vertices, int32_t faceCount,
                          const uint8_t* faces);

// Fills positions (and deformedNormals when the surface has weight ranges and normals)
// from the vertices, weights, joint poses and the surface matrix. Allocates only on the
// first call; afterwards, once per frame, it allocates nothing. A surface without weight
// ranges whose matrix is unchanged keeps its positions as they are (they would come out
// the same). Clears tangentFramesValid when a position or deformed normal changes.
void DeformSurface(Surface* surface);

// Unaligned reads of one element of a view (inline: per-vertex loops call them).
inline Vec3 ReadVec3At(const uint8_t* list, int32_t index)
{
    Vec3 v;
    std::memcpy(&v, list + 12 * static_cast<size_t>(index), sizeof(v));
    return v;
}

inline MeshFace ReadMeshFaceAt(const uint8_t* list, int32_t index)
{
    MeshFace face;
    std::memcpy(&face, list + 8 * static_cast<size_t>(index), sizeof(face));
    return face;
}

// The (u, v) pairs of a surface's texCoords view (texCoords + 2), or null when it has none.
const uint8_t* SurfaceTexCoordPairs(const Surface* surface);
