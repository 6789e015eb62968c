// A regular grid mesh for the export tests: cols x rows points one unit apart, heights and
// texture coordinates with fractions (so that text formats must print them exactly), two
// faces per cell counter-clockwise seen from above.
#pragma once

#include <cmath>
#include <cstdint>

#include "mesh/triangle_mesh.h"

inline float GridHeight(int64_t x, int64_t y)
{
    return 3.0f + std::sin(0.7f * float(x)) * 2.5f + std::cos(0.45f * float(y)) * 1.25f;
}

inline bool MakeGridMesh(TriangleMesh* mesh, int64_t cols, int64_t rows, bool normals = false)
{
    if (!AllocateTriangleMesh(mesh, cols * rows, 2 * (cols - 1) * (rows - 1), true, normals, "heightmesh"))
        return false;
    for (int64_t y = 0; y < rows; ++y)
        for (int64_t x = 0; x < cols; ++x) {
            float* p = mesh->positions + 3 * (y * cols + x);
            p[0] = 1.5f * float(x) - 0.1f;
            p[1] = 2.25f * float(y) + 0.3f;
            p[2] = GridHeight(x, y);
            mesh->texCoords[2 * (y * cols + x)] = float(x) / float(cols - 1) * 0.7f;
            mesh->texCoords[2 * (y * cols + x) + 1] = float(y) / float(rows - 1) * 1.3f;
        }
    uint32_t* face = mesh->faces;
    for (int64_t y = 0; y + 1 < rows; ++y)
        for (int64_t x = 0; x + 1 < cols; ++x) {
            const uint32_t a = uint32_t(y * cols + x), b = a + 1, c = a + uint32_t(cols) + 1, d = a + uint32_t(cols);
            const uint32_t cell[6] = {a, b, c, a, c, d};
            for (uint32_t corner : cell)
                *face++ = corner;
        }
    return !normals || BuildVertexNormals(mesh);
}
