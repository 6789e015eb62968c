// The 3DS writer: the output buffer, the chunk tree and the save.
//
// Contents: OutputBuffer and AppendOutputBytes; little-endian appends; the chunk tree;
// Write3DS.
#include "mesh/write3ds.h"

#include <cstdint>
#include <cstring>

#include "image/report_message.h"
#include "mesh/mesh_alloc.h"
#include "mesh/mesh_output.h"
#include "mesh/split_objects.h"
#include "model/chunk_ids.h"
#include "platform/byte_order.h"

OutputBufferRecord OutputBuffer = {nullptr, 0, 0};

static const char ObjectName[] = "heightmesh";  // written with its NUL

// ---------------------------------------------------------------------------
// OutputBuffer and AppendOutputBytes

bool AppendOutputBytes(const void* source, int32_t count)
{
    if (count < 0 || count > INT32_MAX - 1 - OutputBuffer.used)
        return false;
    if (OutputBuffer.used + count >= OutputBuffer.capacity) {
        const int32_t capacity = OutputBuffer.used + count + 1;
        uint8_t* grown = static_cast<uint8_t*>(ReallocateMeshBlock(OutputBuffer.bytes, static_cast<size_t>(capacity)));
        if (!grown)
            return false;
        OutputBuffer.bytes = grown;
        OutputBuffer.capacity = capacity;
    }
    if (count > 0)
        std::memcpy(OutputBuffer.bytes + OutputBuffer.used, source, static_cast<size_t>(count));
    OutputBuffer.used += count;
    return true;
}

static void FreeOutputBuffer()
{
    FreeMeshBlock(OutputBuffer.bytes);
    OutputBuffer = OutputBufferRecord{nullptr, 0, 0};
}

// ---------------------------------------------------------------------------
// Little-endian appends

static bool AppendUint16(uint16_t value)
{
    uint8_t bytes[2];
    StoreLittleU16(bytes, value);
    return AppendOutputBytes(bytes, sizeof bytes);
}

// Appends a chunk header and returns its offset (for patching the length), or -1.
static int32_t AppendChunkHeader(uint16_t id, uint32_t length)
{
    uint8_t bytes[ChunkHeaderSize];
    StoreLittleU16(bytes, id);
    StoreLittleU32(bytes + 2, length);
    const int32_t offset = OutputBuffer.used;
    return AppendOutputBytes(bytes, sizeof bytes) ? offset : -1;
}

// The host is little-endian (platform/byte_order.h): the arrays already hold the file's bytes.
static bool AppendFloats(const float* values, size_t count)
{
    static_assert(sizeof(float) == 4, "float32 is 4 bytes");
    if (count > static_cast<size_t>(INT32_MAX) / 4)
        return false;
    return AppendOutputBytes(values, static_cast<int32_t>(4 * count));
}

static bool AppendFaces(const MeshFace* faces, size_t count)
{
    static_assert(sizeof(MeshFace) == 8, "a face is four 16-bit words with no padding");
    if (count > static_cast<size_t>(INT32_MAX) / 8)
        return false;
    return AppendOutputBytes(faces, static_cast<int32_t>(8 * count));
}

// ---------------------------------------------------------------------------
// The chunk tree

// The length field of the chunk at offset: from its header to the end of the file.
static void PatchLengthToEnd(int32_t offset)
{
    StoreLittleU32(OutputBuffer.bytes + offset + 2, static_cast<uint32_t>(OutputBuffer.used - offset));
}

