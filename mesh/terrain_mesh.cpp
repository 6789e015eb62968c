// Heightmap to TriangleMesh: the grid at any size, the adaptive mesh, and packing a mesh
// into 3DS-sized objects.
//
// Contents: heights and vertices; the grid; the adaptive mesh; flat faces; BuildTerrainMesh;
// PackIntoObjects.
#include "mesh/terrain_mesh.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "mesh/adaptive_mesh.h"
#include "mesh/split_objects.h"

static const int32_t LargestSide = 16384;
// The adaptive mesh starts from two faces, and a solid needs room for at least four walls and a bottom.
static const int64_t SmallestFaceBudget = 12;

// ---------------------------------------------------------------------------
// Heights and vertices

double TerrainHeightLevels(const Image* image, int32_t x, int32_t y)
{
    const size_t index = static_cast<size_t>(y) * static_cast<size_t>(image->width) + static_cast<size_t>(x);
    if (image->samples)
        return image->samples[index] / 257.0;
    return image->pixels[4 * index];
}

// The grid's own formulas, each formed in double and rounded once.
static void PlaceVertex(const Image* image, const TerrainMeshRequest& request, int32_t x, int32_t y, float* position,
                        float* texCoord)
{
    const int32_t halfW = image->width / 2;
    const int32_t halfH = image->height / 2;
    position[0] = static_cast<float>((x - halfW) * request.overallScale);
    position[1] = static_cast<float>(-((y - halfH) * request.overallScale));
    position[2] = static_cast<float>(TerrainHeightLevels(image, x, y) * request.heightScale);
    texCoord[0] = static_cast<float>(static_cast<double>(x) / image->width * request.textureScale);
    texCoord[1] = static_cast<float>(static_cast<double>(y) / image->height * request.textureScale);
}

// ---------------------------------------------------------------------------
// The grid

static void GridSize(const Image* image, const TerrainMeshRequest& request, int64_t* cols, int64_t* rows)
{
    *cols = image->width / request.gridStep;
    *rows = image->height / request.gridStep;
}

// Two faces per cell, counter-clockwise seen from above, split from the cell's top-right to
// its bottom-left corner: the order and corners of the .3ds grid.
static void FillGridFaces(uint32_t* face, int64_t cols, int64_t rows)
{
    for (int64_t r = 0; r + 1 < rows; ++r)
        for (int64_t c = 0; c + 1 < cols; ++c) {
            const uint32_t v = static_cast<uint32_t>(r * cols + c);
            const uint32_t below = v + static_cast<uint32_t>(cols);
            const uint32_t corners[6] = {v + 1, v, below, below + 1, v + 1, below};
            memcpy(face, corners, sizeof corners);
            face += 6;
        }
}

static TerrainMeshResult BuildGrid(const Image* image, const TerrainMeshRequest& request, TriangleMesh* mesh,
                                   TerrainMeshFigures* figures)
{
    int64_t cols = 0, rows = 0;
    GridSize(image, request, &cols, &rows);
    if (cols < 2 || rows < 2)
        return TerrainMeshBadInput;
    if (!AllocateTriangleMesh(mesh, cols * rows, 2 * (cols - 1) * (rows - 1), true, request.withNormals, "heightmesh"))
        return TerrainMeshNoMemory;
    for (int64_t i = 0; i < mesh->vertexCount; ++i)
        PlaceVertex(image, request, static_cast<int32_t>(i % cols * request.gridStep),
                    static_cast<int32_t>(i / cols * request.gridStep), mesh->positions + 3 * i,
                    mesh->texCoords + 2 * i);
    FillGridFaces(mesh->faces, cols, rows);
    figures->cols = cols;
    figures->rows = rows;
    return TerrainMeshBuilt;
}

// ---------------------------------------------------------------------------
// The adaptive mesh

// The heights as the triangulation takes them: 16-bit samples, an 8-bit red r as r x 257.
static uint16_t* HeightSamples(const Image* image, bool* owned)
{
    *owned = false;
    if (image->samples)
        return image->samples;
    const size_t count = static_cast<size_t>(image->width) * static_cast<size_t>(image->height);
    uint16_t* samples = static_cast<uint16_t*>(malloc(count * sizeof(uint16_t)));
    if (!samples)
        return nullptr;
    for (size_t i = 0; i < count; ++i)
        samples[i] = static_cast<uint16_t>(image->pixels[4 * i] * 257);
    *owned = true;
    return samples;
}

static int32_t BudgetOrNone(int64_t budget)
{
    return budget > 0 && budget < INT32_MAX ? static_cast<int32_t>(budget) : 0;
}

