// Sampling the heightmap: positions, texture coordinates, face order, the grid step, the
// 16-bit limits and the elimination of flat faces.
#include <cmath>
#include <cstring>
#include <limits>

#include "image/image_load.h"
#include "mesh/height_mesh.h"
#include "model/model_store.h"
#include "settings/settings.h"
#include "tests/mesh/mesh_test_support.h"

namespace {

uint8_t Ramp(int x, int y)
{
    return static_cast<uint8_t>(1 + (x * 31 + y * 17) % 250);
}

const char TriangleLimitMessage[] = "Aborting, triangle count would exceed MAX_WORD. (3DS format limitation)";
const char VertexLimitMessage[] = "Aborting, vertex count would exceed MAX_WORD. (3DS format limitation)";

class HeightMeshTest : public MeshTest {};

TEST_F(HeightMeshTest, FourByFourAtStepOneGivesSixteenVerticesAndFacesInCellOrder)
{
    StartWindow();
    WrittenMesh mesh = GenerateAndCheck(PathInExeDir("grid.3ds"), 4, 4, Ramp, MeshSettings{});
    ASSERT_EQ(mesh.vertexCount(), 16);
    ASSERT_EQ(mesh.faceCount(), 18);
    EXPECT_EQ(mesh.faces[0], (MeshFace{1, 0, 4, 0}));
    EXPECT_EQ(mesh.faces[1], (MeshFace{5, 1, 4, 0}));
    EXPECT_EQ(mesh.faces[2], (MeshFace{2, 1, 5, 0}));
    EXPECT_EQ(mesh.faces[6], (MeshFace{5, 4, 8, 0}));
    EXPECT_EQ(mesh.faces[16], (MeshFace{11, 10, 14, 0}));
    EXPECT_EQ(mesh.faces[17], (MeshFace{15, 11, 14, 0}));
    EXPECT_EQ(GenerationParams.gridStep, 1);
}

TEST_F(HeightMeshTest, PositionsAreCentredAndTheMiddleRowIsNegativeZero)
{
    StartWindow();
    WrittenMesh mesh = GenerateAndCheck(PathInExeDir("centre.3ds"), 4, 4, Ramp, MeshSettings{});
    ASSERT_EQ(mesh.vertexCount(), 16);
    EXPECT_EQ(mesh.positions[0], FloatBits(-48.0f));
    EXPECT_EQ(mesh.positions[1], FloatBits(48.0f));
    EXPECT_EQ(mesh.positions[15], FloatBits(-24.0f));
    EXPECT_EQ(mesh.positions[16], FloatBits(24.0f));
    EXPECT_EQ(mesh.positions[30], FloatBits(0.0f));
    EXPECT_EQ(mesh.positions[31], FloatBits(-0.0f));
    EXPECT_EQ(mesh.positions[31], 0x80000000u);
    // the top of the picture lies towards +Y, the last row one step short of the bottom
    EXPECT_EQ(mesh.positions[3 * 12 + 1], FloatBits(-24.0f));
}

TEST_F(HeightMeshTest, HeightIsRedTimesHeightScaleWhateverGreenAndBlue)
{
    StartWindow();
    MeshSettings settings;
    settings.height = 128;  // 0.5
    WrittenMesh mesh = GenerateAndCheck(PathInExeDir("height.3ds"), 4, 4,
                                        [](int x, int y) { return static_cast<uint8_t>(x == 1 && y == 2 ? 200 : 3); },
                                        settings);
    ASSERT_EQ(mesh.vertexCount(), 16);
    EXPECT_EQ(mesh.positions[3 * 9 + 2], FloatBits(100.0f));
    EXPECT_EQ(mesh.positions[2], FloatBits(1.5f));
}

TEST_F(HeightMeshTest, TextureCoordinatesStopOneStepShortOfTheScale)
{
    StartWindow();
    MeshSettings settings;
    settings.stretch = 256;  // 2.0
    WrittenMesh mesh = GenerateAndCheck(PathInExeDir("uv.3ds"), 4, 4, Ramp, settings);
    ASSERT_EQ(mesh.vertexCount(), 16);
    const float along[4] = {0.0f, 0.5f, 1.0f, 1.5f};
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(mesh.texcoords[2 * c], FloatBits(along[c])) << c;
        EXPECT_EQ(mesh.texcoords[2 * (4 * c)], FloatBits(0.0f)) << c;
        EXPECT_EQ(mesh.texcoords[2 * (4 * c) + 1], FloatBits(along[c])) << c;
    }
}

