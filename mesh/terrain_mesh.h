// The terrain mesh of a heightmap in every form beyond the plain .3ds grid: the regular
// grid at any size (16-bit heights kept), the adaptive mesh, a watertight solid, and the
// objects of a .3ds file that holds more than one object can.
//
// A vertex at pixel (x, y) lies where the grid puts it, whatever the mode:
//   X = (x - width / 2) x overallScale,  Y = -((y - height / 2) x overallScale),
//   Z = height in levels x heightScale (an 8-bit red r is r levels, a 16-bit sample v is
//   v / 257 levels), U = x / width x textureScale, V = y / height x textureScale,
// so the grid and the adaptive mesh of one heightmap lie on top of each other.
#pragma once

#include <cstdint>

#include "image/bmp.h"
#include "mesh/triangle_mesh.h"

enum TerrainMeshMode { TerrainGrid = 0, TerrainAdaptive = 1 };

struct TerrainMeshRequest {
    int32_t mode;              // TerrainGrid or TerrainAdaptive
    int32_t gridStep;          // pixels between grid points, 1 or more
    double overallScale;       // world units per pixel
    double heightScale;        // world units per level
    double textureScale;       // texture repeats over the picture
    bool eliminateZeroHeight;  // drop faces whose three corners lie at height 0
    bool withNormals;          // smooth vertex normals, for the formats that carry them
    int64_t maxFaces;          // adaptive: the face budget, 0 for none
    int64_t maxVertices;       // adaptive: the vertex budget, 0 for none
    double maxErrorLevels;     // adaptive: stop once the largest error is at or below this
    bool reserveForSolid;      // adaptive: leave room in the budgets for the solid's walls and bottom
};

struct TerrainMeshFigures {
    int64_t cols, rows;     // grid points (grid mode)
    double maxErrorLevels;  // adaptive: the largest error over every pixel, in levels
};

enum TerrainMeshResult {
    TerrainMeshBuilt = 0,
    TerrainMeshNoMemory,       // the memory the mesh needs cannot be had; nothing allocated
    TerrainMeshAllEliminated,  // every face lay at height 0
    TerrainMeshBadInput        // a side under 2 pixels or over 16384, a face budget under 12, or a bad request
};

// Bytes the surface needs at most while it is built, or UINT64_MAX when that overflows.
uint64_t EstimateTerrainMeshMemory(int32_t width, int32_t height, const TerrainMeshRequest& request);

// Builds the surface into *mesh (named "heightmesh"; texture coordinates, no normals). Memory
// is checked against AvailableMeshMemory before anything large is allocated.
TerrainMeshResult BuildTerrainMesh(const Image* image, const TerrainMeshRequest& request, TriangleMesh* mesh,
                                   TerrainMeshFigures* figures);

// Cuts any mesh into objects within the 3DS format's 16-bit counts, faces kept in order,
// a new object begun when the next face would pass a limit; vertices the objects share are
// copied bit for bit. Names as SplitGridMesh gives them, starting at the given number ("" for
// 0). *objects is freed with FreeSplitObjects. False, nothing left allocated, on no memory.
bool PackIntoObjects(const TriangleMesh& mesh, int64_t firstFace, int64_t firstNumber, TriangleMesh** objects,
                     int64_t* objectCount);

// The height of pixel (x, y) in levels: red, or sample / 257.
double TerrainHeightLevels(const Image* image, int32_t x, int32_t y);
