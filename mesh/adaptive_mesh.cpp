// Adaptive triangulation of a height field: greedy insertion of the worst pixel (Garland and
// Heckbert's refinement over an incremental Delaunay triangulation), with data-dependent edge
// flips once the triangles are small, then, with the budget full, an exchange of cheap
// vertices for the worst pixels, of whose steps the best mesh is returned.
//
// Contents: the refinement record; growth; candidates and their heap; data-dependent flips;
// insertion; removal; the budget; the phases; output; BuildAdaptiveMesh.
#include "mesh/adaptive_mesh.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "mesh/adaptive_scan.h"
#include "mesh/adaptive_triangulation.h"

// Data-dependent flips start once the mesh holds this share of its face budget, or once its
// error is within this factor of the bound: on large triangles they make long slivers that
// later insertions cannot mend.
static const double FlipStartShare = 0.6;
static const double FlipStartErrorFactor = 2.0;
// The exchange phase takes at most one step per this many faces of the budget.
static const int32_t FacesPerExchange = 16;
// Room reserved at the start for at most this many faces (beyond, the arrays grow as needed).
static const int64_t MaxReservedFaces = int64_t{1} << 17;
// A vertex inserted within this many steps is not removed again (which would undo the step).
static const int32_t RecentVertices = 8;

// ---------------------------------------------------------------------------
// The refinement record

struct HeapEntry {
    double levels;
    int32_t triangle;
};

// A vertex and what removing it costs: an estimate (the largest error around the vertex) or,
// once looked at, the largest error of the refilled hole (at least that much when above the
// limit of the time).
struct RemovalEntry {
    double levels;
    int32_t vertex;
    uint32_t version;  // the vertex's version when the entry was made
};

struct Refinement {
    const HeightField* field;
    const AdaptiveMeshLimits* limits;
    Triangulation mesh;

    int32_t* candidatePixel;  // per triangle slot: its worst pixel, -1 when exact
    double* candidateLevels;  // per triangle slot: the error there
    int32_t* heapSlot;        // per triangle slot, -1 when not in the heap
    HeapEntry* heap;          // triangles by error, worst first
    int32_t heapSize;
    int32_t triangleCapacity;  // of the arrays above

    uint32_t* queuedVersion;  // per vertex: the version of its current removal entry
    int32_t vertexCapacity;
    RemovalEntry* removals;  // a heap, cheapest first; out-of-date entries are dropped on the way
    int32_t removalCount;
    int32_t removalCapacity;

    int32_t flipStartFaces;
    double flipStartLevels;
    bool exchanging;  // the removal heap is kept up to date
    bool failed;
};

// ---------------------------------------------------------------------------
// Growth

template <typename T>
static bool Resize(T** block, int64_t count)
{
    void* resized = ResizeAdaptiveBlock(*block, static_cast<size_t>(count) * sizeof(T));
    if (!resized)
        return false;
    *block = static_cast<T*>(resized);
    return true;
}

static bool Reserve(Refinement* r, int64_t moreVertices, int64_t moreTriangles)
{
    if (!ReserveTriangulation(&r->mesh, moreVertices, moreTriangles))
        return false;
    const int64_t triangles = r->mesh.triangleCapacity;
    if (triangles > r->triangleCapacity) {
        if (!Resize(&r->candidatePixel, triangles) || !Resize(&r->candidateLevels, triangles) ||
            !Resize(&r->heapSlot, triangles) || !Resize(&r->heap, triangles))
            return false;
        for (int64_t t = r->triangleCapacity; t < triangles; ++t)
            r->heapSlot[t] = -1;
        r->triangleCapacity = static_cast<int32_t>(triangles);
    }
    const int64_t vertices = r->mesh.vertexCapacity;
    if (vertices > r->vertexCapacity) {
        if (!Resize(&r->queuedVersion, vertices))
            return false;
        for (int64_t v = r->vertexCapacity; v < vertices; ++v)
            r->queuedVersion[v] = UINT32_MAX;
        r->vertexCapacity = static_cast<int32_t>(vertices);
    }
    return true;
}

// Room for the whole budget at once, when there is one: growing by steps would copy.
static bool ReserveForBudget(Refinement* r)
{
    const AdaptiveMeshLimits* limits = r->limits;
    const int64_t budget = limits->maxFaces > 0 ? limits->maxFaces : 2 * int64_t{limits->maxVertices};
    const int64_t gridFaces = 2 * int64_t{r->field->width - 1} * (r->field->height - 1);
    const int64_t faces = budget > 0 ? std::min({budget, gridFaces, MaxReservedFaces}) : 0;
    return Reserve(r, faces / 2 + faces / FacesPerExchange + 4, faces + 2);
}

