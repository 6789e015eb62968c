// The 3DS writer: the output buffer, the chunk tree and the save.
//
// Contents: OutputBuffer and AppendOutputBytes; little-endian appends; the chunk tree;
// Write3DS.
#include "mesh/write3ds.h"

#include <cstdint>
#include <cstring>

#include "image/report_message.h"
#include "mesh/mesh_alloc.h"
#include "platform/file_io.h"

OutputBufferRecord OutputBuffer = {nullptr, 0, 0};

// Chunk ids of the file.
static const uint16_t MainChunk = 0x4D4D;
static const uint16_t VersionChunk = 0x0002;
static const uint16_t EditorChunk = 0x3D3D;
static const uint16_t ObjectChunk = 0x4000;
static const uint16_t TriMeshChunk = 0x4100;
static const uint16_t VertexListChunk = 0x4110;
static const uint16_t TexCoordListChunk = 0x4140;
static const uint16_t FaceListChunk = 0x4120;

static const int32_t ChunkHeaderSize = 6;       // 16-bit id, 32-bit length
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
// Little-endian appends: bytes are laid out by shifts, so the file is the same on any host.

static void StoreUint16(uint8_t* out, uint16_t value)
{
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
}

static void StoreUint32(uint8_t* out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<uint8_t>(value >> (8 * i));
}

[[maybe_unused]] static void StoreFloat(uint8_t* out, float value)
{
    static_assert(sizeof(float) == sizeof(uint32_t), "float32 is written through its 32 bits");
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    StoreUint32(out, bits);
}

static bool AppendUint16(uint16_t value)
{
    uint8_t bytes[2];
    StoreUint16(bytes, value);
    return AppendOutputBytes(bytes, sizeof bytes);
}

// Appends a chunk header and returns its offset (for patching the length), or -1.
static int32_t AppendChunkHeader(uint16_t id, uint32_t length)
{
    uint8_t bytes[ChunkHeaderSize];
    StoreUint16(bytes, id);
    StoreUint32(bytes + 2, length);
    const int32_t offset = OutputBuffer.used;
    return AppendOutputBytes(bytes, sizeof bytes) ? offset : -1;
}

// Appends count float32 values. On a little-endian host the array already holds the
// file's bytes; elsewhere each value is laid out through StoreFloat, a block at a time.
static bool AppendFloats(const float* values, size_t count)
{
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    static_assert(sizeof(float) == 4, "float32 is 4 bytes");
    if (count > static_cast<size_t>(INT32_MAX) / 4)
        return false;
    return AppendOutputBytes(values, static_cast<int32_t>(4 * count));
#else
    uint8_t block[4096];
    const size_t perBlock = sizeof block / 4;
    for (size_t done = 0; done < count;) {
        const size_t take = count - done < perBlock ? count - done : perBlock;
        for (size_t i = 0; i < take; ++i)
            StoreFloat(block + 4 * i, values[done + i]);
        if (!AppendOutputBytes(block, static_cast<int32_t>(4 * take)))
            return false;
        done += take;
    }
    return true;
#endif
}

// Appends faces as four 16-bit words each: the records themselves on a little-endian host,
// laid out word by word elsewhere.
static bool AppendFaces(const MeshFace* faces, size_t count)
{
    static_assert(sizeof(MeshFace) == 8, "a face is four 16-bit words with no padding");
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    if (count > static_cast<size_t>(INT32_MAX) / 8)
        return false;
    return AppendOutputBytes(faces, static_cast<int32_t>(8 * count));
#else
    uint8_t block[4096];
    const size_t perBlock = sizeof block / 8;
    for (size_t done = 0; done < count;) {
        const size_t take = count - done < perBlock ? count - done : perBlock;
        for (size_t i = 0; i < take; ++i) {
            const MeshFace& face = faces[done + i];
            StoreUint16(block + 8 * i, face.a);
            StoreUint16(block + 8 * i + 2, face.b);
            StoreUint16(block + 8 * i + 4, face.c);
            StoreUint16(block + 8 * i + 6, face.flags);
        }
        if (!AppendOutputBytes(block, static_cast<int32_t>(8 * take)))
            return false;
        done += take;
    }
    return true;
#endif
}

