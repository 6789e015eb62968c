// Writing a TriangleMesh in the formats other than .3ds, chosen by the file name's extension.
//
// The whole file is assembled in memory and handed once to a write function that the caller
// gives (the safe save: written beside the target and renamed over it only when complete), so
// an export that fails never touches the file it would replace. The memory an export needs
// is estimated and checked against what can be had before anything is allocated.
//
// What each format carries (texture coordinates and normals only when the mesh has them):
//   .obj   positions, texture coordinates, normals; "o heightmesh"
//   .stl   binary: positions and a normal per face (from the winding); the name in the header
//   .ply   binary little-endian: positions, normals, texture coordinates (s, t); the name in a
//          comment (the format has no field for it)
//   .glb   glTF 2.0 binary: positions, normals, texture coordinates, mesh and node named
//   .gltf  the same, one file: the buffer is embedded as a base64 data URI
//   .dae   COLLADA (assimp): positions, normals, texture coordinates, the node named
//   .fbx   binary FBX (assimp): positions, normals, texture coordinates, the model named
//   .3mf   3D Manufacturing Format: positions, triangles, the object named (its core has no
//          texture coordinates or normals), in millimetres
// Positions and texture coordinates are the .3ds file's own, Z up. Formats whose convention
// is Y up and that have nodes (.glb, .gltf, .dae, .fbx) turn the node -90 degrees about X,
// so that the terrain lies flat where it is opened; the vertex data stays as written. glTF
// counts V from the top of the picture, so it stores 1 - V.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mesh/triangle_mesh.h"

enum ExportFormat {
    ExportFormatNone = 0,  // .3ds (our own writer) or an extension no exporter knows
    ExportFormatObj,
    ExportFormatStl,
    ExportFormatPly,
    ExportFormatGlb,
    ExportFormatGltf,
    ExportFormatDae,
    ExportFormatFbx,
    ExportFormat3mf,
    ExportFormatCount
};

struct ExportFormatInfo {
    const char* extension;    // with its dot, lower case: ".obj"
    const char* description;  // for a file dialog's filter: "Wavefront OBJ"
};

// Extension and description of each format (ExportFormatNone: null fields).
ExportFormatInfo GetExportFormatInfo(ExportFormat format);

// The format the path's extension names (case-insensitive); ExportFormatNone for .3ds, for
// none and for any other.
ExportFormat ExportFormatForPath(const char* path);

// Receives the whole file once; false when it could not be written.
typedef bool (*ExportWriteFunction)(const uint8_t* bytes, size_t size, void* context);

// Told how far an export of ExportProgressMinFaces faces or more has come: 0..100, each
// percent at most once, rising; 100 once the file is written.
typedef void (*ExportProgressFunction)(int percent, void* context);

static const int64_t ExportProgressMinFaces = 1000000;

struct ExportRequest {
    ExportFormat format;
    ExportWriteFunction write;  // required
    void* writeContext;
    ExportProgressFunction progress;  // or null
    void* progressContext;
};

enum ExportResult {
    ExportSaved = 0,
    ExportNoMemory,     // refused before allocating, or an allocation failed; nothing written
    ExportTooLarge,     // the format cannot hold so many vertices, faces or bytes; nothing written
    ExportInvalidMesh,  // no faces, an index out of range, a missing array, a position not finite
    ExportWriteFailed,  // the write function returned false
    ExportFailed        // the format's library refused; nothing written
};

// Peak bytes the export of mesh to format needs (the library's copies of the mesh and the
// assembled file), or UINT64_MAX when the counts overflow.
uint64_t EstimateExportMemory(ExportFormat format, const TriangleMesh& mesh);

// Writes mesh as request.format through request.write. On any result but ExportSaved and
// ExportWriteFailed, message gets the text to show (ExportWriteFailed leaves it to the caller,
// which knows the path: "Could not save '%s'."); message may be null.
ExportResult ExportMesh(const TriangleMesh& mesh, const ExportRequest& request, char* message, size_t messageSize);
