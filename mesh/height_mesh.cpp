// Heightmap to mesh: grid sampling, the 16-bit limits of the 3DS format and the
// elimination of flat faces.
//
// Contents: the mesh arrays; sampling; faces; BuildHeightMesh; EliminateZeroHeightTriangles.
#include "mesh/height_mesh.h"

#include "image/report_message.h"
#include "mesh/mesh_alloc.h"
#include "mesh/mesh_output.h"
#include "mesh/solid.h"
#include "mesh/split_objects.h"
#include "mesh/terrain_mesh.h"
#include "mesh/write3ds.h"
#include "platform/shell.h"
#include "settings/settings.h"
#include "settings/settings_block.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

// The 3DS format counts vertices and faces, and indexes vertices, in 16 bits.
static const int64_t MaxWord = 65535;

// ---------------------------------------------------------------------------
// The mesh arrays, alive for one generation

struct HeightMesh {
    int32_t cols;         // grid points per row
    int32_t rows;         // grid rows
    int32_t step;         // pixels between grid points
    int32_t vertexCount;  // cols x rows
    int32_t faceCount;    // 2 x (cols - 1) x (rows - 1), fewer after elimination
    float* positions;     // vertexCount x (X, Y, Z)
    float* texCoords;     // vertexCount x (U, V)
    MeshFace* faces;      // faceCount faces, flags 0
};

static bool AllocateHeightMesh(HeightMesh* mesh)
{
    size_t vertices = static_cast<size_t>(mesh->vertexCount);
    mesh->positions = static_cast<float*>(AllocateMeshBlock(vertices * 3 * sizeof(float)));
    mesh->texCoords = static_cast<float*>(AllocateMeshBlock(vertices * 2 * sizeof(float)));
    mesh->faces = static_cast<MeshFace*>(AllocateMeshBlock(static_cast<size_t>(mesh->faceCount) * sizeof(MeshFace)));
    return mesh->positions && mesh->texCoords && mesh->faces;
}

static void FreeHeightMesh(HeightMesh* mesh)
{
    FreeMeshBlock(mesh->positions);
    FreeMeshBlock(mesh->texCoords);
    FreeMeshBlock(mesh->faces);
    mesh->positions = nullptr;
    mesh->texCoords = nullptr;
    mesh->faces = nullptr;
}

// ---------------------------------------------------------------------------
// Sampling

// Each value is an exact integer (or an exact power-of-two quotient) times a float
// setting; forming it in double and rounding once gives the float32 product.
static void SampleVertices(HeightMesh* mesh, const uint8_t* pixels, int32_t width, int32_t height)
{
    const int32_t halfW = width / 2;
    const int32_t halfH = height / 2;
    const double overallScale = GenerationParams.overallScale;
    const double heightScale = GenerationParams.heightScale;
    const double textureScale = GenerationParams.textureScale;
    for (int32_t i = 0; i < mesh->vertexCount; ++i) {
        const int32_t x = (i % mesh->cols) * mesh->step;
        const int32_t y = (i / mesh->cols) * mesh->step;
        const uint8_t red = pixels[4 * (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x))];
        float* position = mesh->positions + 3 * static_cast<size_t>(i);
        position[0] = static_cast<float>((x - halfW) * overallScale);
        // negating the product makes the middle row -0.0, as the file has always held it
        position[1] = static_cast<float>(-((y - halfH) * overallScale));
        position[2] = static_cast<float>(red * heightScale);
        float* texCoord = mesh->texCoords + 2 * static_cast<size_t>(i);
        texCoord[0] = static_cast<float>(static_cast<double>(x) / width * textureScale);
        texCoord[1] = static_cast<float>(static_cast<double>(y) / height * textureScale);
    }
}

