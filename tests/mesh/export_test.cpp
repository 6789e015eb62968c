// Exports read back by assimp, corner by corner; a failed write or a memory refusal reported
// as such; progress of a large export.
#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <tuple>
#include <unistd.h>
#include <vector>

#include "mesh/export_formats.h"
#include "tests/mesh/grid_mesh.h"

namespace {

struct FormatCase {
    ExportFormat format;
    bool texCoords;  // assimp reads back the texture coordinates written
    bool normals;    // and the vertex normals (STL's are the faces')
    bool name;       // and "heightmesh" names a node or the mesh (its 3MF reader ignores names)
    float slack;     // how far a position read back may be off: assimp's OBJ reader rounds
};

void PrintTo(const FormatCase& format, std::ostream* out)
{
    *out << GetExportFormatInfo(format.format).extension;
}

bool CollectBytes(const uint8_t* bytes, size_t size, void* context)
{
    static_cast<std::vector<uint8_t>*>(context)->assign(bytes, bytes + size);
    return true;
}

bool RefuseBytes(const uint8_t*, size_t, void* context)
{
    ++*static_cast<int*>(context);
    return false;
}

bool HasName(const aiNode* node, const aiScene* scene)
{
    if (std::string(node->mName.C_Str()) == "heightmesh")
        return true;
    for (unsigned i = 0; i < node->mNumMeshes; ++i)
        if (std::string(scene->mMeshes[node->mMeshes[i]]->mName.C_Str()) == "heightmesh")
            return true;
    for (unsigned i = 0; i < node->mNumChildren; ++i)
        if (HasName(node->mChildren[i], scene))
            return true;
    return false;
}

class ExportFormatTest : public testing::TestWithParam<FormatCase> {
protected:
    TriangleMesh mesh = {};
    void SetUp() override
    {
        ASSERT_TRUE(MakeGridMesh(&mesh, 7, 5, true));
    }
    void TearDown() override
    {
        FreeTriangleMesh(&mesh);
        MeshMemoryLimit = 0;
    }
};

TEST_P(ExportFormatTest, AssimpReadsBackEveryCornerAsWritten)
{
    const FormatCase format = GetParam();
    std::vector<uint8_t> bytes;
    ExportRequest request = {format.format, CollectBytes, &bytes, nullptr, nullptr};
    char message[256] = "untouched";
    ASSERT_EQ(ExportMesh(mesh, request, message, sizeof message), ExportSaved);
    EXPECT_STREQ(message, "");

    char path[] = "/tmp/orvanel-export-XXXXXX";
    ASSERT_NE(mkdtemp(path), nullptr);
    const std::string file = std::string(path) + "/mesh" + GetExportFormatInfo(format.format).extension;
    FILE* out = std::fopen(file.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), out), bytes.size());
    std::fclose(out);
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(file, 0);
    std::remove(file.c_str());
    rmdir(path);
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();

    ASSERT_EQ(scene->mNumMeshes, 1u);
    const aiMesh* read = scene->mMeshes[0];
    ASSERT_EQ(int64_t(read->mNumFaces), mesh.faceCount);
    EXPECT_EQ(read->HasTextureCoords(0), format.texCoords);
    ASSERT_TRUE(read->HasNormals() || !format.normals);
    EXPECT_TRUE(HasName(scene->mRootNode, scene) || !format.name);
    std::set<std::tuple<float, float, float>> positions;
    for (unsigned f = 0; f < read->mNumFaces; ++f) {
        ASSERT_EQ(read->mFaces[f].mNumIndices, 3u);
        for (int k = 0; k < 3; ++k) {
            const unsigned at = read->mFaces[f].mIndices[k];
            const size_t v = mesh.faces[3 * f + k];
            const aiVector3D& p = read->mVertices[at];
            for (int axis = 0; axis < 3; ++axis)
                ASSERT_NEAR(p[axis], mesh.positions[3 * v + axis], format.slack * std::fabs(p[axis]))
                    << "face " << f << " corner " << k;
            positions.insert(std::make_tuple(p.x, p.y, p.z));
            if (format.texCoords) {
                EXPECT_NEAR(read->mTextureCoords[0][at].x, mesh.texCoords[2 * v], 1e-6);
                EXPECT_NEAR(read->mTextureCoords[0][at].y, mesh.texCoords[2 * v + 1], 1e-6);
            }
            for (int axis = 0; format.normals && axis < 3; ++axis)
                EXPECT_NEAR(read->mNormals[at][axis], mesh.normals[3 * v + axis], 1e-6);
        }
    }
    EXPECT_EQ(int64_t(positions.size()), mesh.vertexCount);
}

