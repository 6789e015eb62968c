// COLLADA and FBX through assimp's exporter, built as the module orvanel-assimp.so beside the
// executable, so that assimp and the C++ runtime it needs are loaded only by an export to
// these formats: the mesh is copied into an aiScene, exported to
// memory and copied out. Assimp 5.2's binary FBX writer leaves out the null records that end
// each list of child nodes (the record is written from an empty string), which no reader
// accepts; the file is rebuilt here with them, and a writer that has them is left as it was.
//
// Contents: the scene; the FBX null records; WriteWithAssimp.
#include <assimp/Exporter.hpp>
#include <assimp/scene.h>
#include <cstring>
#include <memory>
#include <new>

#include "mesh/export_internal.h"

// ---------------------------------------------------------------------------
// The scene

static aiVector3D* CopyVectors(const float* values, int64_t count, int components)
{
    aiVector3D* vectors = new aiVector3D[size_t(count)];
    for (int64_t i = 0; i < count; ++i)
        vectors[i] = aiVector3D(values[components * i], values[components * i + 1],
                                components == 3 ? values[components * i + 2] : 0.0f);
    return vectors;
}

static aiMesh* BuildAssimpMesh(const TriangleMesh& mesh, ExportProgress* progress)
{
    std::unique_ptr<aiMesh> copy(new aiMesh);
    copy->mName = aiString(mesh.name);
    copy->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
    copy->mMaterialIndex = 0;
    copy->mNumVertices = unsigned(mesh.vertexCount);
    copy->mVertices = CopyVectors(mesh.positions, mesh.vertexCount, 3);
    if (mesh.normals)
        copy->mNormals = CopyVectors(mesh.normals, mesh.vertexCount, 3);
    if (mesh.texCoords) {
        copy->mTextureCoords[0] = CopyVectors(mesh.texCoords, mesh.vertexCount, 2);
        copy->mNumUVComponents[0] = 2;
    }
    copy->mFaces = new aiFace[size_t(mesh.faceCount)];
    copy->mNumFaces = unsigned(mesh.faceCount);
    for (int64_t f = 0; f < mesh.faceCount; ++f) {
        aiFace& face = copy->mFaces[f];
        face.mIndices = new unsigned[3];
        face.mNumIndices = 3;
        for (int k = 0; k < 3; ++k)
            face.mIndices[k] = mesh.faces[3 * f + k];
        if (f % 65536 == 0)
            ReportExportProgress(progress, uint64_t(f), 2 * uint64_t(mesh.faceCount));
    }
    return copy.release();
}

// A root node holding one node named after the mesh, turned -90 degrees about X so that
// the terrain's Z up becomes the Y up both formats assume.
static aiScene* BuildAssimpScene(const TriangleMesh& mesh, ExportProgress* progress)
{
    std::unique_ptr<aiScene> scene(new aiScene);
    scene->mMaterials = new aiMaterial*[1]();
    scene->mNumMaterials = 1;
    scene->mMaterials[0] = new aiMaterial;
    const aiString materialName("heightmesh_material");
    scene->mMaterials[0]->AddProperty(&materialName, AI_MATKEY_NAME);
    scene->mMeshes = new aiMesh*[1]();
    scene->mNumMeshes = 1;
    scene->mMeshes[0] = BuildAssimpMesh(mesh, progress);
    scene->mRootNode = new aiNode("root");
    aiNode* node = new aiNode(mesh.name);
    node->mMeshes = new unsigned[1]{0};
    node->mNumMeshes = 1;
    node->mTransformation = aiMatrix4x4(1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1);
    scene->mRootNode->addChildren(1, &node);
    return scene.release();
}

// ---------------------------------------------------------------------------
// The FBX null records

static const size_t FbxHeaderSize = 27;
static const size_t FbxFootIdSize = 16;
static const size_t FbxFooterTail = 4 + 4 + 120 + 16;  // zeros, version, zeros, magic

// Field widths of the node records, which grew to 64 bits with version 7500.
struct FbxLayout {
    bool wide;
    size_t recordHeader;  // end offset, property count, property bytes, name length
};

static uint64_t ReadFbxField(const uint8_t* at, bool wide)
{
    uint64_t value = 0;
    for (int i = (wide ? 8 : 4) - 1; i >= 0; --i)
        value = value << 8 | at[i];
    return value;
}

static void StoreFbxField(uint8_t* at, uint64_t value, bool wide)
{
    for (int i = 0; i < (wide ? 8 : 4); ++i)
        at[i] = uint8_t(value >> (8 * i));
}

static bool IsZero(const uint8_t* bytes, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        if (bytes[i])
            return false;
    return true;
}