// Two faces per cell, counter-clockwise seen from above, split from the cell's top-right
// to its bottom-left corner.
static void BuildFaces(HeightMesh* mesh)
{
    const int32_t cols = mesh->cols;
    MeshFace* face = mesh->faces;
    for (int32_t r = 0; r < mesh->rows - 1; ++r)
        for (int32_t c = 0; c < cols - 1; ++c) {
            const int32_t v = r * cols + c;
            *face++ =
                MeshFace{static_cast<uint16_t>(v + 1), static_cast<uint16_t>(v), static_cast<uint16_t>(v + cols), 0};
            *face++ = MeshFace{static_cast<uint16_t>(v + cols + 1), static_cast<uint16_t>(v + 1),
                               static_cast<uint16_t>(v + cols), 0};
        }
}

// ---------------------------------------------------------------------------
// BuildHeightMesh

// Clamps the grid step to half of each side and stores it back. A step below 1 never
// comes from the properties window; it is taken as 1 rather than divided by.
static int32_t ClampGridStep(int32_t width, int32_t height)
{
    int32_t step = GenerationParams.gridStep;
    if (step < 1)
        step = 1;
    if (step > width / 2)
        step = width / 2;
    if (step > height / 2)
        step = height / 2;
    GenerationParams.gridStep = step;
    return step;
}

// The .3ds grid of 8-bit heights as it has always been made: the limits checked and the
// mesh sampled before the Save As dialog, the file assembled by Write3DS.
static bool BuildPlainGrid(WindowHandle window, const uint8_t* pixels, int32_t width, int32_t height, int32_t step,
                           char* savedPath)
{
    HeightMesh mesh = {};
    mesh.step = step;
    mesh.cols = width / step;
    mesh.rows = height / step;
    mesh.vertexCount = mesh.rows * mesh.cols;
    mesh.faceCount = 2 * (mesh.rows - 1) * (mesh.cols - 1);
    if (!AllocateHeightMesh(&mesh)) {
        ReportMessage(window, "Not enough memory to build the mesh.");
        FreeHeightMesh(&mesh);
        return false;
    }
    SampleVertices(&mesh, pixels, width, height);
    BuildFaces(&mesh);

    if (GenerationParams.eliminateZeroHeight) {
        mesh.faceCount = EliminateZeroHeightTriangles(mesh.faces, mesh.faceCount, mesh.positions);
        if (mesh.faceCount == 0) {
            ReportMessage(window, "All triangles eliminated! Aborting write.");
            FreeHeightMesh(&mesh);
            return false;
        }
    }
    // every grid point stays a vertex, also when faces were dropped
    const bool saved =
        Write3DS(window, mesh.vertexCount, mesh.positions, mesh.texCoords, mesh.faceCount, mesh.faces, savedPath);
    FreeHeightMesh(&mesh);
    return saved;
}

// The 3DS limit a grid passes, or null: faces are counted first, as they always were.
static const char* GridLimitMessage(int64_t cols, int64_t rows, SolidAdditions additions)
{
    // the limits are checked before anything is allocated: a huge image never costs memory
    if (2 * (rows - 1) * (cols - 1) + additions.faces > MaxWord)
        return "Aborting, triangle count would exceed MAX_WORD. (3DS format limitation)";
    if (rows * cols + additions.vertices > MaxWord)
        return "Aborting, vertex count would exceed MAX_WORD. (3DS format limitation)";
    return nullptr;
}

// ---------------------------------------------------------------------------
// Every other mesh: 16-bit heights, the adaptive mesh, solids, split objects, other formats

static TerrainMeshRequest TerrainRequest(const GenerationParamsRecord& params, const SettingsBlockRecord& block,
                                         int32_t step, bool oneObject, bool withNormals)
{
    TerrainMeshRequest request = {};
    request.mode = block.meshMode == AdaptiveMeshMode ? TerrainAdaptive : TerrainGrid;
    request.gridStep = step;
    request.overallScale = params.overallScale;
    request.heightScale = params.heightScale;
    request.textureScale = params.textureScale;
    request.eliminateZeroHeight = params.eliminateZeroHeight != 0;
    request.withNormals = withNormals;
    request.maxFaces = block.maxFaces > 0 ? std::max<int64_t>(block.maxFaces, 12) : 0;
    request.maxErrorLevels = block.maxErrorLevels;
    if (oneObject) {
        request.maxFaces = request.maxFaces > 0 && request.maxFaces < MaxWord ? request.maxFaces : MaxWord;
        request.maxVertices = MaxWord;
        request.reserveForSolid = block.solid != 0;
    }
    return request;
}