static void FreeRefinement(Refinement* r)
{
    FreeTriangulation(&r->mesh);
    std::free(r->candidatePixel);
    std::free(r->candidateLevels);
    std::free(r->heapSlot);
    std::free(r->heap);
    std::free(r->queuedVersion);
    std::free(r->removals);
}

// ---------------------------------------------------------------------------
// Candidates and their heap

static void HeapPlace(Refinement* r, int32_t slot, HeapEntry entry)
{
    r->heap[slot] = entry;
    r->heapSlot[entry.triangle] = slot;
}

// Four children per entry: a sift down reads one cache line per level.
static void HeapSiftUp(Refinement* r, int32_t slot)
{
    const HeapEntry entry = r->heap[slot];
    while (slot > 0) {
        const int32_t parent = (slot - 1) / 4;
        if (!(entry.levels > r->heap[parent].levels))
            break;
        HeapPlace(r, slot, r->heap[parent]);
        slot = parent;
    }
    HeapPlace(r, slot, entry);
}

static void HeapSiftDown(Refinement* r, int32_t slot)
{
    const HeapEntry entry = r->heap[slot];
    for (;;) {
        const int32_t first = 4 * slot + 1;
        if (first >= r->heapSize)
            break;
        const int32_t last = std::min(first + 4, r->heapSize);
        int32_t child = first;
        for (int32_t c = first + 1; c < last; ++c)
            if (r->heap[c].levels > r->heap[child].levels)
                child = c;
        if (!(r->heap[child].levels > entry.levels))
            break;
        HeapPlace(r, slot, r->heap[child]);
        slot = child;
    }
    HeapPlace(r, slot, entry);
}

// Only one key may change between updates: two changed keys can leave the heap unsound.
static void SetCandidate(Refinement* r, int32_t t, WorstPixel worst)
{
    r->candidatePixel[t] = worst.pixel;
    r->candidateLevels[t] = worst.levels;
    int32_t slot = r->heapSlot[t];
    if (slot < 0) {
        slot = r->heapSize++;
        HeapPlace(r, slot, HeapEntry{worst.levels, t});
        HeapSiftUp(r, slot);
        return;
    }
    const double old = r->heap[slot].levels;
    r->heap[slot].levels = worst.levels;
    if (worst.levels > old)
        HeapSiftUp(r, slot);
    else
        HeapSiftDown(r, slot);
}

static void HeapRemove(Refinement* r, int32_t t)
{
    const int32_t slot = r->heapSlot[t];
    if (slot < 0)
        return;
    r->heapSlot[t] = -1;
    const HeapEntry last = r->heap[--r->heapSize];
    if (last.triangle == t)
        return;
    HeapPlace(r, slot, last);
    HeapSiftUp(r, slot);
    HeapSiftDown(r, r->heapSlot[last.triangle]);
}

static int32_t WorstTriangle(const Refinement* r)
{
    return r->heap[0].triangle;
}

static double WorstLevels(const Refinement* r)
{
    return r->heap[0].levels;
}

static void CornerPixels(const Refinement* r, const int32_t* corners, int32_t* x, int32_t* y)
{
    for (int i = 0; i < 3; ++i) {
        x[i] = r->mesh.vertices[corners[i]].x;
        y[i] = r->mesh.vertices[corners[i]].y;
    }
}

static WorstPixel ScanCorners(const Refinement* r, const int32_t* corners)
{
    int32_t x[3], y[3];
    CornerPixels(r, corners, x, y);
    return FindWorstPixel(r->field, x, y);
}

static void ScanTouched(Refinement* r)
{
    for (int32_t k = 0; k < r->mesh.touched.count; ++k) {
        const int32_t t = r->mesh.touched.items[k];
        SetCandidate(r, t, ScanCorners(r, r->mesh.triangles[t].corners));
    }
}

// ---------------------------------------------------------------------------
// Data-dependent flips

// After a flip, the error at the worst pixel of one of the two triangles. first = (c, a, d):
// the new diagonal runs from d to c, and first holds the pixels on its inner side.
static double ErrorAfterFlip(const Refinement* r, const int32_t* first, const int32_t* second, int32_t pixel)
{
    if (pixel < 0)
        return 0;
    int32_t x[3], y[3];
    CornerPixels(r, first, x, y);
    const int64_t px = pixel % r->field->width, py = pixel / r->field->width;
    if ((int64_t{x[0]} - x[2]) * (py - y[2]) - (int64_t{y[0]} - y[2]) * (px - x[2]) < 0)
        CornerPixels(r, second, x, y);
    return PlaneErrorAt(r->field, x, y, pixel);
}

