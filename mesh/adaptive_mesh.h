// The adaptive mesh of a heightmap: a triangulation of the whole picture (its last row and
// column included) whose vertices are pixels, refined where the surface departs most from
// the heights, until a face budget is spent or the largest error falls to a bound, whichever
// comes first. Depends on the C++ standard library alone.
#pragma once

#include <cstdint>

// The picture's heights, top row first.
struct HeightField {
    int32_t width;   // pixels per row, 2..16384
    int32_t height;  // rows, 2..16384
    const uint16_t*
        samples;  // width x height samples; a sample v is v / 257 levels (an 8-bit red r arrives as r x 257)
};

// What the mesh may spend and how exact it must be. A budget of 0 or less is no budget.
struct AdaptiveMeshLimits {
    int32_t maxFaces;       // faces never exceed this, not by one (the 3DS format counts them in 16 bits: 65535)
    int32_t maxVertices;    // vertices never exceed this (3DS: 65535)
    double maxErrorLevels;  // refinement stops once the largest error is at or below this, in levels (0: exact)
    bool reserveForSolid;   // leave room for the walls and bottom that close the mesh into a solid: with B
                            // vertices on the picture's border, 3B - 2 more faces and B more vertices
};

// A zero-initialised record is empty. Vertex (x, y) becomes world X = (x - width / 2) x scale,
// Y = -(y - height / 2) x scale, and the faces run counter-clockwise seen from above in the
// world (clockwise in pixel coordinates, whose y grows downwards).
struct AdaptiveMesh {
    int32_t vertexCount;
    int32_t* vertexPixels;  // vertexCount x (x, y): 0..width - 1, 0..height - 1, no two alike
    int32_t faceCount;
    int32_t* faceCorners;   // faceCount x 3 vertex indices
    double maxErrorLevels;  // the largest |sample / 257 - surface| over every pixel, in levels
};

// Builds the mesh into *out (left empty on failure). The surface at a pixel is the linear
// interpolation over the face holding the pixel's point (x, y).
//
// Starting from the picture's four corners (two faces), the pixel farthest from the surface
// becomes a vertex, one at a time, until the largest error is at or below maxErrorLevels or
// the next vertex would break a budget. Once a budget is full, vertices whose removal costs
// less than the largest error are traded for the worst pixels for a while (one trade per 16
// faces of the budget), and of the meshes met on the way the one with the lowest largest
// error is returned. With no budget and a bound of 0 every sample is reproduced, with at most
// the regular grid's 2 (width - 1)(height - 1) faces. The same input gives the same mesh on
// every machine.
//
// The budgets must hold the two starting faces (with reserveForSolid: 12 faces, 8 vertices).
// Returns false for a bad field or limits, or when memory runs out; nothing is leaked. Memory
// is reserved for the budget at the start and grows with the mesh beyond it.
bool BuildAdaptiveMesh(const HeightField* field, const AdaptiveMeshLimits* limits, AdaptiveMesh* out);

// Frees the arrays and leaves the record empty.
void FreeAdaptiveMesh(AdaptiveMesh* mesh);

// How many more allocations succeed before one fails; -1 (the default) never fails. For tests.
extern int AdaptiveMeshAllocationsBeforeFailure;