TEST_F(HeightMeshTest, GridStepIsClampedToHalfOfEachSideAndStoredBack)
{
    StartWindow();
    MeshSettings settings;
    settings.fuzz = 6;  // step 32
    WrittenMesh mesh = GenerateAndCheck(PathInExeDir("clamped.3ds"), 4, 4, Ramp, settings);
    EXPECT_EQ(GenerationParams.gridStep, 2);
    ASSERT_EQ(mesh.vertexCount(), 4);
    ASSERT_EQ(mesh.faceCount(), 2);
    EXPECT_EQ(mesh.faces[0], (MeshFace{1, 0, 2, 0}));
    EXPECT_EQ(mesh.faces[1], (MeshFace{3, 1, 2, 0}));
    EXPECT_EQ(mesh.positions[3 * 3 + 2], FloatBits(static_cast<float>(Ramp(2, 2))));

    // the narrower side decides: 32 x 8 at step 32 samples every 4 pixels
    GenerateAndCheck(PathInExeDir("wide.3ds"), 32, 8, Ramp, settings);
    EXPECT_EQ(GenerationParams.gridStep, 4);
}

TEST_F(HeightMeshTest, RandomSettingsGiveTheFloatProductsBitForBit)
{
    StartWindow();
    srand(7);
    for (int round = 0; round < 6; ++round) {
        MeshSettings settings;
        settings.stretch = 1 + rand() % 1024;
        settings.fuzz = 1 + rand() % 3;
        settings.height = 1 + rand() % 4096;
        settings.scale = 4 + rand() % 1021;
        const int width = 2 << (rand() % 5);
        const int height = 2 << (rand() % 5);
        WrittenMesh mesh = GenerateAndCheck(PathInExeDir("random" + std::to_string(round) + ".3ds"), width, height,
                                            Ramp, settings);
        const ExpectedMesh expected = ComputeExpectedMesh(width, height, Ramp, settings);
        EXPECT_EQ(mesh.faces, expected.faces) << width << " x " << height;
        EXPECT_EQ(ReadFileBytes(PathInExeDir("random" + std::to_string(round) + ".3ds")).size(),
                  67 + 20 * expected.positions.size() / 3 + 8 * expected.faces.size());
    }
}

TEST_F(HeightMeshTest, PropertiesWindowIsReadBeforeSamplingAndSaved)
{
    StartWindow();
    GenerationParams.overallScale = 999.0f;
    GenerationParams.gridStep = 64;
    MeshSettings settings;
    settings.scale = 100;
    settings.fuzz = 2;
    GenerateAndCheck(PathInExeDir("read.3ds"), 8, 8, Ramp, settings);
    EXPECT_EQ(GenerationParams.overallScale, 100.0f);
    EXPECT_EQ(GenerationParams.gridStep, 2);
    EXPECT_EQ(ReadFileBytes(exeDir + "/orvanel.cfg").size(), 2084u);
}

TEST_F(HeightMeshTest, WithoutPropertiesWindowTheParamsAreUsedAsTheyAre)
{
    StartWindow();
    dialog->propertiesWindow = nullptr;
    GenerationParams = GenerationParamsRecord{2.0f, 1, 0.5f, 10.0f, 0};
    SetHeightmap(2, 2, [](int, int) { return static_cast<uint8_t>(8); });
    GenerateTo(PathInExeDir("params.3ds"));
    dialog->propertiesWindow = properties;
    WrittenMesh mesh = DecodeWrittenMesh(ReadFileBytes(PathInExeDir("params.3ds")));
    ASSERT_TRUE(mesh.valid);
    ASSERT_EQ(mesh.vertexCount(), 4);
    EXPECT_EQ(mesh.positions[0], FloatBits(-10.0f));
    EXPECT_EQ(mesh.positions[2], FloatBits(4.0f));
    EXPECT_EQ(mesh.texcoords[2], FloatBits(1.0f));
    EXPECT_FALSE(FileExists(exeDir + "/orvanel.cfg"));
    ExpectAssimpReadsMesh(PathInExeDir("params.3ds"), mesh.positions, mesh.faces);
}