// Flips edge i of t when that lowers the larger error of its two triangles.
static bool TryFlip(Refinement* r, int32_t t, int32_t i)
{
    int32_t first[3], second[3];
    if (!FlippedCorners(&r->mesh, t, i, first, second))
        return false;
    const int32_t u = r->mesh.triangles[t].across[i] / 3;
    const double before = std::max(r->candidateLevels[t], r->candidateLevels[u]);
    // the old worst pixels are a cheap test that most flips fail
    if (ErrorAfterFlip(r, first, second, r->candidatePixel[t]) >= before ||
        ErrorAfterFlip(r, first, second, r->candidatePixel[u]) >= before)
        return false;
    const WorstPixel firstWorst = ScanCorners(r, first);
    if (firstWorst.levels >= before)
        return false;
    const WorstPixel secondWorst = ScanCorners(r, second);
    if (secondWorst.levels >= before)
        return false;
    FlipEdge(&r->mesh, t, i);
    SetCandidate(r, t, firstWorst);
    SetCandidate(r, u, secondWorst);
    return true;
}

static void ListEdge(Refinement* r, int32_t t, int32_t i)
{
    if (!AppendIndex(&r->mesh.edges, 3 * t + i))
        r->failed = true;
}

// Flips edges of the touched triangles (their candidates up to date) while a flip lowers the
// larger error of an edge's two triangles; a flip brings the four edges around it up again.
// Every flip lowers the list of all errors sorted worst first, so this ends.
static void ImproveByFlips(Refinement* r)
{
    Triangulation* mesh = &r->mesh;
    mesh->edges.count = 0;
    for (int32_t k = 0; k < mesh->touched.count; ++k) {
        const int32_t t = mesh->touched.items[k];
        for (int32_t i = 0; i < 3; ++i) {
            const int32_t link = mesh->triangles[t].across[i];
            // an edge between two touched triangles is listed once
            if (link >= 0 && !(mesh->touchRound[link / 3] == mesh->round && link / 3 < t))
                ListEdge(r, t, i);
        }
    }
    while (mesh->edges.count > 0 && !r->failed) {
        const int32_t link = mesh->edges.items[--mesh->edges.count];
        const int32_t t = link / 3, i = link % 3;
        const int32_t u = mesh->triangles[t].across[i] / 3;
        if (!TryFlip(r, t, i))
            continue;
        ListEdge(r, t, 0);
        ListEdge(r, t, 1);
        ListEdge(r, u, 0);
        ListEdge(r, u, 1);
    }
    ClearTouched(mesh);
}

static bool FlipsStarted(const Refinement* r)
{
    return r->mesh.faceCount >= r->flipStartFaces || WorstLevels(r) <= r->flipStartLevels;
}

// ---------------------------------------------------------------------------
// Insertion

static void QueueVertex(Refinement* r, int32_t v, double levels);
static double LocalLevels(const Refinement* r, int32_t v);

// Inserts the worst pixel of t.
static bool InsertCandidate(Refinement* r, int32_t t)
{
    if (!Reserve(r, 1, 2))
        return false;
    const int32_t pixel = r->candidatePixel[t];
    const int32_t v = InsertPixel(&r->mesh, t, pixel % r->field->width, pixel / r->field->width);
    ScanTouched(r);
    if (FlipsStarted(r))
        ImproveByFlips(r);
    else
        ClearTouched(&r->mesh);
    if (r->exchanging)
        QueueVertex(r, v, LocalLevels(r, v));
    return !r->failed && !r->mesh.failed;
}

// ---------------------------------------------------------------------------
// Removal

// The largest error of the triangles around v: where it is low, v is likely cheap to remove.
static double LocalLevels(const Refinement* r, int32_t v)
{
    Star star;
    if (!CollectStar(&r->mesh, v, &star))
        return HUGE_VAL;
    double worst = 0;
    for (int i = 0; i < star.triangleCount; ++i)
        worst = std::max(worst, r->candidateLevels[star.triangles[i]]);
    return worst;
}

