// The written file: the exact bytes of the example, the chunk lengths, the Save As dialog,
// and the preview's model after each save.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "image/image_load.h"
#include "mesh/height_mesh.h"
#include "mesh/write3ds.h"
#include "model/model_store.h"
#include "settings/settings.h"
#include "tests/mesh/mesh_test_support.h"
#include "tests/support/writer_example.h"

namespace {

// Pixels (0, 0), (2, 0), (0, 2), (2, 2) carry red 10, 20, 30, 40; the rest is noise the
// step-2 grid never samples.
uint8_t ExampleRed(int x, int y)
{
    if (x % 2 == 0 && y % 2 == 0)
        return static_cast<uint8_t>(10 + 5 * x + 10 * y);
    return static_cast<uint8_t>(100 + x + 4 * y);
}

MeshSettings ExampleSettings()
{
    MeshSettings settings;
    settings.fuzz = 6;
    return settings;
}

using Write3DSTest = MeshTest;

TEST_F(Write3DSTest, ExampleHeightmapGivesTheWriterExampleFileByteForByte)
{
    const std::string path = PathInExeDir("example.3ds");
    WrittenMesh mesh = GenerateAndCheck(path, 4, 4, ExampleRed, ExampleSettings());
    EXPECT_EQ(ReadFileBytes(path),
              std::vector<uint8_t>(WriterExampleFile, WriterExampleFile + sizeof WriterExampleFile));
    EXPECT_EQ(mesh.lengths, (std::vector<uint32_t>{163, 8, 149, 143, 126, 56, 40, 24}));
}

TEST_F(Write3DSTest, SaveAsDialogIsAskedForOnceWithTheFilterAndOverwritePrompt)
{
    SetHeightmap(4, 4, ExampleRed);
    ApplySettings(ExampleSettings());
    ClearHeadlessDialogCalls();
    GenerateTo(PathInExeDir("dialog.3ds"));
    ASSERT_EQ(HeadlessDialogCalls().size(), 1u);
    const HeadlessDialogCall& call = HeadlessDialogCalls()[0];
    EXPECT_EQ(call.kind, HeadlessSaveFileDialog);
    EXPECT_EQ(call.owner, Window());
    EXPECT_EQ(call.filter, "3DS Files (*.3ds)|*.3ds|All Files (*.*)|*.*||");
    EXPECT_EQ(call.defaultExtension, ".3ds");
    EXPECT_EQ(call.flags, FileDialogOverwritePrompt);
    EXPECT_TRUE(call.confirmed);
}

// Each save replaces the preview with the file read back; only the new model is held, the
// old one was released with its file.
TEST_F(Write3DSTest, WrittenFileBecomesThePreviewModelEachTime)
{
    EXPECT_EQ(CurrentModelInstance, nullptr);
    const std::string path = PathInExeDir("preview.3ds");
    const struct {
        int width, height, vertices, faces;
    } saves[] = {{8, 4, 32, 2 * 7 * 3}, {8, 8, 64, 98}};
    for (const auto& save : saves) {
        GenerateAndCheck(
            path, save.width, save.height, [](int x, int y) { return static_cast<uint8_t>(x + y); }, MeshSettings{});
        ASSERT_NE(CurrentModelInstance, nullptr);
        EXPECT_STREQ(CurrentModelInstance->path, path.c_str());
        Model* model = GetInstanceModel(CurrentModelInstance);
        ASSERT_NE(model, nullptr);
        Surface* surface = FindSurfaceByName("heightmesh", model);
        ASSERT_NE(surface, nullptr);
        EXPECT_EQ(surface->vertexCount, save.vertices);
        EXPECT_EQ(surface->faceCount, save.faces);
        EXPECT_EQ(surface->next, nullptr);
        EXPECT_NE(SurfaceTexCoordPairs(surface), nullptr);
        int used = 0;
        for (const ModelSlot& slot : ModelSlots)
            used += slot.used;
        EXPECT_EQ(used, 1);
    }
}

TEST_F(Write3DSTest, CancelLeavesThePreviewModelAndStatusLine)
{
    GenerateAndCheck(PathInExeDir("kept.3ds"), 4, 4, ExampleRed, MeshSettings{});
    ModelInstance* before = CurrentModelInstance;
    ASSERT_NE(before, nullptr);
    Model* model = GetInstanceModel(before);
    const std::string status = StatusLine();
    QueueFileDialogAnswer(nullptr);
    OnGenerate();
    EXPECT_EQ(SaveDialogCount(), 2);
    EXPECT_EQ(CurrentModelInstance, before);
    EXPECT_EQ(GetInstanceModel(CurrentModelInstance), model);
    EXPECT_EQ(StatusLine(), status);
    EXPECT_EQ(OutputBuffer.bytes, nullptr);
    EXPECT_EQ(OutputBuffer.used, 0);
}

TEST_F(Write3DSTest, FacesAreWrittenAsGivenFlagsIncluded)
{
    const float positions[] = {1.5f, -2.25f, 3.0f, -0.0f, 0.0f, 1e-30f, 65504.0f, -1e30f, 7.0f};
    const float texCoords[] = {0.0f, 1.0f, 0.25f, -0.0f, 3.5f, 0.125f};
    const MeshFace faces[] = {{0, 1, 2, 0x0007}, {2, 1, 0, 0xABCD}};
    const std::string path = PathInExeDir("direct.3ds");
    QueueFileDialogAnswer(path.c_str());
    char saved[SavePathSize];
    ASSERT_TRUE(Write3DS(Window(), 3, positions, texCoords, 2, faces, saved));
    EXPECT_EQ(saved, path);
    EXPECT_EQ(StatusLine(), "Successfully saved '" + path + "'.");
    WrittenMesh mesh = DecodeWrittenMesh(ReadFileBytes(path));
    ASSERT_TRUE(mesh.valid);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(mesh.positions[i], FloatBits(positions[i])) << i;
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(mesh.texCoords[i], FloatBits(texCoords[i])) << i;
    EXPECT_EQ(mesh.faces, (std::vector<MeshFace>{faces[0], faces[1]}));
    EXPECT_EQ(mesh.lengths, (std::vector<uint32_t>{67 + 60 + 16, 8, 129, 123, 106, 44, 32, 24}));
    ExpectAssimpReadsMesh(path, mesh.positions, mesh.faces);
}

TEST_F(Write3DSTest, CountsThe16BitFieldsCannotHoldAreNeverWritten)
{
    const float positions[3] = {};
    const MeshFace face = {0, 0, 0, 0};
    QueueFileDialogAnswer(PathInExeDir("huge.3ds").c_str());
    EXPECT_FALSE(Write3DS(Window(), 65536, positions, positions, 1, &face, nullptr));
    EXPECT_FALSE(Write3DS(Window(), 1, positions, positions, -1, &face, nullptr));
    EXPECT_EQ(SaveDialogCount(), 0);
    EXPECT_FALSE(FileExists(PathInExeDir("huge.3ds")));
}

TEST(AppendOutputBytes, GrowsToUsedPlusCountPlusOneWhenTheBlockIsReached)
{
    ASSERT_EQ(OutputBuffer.bytes, nullptr);
    const uint8_t data[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    EXPECT_TRUE(AppendOutputBytes(data, 4));
    EXPECT_EQ(OutputBuffer.capacity, 5);
    EXPECT_TRUE(AppendOutputBytes(data + 4, 0));
    EXPECT_EQ(OutputBuffer.capacity, 5);  // 4 + 0 is below 5
    EXPECT_TRUE(AppendOutputBytes(data + 4, 1));
    EXPECT_EQ(OutputBuffer.capacity, 6);  // 4 + 1 reached 5
    EXPECT_TRUE(AppendOutputBytes(data + 5, 5));
    EXPECT_EQ(OutputBuffer.used, 10);
    EXPECT_EQ(OutputBuffer.capacity, 11);
    EXPECT_EQ(std::memcmp(OutputBuffer.bytes, data, 10), 0);
    EXPECT_FALSE(AppendOutputBytes(data, -1));
    EXPECT_FALSE(AppendOutputBytes(data, INT32_MAX));
    EXPECT_EQ(OutputBuffer.used, 10);
    std::free(OutputBuffer.bytes);
    OutputBuffer = OutputBufferRecord{nullptr, 0, 0};
}

}  // namespace