static TerrainMeshResult BuildAdaptive(const Image* image, const TerrainMeshRequest& request, TriangleMesh* mesh,
                                       TerrainMeshFigures* figures)
{
    bool owned = false;
    uint16_t* samples = HeightSamples(image, &owned);
    if (!samples)
        return TerrainMeshNoMemory;
    const HeightField field = {image->width, image->height, samples};
    const AdaptiveMeshLimits limits = {BudgetOrNone(request.maxFaces), BudgetOrNone(request.maxVertices),
                                       request.maxErrorLevels, request.reserveForSolid};
    AdaptiveMesh adaptive = {};
    const bool built = BuildAdaptiveMesh(&field, &limits, &adaptive);
    if (owned)
        free(samples);
    if (!built)
        return TerrainMeshNoMemory;
    if (!AllocateTriangleMesh(mesh, adaptive.vertexCount, adaptive.faceCount, true, request.withNormals,
                              "heightmesh")) {
        FreeAdaptiveMesh(&adaptive);
        return TerrainMeshNoMemory;
    }
    for (int64_t i = 0; i < mesh->vertexCount; ++i)
        PlaceVertex(image, request, adaptive.vertexPixels[2 * i], adaptive.vertexPixels[2 * i + 1],
                    mesh->positions + 3 * i, mesh->texCoords + 2 * i);
    for (int64_t i = 0; i < 3 * mesh->faceCount; ++i)
        mesh->faces[i] = static_cast<uint32_t>(adaptive.faceCorners[i]);
    figures->maxErrorLevels = adaptive.maxErrorLevels;
    FreeAdaptiveMesh(&adaptive);
    return TerrainMeshBuilt;
}

// ---------------------------------------------------------------------------
// Flat faces

// Keeps, in order, each face with a corner whose Z is not zero (-0.0 counts as zero).
static int64_t DropFlatFaces(TriangleMesh* mesh)
{
    int64_t kept = 0;
    for (int64_t f = 0; f < mesh->faceCount; ++f) {
        const uint32_t* corners = mesh->faces + 3 * f;
        bool flat = true;
        for (int k = 0; k < 3; ++k)
            flat = flat && mesh->positions[3 * static_cast<size_t>(corners[k]) + 2] == 0.0f;
        if (!flat)
            memmove(mesh->faces + 3 * kept++, corners, 3 * sizeof(uint32_t));
    }
    mesh->faceCount = kept;
    return kept;
}

// ---------------------------------------------------------------------------
// BuildTerrainMesh

static bool RequestIsValid(const Image* image, const TerrainMeshRequest& request)
{
    return image && image->width >= 2 && image->height >= 2 && image->width <= LargestSide &&
        image->height <= LargestSide && request.gridStep >= 1 && request.maxErrorLevels >= 0 &&
        (request.mode == TerrainGrid ||
         (request.mode == TerrainAdaptive && (request.maxFaces <= 0 || request.maxFaces >= SmallestFaceBudget)));
}

uint64_t EstimateTerrainMeshMemory(int32_t width, int32_t height, const TerrainMeshRequest& request)
{
    if (width < 2 || height < 2 || request.gridStep < 1)
        return UINT64_MAX;
    if (request.mode == TerrainGrid) {
        const int64_t cols = width / request.gridStep, rows = height / request.gridStep;
        const uint64_t bytes = TriangleMeshBytes(cols * rows, 2 * (cols - 1) * (rows - 1), true, request.withNormals);
        return bytes == 0 ? UINT64_MAX : bytes;
    }
    // The triangulation keeps a few words per pixel (the samples, the face each pixel lies in,
    // its error); each face and vertex of the budget some dozens of bytes more.
    const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    const uint64_t budget = request.maxFaces > 0 ? static_cast<uint64_t>(request.maxFaces) : 0;
    return pixels * 12 + budget * 96;
}

TerrainMeshResult BuildTerrainMesh(const Image* image, const TerrainMeshRequest& request, TriangleMesh* mesh,
                                   TerrainMeshFigures* figures)
{
    *mesh = TriangleMesh{};
    *figures = TerrainMeshFigures{};
    if (!RequestIsValid(image, request))
        return TerrainMeshBadInput;
    if (EstimateTerrainMeshMemory(image->width, image->height, request) > AvailableMeshMemory())
        return TerrainMeshNoMemory;
    const TerrainMeshResult result = request.mode == TerrainGrid ? BuildGrid(image, request, mesh, figures)
                                                                 : BuildAdaptive(image, request, mesh, figures);
    if (result != TerrainMeshBuilt)
        return result;
    if (request.eliminateZeroHeight && DropFlatFaces(mesh) == 0) {
        FreeTriangleMesh(mesh);
        return TerrainMeshAllEliminated;
    }
    if (mesh->normals)
        BuildVertexNormals(mesh);
    return TerrainMeshBuilt;
}

