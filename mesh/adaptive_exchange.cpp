// The exchange phase of the adaptive mesh: with the face budget full, the cheapest vertex to
// remove (by the largest error of the refilled hole) makes room for the worst pixel, for a
// number of steps in proportion to the budget.
//
// Contents: removal; the exchange phase.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "mesh/adaptive_refinement.h"

// A vertex inserted within this many steps is not removed again (which would undo the step).
static const int32_t RecentVertices = 8;

// ---------------------------------------------------------------------------
// Removal

// The largest error of the triangles around v: where it is low, v is likely cheap to remove.
double LocalLevels(const Refinement* r, int32_t v)
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

void QueueVertex(Refinement* r, int32_t v, double levels)
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
// The exchange phase

// With the budget full: removes the cheapest vertex that costs less than the worst error, to
// make room for the worst pixel, for a number of steps in proportion to the budget.
bool Exchange(Refinement* r, double* bestLevels)
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
