// The triangulation of the adaptive mesh and its edits.
//
// Contents: allocation; growth; exact predicates; setting triangles; insertion; flips; the
// best state. Stars, holes and the removal of a vertex lie in adaptive_star.cpp.
#include "mesh/adaptive_triangulation.h"

#include <cstdlib>

#include "mesh/adaptive_mesh.h"
#include "mesh/adaptive_triangulation_internal.h"

// ---------------------------------------------------------------------------
// Allocation

int AdaptiveMeshAllocationsBeforeFailure = -1;

static bool AllocationShouldFail()
{
    if (AdaptiveMeshAllocationsBeforeFailure < 0)
        return false;
    if (AdaptiveMeshAllocationsBeforeFailure == 0)
        return true;
    --AdaptiveMeshAllocationsBeforeFailure;
    return false;
}

void* ResizeAdaptiveBlock(void* block, size_t size)
{
    if (AllocationShouldFail())
        return nullptr;
    return std::realloc(block, size ? size : 1);
}

// ---------------------------------------------------------------------------
// Growth

// Counts stay below 2^29 so that 3 x triangle + edge and y x width + x fit in 32 bits.
static const int64_t MaxSlots = int64_t{1} << 29;

static int64_t GrownCapacity(int64_t capacity, int64_t needed)
{
    int64_t grown = capacity < 16 ? 16 : capacity * 2;
    grown = grown < needed ? needed : grown;
    return grown > MaxSlots ? MaxSlots : grown;
}

bool AppendIndex(IndexList* list, int32_t value)
{
    if (list->count == list->capacity) {
        const int64_t capacity = GrownCapacity(list->capacity, int64_t{list->count} + 1);
        if (capacity <= list->count || !Resize(&list->items, capacity))
            return false;
        list->capacity = static_cast<int32_t>(capacity);
    }
    list->items[list->count++] = value;
    return true;
}

bool ReserveTriangulation(Triangulation* mesh, int64_t moreVertices, int64_t moreTriangles)
{
    const int64_t vertices = int64_t{mesh->vertexSlots} + moreVertices;
    const int64_t triangles = int64_t{mesh->triangleSlots} + moreTriangles;
    if (vertices > MaxSlots || triangles > MaxSlots)
        return false;
    if (vertices > mesh->vertexCapacity) {
        const int64_t capacity = GrownCapacity(mesh->vertexCapacity, vertices);
        if (!Resize(&mesh->vertices, capacity))
            return false;
        mesh->vertexCapacity = static_cast<int32_t>(capacity);
    }
    if (triangles > mesh->triangleCapacity) {
        const int64_t capacity = GrownCapacity(mesh->triangleCapacity, triangles);
        if (!Resize(&mesh->triangles, capacity) || !Resize(&mesh->touchRound, capacity) ||
            !Resize(&mesh->savedRound, capacity))
            return false;
        for (int64_t t = mesh->triangleCapacity; t < capacity; ++t) {
            mesh->touchRound[t] = 0;
            mesh->savedRound[t] = 0;
        }
        mesh->triangleCapacity = static_cast<int32_t>(capacity);
    }
    return true;
}

void FreeTriangulation(Triangulation* mesh)
{
    std::free(mesh->vertices);
    std::free(mesh->triangles);
    std::free(mesh->touchRound);
    std::free(mesh->savedRound);
    std::free(mesh->freeTriangles.items);
    std::free(mesh->touched.items);
    std::free(mesh->edges.items);
    std::free(mesh->saved);
    std::free(mesh->removedVertices.items);
    *mesh = Triangulation{};
}

// ---------------------------------------------------------------------------
// Exact predicates (coordinates below 2^14: products stay far inside 64 bits)

static int64_t Orientation(const Triangulation* mesh, int32_t a, int32_t b, int64_t px, int64_t py)
{
    const int64_t ax = mesh->vertices[a].x, ay = mesh->vertices[a].y;
    return (mesh->vertices[b].x - ax) * (py - ay) - (mesh->vertices[b].y - ay) * (px - ax);
}

int64_t OrientationOf(const Triangulation* mesh, int32_t a, int32_t b, int32_t c)
{
    return Orientation(mesh, a, b, mesh->vertices[c].x, mesh->vertices[c].y);
}

