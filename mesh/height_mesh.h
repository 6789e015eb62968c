// Turning the heightmap into a triangle mesh: one vertex per grid point lifted by the
// pixel's red value, one texture coordinate pair per vertex, two faces per grid cell.
// The mesh lives for one generation and is handed to Write3DS (mesh/write3ds.h).
#pragma once

#include <cstdint>

#include "model/model3ds.h"
#include "platform/platform.h"

// Reads the properties window back (when it exists), clamps the grid step to half of each
// side and stores it in GenerationParams, samples the heightmap (RGBA pixels, top row
// first) and hands the mesh to Write3DS, with savedPath. Every outcome is told on the
// window's status line; nothing is written when the image is under 2 pixels on a side,
// when the 3DS format's 16-bit counts cannot hold the mesh, when every face was
// eliminated, or when memory runs out. The mesh arrays are freed on every path. True when
// the file was saved.
bool BuildHeightMesh(WindowHandle window, const uint8_t* pixels, int32_t width, int32_t height, char* savedPath);

// Compacts faces in place, keeping (in order, flags included) each face with at least one
// corner whose Z (positions: X, Y, Z per vertex) is not zero; +0.0 and -0.0 both count as
// zero. Entries behind the kept ones are left as they were. Returns the number kept.
int32_t EliminateZeroHeightTriangles(MeshFace* faces, int32_t faceCount, const float* positions);