static const char* BuildFailureMessage(TerrainMeshResult result)
{
    if (result == TerrainMeshAllEliminated)
        return "All triangles eliminated! Aborting write.";
    if (result == TerrainMeshBadInput)
        return "The heightmap must be 2 to 16384 pixels on a side.";
    return "Not enough memory to build the mesh.";
}

// What one generation makes: the surface, and the solid closed from it when asked.
struct GeneratedMesh {
    TriangleMesh surface;
    TriangleMesh closed;  // empty without a solid
    TerrainMeshFigures figures;
    bool grid;
    bool solid;
};

static const TriangleMesh& WrittenMesh(const GeneratedMesh& mesh)
{
    return mesh.solid ? mesh.closed : mesh.surface;
}

static void FreeGeneratedMesh(GeneratedMesh* mesh)
{
    FreeTriangleMesh(&mesh->closed);
    FreeTriangleMesh(&mesh->surface);
}

// Builds what the settings ask for; null, or the status text that tells why nothing was made.
static const char* BuildGeneratedMesh(const Image* image, const GenerationParamsRecord& params,
                                      const SettingsBlockRecord& block, int32_t step, bool threeDS, bool withNormals,
                                      GeneratedMesh* out)
{
    *out = GeneratedMesh{};
    out->solid = block.solid != 0;
    const bool oneObject = threeDS && !block.splitObjects;
    const TerrainMeshRequest request = TerrainRequest(params, block, step, oneObject, withNormals && !out->solid);
    out->grid = request.mode == TerrainGrid;
    if (out->grid && oneObject) {
        const int64_t cols = image->width / step, rows = image->height / step;
        const char* limit =
            GridLimitMessage(cols, rows, out->solid ? CountGridSolidAdditions(cols, rows) : SolidAdditions{});
        if (limit)
            return limit;
    }
    const TerrainMeshResult result = BuildTerrainMesh(image, request, &out->surface, &out->figures);
    if (result != TerrainMeshBuilt)
        return BuildFailureMessage(result);
    if (out->solid && !CloseSolid(out->surface, block.solidBase, &out->closed)) {
        FreeGeneratedMesh(out);
        return "The mesh cannot be closed into a solid.";
    }
    return nullptr;
}

// The grid's tiles, then the solid's walls and bottom packed into objects of their own.
static bool SplitForThreeDS(const TriangleMesh& surface, const TriangleMesh* solid, const TerrainMeshFigures& figures,
                            bool grid, TriangleMesh** objects, int64_t* count)
{
    if (!grid)
        return PackIntoObjects(solid ? *solid : surface, 0, 0, objects, count);
    if (!SplitGridMesh(surface, figures.cols, figures.rows, objects, count))
        return false;
    if (!solid)
        return true;
    TriangleMesh* closing = nullptr;
    int64_t closingCount = 0;
    TriangleMesh* all = nullptr;
    if (PackIntoObjects(*solid, surface.faceCount, *count, &closing, &closingCount))
        all = static_cast<TriangleMesh*>(malloc(static_cast<size_t>(*count + closingCount) * sizeof(TriangleMesh)));
    if (!all) {
        FreeSplitObjects(closing, closingCount);
        FreeSplitObjects(*objects, *count);
        *objects = nullptr;
        return false;
    }
    memcpy(all, *objects, static_cast<size_t>(*count) * sizeof(TriangleMesh));
    memcpy(all + *count, closing, static_cast<size_t>(closingCount) * sizeof(TriangleMesh));
    free(*objects);
    free(closing);
    *objects = all;
    *count += closingCount;
    return true;
}