// > 0 when d lies strictly inside the circle through a, b, c (positive orientation).
int64_t InCircle(const Triangulation* mesh, int32_t a, int32_t b, int32_t c, int32_t d)
{
    const int64_t dx = mesh->vertices[d].x, dy = mesh->vertices[d].y;
    const int64_t adx = mesh->vertices[a].x - dx, ady = mesh->vertices[a].y - dy;
    const int64_t bdx = mesh->vertices[b].x - dx, bdy = mesh->vertices[b].y - dy;
    const int64_t cdx = mesh->vertices[c].x - dx, cdy = mesh->vertices[c].y - dy;
    const int64_t aLift = adx * adx + ady * ady;
    const int64_t bLift = bdx * bdx + bdy * bdy;
    const int64_t cLift = cdx * cdx + cdy * cdy;
    return aLift * (bdx * cdy - cdx * bdy) + bLift * (cdx * ady - adx * cdy) + cLift * (adx * bdy - bdx * ady);
}

bool IsBorderPixel(const Triangulation* mesh, int32_t x, int32_t y)
{
    return x == 0 || y == 0 || x == mesh->width - 1 || y == mesh->height - 1;
}

bool IsPictureCorner(const Triangulation* mesh, int32_t vertex)
{
    const int32_t x = mesh->vertices[vertex].x, y = mesh->vertices[vertex].y;
    return (x == 0 || x == mesh->width - 1) && (y == 0 || y == mesh->height - 1);
}

// ---------------------------------------------------------------------------
// Setting triangles

static void Touch(Triangulation* mesh, int32_t t)
{
    if (mesh->touchRound[t] == mesh->round)
        return;
    mesh->touchRound[t] = mesh->round;
    if (!AppendIndex(&mesh->touched, t))
        mesh->failed = true;
}

void ClearTouched(Triangulation* mesh)
{
    mesh->touched.count = 0;
    ++mesh->round;
}

// The first change to a slot since the best state was marked keeps its old contents.
static void SaveForBest(Triangulation* mesh, int32_t t)
{
    if (t >= mesh->bestTriangleSlots || mesh->savedRound[t] == mesh->best)
        return;
    mesh->savedRound[t] = mesh->best;
    if (mesh->savedCount == mesh->savedCapacity) {
        const int64_t capacity = GrownCapacity(mesh->savedCapacity, int64_t{mesh->savedCount} + 1);
        if (!Resize(&mesh->saved, capacity)) {
            mesh->failed = true;
            return;
        }
        mesh->savedCapacity = static_cast<int32_t>(capacity);
    }
    mesh->saved[mesh->savedCount++] = SavedTriangle{t, mesh->triangles[t]};
}

static void SetLink(Triangulation* mesh, int32_t link, int32_t target)
{
    if (link >= 0)
        mesh->triangles[link / 3].across[link % 3] = target;
}

// Sets t's corners and links, and the links back from its neighbours.
void SetTriangle(Triangulation* mesh, int32_t t, const int32_t* corners, const int32_t* across)
{
    SaveForBest(mesh, t);
    MeshTriangle* triangle = &mesh->triangles[t];
    for (int i = 0; i < 3; ++i) {
        triangle->corners[i] = corners[i];
        triangle->across[i] = across[i];
        SetLink(mesh, across[i], 3 * t + i);
        mesh->vertices[corners[i]].triangle = t;
        ++mesh->vertices[corners[i]].version;
    }
    Touch(mesh, t);
}

static void Set(Triangulation* mesh, int32_t t, int32_t a, int32_t b, int32_t c, int32_t ab, int32_t bc, int32_t ca)
{
    const int32_t corners[3] = {a, b, c};
    const int32_t across[3] = {ab, bc, ca};
    SetTriangle(mesh, t, corners, across);
}

static int32_t NewTriangle(Triangulation* mesh)
{
    ++mesh->faceCount;
    if (mesh->freeTriangles.count > 0)
        return mesh->freeTriangles.items[--mesh->freeTriangles.count];
    return mesh->triangleSlots++;
}

void FreeTriangle(Triangulation* mesh, int32_t t)
{
    SaveForBest(mesh, t);
    mesh->triangles[t].corners[0] = -1;
    --mesh->faceCount;
    if (!AppendIndex(&mesh->freeTriangles, t))
        mesh->failed = true;
}

