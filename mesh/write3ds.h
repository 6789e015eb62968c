// The 3DS writer: assembles the mesh into the bytes of a .3ds file with one object
// "heightmesh", asks where to save it and writes it safely.
//
// File layout (little-endian; every chunk is a 16-bit id and a 32-bit length that counts
// the whole chunk, header included), n = vertexCount, f = faceCount:
//   Main 0x4D4D                       length 67 + 20n + 8f, the whole file
//     Version 0x0002                  length 8, 16-bit 3
//     Editor 0x3D3D                   runs to the end of the file
//       Object 0x4000 "heightmesh\0"  runs to the end of the file
//         TriMesh 0x4100              runs to the end of the file
//           VertexList 0x4110         16-bit n, n x (X, Y, Z) float32
//           TexCoordList 0x4140       16-bit n, n x (U, V) float32
//           FaceList 0x4120           16-bit f, f MeshFace records
#pragma once

#include <cstddef>
#include <cstdint>

#include "model/model3ds.h"
#include "platform/platform.h"

// The file being assembled; empty (null, 0, 0) outside Write3DS.
struct OutputBufferRecord {
    uint8_t* bytes;    // heap block holding the file so far, or null
    int32_t used;      // bytes appended so far
    int32_t capacity;  // size of the block in bytes
};

extern OutputBufferRecord OutputBuffer;

// Appends count bytes from source, growing the block when used + count reaches the
// capacity. False (nothing appended, the block kept) when it cannot grow or the size
// would pass the 32-bit length of a chunk.
bool AppendOutputBytes(const void* source, int32_t count);

// Bytes of the path Write3DS hands back, its terminator included.
const size_t SavePathSize = 4096;

// Assembles the file, shows the Save As dialog owned by window and, when the user confirms,
// writes the file safely (WriteFileReplacing) and tells the outcome on the status line. True
// when the file was saved; its path is then copied into savedPath (SavePathSize bytes) when
// that is given. A cancel changes nothing. The arrays stay owned by the caller; counts must
// be 0..65535.
bool Write3DS(WindowHandle window, int32_t vertexCount, const float* positions, const float* texCoords,
              int32_t faceCount, const MeshFace* faces, char* savedPath);
