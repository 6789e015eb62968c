// The adaptive mesh of a heightmap: a triangulation of the whole picture (its last row and
// column included) whose vertices are picture pixels, refined where the surface departs
// most from the heights, until a face budget is spent or the largest error falls to a
// bound, whichever comes first. Depends on the C++ standard library alone.
#pragma once

#include <cstdint>

// The picture's heights, top row first.
struct HeightField {
    int32_t width;            // pixels per row, 2..16384
    int32_t height;           // rows, 2..16384
    const uint16_t* samples;  // width x height samples; a sample v is v / 257 levels (8-bit red r arrives as r x 257)
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
// Y = -(y - height / 2) x scale, so faces run counter-clockwise seen from above in the world
// (clockwise in pixel coordinates, whose y grows downwards).
struct AdaptiveMesh {
    int32_t vertexCount;
    int32_t* vertexPixels;  // vertexCount x (x, y): 0..width - 1, 0..height - 1
    int32_t faceCount;
    int32_t* faceCorners;   // faceCount x 3 vertex indices
    double maxErrorLevels;  // the largest |sample / 257 - surface| over every pixel, in levels
};

// Builds the mesh into *out (left empty on failure). The surface at a pixel is the linear
// interpolation over the face holding the pixel's point (x, y). Refinement starts from the
// picture's four corners and stops before the insertion that would break a budget; the budget
// must hold those corners' two faces (with reserveForSolid, also their walls and bottom).
// Returns false for a bad field or limits, or when memory runs out (nothing is leaked).
bool BuildAdaptiveMesh(const HeightField* field, const AdaptiveMeshLimits* limits, AdaptiveMesh* out);

// Frees the arrays and leaves the record empty.
void FreeAdaptiveMesh(AdaptiveMesh* mesh);

// How many more allocations succeed before one fails; -1 (the default) never fails. For tests.
extern int AdaptiveMeshAllocationsBeforeFailure;
