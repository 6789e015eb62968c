// Heightmap to mesh: grid sampling, the 16-bit limits of the 3DS format and the
// elimination of flat faces.
//
// Contents: the mesh arrays; sampling; faces; BuildHeightMesh; EliminateZeroHeightTriangles.
#include "mesh/height_mesh.h"

#include "image/report_message.h"
#include "mesh/mesh_alloc.h"
#include "mesh/write3ds.h"
#include "platform/shell.h"
#include "settings/settings.h"

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

bool BuildHeightMesh(WindowHandle window, const uint8_t* pixels, int32_t width, int32_t height, char* savedPath)
{
    ReadPropertiesWindow(PropertiesWindow);
    if (!pixels)
        return false;
    // half a side of 1 pixel is a grid step of 0
    if (width < 2 || height < 2) {
        ReportMessage(window, "The image must be at least 2 pixels wide and high.");
        return false;
    }

    HeightMesh mesh = {};
    mesh.step = ClampGridStep(width, height);
    const int64_t cols = width / mesh.step;
    const int64_t rows = height / mesh.step;
    // the limits are checked before anything is allocated: a huge image never costs memory
    if (2 * (rows - 1) * (cols - 1) > MaxWord) {
        ReportMessage(window, "Aborting, triangle count would exceed MAX_WORD. (3DS format limitation)");
        return false;
    }
    if (rows * cols > MaxWord) {
        ReportMessage(window, "Aborting, vertex count would exceed MAX_WORD. (3DS format limitation)");
        return false;
    }
    mesh.cols = static_cast<int32_t>(cols);
    mesh.rows = static_cast<int32_t>(rows);
    mesh.vertexCount = static_cast<int32_t>(rows * cols);
    mesh.faceCount = static_cast<int32_t>(2 * (rows - 1) * (cols - 1));

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
