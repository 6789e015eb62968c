// Closing a heightfield surface into a watertight solid for 3D printing: vertical walls
// from every border edge down to a flat bottom BASE world units below the lowest point.
//
// The surface is a heightfield over an axis-aligned rectangle (X, Y) whose faces wind
// counter-clockwise seen from above, and whose border, the edges used by one face only, runs
// along the rectangle's four sides with a vertex at each corner: the regular grid, and the
// adaptive mesh with its border vertices wherever it put them. The solid keeps the surface's
// vertices and faces as they are, in front, and adds:
//   - one bottom vertex under each border vertex (same X, Y and texture coordinates);
//   - two wall faces per border edge;
//   - the bottom, B - 2 faces over the B bottom vertices, none of zero area.
// Every face of the solid winds outwards, and every edge is used by exactly two faces, in
// opposite directions. The solid has no normals (its walls meet the surface at sharp edges;
// readers make flat ones).
#pragma once

#include <cstdint>

#include "mesh/triangle_mesh.h"

// What closing adds to a surface.
struct SolidAdditions {
    int64_t vertices;  // B, one per border vertex
    int64_t faces;     // 2B walls + (B - 2) bottom = 3B - 2
};

// The additions for a regular grid of cols x rows points (cols, rows >= 2): its border has
// 2 (cols - 1) + 2 (rows - 1) vertices. Zero counts for a smaller grid.
SolidAdditions CountGridSolidAdditions(int64_t cols, int64_t rows);

// The additions for the surface as it is; false when its border is not one loop along the
// rectangle's sides as described above (then closing would fail too).
bool CountSolidAdditions(const TriangleMesh& surface, SolidAdditions* additions);

// Makes *solid (allocated here, freed with FreeTriangleMesh) from the surface, its bottom at
// the lowest Z of the faces' corners minus base. base must be finite and above 0. False, with
// *solid empty, when the surface is not as described above, the counts would pass the mesh
// limits, or memory cannot be had.
bool CloseSolid(const TriangleMesh& surface, float base, TriangleMesh* solid);
