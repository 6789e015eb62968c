// The mesh suite's shared pieces (see mesh_test_support.h).
#include "tests/mesh/mesh_test_support.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <sys/stat.h>
#include <tuple>

#include "image/image_load.h"
#include "mesh/height_mesh.h"
#include "mesh/mesh_alloc.h"
#include "model/model_store.h"
#include "settings/properties_window.h"
#include "settings/settings.h"

uint32_t FloatBits(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path)
{
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

// ---------------------------------------------------------------------------
// Decoding the written file: every offset and length is the one the layout fixes.

namespace {

struct ByteReader {
    const std::vector<uint8_t>& bytes;
    bool ok = true;

    uint32_t Read(size_t offset, size_t width)
    {
        if (offset > bytes.size() || width > bytes.size() - offset) {
            ok = false;
            return 0;
        }
        uint32_t value = 0;
        for (size_t i = 0; i < width; ++i)
            value |= static_cast<uint32_t>(bytes[offset + i]) << (8 * i);
        return value;
    }
    uint32_t U16(size_t offset)
    {
        return Read(offset, 2);
    }
    uint32_t U32(size_t offset)
    {
        return Read(offset, 4);
    }
};

}  // namespace

WrittenMesh DecodeWrittenMesh(const std::vector<uint8_t>& bytes)
{
    WrittenMesh mesh;
    ByteReader in{bytes};
    const uint32_t size = static_cast<uint32_t>(bytes.size());
    auto chunk = [&](size_t offset, uint32_t id, uint32_t length) {
        EXPECT_EQ(in.U16(offset), id) << "chunk id at " << offset;
        EXPECT_EQ(in.U32(offset + 2), length) << "chunk length at " << offset;
        mesh.lengths.push_back(in.U32(offset + 2));
        return in.U16(offset) == id && in.U32(offset + 2) == length;
    };
    bool ok = chunk(0, 0x4D4D, size) && chunk(6, 0x0002, 8) && in.U16(12) == 3 && chunk(14, 0x3D3D, size - 14) &&
        chunk(20, 0x4000, size - 20) && chunk(37, 0x4100, size - 37);
    ok = ok && bytes.size() >= 37 && std::memcmp(bytes.data() + 26, "heightmesh", 11) == 0;
    if (!ok || !in.ok) {
        ADD_FAILURE() << "the file does not open as Main, Version, Editor, Object \"heightmesh\", TriMesh";
        return mesh;
    }
    const uint32_t n = in.U16(49);
    const size_t texAt = 51 + 12 * static_cast<size_t>(n);
    const size_t faceAt = 59 + 20 * static_cast<size_t>(n);
    ok = chunk(43, 0x4110, 12 * n + 8) && chunk(texAt, 0x4140, 8 * n + 8) && in.U16(texAt + 6) == n;
    const uint32_t f = in.U16(faceAt + 6);
    ok = ok && chunk(faceAt, 0x4120, 8 * f + 8) && size == 67 + 20 * n + 8 * f && in.ok;
    if (!ok) {
        ADD_FAILURE() << "the lists or the file length do not match the counts";
        return mesh;
    }
    for (uint32_t i = 0; i < 3 * n; ++i)
        mesh.positions.push_back(in.U32(51 + 4 * i));
    for (uint32_t i = 0; i < 2 * n; ++i)
        mesh.texCoords.push_back(in.U32(texAt + 8 + 4 * i));
    for (uint32_t i = 0; i < f; ++i) {
        const size_t at = faceAt + 8 + 8 * i;
        mesh.faces.push_back(MeshFace{static_cast<uint16_t>(in.U16(at)), static_cast<uint16_t>(in.U16(at + 2)),
                                      static_cast<uint16_t>(in.U16(at + 4)), static_cast<uint16_t>(in.U16(at + 6))});
    }
    mesh.valid = in.ok;
    return mesh;
}

ExpectedMesh ComputeExpectedMesh(int width, int height, const RedFunction& red, const MeshSettings& settings)
{
    int step = 1 << (settings.fuzz - 1);
    if (step > width / 2)
        step = width / 2;
    if (step > height / 2)
        step = height / 2;
    const float textureScale = static_cast<float>(settings.stretch) * 0.0078125f;
    const float heightScale = static_cast<float>(settings.height) * 0.00390625f;
    const float overallScale = static_cast<float>(settings.scale);
    const int cols = width / step;
    const int rows = height / step;
    ExpectedMesh mesh;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            const int x = c * step;
            const int y = r * step;
            mesh.positions.push_back(FloatBits(static_cast<float>(x - width / 2) * overallScale));
            mesh.positions.push_back(FloatBits(-(static_cast<float>(y - height / 2) * overallScale)));
            mesh.positions.push_back(FloatBits(static_cast<float>(red(x, y)) * heightScale));
            mesh.texCoords.push_back(FloatBits(static_cast<float>(x) / static_cast<float>(width) * textureScale));
            mesh.texCoords.push_back(FloatBits(static_cast<float>(y) / static_cast<float>(height) * textureScale));
        }
    for (int r = 0; r + 1 < rows; ++r)
        for (int c = 0; c + 1 < cols; ++c) {
            const int v = r * cols + c;
            mesh.faces.push_back(
                MeshFace{static_cast<uint16_t>(v + 1), static_cast<uint16_t>(v), static_cast<uint16_t>(v + cols), 0});
            mesh.faces.push_back(MeshFace{static_cast<uint16_t>(v + cols + 1), static_cast<uint16_t>(v + 1),
                                          static_cast<uint16_t>(v + cols), 0});
        }
    return mesh;
}

