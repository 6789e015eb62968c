// Exports, closed solids and full-detail .3ds objects: every file read back by assimp, corner
// by corner; failed writes and memory refusals reported as such; solids watertight, outward
// and of the heightfield's volume; objects within the 16-bit limits covering the grid once.
#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <tuple>

#include "mesh/export_formats.h"
#include "mesh/export_internal.h"
#include "mesh/solid.h"
#include "mesh/split_objects.h"
#include "tests/support/heightmesh_file.h"

namespace {

// cols x rows points with fractional heights and texture coordinates (text formats must print
// them exactly), two faces per cell counter-clockwise seen from above.
bool MakeGridMesh(TriangleMesh* mesh, int64_t cols, int64_t rows, bool normals = false)
{
    if (!AllocateTriangleMesh(mesh, cols * rows, 2 * (cols - 1) * (rows - 1), true, normals, "heightmesh"))
        return false;
    for (int64_t i = 0; i < cols * rows; ++i) {
        const float x = float(i % cols), y = float(i / cols);
        const float point[5] = {1.5f * x - 0.1f, 2.25f * y + 0.3f, 3 + std::sin(0.7f * x) * 2.5f + std::cos(0.45f * y),
                                x / float(cols - 1) * 0.7f, y / float(rows - 1) * 1.3f};
        std::copy(point, point + 3, mesh->positions + 3 * i);
        std::copy(point + 3, point + 5, mesh->texCoords + 2 * i);
    }
    for (int64_t f = 0, a = 0; a + cols < cols * rows; ++a) {
        const uint32_t b = uint32_t(a + 1), c = uint32_t(a + cols + 1), d = uint32_t(a + cols);
        const uint32_t cell[6] = {uint32_t(a), b, c, uint32_t(a), c, d};
        if (a % cols < cols - 1)
            std::copy(cell, cell + 6, mesh->faces + 6 * f++);
    }
    return !normals || BuildVertexNormals(mesh);
}

// The cross product of the face's edges ab and ad in double: its length is twice the area.
std::array<double, 3> FaceCross(const float* a, const float* b, const float* d)
{
    const double u[3] = {double(b[0]) - a[0], double(b[1]) - a[1], double(b[2]) - a[2]};
    const double v[3] = {double(d[0]) - a[0], double(d[1]) - a[1], double(d[2]) - a[2]};
    return {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
}

bool CollectBytes(const uint8_t* bytes, size_t size, void* context)
{
    static_cast<Bytes*>(context)->assign(bytes, bytes + size);
    return true;
}

bool RefuseBytes(const uint8_t*, size_t, void* context)
{
    ++*static_cast<int*>(context);
    return false;
}

// assimp reads back each format's file corner by corner, with what the format carries; a
// refused write and short memory are reported, and nothing else is written.
TEST(ExportTest, AssimpReadsBackEveryCornerAndFailuresAreReported)
{
    const struct {
        ExportFormat format;
        bool texCoords;  // assimp reads back the texture coordinates written
        bool normals;    // and the vertex normals (STL's are the faces')
        bool name;       // and "heightmesh" names a node or the mesh (its 3MF reader ignores names)
        float slack;     // how far a position read back may be off: assimp's OBJ reader rounds
    } formats[] = {{ExportFormatObj, true, true, true, 2e-7f}, {ExportFormatStl, false, false, false, 0},
                   {ExportFormatPly, true, true, false, 0},    {ExportFormatGlb, true, true, true, 0},
                   {ExportFormatGltf, true, true, true, 0},    {ExportFormatDae, true, true, true, 0},
                   {ExportFormatFbx, true, true, true, 0},     {ExportFormat3mf, false, false, false, 0}};
    TriangleMesh mesh = {};
    ASSERT_TRUE(MakeGridMesh(&mesh, 7, 5, true));
    // the vertex normals: the unit sum of the cross products of the faces around, weighed by area
    std::vector<double> sums(3 * mesh.vertexCount);
    for (const uint32_t* c = mesh.faces; c < mesh.faces + 3 * mesh.faceCount; c += 3) {
        const auto n = FaceCross(mesh.positions + 3 * c[0], mesh.positions + 3 * c[1], mesh.positions + 3 * c[2]);
        for (int k = 0; k < 9; ++k)
            sums[3 * c[k / 3] + k % 3] += n[k % 3];
    }
    for (int64_t i = 0; i < 3 * mesh.vertexCount; ++i) {
        const double* sum = &sums[i - i % 3];
        EXPECT_NEAR(mesh.normals[i], sums[i] / std::hypot(sum[0], sum[1], sum[2]), 1e-6) << i;
    }
    mesh.vertexCount = MaxMeshVertices + 1;  // past the limit, whatever the faces name
    EXPECT_FALSE(IsValidTriangleMesh(mesh));
    mesh.vertexCount = 7 * 5;
    for (const auto& format : formats) {
        const char* extension = GetExportFormatInfo(format.format).extension;
        SCOPED_TRACE(extension);
        Bytes bytes;
        char message[256] = "untouched";
        const ExportRequest request = {format.format, CollectBytes, &bytes, nullptr, nullptr};
        ASSERT_EQ(ExportMesh(mesh, request, message, sizeof message), ExportSaved);
        EXPECT_STREQ(message, "");
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFileFromMemory(bytes.data(), bytes.size(), 0, extension + 1);
        ASSERT_TRUE(scene && scene->mNumMeshes == 1) << importer.GetErrorString();
        const aiMesh* read = scene->mMeshes[0];
        ASSERT_EQ(int64_t(read->mNumFaces), mesh.faceCount);
        EXPECT_EQ(read->HasTextureCoords(0), format.texCoords);
        ASSERT_TRUE(read->HasNormals() || !format.normals);
        EXPECT_TRUE(scene->mRootNode->FindNode("heightmesh") || std::string(read->mName.C_Str()) == "heightmesh" ||
                    !format.name);
        std::set<std::tuple<float, float, float>> positions;
        for (unsigned f = 0; f < read->mNumFaces; ++f)
            for (int k = 0; k < 3; ++k) {
                const unsigned at = read->mFaces[f].mIndices[k];
                const size_t v = mesh.faces[3 * f + k];
                const aiVector3D& p = read->mVertices[at];
                for (int axis = 0; axis < 3; ++axis)
                    ASSERT_NEAR(p[axis], mesh.positions[3 * v + axis], format.slack * std::fabs(p[axis])) << f;
                positions.insert(std::make_tuple(p.x, p.y, p.z));
                for (int axis = 0; format.texCoords && axis < 2; ++axis)
                    EXPECT_NEAR(read->mTextureCoords[0][at][axis], mesh.texCoords[2 * v + axis], 1e-6);
                for (int axis = 0; format.normals && axis < 3; ++axis)
                    EXPECT_NEAR(read->mNormals[at][axis], mesh.normals[3 * v + axis], 1e-6);
            }
        EXPECT_EQ(int64_t(positions.size()), mesh.vertexCount);
        if (format.format == ExportFormatGltf || format.format == ExportFormatGlb) {
            // the position accessor's bounds, which readers may trust without a pass of their own
            const std::string text(bytes.begin(), bytes.end());
            float bounds[6];
            ASSERT_EQ(std::sscanf(text.c_str() + text.find("\"min\":["), "\"min\":[%g,%g,%g],\"max\":[%g,%g,%g]",
                                  bounds, bounds + 1, bounds + 2, bounds + 3, bounds + 4, bounds + 5),
                      6);
            for (int64_t i = 0; i < 3 * mesh.vertexCount; ++i)
                EXPECT_TRUE(bounds[i % 3] <= mesh.positions[i] && mesh.positions[i] <= bounds[3 + i % 3]) << i;
        }
        int writes = 0;
        const ExportRequest refused = {format.format, RefuseBytes, &writes, nullptr, nullptr};
        EXPECT_EQ(ExportMesh(mesh, refused, nullptr, 0), ExportWriteFailed);
        MeshMemoryLimit = EstimateExportMemory(format.format, mesh) - 1;
        EXPECT_EQ(ExportMesh(mesh, refused, message, sizeof message), ExportNoMemory);
        MeshMemoryLimit = 0;
        EXPECT_STREQ(message, "Not enough memory to write the mesh.");
        EXPECT_EQ(writes, 1);
    }
    FreeTriangleMesh(&mesh);
}

// Whole numbers and fractions of up to 14 binary places print exactly, other finite floats as
// text that reads back to them, the rest as 0.
TEST(ExportTest, FloatsPrintAsTextThatReadsBackExactly)
{
    std::mt19937 random(9);
    for (int round = 0; round < 30000; ++round) {
        const uint32_t bits = random();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        const bool exact = round % 3 != 0;
        if (exact)
            value = std::ldexp(float(bits % (1u << 24)), round % 3 == 1 ? 0 : -int(random() % 15));
        char text[MaxFloatText + 1] = {};
        ASSERT_LE(FormatFloat(text, value), MaxFloatText);
        if (!std::isfinite(value))
            EXPECT_STREQ(text, "0");
        else if (exact)
            ASSERT_EQ(std::strtold(text, nullptr), value) << text;
        else
            ASSERT_EQ(std::strtof(text, nullptr), value) << text;
    }
}

void RecordPercent(int percent, void* context)
{
    static_cast<std::vector<int>*>(context)->push_back(percent);
}

TEST(ExportTest, MillionFaceExportTellsRisingPercentsEndingAtHundred)
{
    TriangleMesh mesh = {};
    ASSERT_TRUE(MakeGridMesh(&mesh, 709, 709));
    ASSERT_GE(mesh.faceCount, ExportProgressMinFaces);
    Bytes bytes;
    std::vector<int> percents;
    const ExportRequest request = {ExportFormatStl, CollectBytes, &bytes, RecordPercent, &percents};
    EXPECT_EQ(ExportMesh(mesh, request, nullptr, 0), ExportSaved);
    FreeTriangleMesh(&mesh);
    ASSERT_GE(percents.size(), 3u);
    EXPECT_TRUE(percents.front() == 0 && percents.back() == 100);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end(), std::less_equal<int>()));
    EXPECT_EQ(ExportFormatForPath("/a/b.OBJ"), ExportFormatObj);
    EXPECT_EQ(ExportFormatForPath("terrain.gltf"), ExportFormatGltf);
    EXPECT_EQ(ExportFormatForPath("terrain.glb"), ExportFormatGlb);
    EXPECT_EQ(ExportFormatForPath("terrain.3ds"), ExportFormatNone);
    EXPECT_EQ(ExportFormatForPath("dir.fbx/terrain"), ExportFormatNone);
}