TEST_F(HeightMeshTest, WithoutHeightmapGenerateDoesNothing)
{
    StartWindow();
    SetControlText(Window(), 1008, "before");
    QueueFileDialogAnswer(PathInExeDir("none.3ds").c_str());
    OnGenerate();
    EXPECT_EQ(SaveDialogCount(), 0);
    EXPECT_EQ(StatusLine(), "before");
    EXPECT_FALSE(FileExists(PathInExeDir("none.3ds")));
}

// ---------------------------------------------------------------------------
// Limits

TEST_F(HeightMeshTest, TwoFiftySixSquareAtStepOneIsRefusedForTriangles)
{
    StartWindow();
    SetHeightmap(256, 256, Ramp);
    ApplySettings(MeshSettings{});
    GenerateTo(PathInExeDir("big.3ds"));
    EXPECT_EQ(StatusLine(), TriangleLimitMessage);
    EXPECT_EQ(SaveDialogCount(), 0);
    EXPECT_FALSE(FileExists(PathInExeDir("big.3ds")));
    EXPECT_NE(HeightmapImage, nullptr);
}

TEST_F(HeightMeshTest, TwoFiftySixSquareAtStepTwoIsWritten)
{
    StartWindow();
    MeshSettings settings;
    settings.fuzz = 2;
    WrittenMesh mesh = GenerateAndCheck(PathInExeDir("step2.3ds"), 256, 256, Ramp, settings);
    EXPECT_EQ(mesh.vertexCount(), 16384);
    EXPECT_EQ(mesh.faceCount(), 32258);
}

TEST_F(HeightMeshTest, TwoFiftySixByOneTwentyEightAtStepOneIsWritten)
{
    StartWindow();
    WrittenMesh mesh = GenerateAndCheck(PathInExeDir("largest.3ds"), 256, 128, Ramp, MeshSettings{});
    EXPECT_EQ(mesh.vertexCount(), 32768);
    EXPECT_EQ(mesh.faceCount(), 64770);
    EXPECT_EQ(ReadFileBytes(PathInExeDir("largest.3ds")).size(), 67u + 20u * 32768u + 8u * 64770u);
}

TEST_F(HeightMeshTest, LongStripIsRefusedForVertices)
{
    StartWindow();
    SetHeightmap(32768, 2, Ramp);
    MeshSettings settings;
    settings.fuzz = 3;  // clamped to 1 by the 2-pixel side
    ApplySettings(settings);
    GenerateTo(PathInExeDir("strip.3ds"));
    EXPECT_EQ(StatusLine(), VertexLimitMessage);
    EXPECT_EQ(GenerationParams.gridStep, 1);
    EXPECT_EQ(SaveDialogCount(), 0);
    EXPECT_FALSE(FileExists(PathInExeDir("strip.3ds")));
}

TEST_F(HeightMeshTest, TriangleLimitIsCheckedBeforeTheVertexLimit)
{
    StartWindow();
    SetHeightmap(512, 512, Ramp);  // both limits passed
    ApplySettings(MeshSettings{});
    GenerateTo(PathInExeDir("both.3ds"));
    EXPECT_EQ(StatusLine(), TriangleLimitMessage);
}

TEST_F(HeightMeshTest, OnePixelSideIsRefusedWithoutDividingByZero)
{
    StartWindow();
    ApplySettings(MeshSettings{});
    for (int side = 0; side < 2; ++side) {
        SetControlText(Window(), 1008, "");
        if (side == 0)
            SetHeightmap(1, 4, Ramp);
        else
            SetHeightmap(4, 1, Ramp);
        GenerateTo(PathInExeDir("thin.3ds"));
        EXPECT_EQ(StatusLine(), "The image must be at least 2 pixels wide and high.");
        EXPECT_EQ(SaveDialogCount(), 0);
        EXPECT_FALSE(FileExists(PathInExeDir("thin.3ds")));
        EXPECT_GE(GenerationParams.gridStep, 1);
    }
}

// ---------------------------------------------------------------------------
// Elimination

