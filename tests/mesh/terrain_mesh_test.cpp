// The terrain mesh against references of its own making: the 16-bit and 8-bit versions of one
// picture, the grid that every adaptive vertex must lie on, and objects that must add up to
// the mesh they were cut from.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
#include <tuple>
#include <vector>

#include "mesh/split_objects.h"
#include "mesh/terrain_mesh.h"

static Image* MakePicture(int32_t width, int32_t height, bool sixteenBit, uint32_t seed)
{
    const size_t count = static_cast<size_t>(width) * height;
    const size_t extra = sixteenBit ? count * sizeof(uint16_t) : 4 * count;
    Image* image = static_cast<Image*>(calloc(1, sizeof(Image) + extra));
    *image = Image{width, height, sixteenBit ? reinterpret_cast<uint16_t*>(image->pixels) : nullptr};
    std::mt19937 random(seed);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t red = static_cast<uint8_t>(random() % 7 == 0 ? 0 : random() % 256);
        if (sixteenBit)
            image->samples[i] = static_cast<uint16_t>(red * 257);
        else
            image->pixels[4 * i] = red;
    }
    return image;
}

static TerrainMeshRequest Request(int32_t mode, int64_t maxFaces)
{
    TerrainMeshRequest request = {};
    request.mode = mode;
    request.gridStep = 1;
    request.overallScale = 24;
    request.heightScale = 0.75;
    request.textureScale = 1;
    request.maxFaces = maxFaces;
    request.eliminateZeroHeight = maxFaces % 2 == 1;
    return request;
}

static std::tuple<float, float, float> Position(const TriangleMesh& mesh, uint32_t vertex)
{
    const float* p = mesh.positions + 3 * static_cast<size_t>(vertex);
    return std::make_tuple(p[0], p[1], p[2]);
}

// Where a vertex lies and what of the picture it shows.
static std::tuple<float, float, float, float, float> Vertex(const TriangleMesh& mesh, uint32_t vertex)
{
    const float* p = mesh.positions + 3 * static_cast<size_t>(vertex);
    const float* t = mesh.texCoords + 2 * static_cast<size_t>(vertex);
    return std::make_tuple(p[0], p[1], p[2], t[0], t[1]);
}

static int64_t FlatFaces(const TriangleMesh& mesh)
{
    int64_t flat = 0;
    for (int64_t f = 0; f < mesh.faceCount; ++f)
        flat += std::get<2>(Position(mesh, mesh.faces[3 * f])) == 0 &&
            std::get<2>(Position(mesh, mesh.faces[3 * f + 1])) == 0 &&
            std::get<2>(Position(mesh, mesh.faces[3 * f + 2])) == 0;
    return flat;
}

TEST(TerrainMeshTest, SixteenBitAndEightBitGiveOneMeshAndAdaptiveVerticesLieOnTheGrid)
{
    std::mt19937 random(7);
    for (int trial = 0; trial < 12; ++trial) {
        const int32_t width = 2 + random() % 40, height = 2 + random() % 40;
        Image* eight = MakePicture(width, height, false, trial);
        Image* sixteen = MakePicture(width, height, true, trial);
        TriangleMesh grid = {};
        TerrainMeshFigures figures = {};
        ASSERT_EQ(BuildTerrainMesh(eight, Request(TerrainGrid, 0), &grid, &figures), TerrainMeshBuilt);
        std::set<std::tuple<float, float, float, float, float>> gridPoints;
        for (int64_t v = 0; v < grid.vertexCount; ++v)
            gridPoints.insert(Vertex(grid, static_cast<uint32_t>(v)));
        for (int32_t mode : {TerrainGrid, TerrainAdaptive}) {
            const TerrainMeshRequest request = Request(mode, 1 + random() % 300);
            TriangleMesh a = {}, b = {};
            const TerrainMeshResult result = BuildTerrainMesh(eight, request, &a, &figures);
            ASSERT_EQ(BuildTerrainMesh(sixteen, request, &b, &figures), result);
            ASSERT_EQ(a.vertexCount, b.vertexCount);
            ASSERT_EQ(a.faceCount, b.faceCount);
            EXPECT_TRUE(result != TerrainMeshBuilt ||
                        (memcmp(a.positions, b.positions, 12 * a.vertexCount) == 0 &&
                         memcmp(a.faces, b.faces, 12 * a.faceCount) == 0));
            if (mode == TerrainAdaptive && result == TerrainMeshBuilt) {
                EXPECT_LE(a.faceCount, request.maxFaces);
                for (int64_t v = 0; v < a.vertexCount; ++v)
                    EXPECT_TRUE(gridPoints.count(Vertex(a, static_cast<uint32_t>(v)))) << v;
            }
            if (mode == TerrainGrid && result == TerrainMeshBuilt && request.eliminateZeroHeight) {
                EXPECT_EQ(a.faceCount, grid.faceCount - FlatFaces(grid));  // every flat face, and only those
            }
            FreeTriangleMesh(&a);
            FreeTriangleMesh(&b);
        }
        FreeTriangleMesh(&grid);
        FreeImage(eight);
        FreeImage(sixteen);
    }
}

