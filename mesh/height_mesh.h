// Turning the heightmap into a triangle mesh: one vertex per grid point lifted by the
// pixel's red value, one texture coordinate pair per vertex, two faces per grid cell.
// The mesh lives for one generation and is handed to Write3DS (mesh/write3ds.h).
#pragma once

#include <cstdint>

#include "image/bmp.h"
#include "model/model3ds.h"
#include "platform/platform.h"

// Reads the properties window back (when it exists), clamps the grid step to half of each
// side and stores it in GenerationParams, makes the mesh the settings ask for and saves it
// where the Save As dialog says, in the format the name's extension gives; savedPath gets
// the path (SavePathSize bytes). The plain .3ds grid of an 8-bit heightmap is made as it
// always was: the 16-bit limits checked and the mesh sampled before the dialog. Every other
// mesh (16-bit heights, the adaptive mode, a solid, split objects, a mesh over the 3DS
// limits) is made once the file is chosen, since the limits depend on the format. Every
// outcome is told on the window's status line; memory is freed on every path. True when
// the file was saved.
bool BuildHeightMesh(WindowHandle window, const Image* image, char* savedPath);

// Compacts faces in place, keeping (in order, flags included) each face with at least one
// corner whose Z (positions: X, Y, Z per vertex) is not zero; +0.0 and -0.0 both count as
// zero. Entries behind the kept ones are left as they were. Returns the number kept.
int32_t EliminateZeroHeightTriangles(MeshFace* faces, int32_t faceCount, const float* positions);