// Assembles the whole file into OutputBuffer. False when memory ran out.
static bool AssembleFile(int32_t n, const float* positions, const float* texCoords, int32_t f, const MeshFace* faces)
{
    const size_t vertices = static_cast<size_t>(n);
    const int32_t mainAt = AppendChunkHeader(MainChunkId, 0);
    if (mainAt < 0 || AppendChunkHeader(VersionChunkId, 8) < 0 || !AppendUint16(3))
        return false;
    const int32_t editorAt = AppendChunkHeader(EditorChunkId, 0);
    const int32_t objectAt = editorAt < 0 ? -1 : AppendChunkHeader(ObjectChunkId, 0);
    if (objectAt < 0 || !AppendOutputBytes(ObjectName, sizeof ObjectName))
        return false;
    const int32_t triMeshAt = AppendChunkHeader(TriMeshChunkId, 0);
    if (triMeshAt < 0)
        return false;
    if (AppendChunkHeader(VertexListChunkId, static_cast<uint32_t>(12 * n + 8)) < 0 ||
        !AppendUint16(static_cast<uint16_t>(n)) || !AppendFloats(positions, 3 * vertices))
        return false;
    if (AppendChunkHeader(TexCoordListChunkId, static_cast<uint32_t>(8 * n + 8)) < 0 ||
        !AppendUint16(static_cast<uint16_t>(n)) || !AppendFloats(texCoords, 2 * vertices))
        return false;
    if (AppendChunkHeader(FaceListChunkId, static_cast<uint32_t>(8 * f + 8)) < 0 ||
        !AppendUint16(static_cast<uint16_t>(f)) || !AppendFaces(faces, static_cast<size_t>(f)))
        return false;
    // Main, Editor, Object and TriMesh each run to the end of the file
    PatchLengthToEnd(mainAt);
    PatchLengthToEnd(editorAt);
    PatchLengthToEnd(objectAt);
    PatchLengthToEnd(triMeshAt);
    return true;
}

// ---------------------------------------------------------------------------
// Write3DS

// The arrays as another format: the 16-bit faces widened, normals made for the formats that
// carry them.
static bool ExportArrays(WindowHandle window, const char* path, int32_t vertexCount, const float* positions,
                         const float* texCoords, int32_t faceCount, const MeshFace* faces, char* savedPath)
{
    TriangleMesh mesh = {};
    if (!AllocateTriangleMesh(&mesh, vertexCount, faceCount, true, true, "heightmesh")) {
        ReportMessage(window, "Not enough memory to write the mesh.");
        return false;
    }
    std::memcpy(mesh.positions, positions, 3 * sizeof(float) * static_cast<size_t>(vertexCount));
    std::memcpy(mesh.texCoords, texCoords, 2 * sizeof(float) * static_cast<size_t>(vertexCount));
    for (int32_t f = 0; f < faceCount; ++f) {
        mesh.faces[3 * f] = faces[f].a;
        mesh.faces[3 * f + 1] = faces[f].b;
        mesh.faces[3 * f + 2] = faces[f].c;
    }
    BuildVertexNormals(&mesh);
    const bool saved = ExportMeshFile(window, path, mesh);
    // the preview reads .3ds files only: it is given the same mesh as one
    uint8_t* preview = nullptr;
    size_t previewSize = 0;
    if (saved && AssembleObjects3DS(&mesh, 1, &preview, &previewSize))
        StashWrittenPreview(preview, previewSize, faceCount, faceCount);
    FreeTriangleMesh(&mesh);
    if (saved && savedPath)
        std::memcpy(savedPath, path, SavePathSize);
    return saved;
}

bool Write3DS(WindowHandle window, int32_t vertexCount, const float* positions, const float* texCoords,
              int32_t faceCount, const MeshFace* faces, char* savedPath)
{
    // counts the 16-bit fields cannot hold, or arrays missing, are never written
    if (vertexCount < 0 || vertexCount > 65535 || faceCount < 0 || faceCount > 65535)
        return false;
    if ((vertexCount > 0 && (!positions || !texCoords)) || (faceCount > 0 && !faces))
        return false;

    FreeOutputBuffer();
    const int32_t capacity = 20 * vertexCount + 8 * faceCount;
    OutputBuffer.bytes = static_cast<uint8_t*>(AllocateMeshBlock(static_cast<size_t>(capacity)));
    OutputBuffer.capacity = OutputBuffer.bytes ? capacity : 0;
    if (!OutputBuffer.bytes || !AssembleFile(vertexCount, positions, texCoords, faceCount, faces)) {
        FreeOutputBuffer();
        ReportMessage(window, "Not enough memory to write the mesh.");
        return false;
    }

    char path[SavePathSize] = "";
    if (!AskMeshSavePath(window, path, sizeof path)) {
        FreeOutputBuffer();
        return false;
    }
    if (!IsThreeDSPath(path)) {
        FreeOutputBuffer();
        return ExportArrays(window, path, vertexCount, positions, texCoords, faceCount, faces, savedPath);
    }
    const bool saved = SaveMeshBytes(window, path, OutputBuffer.bytes, static_cast<size_t>(OutputBuffer.used));
    FreeOutputBuffer();
    if (!saved)
        return false;
    if (savedPath)
        memcpy(savedPath, path, sizeof path);
    return true;
}