// ---------------------------------------------------------------------------
// assimp

static float BitsFloat(uint32_t bits)
{
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void ExpectAssimpReadsMesh(const std::string& path, const std::vector<uint32_t>& positions,
                           const std::vector<MeshFace>& faces)
{
    Assimp::Importer importer;
    // without normals, corners at one position join into one vertex again
    importer.SetPropertyInteger(AI_CONFIG_PP_RVC_FLAGS,
                                aiComponent_NORMALS | aiComponent_TANGENTS_AND_BITANGENTS | aiComponent_TEXCOORDS |
                                    aiComponent_COLORS);
    const aiScene* scene = importer.ReadFile(path, aiProcess_RemoveComponent | aiProcess_JoinIdenticalVertices);
    ASSERT_NE(scene, nullptr) << "assimp: " << importer.GetErrorString();
    ASSERT_EQ(scene->mNumMeshes, 1u);
    const aiMesh* mesh = scene->mMeshes[0];
    ASSERT_EQ(mesh->mNumFaces, faces.size());
    std::set<uint16_t> used;
    for (unsigned i = 0; i < mesh->mNumFaces; ++i) {
        ASSERT_EQ(mesh->mFaces[i].mNumIndices, 3u);
        const uint16_t corners[3] = {faces[i].a, faces[i].b, faces[i].c};
        for (int k = 0; k < 3; ++k) {
            used.insert(corners[k]);
            const aiVector3D& p = mesh->mVertices[mesh->mFaces[i].mIndices[k]];
            const size_t at = 3 * static_cast<size_t>(corners[k]);
            ASSERT_LT(at + 2, positions.size());
            ASSERT_EQ(
                std::make_tuple(p.x, p.y, p.z),
                std::make_tuple(BitsFloat(positions[at]), BitsFloat(positions[at + 1]), BitsFloat(positions[at + 2])))
                << "face " << i << " corner " << k;
        }
    }
    EXPECT_EQ(mesh->mNumVertices, used.size());
}

// ---------------------------------------------------------------------------
// The fixture

void MeshTest::SetUp()
{
    MainWindowTest::SetUp();
    MeshAllocationsBeforeFailure = -1;
    StartWindow();
}

void MeshTest::TearDown()
{
    MeshAllocationsBeforeFailure = -1;
    ReleaseAllModels();
    CurrentModelInstance = nullptr;
    FreeImage(HeightmapImage);
    HeightmapImage = nullptr;
    MainWindowTest::TearDown();
}

void MeshTest::StartWindow()
{
    StartMainWindow();
    EnsureGLContext();
    if (!PropertiesWindow) {
        SetDefaultSettings();
        PropertiesWindow = CreatePropertiesWindow(Window());
    }
    properties = PropertiesWindow;
    ASSERT_NE(properties, nullptr);
}

void MeshTest::SetHeightmap(int width, int height, const RedFunction& red)
{
    FreeImage(HeightmapImage);
    const size_t pixelBytes = 4 * static_cast<size_t>(width) * static_cast<size_t>(height);
    Image* image = static_cast<Image*>(std::calloc(1, sizeof(Image) + pixelBytes));
    ASSERT_NE(image, nullptr);
    image->width = width;
    image->height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* pixel = image->pixels + 4 * (static_cast<size_t>(y) * width + x);
            pixel[0] = red(x, y);
            pixel[1] = static_cast<uint8_t>(x * 37 + y * 11 + 5);
            pixel[2] = static_cast<uint8_t>(x * 3 + y * 101 + 77);
            pixel[3] = 255;
        }
    HeightmapImage = image;
}

void MeshTest::ApplySettings(const MeshSettings& settings)
{
    HeadlessMoveTrackbar(properties, 1005, settings.stretch);
    HeadlessMoveTrackbar(properties, 1006, settings.fuzz);
    HeadlessMoveTrackbar(properties, 1007, settings.height);
    HeadlessMoveTrackbar(properties, 1008, settings.scale);
    SetCheckState(properties, 1012, settings.eliminate);
}

void MeshTest::GenerateTo(const std::string& path)
{
    QueueFileDialogAnswer(path.c_str());
    OnGenerate();
}

int MeshTest::SaveDialogCount() const
{
    int count = 0;
    for (const HeadlessDialogCall& call : HeadlessDialogCalls())
        count += call.kind == HeadlessSaveFileDialog;
    return count;
}

WrittenMesh MeshTest::GenerateAndCheck(const std::string& path, int width, int height, const RedFunction& red,
                                       const MeshSettings& settings)
{
    SetHeightmap(width, height, red);
    ApplySettings(settings);
    GenerateTo(path);
    EXPECT_EQ(StatusLine(), "Successfully saved '" + path + "'.");
    WrittenMesh written = DecodeWrittenMesh(ReadFileBytes(path));
    EXPECT_TRUE(written.valid);
    ExpectedMesh expected = ComputeExpectedMesh(width, height, red, settings);
    EXPECT_EQ(written.positions, expected.positions);
    EXPECT_EQ(written.texCoords, expected.texCoords);
    if (written.valid)
        ExpectAssimpReadsMesh(path, written.positions, written.faces);
    return written;
}