// Copies the node at in + at (ending no later than limit) to out, ending each list of
// children with a null record. False on a record that does not fit its parent.
static bool CopyFbxNode(const uint8_t* in, size_t at, size_t limit, const FbxLayout& layout, ExportBuffer* out,
                        int depth)
{
    const size_t fieldSize = layout.wide ? 8 : 4;
    if (depth > 64 || limit - at < layout.recordHeader)
        return false;
    const uint64_t end = ReadFbxField(in + at, layout.wide);
    const uint64_t propertyBytes = ReadFbxField(in + at + 2 * fieldSize, layout.wide);
    const size_t nameLength = in[at + 3 * fieldSize];
    if (end <= at || end > limit || end - at < layout.recordHeader + nameLength ||
        propertyBytes > end - at - layout.recordHeader - nameLength)
        return false;
    const size_t childStart = at + layout.recordHeader + nameLength + size_t(propertyBytes);
    const size_t start = out->used;
    AppendExportBytes(out, in + at, childStart - at);
    bool hasList = false;
    for (size_t child = childStart; child < end;) {
        hasList = true;
        if (end - child == layout.recordHeader && IsZero(in + child, layout.recordHeader))
            break;
        if (!CopyFbxNode(in, child, size_t(end), layout, out, depth + 1))
            return false;
        child = size_t(ReadFbxField(in + child, layout.wide));
    }
    if (hasList) {
        std::memset(out->bytes + out->used, 0, layout.recordHeader);
        out->used += layout.recordHeader;
    }
    StoreFbxField(out->bytes + start, out->used, layout.wide);
    return true;
}

// Bytes a rebuilt file may need: one null record per node at most (each node is longer).
static uint64_t RepairedFbxBound(size_t size)
{
    return 2 * uint64_t(size) + 64;
}

// Rebuilds the binary FBX in bytes into out, with null records where they belong and the
// footer aligned again. False when the file is not laid out as expected.
static bool RepairFbxNullRecords(const uint8_t* bytes, size_t size, ExportBuffer* out)
{
    if (size < FbxHeaderSize + FbxFootIdSize + FbxFooterTail || std::memcmp(bytes, "Kaydara FBX Binary  ", 20) != 0)
        return false;
    const bool wide = ReadFbxField(bytes + 23, false) >= 7500;
    const FbxLayout fields = {wide, wide ? size_t(25) : size_t(13)};
    if (!ReserveExportBuffer(out, RepairedFbxBound(size)))
        return false;
    AppendExportBytes(out, bytes, FbxHeaderSize);
    const size_t nodesEnd = size - FbxFooterTail - FbxFootIdSize;
    size_t at = FbxHeaderSize;
    // the top level ends with a null record (which assimp does write) before the footer
    for (;;) {
        if (nodesEnd - at < fields.recordHeader)
            return false;
        const uint64_t end = ReadFbxField(bytes + at, fields.wide);
        if (end == 0)
            break;
        if (!CopyFbxNode(bytes, at, nodesEnd, fields, out, 0))
            return false;
        at = size_t(end);
    }
    at += fields.recordHeader;
    std::memset(out->bytes + out->used, 0, fields.recordHeader);
    out->used += fields.recordHeader;
    // the footer: its id, zeros to the next multiple of 16 (a whole 16 when aligned), the rest
    AppendExportBytes(out, bytes + at, FbxFootIdSize);
    const size_t padding = 16 - out->used % 16;
    std::memset(out->bytes + out->used, 0, padding);
    out->used += padding;
    AppendExportBytes(out, bytes + size - FbxFooterTail, FbxFooterTail);
    return true;
}

// ---------------------------------------------------------------------------
// WriteWithAssimp

static ExportResult ExportScene(const aiScene* scene, ExportFormat format, ExportBuffer* out)
{
    Assimp::Exporter exporter;
    const aiExportDataBlob* blob = exporter.ExportToBlob(scene, format == ExportFormatFbx ? "fbx" : "collada", 0);
    if (!blob || !blob->data)
        return ExportFailed;
    const uint8_t* bytes = static_cast<const uint8_t*>(blob->data);
    if (format == ExportFormatFbx)
        return RepairFbxNullRecords(bytes, blob->size, out) ? ExportSaved : ExportFailed;
    if (!ReserveExportBuffer(out, blob->size + 1))
        return ExportNoMemory;
    AppendExportBytes(out, bytes, blob->size);
    return ExportSaved;
}

static ExportResult WriteThroughAssimp(const TriangleMesh& mesh, ExportFormat format, ExportBuffer* out,
                                       ExportProgress* progress)
{
    // aiMesh counts are unsigned int; FBX stores each array's byte length in 32 bits
    const uint64_t largestFbxArray = 72 * uint64_t(mesh.faceCount);
    if (mesh.vertexCount > UINT32_MAX || (format == ExportFormatFbx && largestFbxArray > UINT32_MAX))
        return ExportTooLarge;
    // the library reports a failed allocation by throwing; nothing may escape to the caller
    try {
        std::unique_ptr<aiScene> scene(BuildAssimpScene(mesh, progress));
        ReportExportProgress(progress, 1, 2);
        return ExportScene(scene.get(), format, out);
    } catch (const std::bad_alloc&) {
        return ExportNoMemory;
    } catch (...) {
        return ExportFailed;
    }
}

// The module's entry (mesh/export_assimp_module.h): the library's file of mesh in *out.
extern "C" __attribute__((visibility("default"))) ExportResult
OrvanelWriteWithAssimp(const TriangleMesh* mesh, ExportFormat format, ExportBuffer* out, ExportProgress* progress)
{
    return WriteThroughAssimp(*mesh, format, out, progress);
}
