// Our own writers for the formats whose layout is simple and whose files must be written
// fast: binary STL, OBJ, binary PLY, glTF 2.0 (.glb and .gltf). Each sizes its buffer from an
// exact size or an upper bound before it writes a byte.
//
// Contents: STL; OBJ; PLY; glTF (JSON, buffer, base64).
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "mesh/export_internal.h"

// Faces or vertices written between two looks at the progress.
static const int64_t ProgressStride = 65536;

// ---------------------------------------------------------------------------
// STL: an 80-byte header, the face count, then per face a normal, three corners and a
// 16-bit attribute word.

static const uint64_t StlHeaderSize = 84;
static const uint64_t StlFaceSize = 50;

uint64_t StlFileBound(const TriangleMesh& mesh)
{
    return StlHeaderSize + StlFaceSize * uint64_t(mesh.faceCount);
}

// The face's unit normal from its winding (zero for a face without area), then its corners.
static void StoreStlFace(uint8_t* out, const float* a, const float* b, const float* c)
{
    const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const float v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    float n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    const float scale = length > 0 && std::isfinite(length) ? 1.0f / length : 0.0f;
    float record[12] = {n[0] * scale, n[1] * scale, n[2] * scale, a[0], a[1], a[2], b[0], b[1], b[2], c[0], c[1], c[2]};
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    std::memcpy(out, record, sizeof record);
#else
    for (int i = 0; i < 12; ++i)
        StoreLittleFloat(out + 4 * i, record[i]);
#endif
}

ExportResult WriteStl(const TriangleMesh& mesh, ExportBuffer* out, ExportProgress* progress)
{
    if (!ReserveExportBuffer(out, StlFileBound(mesh)))
        return ExportNoMemory;
    // the header names the object; a header starting "solid" would pass for a text file
    uint8_t header[StlHeaderSize] = {};
    if (std::strncmp(mesh.name, "solid", 5) != 0)
        std::memcpy(header, mesh.name, std::strlen(mesh.name));
    StoreLittle32(header + 80, uint32_t(mesh.faceCount));
    AppendExportBytes(out, header, sizeof header);
    for (int64_t f = 0; f < mesh.faceCount; ++f) {
        uint8_t* record = out->bytes + out->used;
        const uint32_t* corner = mesh.faces + 3 * f;
        StoreStlFace(record, mesh.positions + 3 * size_t(corner[0]), mesh.positions + 3 * size_t(corner[1]),
                     mesh.positions + 3 * size_t(corner[2]));
        StoreLittle16(record + 48, 0);
        out->used += StlFaceSize;
        if (f % ProgressStride == 0)
            ReportExportProgress(progress, uint64_t(f), uint64_t(mesh.faceCount));
    }
    return ExportSaved;
}

// ---------------------------------------------------------------------------
// OBJ: text, indices counted from 1. One line per position, texture coordinate and normal,
// then one per face, each corner naming the same index in every list.

static const uint64_t ObjHeaderBound = 64 + MeshNameSize;
static const uint64_t ObjIndexText = 10;  // a 32-bit index counted from 1 has at most 10 digits

uint64_t ObjFileBound(const TriangleMesh& mesh)
{
    const uint64_t lists = 1 + (mesh.texCoords ? 1 : 0) + (mesh.normals ? 1 : 0);
    const uint64_t perVertex = (3 + MaxFloatText + 1) * 3 + 1;  // "vn " and three numbers with their spaces
    const uint64_t perCorner = 1 + lists * ObjIndexText + 2;    // " a/b/c"
    return ObjHeaderBound + lists * perVertex * uint64_t(mesh.vertexCount) +
        (2 + 3 * perCorner + 1) * uint64_t(mesh.faceCount);
}

// Short copies inline: a library call costs more than the few bytes of a number.
static char* CopyText(char* at, const char* text, size_t length)
{
    for (size_t i = 0; i < length; ++i)
        at[i] = text[i];
    return at + length;
}

static void AppendObjLine(ExportBuffer* out, const char* key, const float* values, int count)
{
    char* at = reinterpret_cast<char*>(out->bytes + out->used);
    for (const char* c = key; *c; ++c)
        *at++ = *c;
    for (int i = 0; i < count; ++i) {
        *at++ = ' ';
        at += FormatFloat(at, values[i]);
    }
    *at++ = '\n';
    out->used = size_t(reinterpret_cast<uint8_t*>(at) - out->bytes);
}