static void PushRemoval(Refinement* r, RemovalEntry entry)
{
    if (r->removalCount == r->removalCapacity) {
        const int64_t capacity = r->removalCapacity < 64 ? 64 : int64_t{r->removalCapacity} * 2;
        if (capacity > INT32_MAX / 2 || !Resize(&r->removals, capacity)) {
            r->failed = true;
            return;
        }
        r->removalCapacity = static_cast<int32_t>(capacity);
    }
    int32_t slot = r->removalCount++;
    while (slot > 0 && entry.levels < r->removals[(slot - 1) / 2].levels) {
        r->removals[slot] = r->removals[(slot - 1) / 2];
        slot = (slot - 1) / 2;
    }
    r->removals[slot] = entry;
}

static RemovalEntry PopRemoval(Refinement* r)
{
    const RemovalEntry top = r->removals[0];
    const RemovalEntry last = r->removals[--r->removalCount];
    int32_t slot = 0;
    for (;;) {
        int32_t child = 2 * slot + 1;
        if (child >= r->removalCount)
            break;
        if (child + 1 < r->removalCount && r->removals[child + 1].levels < r->removals[child].levels)
            ++child;
        if (!(r->removals[child].levels < last.levels))
            break;
        r->removals[slot] = r->removals[child];
        slot = child;
    }
    if (r->removalCount > 0)
        r->removals[slot] = last;
    return top;
}

static void QueueVertex(Refinement* r, int32_t v, double levels)
{
    r->queuedVersion[v] = r->mesh.vertices[v].version;
    PushRemoval(r, RemovalEntry{levels, v, r->mesh.vertices[v].version});
}

// Every vertex but the picture's corners, by its local error, found in one pass over the triangles.
static bool StartRemovals(Refinement* r)
{
    const Triangulation* mesh = &r->mesh;
    double* local = nullptr;
    if (!Resize(&local, mesh->vertexSlots))
        return false;
    for (int32_t v = 0; v < mesh->vertexSlots; ++v)
        local[v] = 0;
    for (int32_t t = 0; t < mesh->triangleSlots; ++t)
        for (int i = 0; i < 3 && mesh->triangles[t].corners[0] >= 0; ++i) {
            const int32_t v = mesh->triangles[t].corners[i];
            local[v] = std::max(local[v], r->candidateLevels[t]);
        }
    for (int32_t v = 0; v < mesh->vertexSlots && !r->failed; ++v)
        if (mesh->vertices[v].x >= 0 && !IsPictureCorner(mesh, v))
            QueueVertex(r, v, local[v]);
    std::free(local);
    r->exchanging = true;
    return !r->failed;
}

// What removing v costs: the hole refilled, the worst pixel of each new triangle and the
// largest error among them.
struct Removal {
    Star star;
    Hole hole;
    WorstPixel worst[MaxStar];
    double levels;
};

// The error at v's own pixel once v is gone: a cheap lower bound of the cost of removing it.
static double ErrorAtRemovedVertex(const Refinement* r, int32_t v, const Hole* hole)
{
    const MeshVertex* vertex = &r->mesh.vertices[v];
    for (int i = 0; i < hole->count; ++i) {
        int32_t x[3], y[3];
        CornerPixels(r, hole->corners[i], x, y);
        bool inside = true;
        for (int k = 0; k < 3 && inside; ++k) {
            const int64_t ax = x[k], ay = y[k], bx = x[(k + 1) % 3], by = y[(k + 1) % 3];
            inside = (bx - ax) * (vertex->y - ay) - (by - ay) * (vertex->x - ax) >= 0;
        }
        if (inside)
            return PlaneErrorAt(r->field, x, y, vertex->y * r->field->width + vertex->x);
    }
    return 0;
}

// The cost found is exact when below the limit; at or above it, it may be a lower bound.
static bool EvaluateRemoval(const Refinement* r, int32_t v, double limit, Removal* removal)
{
    if (!CollectStar(&r->mesh, v, &removal->star) || !TriangulateHole(&r->mesh, &removal->star, &removal->hole))
        return false;
    removal->levels = ErrorAtRemovedVertex(r, v, &removal->hole);
    for (int i = 0; i < removal->hole.count && removal->levels < limit; ++i) {
        removal->worst[i] = ScanCorners(r, removal->hole.corners[i]);
        removal->levels = std::max(removal->levels, removal->worst[i].levels);
    }
    return true;
}

