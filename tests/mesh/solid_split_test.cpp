// Closed solids (every edge twice in opposite directions, outward winding, the volume of
// the heightfield over its base) and full-detail .3ds objects (the limits, the union, the
// shared borders, the bytes, assimp's reading).
#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include "mesh/solid.h"
#include "mesh/split_objects.h"
#include "tests/mesh/grid_mesh.h"
#include "tests/support/writer_example.h"

namespace {

// A rectangle 4 x 3 with extra points on every side and two inside, triangulated by hand:
// the irregular border an adaptive mesh makes.
TriangleMesh MakeIrregularSurface()
{
    static const float Points[][3] = {
        {0, 0, 1},       {1.5f, 0, 2}, {4, 0, 1.5f}, {4, 1, 3},    {4, 2.5f, 2},    {4, 3, 1},
        {2.5f, 3, 2.5f}, {1, 3, 2},    {0, 3, 1.2f}, {0, 1, 2.2f}, {1.5f, 1.5f, 4}, {3, 1.5f, 3.5f},
    };
    static const uint32_t Faces[][3] = {{0, 1, 10}, {0, 10, 9}, {1, 2, 11},  {1, 11, 10}, {2, 3, 11}, {3, 4, 11},
                                        {4, 5, 6},  {4, 6, 11}, {6, 10, 11}, {6, 7, 10},  {7, 8, 9},  {7, 9, 10}};
    TriangleMesh mesh = {};
    AllocateTriangleMesh(&mesh, 12, 12, false, false, "heightmesh");
    std::memcpy(mesh.positions, Points, sizeof Points);
    std::memcpy(mesh.faces, Faces, sizeof Faces);
    return mesh;
}

// The heightfield's volume above z = bottom, integrated over the surface's faces.
double VolumeUnder(const TriangleMesh& surface, double bottom)
{
    double volume = 0;
    for (int64_t f = 0; f < surface.faceCount; ++f) {
        const float* p[3];
        for (int k = 0; k < 3; ++k)
            p[k] = surface.positions + 3 * surface.faces[3 * f + k];
        const double area =
            0.5 * ((p[1][0] - p[0][0]) * double(p[2][1] - p[0][1]) - (p[1][1] - p[0][1]) * double(p[2][0] - p[0][0]));
        volume += area * ((p[0][2] + p[1][2] + p[2][2]) / 3.0 - bottom);
    }
    return volume;
}

// Checks the solid made from surface: counts, edges, winding and volume.
void ExpectClosedSolid(const TriangleMesh& surface, float base)
{
    TriangleMesh solid = {};
    ASSERT_TRUE(CloseSolid(surface, base, &solid));
    SolidAdditions additions;
    ASSERT_TRUE(CountSolidAdditions(surface, &additions));
    EXPECT_EQ(solid.vertexCount, surface.vertexCount + additions.vertices);
    EXPECT_EQ(solid.faceCount, surface.faceCount + additions.faces);
    EXPECT_EQ(additions.faces, 3 * additions.vertices - 2);
    std::map<std::pair<uint32_t, uint32_t>, int> edges;
    double volume = 0, lowest = INFINITY;
    for (int64_t f = 0; f < solid.faceCount; ++f) {
        const uint32_t* c = solid.faces + 3 * f;
        for (int k = 0; k < 3; ++k)
            ++edges[{c[k], c[(k + 1) % 3]}];
        const float *a = solid.positions + 3 * c[0], *b = solid.positions + 3 * c[1], *d = solid.positions + 3 * c[2];
        const double cross[3] = {double(b[1] - a[1]) * (d[2] - a[2]) - double(b[2] - a[2]) * (d[1] - a[1]),
                                 double(b[2] - a[2]) * (d[0] - a[0]) - double(b[0] - a[0]) * (d[2] - a[2]),
                                 double(b[0] - a[0]) * (d[1] - a[1]) - double(b[1] - a[1]) * (d[0] - a[0])};
        EXPECT_GT(std::hypot(cross[0], cross[1], cross[2]), 1e-9) << "face " << f << " has no area";
        volume += (a[0] * cross[0] + a[1] * cross[1] + a[2] * cross[2]) / 6.0;
    }
    for (const auto& edge : edges) {
        EXPECT_EQ(edge.second, 1) << edge.first.first << " -> " << edge.first.second;
        EXPECT_EQ(edges.count({edge.first.second, edge.first.first}), 1u) << edge.first.first << " has no twin";
    }
    for (int64_t i = 0; i < surface.vertexCount; ++i)
        lowest = std::min(lowest, double(surface.positions[3 * i + 2]));
    EXPECT_GT(volume, 0);
    EXPECT_NEAR(volume, VolumeUnder(surface, lowest - base), 1e-4 * volume);
    FreeTriangleMesh(&solid);
}

TEST(SolidTest, GridsAndAnIrregularBorderCloseIntoWatertightOutwardSolids)
{
    const int64_t sizes[][2] = {{2, 2}, {3, 7}, {16, 9}, {40, 33}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(testing::Message() << size[0] << " x " << size[1]);
        TriangleMesh grid = {};
        ASSERT_TRUE(MakeGridMesh(&grid, size[0], size[1]));
        ExpectClosedSolid(grid, 2.5f);
        SolidAdditions fromMesh, fromGrid = CountGridSolidAdditions(size[0], size[1]);
        ASSERT_TRUE(CountSolidAdditions(grid, &fromMesh));
        EXPECT_EQ(std::make_pair(fromMesh.vertices, fromMesh.faces), std::make_pair(fromGrid.vertices, fromGrid.faces));
        FreeTriangleMesh(&grid);
    }
    TriangleMesh irregular = MakeIrregularSurface();
    ExpectClosedSolid(irregular, 0.5f);
    FreeTriangleMesh(&irregular);
}

TEST(SolidTest, SurfacesThatCannotBeClosedAreRefused)
{
    TriangleMesh grid = {};
    ASSERT_TRUE(MakeGridMesh(&grid, 6, 5));
    TriangleMesh solid = {};
    EXPECT_FALSE(CloseSolid(grid, 0.0f, &solid));
    std::swap(grid.faces[0], grid.faces[1]);  // the first face turned upside down
    EXPECT_FALSE(CloseSolid(grid, 1.0f, &solid));
    std::swap(grid.faces[0], grid.faces[1]);
    grid.faceCount -= 1;  // a hole in the middle of the last row of cells would break the loop
    std::memmove(grid.faces + 3 * 20, grid.faces + 3 * 21, 3 * size_t(grid.faceCount - 20) * sizeof(uint32_t));
    EXPECT_FALSE(CloseSolid(grid, 1.0f, &solid));
    EXPECT_EQ(solid.positions, nullptr);
    FreeTriangleMesh(&grid);
}

TEST(SplitObjectsTest, TilesStayWithinTheLimitsAndCoverEveryCellOnce)
{
    const int64_t sizes[][2] = {{2, 2}, {256, 128}, {256, 256}, {257, 129}, {1000, 37}, {4096, 4096}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(testing::Message() << size[0] << " x " << size[1]);
        const int64_t count = PlanGridTiles(size[0], size[1], nullptr, 0);
        std::vector<GridTile> tiles(static_cast<size_t>(count));
        ASSERT_EQ(PlanGridTiles(size[0], size[1], tiles.data(), count), count);
        int64_t cells = 0;
        for (const GridTile& tile : tiles) {
            const int64_t w = tile.x1 - tile.x0, h = tile.y1 - tile.y0;
            EXPECT_LE((w + 1) * (h + 1), MaxObjectVertices);
            EXPECT_LE(2 * w * h, MaxObjectFaces);
            EXPECT_TRUE(tile.x0 >= 0 && tile.y0 >= 0 && tile.x1 < size[0] && tile.y1 < size[1] && w > 0 && h > 0);
            cells += w * h;
        }
        EXPECT_EQ(cells, (size[0] - 1) * (size[1] - 1));
        EXPECT_EQ(count == 1, size[0] * size[1] <= 256 * 128);
    }
}

TEST(SplitObjectsTest, ObjectsHoldTheWholeGridWithBitIdenticalSharedBordersAndAssimpReadsThemAll)
{
    TriangleMesh grid = {};
    ASSERT_TRUE(MakeGridMesh(&grid, 300, 260));
    grid.faceCount -= 1000;  // faces dropped, as height elimination does
    std::memmove(grid.faces + 3 * 5000, grid.faces + 3 * 6000, 3 * size_t(grid.faceCount - 5000) * sizeof(uint32_t));
    TriangleMesh* objects = nullptr;
    int64_t count = 0;
    ASSERT_TRUE(SplitGridMesh(grid, 300, 260, &objects, &count));
    ASSERT_GT(count, 1);
    // every object's corner, looked up by its exact bits, is a grid point
    std::map<std::tuple<float, float, float>, uint32_t> pointOf;
    for (uint32_t v = 0; v < grid.vertexCount; ++v)
        pointOf[{grid.positions[3 * v], grid.positions[3 * v + 1], grid.positions[3 * v + 2]}] = v;
    std::multiset<std::tuple<uint32_t, uint32_t, uint32_t>> faces, expected;
    for (int64_t f = 0; f < grid.faceCount; ++f)
        expected.insert({grid.faces[3 * f], grid.faces[3 * f + 1], grid.faces[3 * f + 2]});
    int64_t total = 0;
    for (int64_t i = 0; i < count; ++i) {
        const TriangleMesh& object = objects[i];
        EXPECT_STREQ(object.name, i ? ("heightmesh_" + std::to_string(i)).c_str() : "heightmesh");
        EXPECT_LE(object.vertexCount, MaxObjectVertices);
        EXPECT_LE(object.faceCount, MaxObjectFaces);
        total += object.faceCount;
        for (int64_t f = 0; f < object.faceCount; ++f) {
            uint32_t corner[3];
            for (int k = 0; k < 3; ++k) {
                const float* p = object.positions + 3 * object.faces[3 * f + k];
                const auto found = pointOf.find({p[0], p[1], p[2]});
                ASSERT_NE(found, pointOf.end());
                corner[k] = found->second;
            }
            faces.insert({corner[0], corner[1], corner[2]});
        }
    }
    EXPECT_TRUE(faces == expected);

    uint8_t* bytes = nullptr;
    size_t size = 0;
    ASSERT_TRUE(AssembleObjects3DS(objects, count, &bytes, &size));
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFileFromMemory(bytes, size, 0, "3ds");
    std::free(bytes);
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    int64_t read = 0;
    for (unsigned i = 0; i < scene->mNumMeshes; ++i)
        read += scene->mMeshes[i]->mNumFaces;
    EXPECT_EQ(read, total);
    EXPECT_EQ(total, grid.faceCount);
    FreeSplitObjects(objects, count);
    FreeTriangleMesh(&grid);
}

TEST(SplitObjectsTest, OneObjectGivesTheBytesOfTodaysWriter)
{
    // the writer's example: 2 x 2 grid points, two faces
    TriangleMesh mesh = {};
    ASSERT_TRUE(AllocateTriangleMesh(&mesh, 4, 2, true, false, "heightmesh"));
    std::memcpy(mesh.positions, WriterExampleFile + 51, 48);
    std::memcpy(mesh.texCoords, WriterExampleFile + 107, 32);
    const uint32_t faces[6] = {1, 0, 2, 3, 1, 2};
    std::memcpy(mesh.faces, faces, sizeof faces);
    uint8_t* bytes = nullptr;
    size_t size = 0;
    ASSERT_TRUE(AssembleObjects3DS(&mesh, 1, &bytes, &size));
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + size),
              std::vector<uint8_t>(WriterExampleFile, WriterExampleFile + sizeof WriterExampleFile));
    std::free(bytes);
    FreeTriangleMesh(&mesh);
}

}  // namespace