// The .3ds file of the mesh: one object, or the grid's tiles and the solid's closing.
static bool AssembleThreeDS(const GeneratedMesh& mesh, bool split, uint8_t** bytes, size_t* size)
{
    if (!split)
        return AssembleObjects3DS(&WrittenMesh(mesh), 1, bytes, size);
    TriangleMesh* objects = nullptr;
    int64_t count = 0;
    if (!SplitForThreeDS(mesh.surface, mesh.solid ? &mesh.closed : nullptr, mesh.figures, mesh.grid, &objects, &count))
        return false;
    const bool assembled = AssembleObjects3DS(objects, count, bytes, size);
    FreeSplitObjects(objects, count);
    return assembled;
}

// The preview's copy of a mesh larger than it draws smoothly: the adaptive mesh of the same
// heightmap within the preview's budget, closed the same way.
static bool AssembleSimplifiedPreview(const Image* image, const GenerationParamsRecord& params,
                                      const SettingsBlockRecord& block, uint8_t** bytes, size_t* size,
                                      int64_t* shownFaces)
{
    SettingsBlockRecord simplified = block;
    simplified.meshMode = AdaptiveMeshMode;
    simplified.maxFaces = static_cast<int32_t>(PreviewFaceLimit);
    simplified.splitObjects = 1;
    GeneratedMesh mesh = {};
    if (BuildGeneratedMesh(image, params, simplified, 1, true, false, &mesh))
        return false;
    *shownFaces = WrittenMesh(mesh).faceCount;
    const bool assembled = AssembleThreeDS(mesh, true, bytes, size);
    FreeGeneratedMesh(&mesh);
    return assembled;
}

// The preview's .3ds bytes of a generated mesh: all of it in objects the reader takes, or a
// simplified copy past PreviewFaceLimit.
static bool AssemblePreview(const Image* image, const GenerationParamsRecord& params, const SettingsBlockRecord& block,
                            const GeneratedMesh& mesh, uint8_t** bytes, size_t* size, int64_t* shownFaces)
{
    const TriangleMesh& written = WrittenMesh(mesh);
    if (written.faceCount > PreviewFaceLimit)
        return AssembleSimplifiedPreview(image, params, block, bytes, size, shownFaces);
    *shownFaces = written.faceCount;
    if (written.faceCount <= MaxWord && written.vertexCount <= MaxWord)
        return AssembleObjects3DS(&written, 1, bytes, size);
    return AssembleThreeDS(mesh, true, bytes, size);
}

static bool SaveGeneratedMesh(WindowHandle window, const char* path, const GeneratedMesh& mesh, bool threeDS)
{
    if (!threeDS)
        return ExportMeshFile(window, path, WrittenMesh(mesh));
    uint8_t* bytes = nullptr;
    size_t size = 0;
    if (!AssembleThreeDS(mesh, SettingsBlock.splitObjects != 0, &bytes, &size)) {
        ReportMessage(window, "Not enough memory to write the mesh.");
        return false;
    }
    const bool saved = SaveMeshBytes(window, path, bytes, size);
    free(bytes);
    return saved;
}

