// Full detail in .3ds: a regular grid too large for one 3DS object (16-bit vertex and face
// counts) is cut into rectangular tiles, each one object within the limits. Neighbouring
// tiles share the grid points of their common border, copied bit for bit, so the objects
// meet without cracks.
#pragma once

#include <cstdint>

#include "mesh/triangle_mesh.h"

// The 3DS format counts vertices and faces of an object in 16 bits.
static const int64_t MaxObjectVertices = 65535;
static const int64_t MaxObjectFaces = 65535;

// A tile: the grid points [x0, x1] x [y0, y1], both ends included.
struct GridTile {
    int64_t x0, y0;
    int64_t x1, y1;
};

// The fewest tiles (columns of tiles times rows of tiles, cells shared out evenly) that
// cover a grid of cols x rows points with every tile's (x1 - x0 + 1)(y1 - y0 + 1) points and
// 2 (x1 - x0)(y1 - y0) faces within the limits. Writes at most maxTiles into tiles (which may
// be null to count) and returns how many there are, row by row from y = 0; -1 for a grid of
// fewer than 2 x 2 points.
int64_t PlanGridTiles(int64_t cols, int64_t rows, GridTile* tiles, int64_t maxTiles);

// Cuts a grid mesh (vertex x + cols * y at grid point (x, y), every face within one grid
// cell, any subset of the cells' faces) into one mesh per tile of PlanGridTiles: each holds
// its tile's grid points in the same row-major order, and the faces of its cells in their
// order in grid. Names "heightmesh", "heightmesh_1", ... (the grid's name, then "_1" on).
// *objects is a malloc'd array of *objectCount meshes, freed with FreeSplitObjects. False,
// with nothing left allocated, when grid is not such a mesh or memory cannot be had.
bool SplitGridMesh(const TriangleMesh& grid, int64_t cols, int64_t rows, TriangleMesh** objects, int64_t* objectCount);

void FreeSplitObjects(TriangleMesh* objects, int64_t objectCount);

// Assembles a .3ds file holding the meshes as objects, in order, in one Editor chunk:
//   Main 0x4D4D > Version 0x0002 (3), Editor 0x3D3D > per mesh: Object 0x4000 name >
//   TriMesh 0x4100 > VertexList 0x4110, TexCoordList 0x4140 (when the mesh has texture
//   coordinates), FaceList 0x4120 (flags 0).
// With one mesh the bytes are those of Write3DS. *bytes is malloc'd (free it); false, with
// nothing allocated, when a mesh passes the 16-bit counts, the file would pass 32-bit chunk
// lengths, or memory cannot be had.
bool AssembleObjects3DS(const TriangleMesh* meshes, int64_t count, uint8_t** bytes, size_t* size);
