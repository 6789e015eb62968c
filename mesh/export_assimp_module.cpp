// Loading the assimp module (orvanel-assimp.so beside the executable) on the first COLLADA or
// FBX export, and what such an export needs of memory.
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "mesh/export_internal.h"
#include "platform/desktop_module.h"

static const char AssimpModuleFileName[] = "orvanel-assimp.so";
static const char AssimpModuleEntryName[] = "OrvanelWriteWithAssimp";

typedef ExportResult (*AssimpModuleEntry)(const TriangleMesh* mesh, ExportFormat format, ExportBuffer* out,
                                          ExportProgress* progress);

// Assimp keeps texture coordinates as 3 floats, a face as a record with an index block of
// its own, and the exporter copies the whole scene before it starts; then the file grows in
// a stream and comes back as a blob, which is copied out (FBX: rebuilt). Peaks measured on
// grids with normals and texture coordinates (COLLADA 170 MB, FBX 219 MB for 262144
// vertices and 522242 faces), with half as much again to spare: bytes per vertex and face.
static const uint64_t AssimpBytesPerVertex[2] = {300, 375};  // COLLADA, FBX
static const uint64_t AssimpBytesPerFace[2] = {350, 450};

uint64_t AssimpExportMemory(const TriangleMesh& mesh, ExportFormat format)
{
    const int which = format == ExportFormatFbx ? 1 : 0;
    return (1 << 20) + AssimpBytesPerVertex[which] * uint64_t(mesh.vertexCount) +
        AssimpBytesPerFace[which] * uint64_t(mesh.faceCount);
}

// Why the module could not be loaded, or empty.
static std::string LoadFailure;

// The module's entry, loaded once; null with the loader's reason when it cannot be.
static AssimpModuleEntry LoadAssimpModule(std::string* reason)
{
    static AssimpModuleEntry entry = nullptr;
    if (entry)
        return entry;
    std::string path;
    if (!FindFileBesideExecutable(AssimpModuleFileName, &path)) {
        *reason = "the program cannot find its own folder";
        return nullptr;
    }
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    entry = module ? reinterpret_cast<AssimpModuleEntry>(dlsym(module, AssimpModuleEntryName)) : nullptr;
    if (!entry) {
        const char* error = dlerror();
        *reason = error ? error : path;
    }
    return entry;
}

ExportResult WriteWithAssimp(const TriangleMesh& mesh, ExportFormat format, ExportBuffer* out, ExportProgress* progress)
{
    LoadFailure.clear();
    AssimpModuleEntry entry = LoadAssimpModule(&LoadFailure);
    return entry ? entry(&mesh, format, out, progress) : ExportFailed;
}

const char* AssimpModuleLoadFailure()
{
    return LoadFailure.empty() ? nullptr : LoadFailure.c_str();
}