static void AppendObjFace(ExportBuffer* out, const uint32_t* corner, bool texCoords, bool normals)
{
    char* at = reinterpret_cast<char*>(out->bytes + out->used);
    *at++ = 'f';
    for (int k = 0; k < 3; ++k) {
        *at++ = ' ';
        const char* index = at;
        const size_t length = FormatUnsigned(at, uint64_t(corner[k]) + 1);
        at += length;
        if (texCoords || normals)
            *at++ = '/';
        if (texCoords)
            at = CopyText(at, index, length);
        if (normals) {
            *at++ = '/';
            at = CopyText(at, index, length);
        }
    }
    *at++ = '\n';
    out->used = size_t(reinterpret_cast<uint8_t*>(at) - out->bytes);
}

ExportResult WriteObj(const TriangleMesh& mesh, ExportBuffer* out, ExportProgress* progress)
{
    if (!ReserveExportBuffer(out, ObjFileBound(mesh)))
        return ExportNoMemory;
    char header[ObjHeaderBound];
    const int headerLength = std::snprintf(header, sizeof header, "# Orvanel\no %s\n", mesh.name);
    AppendExportBytes(out, header, size_t(headerLength));
    const uint64_t total = uint64_t(mesh.vertexCount) + uint64_t(mesh.faceCount);
    for (int64_t v = 0; v < mesh.vertexCount; ++v)
        AppendObjLine(out, "v", mesh.positions + 3 * v, 3);
    for (int64_t v = 0; mesh.texCoords && v < mesh.vertexCount; ++v)
        AppendObjLine(out, "vt", mesh.texCoords + 2 * v, 2);
    for (int64_t v = 0; mesh.normals && v < mesh.vertexCount; ++v)
        AppendObjLine(out, "vn", mesh.normals + 3 * v, 3);
    ReportExportProgress(progress, uint64_t(mesh.vertexCount), total);
    for (int64_t f = 0; f < mesh.faceCount; ++f) {
        AppendObjFace(out, mesh.faces + 3 * f, mesh.texCoords != nullptr, mesh.normals != nullptr);
        if (f % ProgressStride == 0)
            ReportExportProgress(progress, uint64_t(mesh.vertexCount + f), total);
    }
    return ExportSaved;
}

// ---------------------------------------------------------------------------
// PLY: a text header, then the vertex records and the face lists, binary little-endian.

static const uint64_t PlyHeaderBound = 512 + MeshNameSize;

uint64_t PlyFileBound(const TriangleMesh& mesh)
{
    const uint64_t perVertex = 4 * (3 + (mesh.normals ? 3 : 0) + (mesh.texCoords ? 2 : 0));
    return PlyHeaderBound + perVertex * uint64_t(mesh.vertexCount) + 13 * uint64_t(mesh.faceCount);
}

static size_t FormatPlyHeader(char* out, size_t size, const TriangleMesh& mesh)
{
    int length = std::snprintf(out, size,
                               "ply\nformat binary_little_endian 1.0\ncomment %s\nelement vertex %lld\n"
                               "property float x\nproperty float y\nproperty float z\n",
                               mesh.name, static_cast<long long>(mesh.vertexCount));
    if (mesh.normals)
        length += std::snprintf(out + length, size - size_t(length),
                                "property float nx\nproperty float ny\nproperty float nz\n");
    if (mesh.texCoords)
        length += std::snprintf(out + length, size - size_t(length), "property float s\nproperty float t\n");
    length += std::snprintf(out + length, size - size_t(length),
                            "element face %lld\nproperty list uchar uint vertex_indices\nend_header\n",
                            static_cast<long long>(mesh.faceCount));
    return size_t(length);
}

