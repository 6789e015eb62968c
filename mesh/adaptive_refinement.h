// The refinement behind BuildAdaptiveMesh, shared by the two files that work on it:
// adaptive_mesh.cpp grows the mesh (candidates and their heap, flips, insertion, the budget, the
// growing phase, the output) and adaptive_exchange.cpp trades vertices once the budget is full
// (the removal queue and the exchange phase).
#pragma once

#include <cstddef>
#include <cstdint>

#include "mesh/adaptive_mesh.h"
#include "mesh/adaptive_scan.h"
#include "mesh/adaptive_triangulation.h"

// The exchange phase takes at most one step per this many faces of the budget.
static const int32_t FacesPerExchange = 16;

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

// adaptive_mesh.cpp

void CornerPixels(const Refinement* r, const int32_t* corners, int32_t* x, int32_t* y);
// The worst pixel of the triangle with these corners.
WorstPixel ScanCorners(const Refinement* r, const int32_t* corners);
void SetCandidate(Refinement* r, int32_t t, WorstPixel worst);
void HeapRemove(Refinement* r, int32_t t);
int32_t WorstTriangle(const Refinement* r);
double WorstLevels(const Refinement* r);
// Data-dependent flips around the touched triangles.
void ImproveByFlips(Refinement* r);
// Inserts the worst pixel of t.
bool InsertCandidate(Refinement* r, int32_t t);
// Whether the mesh stays within the limits once a vertex is added at this pixel.
bool InsertionFits(const Refinement* r, int32_t pixel);
// Marks the mesh as the best when its largest error is the lowest yet.
void KeepIfBest(Refinement* r, double* bestLevels);

// adaptive_exchange.cpp

// The largest error of the triangles around v.
double LocalLevels(const Refinement* r, int32_t v);
// Puts v in the removal queue with this estimate of its cost.
void QueueVertex(Refinement* r, int32_t v, double levels);
// With the budget full: trades the cheapest vertices for the worst pixels.
bool Exchange(Refinement* r, double* bestLevels);