static bool GenerateTerrainFile(WindowHandle window, const Image* image, int32_t step, const char* path)
{
    const bool threeDS = IsThreeDSPath(path);
    GeneratedMesh mesh = {};
    const char* failure = BuildGeneratedMesh(image, GenerationParams, SettingsBlock, step, threeDS, !threeDS, &mesh);
    if (failure) {
        ReportMessage(window, "%s", failure);
        return false;
    }
    const TriangleMesh& written = WrittenMesh(mesh);
    const bool saved = SaveGeneratedMesh(window, path, mesh, threeDS);
    // the preview cannot read other formats, and should not draw a huge mesh whole
    uint8_t* preview = nullptr;
    size_t previewSize = 0;
    int64_t shownFaces = 0;
    if (saved && (!threeDS || written.faceCount > PreviewFaceLimit) &&
        AssemblePreview(image, GenerationParams, SettingsBlock, mesh, &preview, &previewSize, &shownFaces))
        StashWrittenPreview(preview, previewSize, shownFaces, written.faceCount);
    if (saved && !mesh.grid)
        ReportMessage(window, "Adaptive mesh: %lld faces, %lld vertices, largest error %.3f levels.",
                      static_cast<long long>(written.faceCount), static_cast<long long>(written.vertexCount),
                      mesh.figures.maxErrorLevels);
    FreeGeneratedMesh(&mesh);
    return saved;
}

const char* BuildMeshPreview(const Image* image, const GenerationParamsRecord& params, const SettingsBlockRecord& block,
                             MeshPreview* out)
{
    *out = MeshPreview{};
    if (!image || image->width < 2 || image->height < 2)
        return "The image must be at least 2 pixels wide and high.";
    const int32_t step = std::max(1, std::min(params.gridStep, std::min(image->width, image->height) / 2));
    GeneratedMesh mesh = {};
    const char* failure = BuildGeneratedMesh(image, params, block, step, true, false, &mesh);
    if (failure)
        return failure;
    const TriangleMesh& written = WrittenMesh(mesh);
    out->vertexCount = written.vertexCount;
    out->faceCount = written.faceCount;
    out->adaptive = !mesh.grid;
    out->maxErrorLevels = mesh.figures.maxErrorLevels;
    const bool assembled = AssemblePreview(image, params, block, mesh, &out->bytes, &out->size, &out->shownFaces);
    FreeGeneratedMesh(&mesh);
    return assembled ? nullptr : "Not enough memory to write the mesh.";
}

bool BuildHeightMesh(WindowHandle window, const Image* image, char* savedPath)
{
    ReadPropertiesWindow(PropertiesWindow);
    if (!image)
        return false;
    // half a side of 1 pixel is a grid step of 0
    if (image->width < 2 || image->height < 2) {
        ReportMessage(window, "The image must be at least 2 pixels wide and high.");
        return false;
    }
    const bool gridMode = SettingsBlock.meshMode != AdaptiveMeshMode;
    const int32_t step = gridMode ? ClampGridStep(image->width, image->height) : 1;
    const int64_t cols = image->width / step;
    const int64_t rows = image->height / step;
    const bool plain = gridMode && !SettingsBlock.splitObjects && !SettingsBlock.solid && !image->samples;
    if (plain && !GridLimitMessage(cols, rows, SolidAdditions{}))
        return BuildPlainGrid(window, image->pixels, image->width, image->height, step, savedPath);
    // the limits depend on the format, so the file is chosen first
    char path[SavePathSize];
    if (!AskMeshSavePath(window, path, sizeof path))
        return false;
    if (!GenerateTerrainFile(window, image, step, path))
        return false;
    if (savedPath)
        memcpy(savedPath, path, sizeof path);
    return true;
}

// ---------------------------------------------------------------------------
// EliminateZeroHeightTriangles

static bool VertexIsFlat(const float* positions, uint16_t vertex)
{
    return positions[3 * static_cast<size_t>(vertex) + 2] == 0.0f;  // true for -0.0 as well
}

// Compacting in place needs no temporary array: a kept face only ever moves towards the
// front, over faces already looked at.
int32_t EliminateZeroHeightTriangles(MeshFace* faces, int32_t faceCount, const float* positions)
{
    int32_t kept = 0;
    for (int32_t i = 0; i < faceCount; ++i) {
        const MeshFace face = faces[i];
        if (VertexIsFlat(positions, face.a) && VertexIsFlat(positions, face.b) && VertexIsFlat(positions, face.c))
            continue;
        faces[kept++] = face;
    }
    return kept;
}