ExportResult WritePly(const TriangleMesh& mesh, ExportBuffer* out, ExportProgress* progress)
{
    if (!ReserveExportBuffer(out, PlyFileBound(mesh)))
        return ExportNoMemory;
    char header[PlyHeaderBound];
    AppendExportBytes(out, header, FormatPlyHeader(header, sizeof header, mesh));
    const uint64_t total = uint64_t(mesh.vertexCount) + uint64_t(mesh.faceCount);
    for (int64_t v = 0; v < mesh.vertexCount; ++v) {
        AppendLittleFloats(out, mesh.positions + 3 * v, 3);
        if (mesh.normals)
            AppendLittleFloats(out, mesh.normals + 3 * v, 3);
        if (mesh.texCoords)
            AppendLittleFloats(out, mesh.texCoords + 2 * v, 2);
        if (v % ProgressStride == 0)
            ReportExportProgress(progress, uint64_t(v), total);
    }
    for (int64_t f = 0; f < mesh.faceCount; ++f) {
        out->bytes[out->used++] = 3;
        AppendLittle32s(out, mesh.faces + 3 * f, 3);
        if (f % ProgressStride == 0)
            ReportExportProgress(progress, uint64_t(mesh.vertexCount + f), total);
    }
    return ExportSaved;
}

// ---------------------------------------------------------------------------
// glTF 2.0: one buffer holding positions, normals, texture coordinates (1 - V) and indices
// one after another, each a buffer view with its accessor. The .glb file is a 12-byte
// header, the JSON chunk and the binary chunk; the .gltf file is the JSON alone with the
// buffer inside it as a data URI, so that one safe save writes the whole asset.

static const uint64_t GltfJsonBound = 4096 + 2 * 6 * MeshNameSize;
static const uint32_t GlbMagic = 0x46546C67;  // "glTF"
static const uint32_t GlbJsonChunk = 0x4E4F534A;
static const uint32_t GlbBinChunk = 0x004E4942;
static const char DataUriPrefix[] = "data:application/octet-stream;base64,";

// Byte layout of the buffer.
struct GltfLayout {
    uint64_t positions, normals, texCoords, indices, size;  // offsets, and the whole length
};

static GltfLayout LayOutGltfBuffer(const TriangleMesh& mesh)
{
    GltfLayout layout;
    const uint64_t vertices = uint64_t(mesh.vertexCount);
    layout.positions = 0;
    layout.normals = 12 * vertices;
    layout.texCoords = layout.normals + (mesh.normals ? 12 * vertices : 0);
    layout.indices = layout.texCoords + (mesh.texCoords ? 8 * vertices : 0);
    layout.size = layout.indices + 12 * uint64_t(mesh.faceCount);
    return layout;
}

uint64_t GltfFileBound(const TriangleMesh& mesh, bool binary)
{
    const uint64_t buffer = LayOutGltfBuffer(mesh).size;
    return binary ? 12 + 8 + GltfJsonBound + 8 + buffer + 3
                  : GltfJsonBound + sizeof DataUriPrefix + 4 * (buffer / 3 + 1);
}

uint64_t GltfExportMemory(const TriangleMesh& mesh, bool binary)
{
    // .gltf lays the buffer out apart before encoding it
    return GltfFileBound(mesh, binary) + (binary ? 0 : LayOutGltfBuffer(mesh).size + 1);
}

// The name as a JSON string's content: quotes, backslashes and control bytes escaped.
static std::string JsonEscaped(const char* text)
{
    std::string escaped;
    for (const char* c = text; *c; ++c) {
        if (*c == '"' || *c == '\\') {
            escaped += '\\';
            escaped += *c;
        } else if (static_cast<unsigned char>(*c) < 0x20) {
            char code[8];
            std::snprintf(code, sizeof code, "\\u%04x", unsigned(static_cast<unsigned char>(*c)));
            escaped += code;
        } else {
            escaped += *c;
        }
    }
    return escaped;
}

// The bounds of the positions, which glTF requires of the POSITION accessor. False when a
// position is not finite (JSON has no text for it).
static bool PositionBounds(const TriangleMesh& mesh, float* low, float* high)
{
    for (int axis = 0; axis < 3; ++axis) {
        low[axis] = mesh.vertexCount ? mesh.positions[axis] : 0;
        high[axis] = low[axis];
    }
    bool finite = true;
    for (int64_t v = 0; v < mesh.vertexCount; ++v)
        for (int axis = 0; axis < 3; ++axis) {
            const float value = mesh.positions[3 * v + axis];
            finite = finite && std::isfinite(value);
            low[axis] = value < low[axis] ? value : low[axis];
            high[axis] = value > high[axis] ? value : high[axis];
        }
    return finite;
}