// A vertex whose removal leaves every pixel of its hole below the limit, or -1. Vertices come
// up cheapest estimate first; an out-of-date entry is renewed when it comes up, an exact cost
// at or above the limit goes back in; the most recently inserted vertices are passed over.
static int32_t FindRemovable(Refinement* r, double limit, Removal* removal)
{
    RemovalEntry passed[RecentVertices];
    int passedCount = 0;
    int32_t found = -1;
    while (r->removalCount > 0 && r->removals[0].levels < limit && !r->failed) {
        const RemovalEntry entry = PopRemoval(r);
        const int32_t v = entry.vertex;
        if (r->mesh.vertices[v].x < 0)
            continue;
        const uint32_t version = r->mesh.vertices[v].version;
        if (entry.version != version) {
            if (r->queuedVersion[v] != version)
                QueueVertex(r, v, LocalLevels(r, v));
            continue;
        }
        if (v >= r->mesh.vertexSlots - RecentVertices && passedCount < RecentVertices) {
            passed[passedCount++] = entry;
            continue;
        }
        if (!EvaluateRemoval(r, v, limit, removal)) {
            PushRemoval(r, RemovalEntry{HUGE_VAL, v, version});
            continue;
        }
        if (removal->levels < limit) {
            found = v;
            r->queuedVersion[v] = UINT32_MAX;
            break;
        }
        PushRemoval(r, RemovalEntry{removal->levels, v, version});
    }
    for (int i = 0; i < passedCount; ++i)
        PushRemoval(r, passed[i]);
    return found;
}

static bool Remove(Refinement* r, int32_t v, const Removal* removal)
{
    RemoveVertex(&r->mesh, v, &removal->star, &removal->hole);
    for (int i = removal->hole.count; i < removal->star.triangleCount; ++i)
        HeapRemove(r, removal->star.triangles[i]);
    for (int i = 0; i < removal->hole.count; ++i)
        SetCandidate(r, removal->star.triangles[i], removal->worst[i]);
    ImproveByFlips(r);
    return !r->failed && !r->mesh.failed;
}

// ---------------------------------------------------------------------------
// The budget

// Whether the mesh stays within the limits once a vertex is added at this pixel: inside the
// picture it brings 2 faces, on the border 1 (and a border vertex brings the solid's 3 more
// faces and 1 more vertex).
static bool InsertionFits(const Refinement* r, int32_t pixel)
{
    const Triangulation* mesh = &r->mesh;
    const bool border = IsBorderPixel(mesh, pixel % r->field->width, pixel / r->field->width);
    int64_t faces = int64_t{mesh->faceCount} + (border ? 1 : 2);
    int64_t vertices = int64_t{mesh->vertexCount} + 1;
    if (r->limits->reserveForSolid) {
        const int64_t borderVertices = int64_t{mesh->borderVertexCount} + (border ? 1 : 0);
        faces += 3 * borderVertices - 2;
        vertices += borderVertices;
    }
    return (r->limits->maxFaces <= 0 || faces <= r->limits->maxFaces) &&
        (r->limits->maxVertices <= 0 || vertices <= r->limits->maxVertices);
}

// ---------------------------------------------------------------------------
// The phases

// While the budget is full, the largest error goes up as well as down from step to step: the
// mesh kept is the best of those steps.
static void KeepIfBest(Refinement* r, double* bestLevels)
{
    if (WorstLevels(r) < *bestLevels) {
        *bestLevels = WorstLevels(r);
        MarkBest(&r->mesh);
    }
}

// Inserts the worst pixel until the bound is reached or the next insertion does not fit.
static bool Refine(Refinement* r, double* bestLevels)
{
    for (;;) {
        const int32_t t = WorstTriangle(r);
        if (WorstLevels(r) <= r->limits->maxErrorLevels || !InsertionFits(r, r->candidatePixel[t]))
            break;
        if (!InsertCandidate(r, t))
            return false;
    }
    KeepIfBest(r, bestLevels);
    return true;
}

