// The 3DS writer: the output buffer, the chunk tree, the safe save and the preview refresh.
//
// Contents: OutputBuffer and AppendOutputBytes; little-endian appends; the chunk tree;
// WriteFileReplacing; Write3DS.
#include "mesh/write3ds.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "image/image_load.h"
#include "mesh/mesh_alloc.h"
#include "model/model_store.h"

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
// WriteFileReplacing

// write() may put fewer bytes than asked on disk (a full disk, a quota, a file size limit);
// what is left is tried again until the system refuses.
static bool WriteAll(int descriptor, const uint8_t* bytes, size_t size)
{
    while (size > 0) {
        const ssize_t written = write(descriptor, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// Permission bits for the file: an existing target's own (set-id bits not carried over),
// else what a plain create gives.
static mode_t TargetMode(const char* target)
{
    struct stat info;
    if (stat(target, &info) == 0)
        return info.st_mode & 0777;
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// The directory part of a path ("." when it has none): the temporary file goes there, on
// the target's own file system, so that the rename cannot cross devices.
static std::string DirectoryOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool WriteFileReplacing(const char* path, const uint8_t* bytes, int32_t size)
{
    if (!path || !path[0] || size < 0)
        return false;
    // a link stays a link: the file it names is the one replaced
    std::string target = path;
    struct stat info;
    if (lstat(path, &info) == 0 && S_ISLNK(info.st_mode)) {
        char* resolved = realpath(path, nullptr);
        if (resolved)
            target = resolved;
        std::free(resolved);
    }
    // the replaced file must be a regular file; a directory or device is refused as it is
    if (stat(target.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
        return false;

    // named apart from the target, so that a name near the length limit still leaves room
    std::string temporary = DirectoryOf(target) + "/.orvanel-save-XXXXXX";
    const int descriptor = mkstemp(&temporary[0]);
    if (descriptor < 0)
        return false;
    bool written = fchmod(descriptor, TargetMode(target.c_str())) == 0 &&
        WriteAll(descriptor, bytes, static_cast<size_t>(size)) && fsync(descriptor) == 0;
    written = close(descriptor) == 0 && written;
    // the data is on disk before the name moves: after a crash the target is the old file
    // or the new one, never a part of either (the rename itself is not waited for)
    if (!written || rename(temporary.c_str(), target.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Write3DS

// The written file becomes the preview's model; the cached files go first, so the load
// reads the bytes just written even when the same path was loaded before.
static void ShowWrittenFile(const char* path)
{
    if (CurrentModelInstance)
        UnloadModelSlot(CurrentModelInstance->slot);
    ReleaseAllModels();
    CurrentModelInstance = LoadModelInstance(path);
}

void Write3DS(WindowHandle window, int32_t vertexCount, const float* positions, const float* texcoords,
              int32_t faceCount, const MeshFace* faces)
{
    // counts the 16-bit fields cannot hold, or arrays missing, are never written
    if (vertexCount < 0 || vertexCount > 65535 || faceCount < 0 || faceCount > 65535)
        return;
    if ((vertexCount > 0 && (!positions || !texcoords)) || (faceCount > 0 && !faces))
        return;

    FreeOutputBuffer();
    const int32_t capacity = 20 * vertexCount + 8 * faceCount;
    OutputBuffer.bytes = static_cast<uint8_t*>(AllocateMeshBlock(static_cast<size_t>(capacity)));
    OutputBuffer.capacity = OutputBuffer.bytes ? capacity : 0;
    if (!OutputBuffer.bytes || !AssembleFile(vertexCount, positions, texcoords, faceCount, faces)) {
        FreeOutputBuffer();
        ReportMessage(window, "Not enough memory to write the mesh.");
        return;
    }

    char path[4096] = "";
    FileDialogRequest request = {};
    request.owner = window;
    request.save = true;
    request.filter = "3DS Files (*.3ds)|*.3ds|All Files (*.*)|*.*||";
    request.defaultExtension = ".3ds";
    request.flags = FileDialogOverwritePrompt;
    if (!ShowFileDialog(request, path, sizeof path)) {
        FreeOutputBuffer();
        return;
    }
    const bool saved = WriteFileReplacing(path, OutputBuffer.bytes, OutputBuffer.used);
    FreeOutputBuffer();
    if (!saved) {
        ReportMessage(window, "Could not save '%s'.", path);
        return;
    }
    ReportMessage(window, "Successfully saved '%s'.", path);
    ShowWrittenFile(path);
}