static void AppendBufferView(std::string* json, uint64_t offset, uint64_t length, int target)
{
    char text[160];
    std::snprintf(text, sizeof text, "%s{\"buffer\":0,\"byteOffset\":%llu,\"byteLength\":%llu,\"target\":%d}",
                  json->back() == '[' ? "" : ",", static_cast<unsigned long long>(offset),
                  static_cast<unsigned long long>(length), target);
    *json += text;
}

static void AppendAccessor(std::string* json, int view, int componentType, int64_t count, const char* type)
{
    char text[160];
    std::snprintf(text, sizeof text, "%s{\"bufferView\":%d,\"componentType\":%d,\"count\":%lld,\"type\":\"%s\"",
                  json->back() == '[' ? "" : ",", view, componentType, static_cast<long long>(count), type);
    *json += text;
}

// The JSON document up to the buffer's byte length (and the start of its URI for .gltf).
static std::string GltfJsonHead(const TriangleMesh& mesh, const GltfLayout& layout, bool hasUri)
{
    const std::string name = JsonEscaped(mesh.name);
    // the node turns Z up into glTF's Y up: -90 degrees about X
    std::string json =
        "{\"asset\":{\"version\":\"2.0\",\"generator\":\"Orvanel\"},\"scene\":0,"
        "\"scenes\":[{\"nodes\":[0]}],\"nodes\":[{\"name\":\"" +
        name + "\",\"mesh\":0,\"rotation\":[-0.70710677,0,0,0.70710677]}],\"meshes\":[{\"name\":\"" + name +
        "\",\"primitives\":[{\"attributes\":{\"POSITION\":0";
    int accessor = 1;
    if (mesh.normals)
        json += ",\"NORMAL\":" + std::to_string(accessor++);
    if (mesh.texCoords)
        json += ",\"TEXCOORD_0\":" + std::to_string(accessor++);
    json += "},\"indices\":" + std::to_string(accessor) + ",\"mode\":4}]}],";
    // for .gltf the caller writes the buffer's URI behind this head
    json += "\"buffers\":[{\"byteLength\":" + std::to_string(layout.size);
    json += hasUri ? ",\"uri\":\"" : "";
    return json;
}

static std::string GltfJsonTail(const TriangleMesh& mesh, const GltfLayout& layout, const float* low, const float* high,
                                bool hasUri)
{
    const uint64_t vertices = uint64_t(mesh.vertexCount);
    std::string json = hasUri ? "\"}]," : "}],";
    json += "\"bufferViews\":[";
    AppendBufferView(&json, layout.positions, 12 * vertices, 34962);
    if (mesh.normals)
        AppendBufferView(&json, layout.normals, 12 * vertices, 34962);
    if (mesh.texCoords)
        AppendBufferView(&json, layout.texCoords, 8 * vertices, 34962);
    AppendBufferView(&json, layout.indices, layout.size - layout.indices, 34963);
    json += "],\"accessors\":[";
    int view = 0;
    AppendAccessor(&json, view++, 5126, mesh.vertexCount, "VEC3");
    char bounds[160];
    std::snprintf(bounds, sizeof bounds, ",\"min\":[%.9g,%.9g,%.9g],\"max\":[%.9g,%.9g,%.9g]}", low[0], low[1], low[2],
                  high[0], high[1], high[2]);
    json += bounds;
    if (mesh.normals) {
        AppendAccessor(&json, view++, 5126, mesh.vertexCount, "VEC3");
        json += "}";
    }
    if (mesh.texCoords) {
        AppendAccessor(&json, view++, 5126, mesh.vertexCount, "VEC2");
        json += "}";
    }
    AppendAccessor(&json, view, 5125, 3 * mesh.faceCount, "SCALAR");
    json += "}]}";
    return json;
}