// With the budget full: removes the cheapest vertex that costs less than the worst error, to
// make room for the worst pixel, for a number of steps in proportion to the budget.
static bool Exchange(Refinement* r, double* bestLevels)
{
    const int64_t budget = r->limits->maxFaces > 0 ? r->limits->maxFaces : 2 * int64_t{r->limits->maxVertices};
    int64_t steps = budget / FacesPerExchange;
    if (budget <= 0 || steps == 0 || WorstLevels(r) <= r->limits->maxErrorLevels)
        return true;
    if (!StartRemovals(r))
        return false;
    Removal removal;
    while (steps > 0) {
        const int32_t t = WorstTriangle(r);
        const double worst = WorstLevels(r);
        if (worst <= r->limits->maxErrorLevels)
            return true;
        if (InsertionFits(r, r->candidatePixel[t])) {
            if (!InsertCandidate(r, t))
                return false;
            KeepIfBest(r, bestLevels);
            --steps;
            continue;
        }
        const int32_t v = FindRemovable(r, worst, &removal);
        if (r->failed)
            return false;
        if (v < 0)
            return true;
        if (!Remove(r, v, &removal))
            return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Output

static bool BuildOutput(const Refinement* r, double bestLevels, AdaptiveMesh* out)
{
    const Triangulation* mesh = &r->mesh;
    int32_t* pixels = nullptr;
    int32_t* corners = nullptr;
    int32_t* index = nullptr;
    if (!Resize(&pixels, 2 * int64_t{mesh->vertexCount}) || !Resize(&corners, 3 * int64_t{mesh->faceCount}) ||
        !Resize(&index, mesh->vertexSlots)) {
        std::free(pixels);
        std::free(corners);
        std::free(index);
        return false;
    }
    int32_t vertices = 0;
    for (int32_t v = 0; v < mesh->vertexSlots; ++v) {
        index[v] = vertices;
        if (mesh->vertices[v].x < 0)
            continue;
        pixels[2 * vertices] = mesh->vertices[v].x;
        pixels[2 * vertices + 1] = mesh->vertices[v].y;
        ++vertices;
    }
    int32_t faces = 0;
    for (int32_t t = 0; t < mesh->triangleSlots; ++t) {
        const MeshTriangle* triangle = &mesh->triangles[t];
        if (triangle->corners[0] < 0)
            continue;
        // clockwise in pixel coordinates is counter-clockwise seen from above in the world
        corners[3 * faces] = index[triangle->corners[0]];
        corners[3 * faces + 1] = index[triangle->corners[2]];
        corners[3 * faces + 2] = index[triangle->corners[1]];
        ++faces;
    }
    std::free(index);
    out->vertexCount = vertices;
    out->vertexPixels = pixels;
    out->faceCount = faces;
    out->faceCorners = corners;
    out->maxErrorLevels = bestLevels;
    return true;
}

// ---------------------------------------------------------------------------
// BuildAdaptiveMesh

static bool ValidInput(const HeightField* field, const AdaptiveMeshLimits* limits)
{
    if (!field || !limits || !field->samples)
        return false;
    if (field->width < 2 || field->height < 2 || field->width > 16384 || field->height > 16384)
        return false;
    if (!(limits->maxErrorLevels >= 0))
        return false;
    // the picture's corners: 2 faces and 4 vertices, with their walls 12 faces and 8 vertices
    const int32_t faces = limits->reserveForSolid ? 12 : 2;
    const int32_t vertices = limits->reserveForSolid ? 8 : 4;
    return (limits->maxFaces <= 0 || limits->maxFaces >= faces) &&
        (limits->maxVertices <= 0 || limits->maxVertices >= vertices);
}

static void ChooseFlipStart(Refinement* r)
{
    const AdaptiveMeshLimits* limits = r->limits;
    const int64_t faces = limits->maxFaces > 0 ? limits->maxFaces : 2 * int64_t{limits->maxVertices};
    r->flipStartFaces = faces > 0 ? static_cast<int32_t>(FlipStartShare * static_cast<double>(faces)) : INT32_MAX;
    r->flipStartLevels = limits->maxErrorLevels > 0 ? FlipStartErrorFactor * limits->maxErrorLevels : -1;
}

bool BuildAdaptiveMesh(const HeightField* field, const AdaptiveMeshLimits* limits, AdaptiveMesh* out)
{
    if (!out)
        return false;
    *out = AdaptiveMesh{};
    if (!ValidInput(field, limits))
        return false;
    Refinement r = {};
    r.field = field;
    r.limits = limits;
    ChooseFlipStart(&r);
    double bestLevels = HUGE_VAL;
    bool ok = StartTriangulation(&r.mesh, field->width, field->height) && ReserveForBudget(&r);
    if (ok) {
        ScanTouched(&r);
        ClearTouched(&r.mesh);
        ok = Refine(&r, &bestLevels) && Exchange(&r, &bestLevels);
    }
    if (ok) {
        RestoreBest(&r.mesh);
        ok = BuildOutput(&r, bestLevels, out);
    }
    FreeRefinement(&r);
    return ok;
}

void FreeAdaptiveMesh(AdaptiveMesh* mesh)
{
    if (!mesh)
        return;
    std::free(mesh->vertexPixels);
    std::free(mesh->faceCorners);
    *mesh = AdaptiveMesh{};
}
