// Adaptive triangulation of a height field: greedy insertion of the worst pixel (Garland and
// Heckbert's refinement over an incremental Delaunay triangulation), with data-dependent edge
// flips once the triangles are small, then, with the budget full, an exchange of cheap
// vertices for the worst pixels, of whose steps the best mesh is returned.
//
// Contents: growth; candidates and their heap; data-dependent flips; insertion; the budget;
// the phases; output; BuildAdaptiveMesh. The refinement record lies in adaptive_refinement.h,
// the removal of vertices and the exchange phase in adaptive_exchange.cpp.
#include "mesh/adaptive_mesh.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "mesh/adaptive_refinement.h"

// Data-dependent flips start once the mesh holds this share of its face budget, or once its
// error is within this factor of the bound: on large triangles they make long slivers that
// later insertions cannot mend.
static const double FlipStartShare = 0.6;
static const double FlipStartErrorFactor = 2.0;
// Room reserved at the start for at most this many faces (beyond, the arrays grow as needed).
static const int64_t MaxReservedFaces = int64_t{1} << 17;

// ---------------------------------------------------------------------------
// Growth

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
void SetCandidate(Refinement* r, int32_t t, WorstPixel worst)
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

void HeapRemove(Refinement* r, int32_t t)
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

int32_t WorstTriangle(const Refinement* r)
{
    return r->heap[0].triangle;
}

double WorstLevels(const Refinement* r)
{
    return r->heap[0].levels;
}

void CornerPixels(const Refinement* r, const int32_t* corners, int32_t* x, int32_t* y)
{
    for (int i = 0; i < 3; ++i) {
        x[i] = r->mesh.vertices[corners[i]].x;
        y[i] = r->mesh.vertices[corners[i]].y;
    }
}

WorstPixel ScanCorners(const Refinement* r, const int32_t* corners)
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
void ImproveByFlips(Refinement* r)
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

// Inserts the worst pixel of t.
bool InsertCandidate(Refinement* r, int32_t t)
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
// The budget

// Whether the mesh stays within the limits once a vertex is added at this pixel: inside the
// picture it brings 2 faces, on the border 1 (and a border vertex brings the solid's 3 more
// faces and 1 more vertex).
bool InsertionFits(const Refinement* r, int32_t pixel)
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
void KeepIfBest(Refinement* r, double* bestLevels)
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