// Appends the buffer's bytes in layout order: the arrays as they are but V turned to 1 - V.
static void AppendGltfBuffer(const TriangleMesh& mesh, ExportBuffer* out, ExportProgress* progress)
{
    const size_t vertices = size_t(mesh.vertexCount);
    AppendLittleFloats(out, mesh.positions, 3 * vertices);
    if (mesh.normals)
        AppendLittleFloats(out, mesh.normals, 3 * vertices);
    for (size_t v = 0; mesh.texCoords && v < vertices; ++v) {
        StoreLittleFloat(out->bytes + out->used, mesh.texCoords[2 * v]);
        StoreLittleFloat(out->bytes + out->used + 4, 1.0f - mesh.texCoords[2 * v + 1]);
        out->used += 8;
    }
    ReportExportProgress(progress, 1, 2);
    AppendLittle32s(out, mesh.faces, 3 * size_t(mesh.faceCount));
}

static const char Base64Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Base64 of bytes[0, size), written behind the buffer's used part.
static void AppendBase64(ExportBuffer* out, const uint8_t* bytes, size_t size)
{
    char* at = reinterpret_cast<char*>(out->bytes + out->used);
    size_t i = 0;
    for (; i + 3 <= size; i += 3) {
        const uint32_t group = uint32_t(bytes[i]) << 16 | uint32_t(bytes[i + 1]) << 8 | bytes[i + 2];
        for (int k = 0; k < 4; ++k)
            *at++ = Base64Digits[(group >> (18 - 6 * k)) & 63];
    }
    if (i < size) {
        const uint32_t group = uint32_t(bytes[i]) << 16 | (i + 1 < size ? uint32_t(bytes[i + 1]) << 8 : 0);
        *at++ = Base64Digits[(group >> 18) & 63];
        *at++ = Base64Digits[(group >> 12) & 63];
        *at++ = i + 1 < size ? Base64Digits[(group >> 6) & 63] : '=';
        *at++ = '=';
    }
    out->used = size_t(reinterpret_cast<uint8_t*>(at) - out->bytes);
}

static void AppendChunkHeader(ExportBuffer* out, uint32_t length, uint32_t type)
{
    StoreLittle32(out->bytes + out->used, length);
    StoreLittle32(out->bytes + out->used + 4, type);
    out->used += 8;
}

ExportResult WriteGltf(const TriangleMesh& mesh, bool binary, ExportBuffer* out, ExportProgress* progress)
{
    const GltfLayout layout = LayOutGltfBuffer(mesh);
    float low[3], high[3];
    if (!PositionBounds(mesh, low, high))
        return ExportInvalidMesh;
    // the byte lengths of a .glb are 32-bit
    if (binary && GltfFileBound(mesh, true) > UINT32_MAX)
        return ExportTooLarge;
    if (!ReserveExportBuffer(out, GltfFileBound(mesh, binary)))
        return ExportNoMemory;
    std::string json = GltfJsonHead(mesh, layout, !binary);
    const std::string tail = GltfJsonTail(mesh, layout, low, high, !binary);
    if (binary) {
        json += tail;
        const uint32_t jsonLength = uint32_t((json.size() + 3) & ~size_t(3));
        const uint32_t binLength = uint32_t((layout.size + 3) & ~uint64_t(3));
        StoreLittle32(out->bytes, GlbMagic);
        StoreLittle32(out->bytes + 4, 2);
        StoreLittle32(out->bytes + 8, 12 + 8 + jsonLength + 8 + binLength);
        out->used = 12;
        AppendChunkHeader(out, jsonLength, GlbJsonChunk);
        AppendExportBytes(out, json.data(), json.size());
        for (size_t pad = json.size(); pad < jsonLength; ++pad)
            out->bytes[out->used++] = ' ';
        AppendChunkHeader(out, binLength, GlbBinChunk);
        AppendGltfBuffer(mesh, out, progress);
        for (uint64_t pad = layout.size; pad < binLength; ++pad)
            out->bytes[out->used++] = 0;
        return ExportSaved;
    }
    // .gltf: the buffer is laid out in a block of its own, then encoded into the JSON
    json += DataUriPrefix;
    AppendExportBytes(out, json.data(), json.size());
    ExportBuffer raw = {nullptr, 0, 0};
    if (!ReserveExportBuffer(&raw, layout.size + 1))
        return ExportNoMemory;
    AppendGltfBuffer(mesh, &raw, progress);
    AppendBase64(out, raw.bytes, raw.used);
    FreeExportBuffer(&raw);
    AppendExportBytes(out, tail.data(), tail.size());
    return ExportSaved;
}