// Every edge of the solid is used twice in opposite directions, every face has area, and the
// faces enclose, outwards, the heightfield's volume over the bottom.
void ExpectClosedSolid(const TriangleMesh& surface, float base)
{
    TriangleMesh solid = {};
    SolidAdditions additions;
    ASSERT_TRUE(CloseSolid(surface, base, &solid) && CountSolidAdditions(surface, &additions));
    EXPECT_EQ(solid.vertexCount, surface.vertexCount + additions.vertices);
    EXPECT_EQ(solid.faceCount, surface.faceCount + 3 * additions.vertices - 2);
    EXPECT_EQ(additions.faces, 3 * additions.vertices - 2);
    std::map<std::pair<uint32_t, uint32_t>, int> edges;
    double volume = 0, expected = 0, bottom = INFINITY;
    for (int64_t i = 0; i < surface.vertexCount; ++i)
        bottom = std::min(bottom, double(surface.positions[3 * i + 2]) - base);
    for (int64_t f = 0; f < solid.faceCount; ++f) {
        const uint32_t* c = solid.faces + 3 * f;
        const float *a = solid.positions + 3 * c[0], *b = solid.positions + 3 * c[1], *d = solid.positions + 3 * c[2];
        for (int k = 0; k < 3; ++k)
            ++edges[{c[k], c[(k + 1) % 3]}];
        const std::array<double, 3> cross = FaceCross(a, b, d);
        EXPECT_GT(std::hypot(cross[0], cross[1], cross[2]), 1e-9) << "face " << f;
        volume += (a[0] * cross[0] + a[1] * cross[1] + a[2] * cross[2]) / 6;
        if (f < surface.faceCount)  // the prism under a surface face
            expected += cross[2] / 2 * ((a[2] + b[2] + d[2]) / 3.0 - bottom);
    }
    for (const auto& edge : edges)
        EXPECT_TRUE(edge.second == 1 && edges.count({edge.first.second, edge.first.first}) == 1) << edge.first.first;
    EXPECT_GT(volume, 0);
    EXPECT_NEAR(volume, expected, 1e-4 * volume);
    FreeTriangleMesh(&solid);
}