static int32_t AddVertex(Triangulation* mesh, int32_t x, int32_t y)
{
    const int32_t v = mesh->vertexSlots++;
    mesh->vertices[v].x = x;
    mesh->vertices[v].y = y;
    mesh->vertices[v].version = 0;
    ++mesh->vertexCount;
    if (IsBorderPixel(mesh, x, y))
        ++mesh->borderVertexCount;
    return v;
}

bool StartTriangulation(Triangulation* mesh, int32_t width, int32_t height)
{
    mesh->width = width;
    mesh->height = height;
    mesh->round = 1;
    mesh->best = 1;
    if (!ReserveTriangulation(mesh, 4, 2))
        return false;
    const int32_t a = AddVertex(mesh, 0, 0), b = AddVertex(mesh, width - 1, 0);
    const int32_t c = AddVertex(mesh, width - 1, height - 1), d = AddVertex(mesh, 0, height - 1);
    const int32_t t0 = NewTriangle(mesh), t1 = NewTriangle(mesh);
    Set(mesh, t0, a, b, c, -1, -1, -1);
    Set(mesh, t1, a, c, d, 3 * t0 + 2, -1, -1);
    return !mesh->failed;
}

// ---------------------------------------------------------------------------
// Insertion

static void PushEdge(Triangulation* mesh, int32_t t, int32_t edge)
{
    if (!AppendIndex(&mesh->edges, 3 * t + edge))
        mesh->failed = true;
}

static void SplitTriangle(Triangulation* mesh, int32_t t, int32_t p)
{
    const MeshTriangle old = mesh->triangles[t];
    const int32_t t1 = NewTriangle(mesh), t2 = NewTriangle(mesh);
    const int32_t a = old.corners[0], b = old.corners[1], c = old.corners[2];
    Set(mesh, t, a, b, p, old.across[0], -1, -1);
    Set(mesh, t1, b, c, p, old.across[1], -1, 3 * t + 1);
    Set(mesh, t2, c, a, p, old.across[2], 3 * t + 2, 3 * t1 + 1);
    PushEdge(mesh, t, 0);
    PushEdge(mesh, t1, 0);
    PushEdge(mesh, t2, 0);
}

// p lies on edge i of t: t and its neighbour (if any) become two triangles each.
static void SplitEdge(Triangulation* mesh, int32_t t, int32_t i, int32_t p)
{
    const MeshTriangle old = mesh->triangles[t];
    const int32_t a = old.corners[i], b = old.corners[(i + 1) % 3], c = old.corners[(i + 2) % 3];
    const int32_t bc = old.across[(i + 1) % 3], ca = old.across[(i + 2) % 3];
    const int32_t t1 = NewTriangle(mesh);
    if (old.across[i] < 0) {
        Set(mesh, t, a, p, c, -1, -1, ca);
        Set(mesh, t1, p, b, c, -1, bc, 3 * t + 1);
        PushEdge(mesh, t, 2);
        PushEdge(mesh, t1, 1);
        return;
    }
    const int32_t u = old.across[i] / 3, j = old.across[i] % 3;
    const MeshTriangle neighbour = mesh->triangles[u];
    const int32_t d = neighbour.corners[(j + 2) % 3];
    const int32_t ad = neighbour.across[(j + 1) % 3], db = neighbour.across[(j + 2) % 3];
    const int32_t u1 = NewTriangle(mesh);
    Set(mesh, t, a, p, c, -1, -1, ca);
    Set(mesh, t1, p, b, c, -1, bc, 3 * t + 1);
    Set(mesh, u, b, p, d, 3 * t1, -1, db);
    Set(mesh, u1, p, a, d, 3 * t, ad, 3 * u + 1);
    PushEdge(mesh, t, 2);
    PushEdge(mesh, t1, 1);
    PushEdge(mesh, u, 2);
    PushEdge(mesh, u1, 1);
}

// Lawson's flips: each listed edge lies opposite p; it is flipped while the far corner lies
// inside the circle through p and the edge.
static void Legalize(Triangulation* mesh, int32_t p)
{
    while (mesh->edges.count > 0) {
        const int32_t link = mesh->edges.items[--mesh->edges.count];
        const int32_t t = link / 3, i = link % 3;
        const MeshTriangle* triangle = &mesh->triangles[t];
        const int32_t across = triangle->across[i];
        if (triangle->corners[(i + 2) % 3] != p || across < 0)
            continue;
        const int32_t d = mesh->triangles[across / 3].corners[(across % 3 + 2) % 3];
        if (InCircle(mesh, triangle->corners[i], triangle->corners[(i + 1) % 3], p, d) <= 0)
            continue;
        FlipEdge(mesh, t, i);
        PushEdge(mesh, t, 1);
        PushEdge(mesh, across / 3, 0);
    }
}