TEST(TerrainMeshTest, PackedObjectsStayWithinTheLimitsAndHoldEveryFaceInOrder)
{
    Image* picture = MakePicture(260, 300, true, 3);
    TriangleMesh mesh = {};
    TerrainMeshFigures figures = {};
    ASSERT_EQ(BuildTerrainMesh(picture, Request(TerrainGrid, 0), &mesh, &figures), TerrainMeshBuilt);
    for (int64_t first : {int64_t(0), int64_t(1000)}) {
        TriangleMesh* objects = nullptr;
        int64_t count = 0;
        ASSERT_TRUE(PackIntoObjects(mesh, first, 4, &objects, &count));
        int64_t face = first;
        for (int64_t i = 0; i < count; ++i) {
            const TriangleMesh& object = objects[i];
            EXPECT_STREQ(object.name, ("heightmesh_" + std::to_string(4 + i)).c_str());
            EXPECT_LE(object.vertexCount, MaxObjectVertices);
            EXPECT_LE(object.faceCount, MaxObjectFaces);
            for (int64_t f = 0; f < object.faceCount; ++f, ++face)
                for (int k = 0; k < 3; ++k)
                    ASSERT_EQ(Position(object, object.faces[3 * f + k]), Position(mesh, mesh.faces[3 * face + k]));
        }
        EXPECT_EQ(face, mesh.faceCount);
        EXPECT_GE(count, (mesh.faceCount - first) / MaxObjectFaces + 1);
        FreeSplitObjects(objects, count);
    }
    TriangleMesh* objects = nullptr;
    int64_t count = 0;
    EXPECT_FALSE(PackIntoObjects(mesh, mesh.faceCount, 0, &objects, &count));  // no face to pack
    EXPECT_TRUE(objects == nullptr && count == 0);
    MeshMemoryLimit = 1;  // no object can be allocated
    EXPECT_FALSE(PackIntoObjects(mesh, 0, 0, &objects, &count));
    EXPECT_TRUE(objects == nullptr && count == 0);
    MeshMemoryLimit = 0;
    FreeTriangleMesh(&mesh);
    FreeImage(picture);
}

// Memory is checked before the mesh is built; sides out of range, a budget too small to start
// from and a picture all at height 0 with elimination make nothing.
TEST(TerrainMeshTest, MemoryIsCheckedFirstAndBadRequestsMakeNothing)
{
    Image* picture = MakePicture(64, 64, false, 1);
    TriangleMesh mesh = {};
    TerrainMeshFigures figures = {};
    for (uint64_t spare : {0, 1}) {
        MeshMemoryLimit = EstimateTerrainMeshMemory(64, 64, Request(TerrainGrid, 0)) + spare - 1;
        EXPECT_EQ(BuildTerrainMesh(picture, Request(TerrainGrid, 0), &mesh, &figures),
                  spare ? TerrainMeshBuilt : TerrainMeshNoMemory);
        EXPECT_EQ(mesh.positions != nullptr, spare == 1);
        FreeTriangleMesh(&mesh);
    }
    MeshMemoryLimit = 0;
    EXPECT_EQ(BuildTerrainMesh(picture, Request(TerrainAdaptive, 11), &mesh, &figures), TerrainMeshBadInput);
    memset(picture->pixels, 0, 4 * 64 * 64);
    TerrainMeshRequest flat = Request(TerrainGrid, 1);
    EXPECT_EQ(BuildTerrainMesh(picture, flat, &mesh, &figures), TerrainMeshAllEliminated);
    flat.eliminateZeroHeight = false;
    EXPECT_EQ(BuildTerrainMesh(picture, flat, &mesh, &figures), TerrainMeshBuilt);
    FreeTriangleMesh(&mesh);
    FreeImage(picture);
    for (auto sides : {std::make_pair(1, 5), {5, 1}, {16385, 2}, {2, 16385}}) {
        Image* odd = MakePicture(sides.first, sides.second, false, 2);
        EXPECT_EQ(BuildTerrainMesh(odd, Request(TerrainGrid, 0), &mesh, &figures), TerrainMeshBadInput);
        FreeImage(odd);
    }
    EXPECT_EQ(BuildTerrainMesh(nullptr, Request(TerrainGrid, 0), &mesh, &figures), TerrainMeshBadInput);
}