// ---------------------------------------------------------------------------
// PackIntoObjects

static void NameObject(TriangleMesh* object, const char* base, int64_t number)
{
    char name[MeshNameSize + 24];  // SetTriangleMeshName cuts it to the mesh's name size
    if (number == 0)
        snprintf(name, sizeof name, "%s", base);
    else
        snprintf(name, sizeof name, "%s_%lld", base, static_cast<long long>(number));
    SetTriangleMeshName(object, name);
}

// The faces [first, end) that fit one object, counting the distinct vertices they use.
static int64_t FacesThatFit(const TriangleMesh& mesh, int64_t first, std::vector<int64_t>& seenIn, int64_t object,
                            int64_t* vertices)
{
    int64_t end = first;
    *vertices = 0;
    while (end < mesh.faceCount && end - first < MaxObjectFaces) {
        int64_t fresh = 0;
        const uint32_t* corners = mesh.faces + 3 * end;
        // marks left by a face that does not fit are harmless: the next object has its own number
        for (int k = 0; k < 3; ++k)
            if (seenIn[corners[k]] != object) {
                seenIn[corners[k]] = object;
                ++fresh;
            }
        if (*vertices + fresh > MaxObjectVertices)
            break;
        *vertices += fresh;
        ++end;
    }
    return end;
}

static bool CopyObject(const TriangleMesh& mesh, int64_t first, int64_t end, int64_t vertexCount,
                       std::vector<int64_t>& local, TriangleMesh* object)
{
    if (!AllocateTriangleMesh(object, vertexCount, end - first, mesh.texCoords != nullptr, false, mesh.name))
        return false;
    int64_t used = 0;
    for (int64_t f = first; f < end; ++f)
        for (int k = 0; k < 3; ++k) {
            const uint32_t v = mesh.faces[3 * f + k];
            if (local[v] < 0) {
                local[v] = used;
                memcpy(object->positions + 3 * used, mesh.positions + 3 * static_cast<size_t>(v), 3 * sizeof(float));
                if (mesh.texCoords)
                    memcpy(object->texCoords + 2 * used, mesh.texCoords + 2 * static_cast<size_t>(v),
                           2 * sizeof(float));
                ++used;
            }
            object->faces[3 * (f - first) + k] = static_cast<uint32_t>(local[v]);
        }
    for (int64_t f = first; f < end; ++f)
        for (int k = 0; k < 3; ++k)
            local[mesh.faces[3 * f + k]] = -1;
    return true;
}

bool PackIntoObjects(const TriangleMesh& mesh, int64_t firstFace, int64_t firstNumber, TriangleMesh** objects,
                     int64_t* objectCount)
{
    *objects = nullptr;
    *objectCount = 0;
    if (!IsValidTriangleMesh(mesh) || firstFace < 0 || firstFace >= mesh.faceCount)
        return false;
    std::vector<int64_t> seenIn, local;
    std::vector<TriangleMesh> made;
    char base[MeshNameSize];
    snprintf(base, sizeof base, "%s", mesh.name);
    seenIn.assign(static_cast<size_t>(mesh.vertexCount), -1);
    local.assign(static_cast<size_t>(mesh.vertexCount), -1);
    bool failed = false;
    for (int64_t first = firstFace; first < mesh.faceCount && !failed;) {
        int64_t vertices = 0;
        const int64_t end = FacesThatFit(mesh, first, seenIn, static_cast<int64_t>(made.size()), &vertices);
        TriangleMesh object = {};
        failed = !CopyObject(mesh, first, end, vertices, local, &object);
        if (!failed) {
            NameObject(&object, base, firstNumber + static_cast<int64_t>(made.size()));
            made.push_back(object);
        }
        first = end;
    }
    TriangleMesh* array = failed ? nullptr : static_cast<TriangleMesh*>(malloc(made.size() * sizeof(TriangleMesh)));
    if (!array) {
        for (TriangleMesh& object : made)
            FreeTriangleMesh(&object);
        return false;
    }
    memcpy(array, made.data(), made.size() * sizeof(TriangleMesh));
    *objects = array;
    *objectCount = static_cast<int64_t>(made.size());
    return true;
}