TEST_P(ExportFormatTest, FailedWriteAndShortMemoryAreReportedAndNothingElseIsWritten)
{
    int writes = 0;
    ExportRequest request = {GetParam().format, RefuseBytes, &writes, nullptr, nullptr};
    EXPECT_EQ(ExportMesh(mesh, request, nullptr, 0), ExportWriteFailed);
    EXPECT_EQ(writes, 1);

    MeshMemoryLimit = EstimateExportMemory(GetParam().format, mesh) - 1;
    char message[256];
    EXPECT_EQ(ExportMesh(mesh, request, message, sizeof message), ExportNoMemory);
    EXPECT_STREQ(message, "Not enough memory to write the mesh.");
    EXPECT_EQ(writes, 1);
}

INSTANTIATE_TEST_SUITE_P(Formats, ExportFormatTest,
                         testing::Values(FormatCase{ExportFormatObj, true, true, true, 2e-7f},
                                         FormatCase{ExportFormatStl, false, false, false, 0},
                                         FormatCase{ExportFormatPly, true, true, false, 0},
                                         FormatCase{ExportFormatGlb, true, true, true, 0},
                                         FormatCase{ExportFormatGltf, true, true, true, 0},
                                         FormatCase{ExportFormatDae, true, true, true, 0},
                                         FormatCase{ExportFormatFbx, true, true, true, 0},
                                         FormatCase{ExportFormat3mf, false, false, false, 0}));

void RecordPercent(int percent, void* context)
{
    static_cast<std::vector<int>*>(context)->push_back(percent);
}

TEST(ExportProgressTest, MillionFaceExportTellsRisingPercentsEndingAtHundred)
{
    TriangleMesh mesh = {};
    ASSERT_TRUE(MakeGridMesh(&mesh, 709, 709));
    ASSERT_GE(mesh.faceCount, ExportProgressMinFaces);
    std::vector<uint8_t> bytes;
    std::vector<int> percents;
    ExportRequest request = {ExportFormatStl, CollectBytes, &bytes, RecordPercent, &percents};
    EXPECT_EQ(ExportMesh(mesh, request, nullptr, 0), ExportSaved);
    FreeTriangleMesh(&mesh);
    ASSERT_GE(percents.size(), 3u);
    EXPECT_EQ(percents.front(), 0);
    EXPECT_EQ(percents.back(), 100);
    for (size_t i = 1; i < percents.size(); ++i)
        EXPECT_GT(percents[i], percents[i - 1]);
}

TEST(ExportFormatForPathTest, ExtensionsChooseTheirFormatAnyCase)
{
    EXPECT_EQ(ExportFormatForPath("/a/b.OBJ"), ExportFormatObj);
    EXPECT_EQ(ExportFormatForPath("terrain.gltf"), ExportFormatGltf);
    EXPECT_EQ(ExportFormatForPath("terrain.glb"), ExportFormatGlb);
    EXPECT_EQ(ExportFormatForPath("terrain.3ds"), ExportFormatNone);
    EXPECT_EQ(ExportFormatForPath("dir.fbx/terrain"), ExportFormatNone);
}

}  // namespace
