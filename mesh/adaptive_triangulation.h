// The triangulation behind the adaptive mesh: triangles over the picture's rectangle whose
// corners are pixels, with their neighbours, edited by inserting a pixel (Delaunay), flipping
// an edge and removing a vertex; it can also return to an earlier state kept as the best.
// All tests on positions are exact integer arithmetic.
#pragma once

#include <cstddef>
#include <cstdint>

struct MeshVertex {
    int32_t x;  // -1 once removed
    int32_t y;
    int32_t triangle;  // a triangle with the vertex as a corner
    uint32_t version;  // moves whenever a triangle around the vertex changes
};

struct MeshTriangle {
    int32_t corners[3];  // vertex indices in positive orientation (clockwise on screen); corners[0] < 0: free slot
    int32_t across[3];   // past edge i (corners[i] -> corners[i + 1]): 3 x neighbour + its edge; -1 on the border
};

struct IndexList {
    int32_t* items;
    int32_t count;
    int32_t capacity;
};

struct SavedTriangle {
    int32_t slot;
    MeshTriangle triangle;
};

struct Triangulation {
    int32_t width;  // the picture's pixels
    int32_t height;

    MeshVertex* vertices;
    int32_t vertexSlots;  // vertices ever added (removed ones included)
    int32_t vertexCapacity;
    int32_t vertexCount;  // vertices in the mesh
    int32_t borderVertexCount;

    MeshTriangle* triangles;
    uint32_t* touchRound;  // per slot: the round in which it was last listed as touched
    uint32_t* savedRound;  // per slot: the best state in which it was last saved
    int32_t triangleSlots;
    int32_t triangleCapacity;
    int32_t faceCount;  // triangles in the mesh
    IndexList freeTriangles;
    IndexList touched;  // triangles set since ClearTouched, once each
    uint32_t round;
    IndexList edges;  // a work list of edges (legalization, flips): 3 x triangle + edge

    // The best state, kept as the slots and vertices changed since it was marked.
    SavedTriangle* saved;
    int32_t savedCount;
    int32_t savedCapacity;
    IndexList removedVertices;  // pairs (vertex, x)
    uint32_t best;
    int32_t bestTriangleSlots;
    int32_t bestVertexSlots;

    bool failed;  // a work list could not grow
};

// The triangles around one vertex in turn, in the triangles' own (positive) orientation.
static const int MaxStar = 32;
struct Star {
    bool border;  // the vertex lies on the picture's border
    int32_t triangleCount;
    int32_t triangles[MaxStar];
    int32_t ringCount;             // triangleCount + 1 on the border, else triangleCount
    int32_t ring[MaxStar + 1];     // the far corners, in order
    int32_t outside[MaxStar + 1];  // the link past ring[i] -> ring[i + 1] (cyclic; -1 along the border)
};

// The polygon of a star without its vertex, cut into triangles.
struct Hole {
    int32_t count;  // ringCount - 2
    int32_t corners[MaxStar][3];
};

// Room for this many more vertices and triangles (the edits below need it); false when memory
// runs out.
bool ReserveTriangulation(Triangulation* mesh, int64_t moreVertices, int64_t moreTriangles);

// The picture's four corners and two triangles.
bool StartTriangulation(Triangulation* mesh, int32_t width, int32_t height);

// Adds pixel (x, y), which lies in the closed triangle t and is no vertex, and restores the
// Delaunay condition around it. Needs room for 1 vertex and 2 triangles. Returns the vertex.
int32_t InsertPixel(Triangulation* mesh, int32_t t, int32_t x, int32_t y);

// The corners that t and its neighbour past edge i would get from a flip of that edge; false
// when there is no neighbour or their quadrilateral is not strictly convex.
bool FlippedCorners(const Triangulation* mesh, int32_t t, int32_t i, int32_t* first, int32_t* second);

// Replaces edge i of t with the quadrilateral's other diagonal: t gets FlippedCorners' first
// corners and its neighbour the second.
void FlipEdge(Triangulation* mesh, int32_t t, int32_t i);

// False when more than MaxStar triangles meet at the vertex.
bool CollectStar(const Triangulation* mesh, int32_t vertex, Star* star);

// Cuts the star's polygon by ears, preferring ears whose circle holds no other corner.
bool TriangulateHole(const Triangulation* mesh, const Star* star, Hole* hole);

// Replaces the star with the hole's triangles: triangle i of the hole goes to slot
// star->triangles[i], the slots after them are freed.
void RemoveVertex(Triangulation* mesh, int32_t vertex, const Star* star, const Hole* hole);

// The picture's four corners stay; every other vertex may go.
bool IsPictureCorner(const Triangulation* mesh, int32_t vertex);
bool IsBorderPixel(const Triangulation* mesh, int32_t x, int32_t y);

void ClearTouched(Triangulation* mesh);

// False when memory runs out.
bool AppendIndex(IndexList* list, int32_t value);

// Marks the present state as the best; RestoreBest returns to the last one marked (only the
// triangles, vertices and counts: the work lists are left as they are).
void MarkBest(Triangulation* mesh);
void RestoreBest(Triangulation* mesh);

void FreeTriangulation(Triangulation* mesh);

// Shared allocation, with a failure point for tests (AdaptiveMeshAllocationsBeforeFailure).
void* ResizeAdaptiveBlock(void* block, size_t size);

// Every array of the mesh grows through ResizeAdaptiveBlock, which tests can make fail: count
// elements of T, or false with the array left as it was.
template <typename T>
inline bool Resize(T** block, int64_t count)
{
    void* resized = ResizeAdaptiveBlock(*block, static_cast<size_t>(count) * sizeof(T));
    if (!resized)
        return false;
    *block = static_cast<T*>(resized);
    return true;
}