int32_t InsertPixel(Triangulation* mesh, int32_t t, int32_t x, int32_t y)
{
    const MeshTriangle* triangle = &mesh->triangles[t];
    int32_t edge = -1;
    for (int i = 0; i < 3; ++i)
        if (Orientation(mesh, triangle->corners[i], triangle->corners[(i + 1) % 3], x, y) == 0)
            edge = i;
    const int32_t p = AddVertex(mesh, x, y);
    if (edge >= 0)
        SplitEdge(mesh, t, edge, p);
    else
        SplitTriangle(mesh, t, p);
    Legalize(mesh, p);
    return p;
}

// ---------------------------------------------------------------------------
// Flips

// With t = (a, b, c), edge i = a -> b and the neighbour (b, a, d): t becomes (c, a, d) and
// the neighbour (d, b, c).
bool FlippedCorners(const Triangulation* mesh, int32_t t, int32_t i, int32_t* first, int32_t* second)
{
    const MeshTriangle* triangle = &mesh->triangles[t];
    const int32_t across = triangle->across[i];
    if (across < 0)
        return false;
    const int32_t a = triangle->corners[i], b = triangle->corners[(i + 1) % 3], c = triangle->corners[(i + 2) % 3];
    const int32_t d = mesh->triangles[across / 3].corners[(across % 3 + 2) % 3];
    if (OrientationOf(mesh, c, a, d) <= 0 || OrientationOf(mesh, d, b, c) <= 0)
        return false;
    first[0] = c;
    first[1] = a;
    first[2] = d;
    second[0] = d;
    second[1] = b;
    second[2] = c;
    return true;
}

void FlipEdge(Triangulation* mesh, int32_t t, int32_t i)
{
    const MeshTriangle old = mesh->triangles[t];
    const int32_t u = old.across[i] / 3, j = old.across[i] % 3;
    const MeshTriangle neighbour = mesh->triangles[u];
    const int32_t a = old.corners[i], b = old.corners[(i + 1) % 3], c = old.corners[(i + 2) % 3];
    const int32_t d = neighbour.corners[(j + 2) % 3];
    const int32_t bc = old.across[(i + 1) % 3], ca = old.across[(i + 2) % 3];
    const int32_t ad = neighbour.across[(j + 1) % 3], db = neighbour.across[(j + 2) % 3];
    Set(mesh, t, c, a, d, ca, ad, -1);
    Set(mesh, u, d, b, c, db, bc, 3 * t + 2);
}

// ---------------------------------------------------------------------------
// The best state

void MarkBest(Triangulation* mesh)
{
    ++mesh->best;
    mesh->savedCount = 0;
    mesh->removedVertices.count = 0;
    mesh->bestTriangleSlots = mesh->triangleSlots;
    mesh->bestVertexSlots = mesh->vertexSlots;
}

void RestoreBest(Triangulation* mesh)
{
    for (int32_t k = mesh->savedCount - 1; k >= 0; --k)
        mesh->triangles[mesh->saved[k].slot] = mesh->saved[k].triangle;
    for (int32_t k = mesh->removedVertices.count - 2; k >= 0; k -= 2)
        mesh->vertices[mesh->removedVertices.items[k]].x = mesh->removedVertices.items[k + 1];
    mesh->savedCount = 0;
    mesh->removedVertices.count = 0;
    mesh->triangleSlots = mesh->bestTriangleSlots;
    mesh->vertexSlots = mesh->bestVertexSlots;
    mesh->faceCount = 0;
    for (int32_t t = 0; t < mesh->triangleSlots; ++t)
        mesh->faceCount += mesh->triangles[t].corners[0] >= 0;
    mesh->vertexCount = 0;
    mesh->borderVertexCount = 0;
    for (int32_t v = 0; v < mesh->vertexSlots; ++v)
        if (mesh->vertices[v].x >= 0) {
            ++mesh->vertexCount;
            mesh->borderVertexCount += IsBorderPixel(mesh, mesh->vertices[v].x, mesh->vertices[v].y);
        }
}
