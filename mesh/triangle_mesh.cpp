// The triangle mesh record: memory estimates and checks, allocation, vertex normals.
#include "mesh/triangle_mesh.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>
#include <unistd.h>

uint64_t MeshMemoryLimit = 0;

// MemAvailable of /proc/meminfo in bytes, or 0 when it cannot be read.
static uint64_t ReadMemAvailable()
{
    FILE* file = std::fopen("/proc/meminfo", "r");
    if (!file)
        return 0;
    char line[256];
    unsigned long long kilobytes = 0;
    while (std::fgets(line, sizeof line, file))
        if (std::sscanf(line, "MemAvailable: %llu kB", &kilobytes) == 1)
            break;
    std::fclose(file);
    return kilobytes > UINT64_MAX / 1024 ? UINT64_MAX : kilobytes * 1024;
}

uint64_t AvailableMeshMemory()
{
    if (MeshMemoryLimit)
        return MeshMemoryLimit;
    uint64_t available = ReadMemAvailable();
    if (!available) {
        const long pages = sysconf(_SC_AVPHYS_PAGES);
        const long pageSize = sysconf(_SC_PAGESIZE);
        available = pages > 0 && pageSize > 0 ? uint64_t(pages) * uint64_t(pageSize) : UINT64_MAX;
    }
    struct rlimit limit;
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < available)
        available = limit.rlim_cur;
    return available;
}

uint64_t TriangleMeshBytes(int64_t vertexCount, int64_t faceCount, bool texCoords, bool normals)
{
    if (vertexCount < 0 || vertexCount > MaxMeshVertices || faceCount < 0 || faceCount > MaxMeshFaces)
        return 0;
    // both counts are below 2^33, so none of these products can overflow 64 bits
    const uint64_t perVertex = 4 * (3 + (texCoords ? 2 : 0) + (normals ? 3 : 0));
    return perVertex * uint64_t(vertexCount) + 12 * uint64_t(faceCount) + 1;
}

void SetTriangleMeshName(TriangleMesh* mesh, const char* name)
{
    std::snprintf(mesh->name, sizeof mesh->name, "%s", name ? name : "");
}

void FreeTriangleMesh(TriangleMesh* mesh)
{
    std::free(mesh->positions);
    std::free(mesh->texCoords);
    std::free(mesh->normals);
    std::free(mesh->faces);
    std::memset(mesh, 0, sizeof *mesh);
}

// malloc of count floats or indices; a count of 0 still gives a block, so null always
// means failure.
static void* AllocateArray(int64_t count, size_t itemSize)
{
    return std::malloc(count > 0 ? size_t(count) * itemSize : 1);
}

bool AllocateTriangleMesh(TriangleMesh* mesh, int64_t vertexCount, int64_t faceCount, bool texCoords, bool normals,
                          const char* name)
{
    std::memset(mesh, 0, sizeof *mesh);
    const uint64_t bytes = TriangleMeshBytes(vertexCount, faceCount, texCoords, normals);
    if (!bytes || bytes > SIZE_MAX || bytes > AvailableMeshMemory())
        return false;
    mesh->vertexCount = vertexCount;
    mesh->faceCount = faceCount;
    mesh->positions = static_cast<float*>(AllocateArray(3 * vertexCount, sizeof(float)));
    mesh->texCoords = texCoords ? static_cast<float*>(AllocateArray(2 * vertexCount, sizeof(float))) : nullptr;
    mesh->normals = normals ? static_cast<float*>(AllocateArray(3 * vertexCount, sizeof(float))) : nullptr;
    mesh->faces = static_cast<uint32_t*>(AllocateArray(3 * faceCount, sizeof(uint32_t)));
    if (!mesh->positions || (texCoords && !mesh->texCoords) || (normals && !mesh->normals) || !mesh->faces) {
        FreeTriangleMesh(mesh);
        return false;
    }
    SetTriangleMeshName(mesh, name);
    return true;
}

bool IsValidTriangleMesh(const TriangleMesh& mesh)
{
    if (mesh.vertexCount < 0 || mesh.vertexCount > MaxMeshVertices || mesh.faceCount < 0 ||
        mesh.faceCount > MaxMeshFaces)
        return false;
    if ((mesh.vertexCount > 0 && !mesh.positions) || (mesh.faceCount > 0 && !mesh.faces))
        return false;
    // the largest index decides; a plain reduction the compiler turns into vector code
    const uint64_t corners = 3 * uint64_t(mesh.faceCount);
    uint32_t largest = 0;
    for (uint64_t i = 0; i < corners; ++i)
        largest = mesh.faces[i] > largest ? mesh.faces[i] : largest;
    return corners == 0 || int64_t(largest) < mesh.vertexCount;
}

bool BuildVertexNormals(TriangleMesh* mesh)
{
    if (!mesh->normals || !IsValidTriangleMesh(*mesh))
        return false;
    const size_t values = 3 * size_t(mesh->vertexCount);
    std::memset(mesh->normals, 0, values * sizeof(float));
    const float* p = mesh->positions;
    for (int64_t f = 0; f < mesh->faceCount; ++f) {
        const uint32_t* corner = mesh->faces + 3 * f;
        const float* a = p + 3 * size_t(corner[0]);
        const float* b = p + 3 * size_t(corner[1]);
        const float* c = p + 3 * size_t(corner[2]);
        const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        const float v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        // the cross product's length is twice the face's area: larger faces weigh more
        const float n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
        for (int k = 0; k < 3; ++k)
            for (int axis = 0; axis < 3; ++axis)
                mesh->normals[3 * size_t(corner[k]) + axis] += n[axis];
    }
    for (size_t i = 0; i < values; i += 3) {
        float* n = mesh->normals + i;
        const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (length > 0 && std::isfinite(length)) {
            n[0] /= length;
            n[1] /= length;
            n[2] /= length;
        } else {
            n[0] = 0;
            n[1] = 0;
            n[2] = 1;
        }
    }
    return true;
}