TEST_F(HeightMeshTest, BlackHeightmapWithEliminationWritesNothing)
{
    StartWindow();
    SetHeightmap(4, 4, [](int, int) { return static_cast<uint8_t>(0); });
    MeshSettings settings;
    settings.eliminate = 1;
    ApplySettings(settings);
    GenerateTo(PathInExeDir("black.3ds"));
    EXPECT_EQ(StatusLine(), "All triangles eliminated! Aborting write.");
    EXPECT_EQ(SaveDialogCount(), 0);
    EXPECT_FALSE(FileExists(PathInExeDir("black.3ds")));
}

TEST_F(HeightMeshTest, BlackHeightmapWithoutEliminationKeepsEveryFace)
{
    StartWindow();
    WrittenMesh mesh = GenerateAndCheck(PathInExeDir("black.3ds"), 4, 4, [](int, int) { return static_cast<uint8_t>(0); },
                                        MeshSettings{});
    EXPECT_EQ(mesh.faceCount(), 18);
}

TEST_F(HeightMeshTest, OneRaisedCornerKeepsTheFacesThatTouchIt)
{
    StartWindow();
    MeshSettings settings;
    settings.eliminate = 1;
    const RedFunction raised = [](int x, int y) { return static_cast<uint8_t>(x == 1 && y == 1 ? 50 : 0); };
    WrittenMesh mesh = GenerateAndCheck(PathInExeDir("raised.3ds"), 4, 4, raised, settings);
    ASSERT_EQ(mesh.vertexCount(), 16);
    std::vector<MeshFace> touching;
    for (const MeshFace& face : ComputeExpectedMesh(4, 4, raised, settings).faces)
        if (face.a == 5 || face.b == 5 || face.c == 5)
            touching.push_back(face);
    EXPECT_EQ(touching.size(), 6u);
    EXPECT_EQ(mesh.faces, touching);
}

TEST_F(HeightMeshTest, AllButOneFaceEliminatedStillWritesEveryVertex)
{
    StartWindow();
    MeshSettings settings;
    settings.eliminate = 1;
    // the top-left corner belongs to the first face only
    WrittenMesh mesh = GenerateAndCheck(PathInExeDir("one.3ds"), 4, 4,
                                        [](int x, int y) { return static_cast<uint8_t>(x == 0 && y == 0 ? 9 : 0); },
                                        settings);
    EXPECT_EQ(mesh.vertexCount(), 16);
    EXPECT_EQ(mesh.texcoords.size(), 32u);
    ASSERT_EQ(mesh.faceCount(), 1);
    EXPECT_EQ(mesh.faces[0], (MeshFace{1, 0, 4, 0}));
    EXPECT_EQ(ReadFileBytes(PathInExeDir("one.3ds")).size(), 67u + 20u * 16u + 8u);
}

TEST(EliminateZeroHeightTriangles, KeepsOrderAndFlagsAndLeavesTheTailAlone)
{
    const float negativeZero = -0.0f;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float positions[] = {0, 0, 0.0f, 0, 0, negativeZero, 0, 0, 1.0f, 0, 0, nan, 0, 0, -2.0f};
    MeshFace faces[] = {
        {0, 1, 0, 0x11},  // flat (both zeros)
        {2, 0, 1, 0x22},  // one raised corner
        {1, 1, 1, 0x33},  // flat
        {0, 1, 4, 0x44},  // below zero counts as raised
        {3, 0, 0, 0x55},  // not a number is not zero
        {0, 0, 1, 0x66},  // flat
    };
    const int32_t kept = EliminateZeroHeightTriangles(faces, 6, positions);
    ASSERT_EQ(kept, 3);
    EXPECT_EQ(faces[0], (MeshFace{2, 0, 1, 0x22}));
    EXPECT_EQ(faces[1], (MeshFace{0, 1, 4, 0x44}));
    EXPECT_EQ(faces[2], (MeshFace{3, 0, 0, 0x55}));
    EXPECT_EQ(faces[3], (MeshFace{0, 1, 4, 0x44}));
    EXPECT_EQ(faces[4], (MeshFace{3, 0, 0, 0x55}));
    EXPECT_EQ(faces[5], (MeshFace{0, 0, 1, 0x66}));
    EXPECT_EQ(EliminateZeroHeightTriangles(faces, 0, positions), 0);
}

}  // namespace