TEST(SolidTest, GridsAndAnIrregularBorderCloseIntoWatertightOutwardSolids)
{
    for (const auto& size :
         {std::make_pair(2, 2), std::make_pair(3, 7), std::make_pair(16, 9), std::make_pair(40, 33)}) {
        TriangleMesh grid = {};
        SolidAdditions additions;
        ASSERT_TRUE(MakeGridMesh(&grid, size.first, size.second) && CountSolidAdditions(grid, &additions));
        ExpectClosedSolid(grid, 2.5f);
        const SolidAdditions fromGrid = CountGridSolidAdditions(size.first, size.second);
        EXPECT_TRUE(additions.vertices == fromGrid.vertices && additions.faces == fromGrid.faces) << size.first;
        FreeTriangleMesh(&grid);
    }
    // a 4 x 3 rectangle with extra points on every side and two inside: the border an adaptive
    // mesh makes
    const float points[][3] = {{0, 0, 1},    {1.5f, 0, 2}, {4, 0, 1.5f},    {4, 1, 3},
                               {4, 2.5f, 2}, {4, 3, 1},    {2.5f, 3, 2.5f}, {1, 3, 2},
                               {0, 3, 1.2f}, {0, 1, 2.2f}, {1.5f, 1.5f, 4}, {3, 1.5f, 3.5f}};
    const uint32_t faces[][3] = {{0, 1, 10}, {0, 10, 9}, {1, 2, 11},  {1, 11, 10}, {2, 3, 11}, {3, 4, 11},
                                 {4, 5, 6},  {4, 6, 11}, {6, 10, 11}, {6, 7, 10},  {7, 8, 9},  {7, 9, 10}};
    TriangleMesh irregular = {12, (float*)points, nullptr, nullptr, 12, (uint32_t*)faces, "heightmesh"};
    ExpectClosedSolid(irregular, 0.5f);
    // a zero base, a face upside down, a hole breaking the border's loop
    TriangleMesh grid = {}, solid = {};
    ASSERT_TRUE(MakeGridMesh(&grid, 6, 5));
    EXPECT_FALSE(CloseSolid(grid, 0.0f, &solid));
    std::swap(grid.faces[0], grid.faces[1]);
    EXPECT_FALSE(CloseSolid(grid, 1.0f, &solid));
    std::swap(grid.faces[0], grid.faces[1]);
    grid.faceCount -= 1;
    std::memmove(grid.faces + 3 * 20, grid.faces + 3 * 21, 3 * size_t(grid.faceCount - 20) * sizeof(uint32_t));
    EXPECT_FALSE(CloseSolid(grid, 1.0f, &solid));
    EXPECT_EQ(solid.positions, nullptr);
    FreeTriangleMesh(&grid);
}