// ---------------------------------------------------------------------------
// The chunk tree

// The length field of the chunk at offset: from its header to the end of the file.
static void PatchLengthToEnd(int32_t offset)
{
    StoreUint32(OutputBuffer.bytes + offset + 2, static_cast<uint32_t>(OutputBuffer.used - offset));
}

// Assembles the whole file into OutputBuffer. False when memory ran out.
static bool AssembleFile(int32_t n, const float* positions, const float* texcoords, int32_t f, const MeshFace* faces)
{
    const size_t vertices = static_cast<size_t>(n);
    const int32_t mainAt = AppendChunkHeader(MainChunk, 0);
    if (mainAt < 0 || AppendChunkHeader(VersionChunk, 8) < 0 || !AppendUint16(3))
        return false;
    const int32_t editorAt = AppendChunkHeader(EditorChunk, 0);
    const int32_t objectAt = editorAt < 0 ? -1 : AppendChunkHeader(ObjectChunk, 0);
    if (objectAt < 0 || !AppendOutputBytes(ObjectName, sizeof ObjectName))
        return false;
    const int32_t triMeshAt = AppendChunkHeader(TriMeshChunk, 0);
    if (triMeshAt < 0)
        return false;
    if (AppendChunkHeader(VertexListChunk, static_cast<uint32_t>(12 * n + 8)) < 0 ||
        !AppendUint16(static_cast<uint16_t>(n)) || !AppendFloats(positions, 3 * vertices))
        return false;
    if (AppendChunkHeader(TexCoordListChunk, static_cast<uint32_t>(8 * n + 8)) < 0 ||
        !AppendUint16(static_cast<uint16_t>(n)) || !AppendFloats(texcoords, 2 * vertices))
        return false;
    if (AppendChunkHeader(FaceListChunk, static_cast<uint32_t>(8 * f + 8)) < 0 ||
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

bool Write3DS(WindowHandle window, int32_t vertexCount, const float* positions, const float* texcoords,
              int32_t faceCount, const MeshFace* faces, char* savedPath)
{
    // counts the 16-bit fields cannot hold, or arrays missing, are never written
    if (vertexCount < 0 || vertexCount > 65535 || faceCount < 0 || faceCount > 65535)
        return false;
    if ((vertexCount > 0 && (!positions || !texcoords)) || (faceCount > 0 && !faces))
        return false;

    FreeOutputBuffer();
    const int32_t capacity = 20 * vertexCount + 8 * faceCount;
    OutputBuffer.bytes = static_cast<uint8_t*>(AllocateMeshBlock(static_cast<size_t>(capacity)));
    OutputBuffer.capacity = OutputBuffer.bytes ? capacity : 0;
    if (!OutputBuffer.bytes || !AssembleFile(vertexCount, positions, texcoords, faceCount, faces)) {
        FreeOutputBuffer();
        ReportMessage(window, "Not enough memory to write the mesh.");
        return false;
    }

    char path[SavePathSize] = "";
    FileDialogRequest request = {};
    request.owner = window;
    request.save = true;
    request.filter = "3DS Files (*.3ds)|*.3ds|All Files (*.*)|*.*||";
    request.defaultExtension = ".3ds";
    request.flags = FileDialogOverwritePrompt;
    if (!ShowFileDialog(request, path, sizeof path)) {
        FreeOutputBuffer();
        return false;
    }
    const bool saved = WriteFileReplacing(path, OutputBuffer.bytes, static_cast<size_t>(OutputBuffer.used));
    FreeOutputBuffer();
    if (!saved) {
        ReportMessage(window, "Could not save '%s'.", path);
        return false;
    }
    ReportMessage(window, "Successfully saved '%s'.", path);
    if (savedPath)
        memcpy(savedPath, path, sizeof path);
    return true;
}
