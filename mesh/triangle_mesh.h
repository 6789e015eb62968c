// The in-memory triangle mesh that every writer other than the 3DS one takes: plain arrays
// with 64-bit counts, since those formats have no 16-bit limit (a 4096 x 4096 heightmap at
// grid step 1 is 33.5 million faces). Memory for a mesh is checked before it is allocated.
//
// A mesh made by AllocateTriangleMesh owns its arrays (FreeTriangleMesh frees them); one
// that a caller fills by hand may point at arrays it keeps itself.
#pragma once

#include <cstddef>
#include <cstdint>

static const size_t MeshNameSize = 32;

struct TriangleMesh {
    int64_t vertexCount;      // vertices
    float* positions;         // X, Y, Z in world units, 3 per vertex; Z is the height
    float* texCoords;         // U, V, 2 per vertex (V = 0 at the picture's first row), or null
    float* normals;           // X, Y, Z of unit length, 3 per vertex, or null
    int64_t faceCount;        // triangles
    uint32_t* faces;          // vertex indices, 3 per face, counter-clockwise seen from outside
    char name[MeshNameSize];  // object name, NUL-terminated: "heightmesh"
};

// Corner indices are 32-bit, so a mesh has at most 2^32 vertices.
static const int64_t MaxMeshVertices = int64_t(1) << 32;
static const int64_t MaxMeshFaces = (int64_t(1) << 32) - 1;

// Bytes an export or a closing may use. 0 (the default) means what the system has free
// (MemAvailable, bounded by the address-space limit); tests set a figure.
extern uint64_t MeshMemoryLimit;

// Bytes that can be had now for a mesh operation: MeshMemoryLimit when set, else the
// system's estimate. Never 0 when the estimate cannot be read: then UINT64_MAX.
uint64_t AvailableMeshMemory();

// Bytes the arrays of such a mesh take, or 0 when the counts are negative, too large for
// 32-bit indices, or the sum overflows.
uint64_t TriangleMeshBytes(int64_t vertexCount, int64_t faceCount, bool texCoords, bool normals);

// Allocates the arrays (texCoords and normals only when asked) and names the mesh; its
// contents are left for the caller. False, with *mesh left empty (all zero), when the counts
// are invalid or the memory is not available.
bool AllocateTriangleMesh(TriangleMesh* mesh, int64_t vertexCount, int64_t faceCount, bool texCoords, bool normals,
                          const char* name);

// Frees the arrays of a mesh made by AllocateTriangleMesh and empties the record.
void FreeTriangleMesh(TriangleMesh* mesh);

// Sets the name, cut to MeshNameSize - 1 bytes.
void SetTriangleMeshName(TriangleMesh* mesh, const char* name);

// Fills mesh->normals (which must be allocated) with smooth vertex normals: each face adds
// its area-weighted normal to its corners. A vertex no face uses gets (0, 0, 1). False when
// normals is null or a corner index is out of range.
bool BuildVertexNormals(TriangleMesh* mesh);

// True when every corner index is below vertexCount and the arrays the counts need exist.
bool IsValidTriangleMesh(const TriangleMesh& mesh);