TEST(SplitObjectsTest, TilesStayWithinTheLimitsAndCoverEveryCellOnce)
{
    const int64_t sizes[][2] = {{2, 2}, {256, 128}, {256, 256}, {257, 129}, {1000, 37}, {4096, 4096}};
    for (const auto& size : sizes) {
        std::vector<GridTile> tiles(PlanGridTiles(size[0], size[1], nullptr, 0));
        ASSERT_EQ(PlanGridTiles(size[0], size[1], tiles.data(), tiles.size()), int64_t(tiles.size()));
        int64_t cells = 0;
        for (const GridTile& tile : tiles) {
            const int64_t w = tile.x1 - tile.x0, h = tile.y1 - tile.y0;
            EXPECT_TRUE((w + 1) * (h + 1) <= MaxObjectVertices && 2 * w * h <= MaxObjectFaces) << size[0];
            EXPECT_TRUE(tile.x0 >= 0 && tile.y0 >= 0 && tile.x1 < size[0] && tile.y1 < size[1] && w > 0 && h > 0);
            cells += w * h;
        }
        EXPECT_EQ(cells, (size[0] - 1) * (size[1] - 1));
        EXPECT_EQ(tiles.size() == 1, size[0] * size[1] <= 256 * 128) << size[0];
    }
}

