// Turning the heightmap into a triangle mesh: one vertex per grid point lifted by the
// pixel's red value, one texture coordinate pair per vertex, two faces per grid cell.
// The mesh lives for one generation and is handed to Write3DS (mesh/write3ds.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/bmp.h"
#include "model/model3ds.h"
#include "platform/platform.h"
#include "settings/settings.h"
#include "settings/settings_block.h"

// The largest mesh the preview draws whole: Mesa's software renderer draws a frame of 64,770
// faces at 800 x 600 in about 90 ms on two cores (bench/render), so twice that keeps 5 frames
// a second. A larger mesh is shown as a simplified copy; the file keeps every face.
const int64_t PreviewFaceLimit = 131072;

// A mesh shown without a file: the .3ds bytes the model store builds its model from.
struct MeshPreview {
    uint8_t* bytes;         // malloc'd .3ds file, or null
    size_t size;            // bytes in it
    int64_t vertexCount;    // of the mesh Generate would write
    int64_t faceCount;      //
    int64_t shownFaces;     // faces in bytes: faceCount, or fewer in a simplified copy
    bool adaptive;          // the adaptive mesh, with its largest error:
    double maxErrorLevels;  //
};

// Builds in memory the mesh Generate would write into a .3ds file for image with these
// settings, and its preview bytes. Null, or the status text Generate would show instead
// (a 3DS limit, every face eliminated, no memory...). Writes nothing.
const char* BuildMeshPreview(const Image* image, const GenerationParamsRecord& params, const SettingsBlockRecord& block,
                             MeshPreview* out);

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
