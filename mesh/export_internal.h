// What the exporters share inside the mesh folder: the file being assembled, progress, and
// one function per writer. Not for callers outside the export files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "mesh/export_formats.h"

// The file being assembled: one block sized from the format's bound before writing starts.
struct ExportBuffer {
    uint8_t* bytes;   // malloc'd block, or null
    size_t used;      // bytes written so far
    size_t capacity;  // size of the block
};

// Progress of one export: percent reported so far; silent below ExportProgressMinFaces.
struct ExportProgress {
    ExportProgressFunction function;  // null: nothing is reported
    void* context;
    int reported;  // last percent told, -1 before the first
};

// Tells the percent done / total of the writing phase (0..99) when it has risen.
void ReportExportProgress(ExportProgress* progress, uint64_t done, uint64_t total);

bool ReserveExportBuffer(ExportBuffer* buffer, uint64_t capacity);
void FreeExportBuffer(ExportBuffer* buffer);

inline void AppendExportBytes(ExportBuffer* buffer, const void* bytes, size_t count)
{
    std::memcpy(buffer->bytes + buffer->used, bytes, count);
    buffer->used += count;
}

// Little-endian stores, laid out by shifts so that the file is the same on any host.
inline void StoreLittle16(uint8_t* out, uint16_t value)
{
    out[0] = uint8_t(value);
    out[1] = uint8_t(value >> 8);
}

inline void StoreLittle32(uint8_t* out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[i] = uint8_t(value >> (8 * i));
}

inline void StoreLittleFloat(uint8_t* out, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    StoreLittle32(out, bits);
}

// Appends count floats or 32-bit integers little-endian: a copy on a little-endian host.
void AppendLittleFloats(ExportBuffer* buffer, const float* values, size_t count);
void AppendLittle32s(ExportBuffer* buffer, const uint32_t* values, size_t count);

// Text that reads back as exactly value: whole numbers and fractions of up to 14 binary
// places in their exact decimal form, others the shortest that round-trips. Returns the
// length written (at most MaxFloatText bytes, no NUL).
static const size_t MaxFloatText = 24;
size_t FormatFloat(char* out, float value);
size_t FormatUnsigned(char* out, uint64_t value);

// The writers: each checks its format's limits, sizes the buffer and fills it.
ExportResult WriteStl(const TriangleMesh& mesh, ExportBuffer* out, ExportProgress* progress);
ExportResult WriteObj(const TriangleMesh& mesh, ExportBuffer* out, ExportProgress* progress);
ExportResult WritePly(const TriangleMesh& mesh, ExportBuffer* out, ExportProgress* progress);
ExportResult WriteGltf(const TriangleMesh& mesh, bool binary, ExportBuffer* out, ExportProgress* progress);
ExportResult Write3mf(const TriangleMesh& mesh, ExportBuffer* out, ExportProgress* progress);
// Through assimp (.dae, .fbx), in the module orvanel-assimp.so beside the executable, loaded
// on first use: the library's file is copied into *out (for .fbx, repaired). ExportFailed when
// the module cannot be loaded; AssimpModuleLoadFailure then says why (null otherwise).
ExportResult WriteWithAssimp(const TriangleMesh& mesh, ExportFormat format, ExportBuffer* out,
                             ExportProgress* progress);
const char* AssimpModuleLoadFailure();

// Upper bounds of the bytes each writer produces (UINT64_MAX on overflow).
uint64_t StlFileBound(const TriangleMesh& mesh);
uint64_t ObjFileBound(const TriangleMesh& mesh);
uint64_t PlyFileBound(const TriangleMesh& mesh);
uint64_t GltfFileBound(const TriangleMesh& mesh, bool binary);
uint64_t GltfExportMemory(const TriangleMesh& mesh, bool binary);
uint64_t ThreeMfExportMemory(const TriangleMesh& mesh);
uint64_t AssimpExportMemory(const TriangleMesh& mesh, ExportFormat format);