TEST(SplitObjectsTest, ObjectsHoldTheWholeGridWithBitIdenticalSharedBordersAndAssimpReadsThemAll)
{
    TriangleMesh grid = {}, *objects = nullptr;
    ASSERT_TRUE(MakeGridMesh(&grid, 336, 196));  // two tiles side by side
    grid.faceCount -= 1000;                      // faces dropped, as height elimination does
    std::memmove(grid.faces + 3 * 5000, grid.faces + 3 * 6000, 3 * size_t(grid.faceCount - 5000) * sizeof(uint32_t));
    int64_t count = 0, total = 0;
    ASSERT_TRUE(SplitGridMesh(grid, 336, 196, &objects, &count));
    ASSERT_GT(count, 1);
    // every object's corner, looked up by its exact bits, is a grid point
    std::map<std::tuple<float, float, float>, uint32_t> pointOf;
    for (uint32_t v = 0; v < grid.vertexCount; ++v)
        pointOf[{grid.positions[3 * v], grid.positions[3 * v + 1], grid.positions[3 * v + 2]}] = v;
    std::multiset<std::tuple<uint32_t, uint32_t, uint32_t>> faces, expected;
    for (int64_t f = 0; f < grid.faceCount; ++f)
        expected.insert({grid.faces[3 * f], grid.faces[3 * f + 1], grid.faces[3 * f + 2]});
    for (int64_t i = 0; i < count; ++i) {
        const TriangleMesh& object = objects[i];
        EXPECT_EQ(object.name, i ? "heightmesh_" + std::to_string(i) : "heightmesh");
        EXPECT_TRUE(object.vertexCount <= MaxObjectVertices && object.faceCount <= MaxObjectFaces);
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
    EXPECT_TRUE(read == total && total == grid.faceCount);
    FreeSplitObjects(objects, count);
    FreeTriangleMesh(&grid);
}

// With one object the bytes are the writer's, as the reference lays them out.
TEST(SplitObjectsTest, OneObjectGivesTheWritersFile)
{
    HeightmeshShape shape;
    shape.width = 16;
    shape.height = 8;
    shape.red = [](int x, int y) { return x * y % 13; };
    const HeightmeshData data = SampleHeightmesh(shape);
    std::vector<uint32_t> corners;
    for (size_t i = 0; i < data.faces.size(); ++i)
        if (i % 4 < 3)
            corners.push_back(data.faces[i]);
    const TriangleMesh mesh = {128,         (float*)data.positions.data(), (float*)data.texCoords.data(),
                               nullptr,     int64_t(corners.size() / 3),   corners.data(),
                               "heightmesh"};
    uint8_t* bytes = nullptr;
    size_t size = 0;
    ASSERT_TRUE(AssembleObjects3DS(&mesh, 1, &bytes, &size));
    EXPECT_EQ(Bytes(bytes, bytes + size), HeightmeshFileBytes(data));
    std::free(bytes);
}

}  // namespace
