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

uint8_t Black(int, int)
{
    return 0;
}

MeshSettings Settings(int fuzz, int eliminate = 0)
{
    MeshSettings settings;
    settings.fuzz = fuzz;
    settings.eliminate = eliminate;
    return settings;
}

const char TriangleLimitMessage[] = "Aborting, triangle count would exceed MAX_WORD. (3DS format limitation)";
const char VertexLimitMessage[] = "Aborting, vertex count would exceed MAX_WORD. (3DS format limitation)";
const char TooSmallMessage[] = "The image must be at least 2 pixels wide and high.";

using HeightMeshTest = MeshTest;

TEST_F(HeightMeshTest, FourByFourAtStepOneIsCentredWithFacesInCellOrder)
{
    WrittenMesh mesh = GenerateAndCheck(PathInExeDir("grid.3ds"), 4, 4, Ramp, MeshSettings{});
    EXPECT_EQ(GenerationParams.gridStep, 1);
    ASSERT_EQ(mesh.vertexCount(), 16);
    ASSERT_EQ(mesh.faceCount(), 18);
    EXPECT_EQ(mesh.faces[0], (MeshFace{1, 0, 4, 0}));
    EXPECT_EQ(mesh.faces[1], (MeshFace{5, 1, 4, 0}));
    EXPECT_EQ(mesh.faces[2], (MeshFace{2, 1, 5, 0}));
    EXPECT_EQ(mesh.faces[6], (MeshFace{5, 4, 8, 0}));
    EXPECT_EQ(mesh.faces[16], (MeshFace{11, 10, 14, 0}));
    EXPECT_EQ(mesh.faces[17], (MeshFace{15, 11, 14, 0}));
    // (index into the positions, value): the middle row lies at -0; the top of the picture
    // lies towards +Y, the last row one step short of the bottom
    const std::pair<int, float> positions[] = {{0, -48.0f}, {1, 48.0f},  {15, -24.0f}, {16, 24.0f},
                                               {30, 0.0f},  {31, -0.0f}, {37, -24.0f}};
    for (const auto& p : positions)
        EXPECT_EQ(mesh.positions[p.first], FloatBits(p.second)) << p.first;
    EXPECT_EQ(mesh.positions[31], 0x80000000u);
}

TEST_F(HeightMeshTest, HeightIsRedTimesHeightScaleWhateverGreenAndBlue)
{
    MeshSettings settings;
    settings.height = 128;  // 0.5
    WrittenMesh mesh = GenerateAndCheck(
        PathInExeDir("height.3ds"), 4, 4, [](int x, int y) { return static_cast<uint8_t>(x == 1 && y == 2 ? 200 : 3); },
        settings);
    ASSERT_EQ(mesh.vertexCount(), 16);
    EXPECT_EQ(mesh.positions[3 * 9 + 2], FloatBits(100.0f));
    EXPECT_EQ(mesh.positions[2], FloatBits(1.5f));
}

TEST_F(HeightMeshTest, TextureCoordinatesStopOneStepShortOfTheScale)
{
    MeshSettings settings;
    settings.stretch = 256;  // 2.0
    WrittenMesh mesh = GenerateAndCheck(PathInExeDir("uv.3ds"), 4, 4, Ramp, settings);
    ASSERT_EQ(mesh.vertexCount(), 16);
    const float along[4] = {0.0f, 0.5f, 1.0f, 1.5f};
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(mesh.texCoords[2 * c], FloatBits(along[c])) << c;
        EXPECT_EQ(mesh.texCoords[2 * (4 * c)], FloatBits(0.0f)) << c;
        EXPECT_EQ(mesh.texCoords[2 * (4 * c) + 1], FloatBits(along[c])) << c;
    }
}

TEST_F(HeightMeshTest, GridStepIsClampedToHalfOfEachSideAndStoredBack)
{
    const MeshSettings settings = Settings(6);  // step 32
    WrittenMesh mesh = GenerateAndCheck(PathInExeDir("clamped.3ds"), 4, 4, Ramp, settings);
    EXPECT_EQ(GenerationParams.gridStep, 2);
    ASSERT_EQ(mesh.vertexCount(), 4);
    EXPECT_EQ(mesh.faces, (std::vector<MeshFace>{{1, 0, 2, 0}, {3, 1, 2, 0}}));
    EXPECT_EQ(mesh.positions[3 * 3 + 2], FloatBits(static_cast<float>(Ramp(2, 2))));

    // the narrower side decides: 32 x 8 at step 32 samples every 4 pixels
    GenerateAndCheck(PathInExeDir("wide.3ds"), 32, 8, Ramp, settings);
    EXPECT_EQ(GenerationParams.gridStep, 4);
}

// GenerateAndCheck compares every float, the faces and the file's length with the mesh
// computed here.
TEST_F(HeightMeshTest, RandomSettingsGiveTheFloatProductsBitForBit)
{
    srand(7);
    for (int round = 0; round < 6; ++round) {
        MeshSettings settings;
        settings.stretch = 1 + rand() % 1024;
        settings.fuzz = 1 + rand() % 3;
        settings.height = 1 + rand() % 4096;
        settings.scale = 4 + rand() % 1021;
        const int width = 2 << (rand() % 5);
        const int height = 2 << (rand() % 5);
        WrittenMesh mesh =
            GenerateAndCheck(PathInExeDir("random" + std::to_string(round) + ".3ds"), width, height, Ramp, settings);
        EXPECT_EQ(mesh.faces, ComputeExpectedMesh(width, height, Ramp, settings).faces) << width << " x " << height;
    }
}

TEST_F(HeightMeshTest, PropertiesWindowIsReadBeforeSamplingAndSaved)
{
    GenerationParams.overallScale = 999.0f;
    GenerationParams.gridStep = 64;
    MeshSettings settings = Settings(2);
    settings.scale = 100;
    GenerateAndCheck(PathInExeDir("read.3ds"), 8, 8, Ramp, settings);
    EXPECT_EQ(GenerationParams.overallScale, 100.0f);
    EXPECT_EQ(GenerationParams.gridStep, 2);
    EXPECT_EQ(ReadFileBytes(exeDir + "/orvanel.cfg").size(), 2084u);
}

TEST_F(HeightMeshTest, WithoutPropertiesWindowTheParamsAreUsedAsTheyAre)
{
    PropertiesWindow = nullptr;
    GenerationParams = GenerationParamsRecord{2.0f, 1, 0.5f, 10.0f, 0};
    SetHeightmap(2, 2, [](int, int) { return static_cast<uint8_t>(8); });
    GenerateTo(PathInExeDir("params.3ds"));
    PropertiesWindow = properties;
    WrittenMesh mesh = DecodeWrittenMesh(ReadFileBytes(PathInExeDir("params.3ds")));
    ASSERT_TRUE(mesh.valid);
    ASSERT_EQ(mesh.vertexCount(), 4);
    EXPECT_EQ(mesh.positions[0], FloatBits(-10.0f));
    EXPECT_EQ(mesh.positions[2], FloatBits(4.0f));
    EXPECT_EQ(mesh.texCoords[2], FloatBits(1.0f));
    EXPECT_FALSE(FileExists(exeDir + "/orvanel.cfg"));
    ExpectAssimpReadsMesh(PathInExeDir("params.3ds"), mesh.positions, mesh.faces);
}

TEST_F(HeightMeshTest, WithoutHeightmapGenerateDoesNothing)
{
    SetControlText(Window(), 1008, "before");
    GenerateTo(PathInExeDir("none.3ds"));
    EXPECT_EQ(SaveDialogCount(), 0);
    EXPECT_EQ(StatusLine(), "before");
    EXPECT_FALSE(FileExists(PathInExeDir("none.3ds")));
}

// ---------------------------------------------------------------------------
// Limits and elimination: what is refused before any Save As dialog, and what is written

struct SizeCase {
    int width, height;      // pixels of the heightmap
    RedFunction red;        // its heights
    MeshSettings settings;  // trackbars and checkbox
    const char* message;    // the status line when refused; null when written
    int vertices, faces;    // the written counts
    int gridStep;           // stored back, 0 when not checked
};

TEST_F(HeightMeshTest, CountsAtAndPastTheLimitsAndAfterElimination)
{
    const SizeCase cases[] = {
        {256, 256, Ramp, Settings(1), TriangleLimitMessage, 0, 0, 0},
        {256, 256, Ramp, Settings(2), nullptr, 16384, 32258, 2},
        {256, 128, Ramp, Settings(1), nullptr, 32768, 64770, 1},
        {32768, 2, Ramp, Settings(3), VertexLimitMessage, 0, 0, 1},    // step clamped by the 2-pixel side
        {512, 512, Ramp, Settings(1), TriangleLimitMessage, 0, 0, 0},  // triangles are checked first
        {1, 4, Ramp, Settings(1), TooSmallMessage, 0, 0, 0},           // no division by zero
        {4, 1, Ramp, Settings(1), TooSmallMessage, 0, 0, 0},
        {4, 4, Black, Settings(1, 1), "All triangles eliminated! Aborting write.", 0, 0, 0},
        {4, 4, Black, Settings(1), nullptr, 16, 18, 1},
        // the faces that touch one raised corner are kept
        {4, 4, [](int x, int y) { return static_cast<uint8_t>(x == 1 && y == 1 ? 50 : 0); }, Settings(1, 1), nullptr,
         16, 6, 1},
        // the top-left corner belongs to the first face only: every vertex is still written
        {4, 4, [](int x, int y) { return static_cast<uint8_t>(x == 0 && y == 0 ? 9 : 0); }, Settings(1, 1), nullptr, 16,
         1, 1},
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height) + " fuzz " +
                     std::to_string(c.settings.fuzz) + " eliminate " + std::to_string(c.settings.eliminate));
        const std::string path = PathInExeDir("size.3ds");
        std::remove(path.c_str());
        if (c.message) {
            ClearHeadlessDialogCalls();
            SetControlText(Window(), 1008, "");
            SetHeightmap(c.width, c.height, c.red);
            ApplySettings(c.settings);
            GenerateTo(path);
            EXPECT_EQ(StatusLine(), c.message);
            EXPECT_EQ(SaveDialogCount(), 0);
            EXPECT_FALSE(FileExists(path));
            EXPECT_NE(HeightmapImage, nullptr);
            EXPECT_GE(GenerationParams.gridStep, 1);
        } else {
            WrittenMesh mesh = GenerateAndCheck(path, c.width, c.height, c.red, c.settings);
            EXPECT_EQ(mesh.vertexCount(), c.vertices);
            EXPECT_EQ(mesh.faceCount(), c.faces);
            // elimination keeps, in order, the faces with a corner off zero height
            const ExpectedMesh expected = ComputeExpectedMesh(c.width, c.height, c.red, c.settings);
            std::vector<MeshFace> kept;
            for (const MeshFace& face : expected.faces)
                if (!c.settings.eliminate || expected.positions[3 * face.a + 2] || expected.positions[3 * face.b + 2] ||
                    expected.positions[3 * face.c + 2])
                    kept.push_back(face);
            EXPECT_EQ(mesh.faces, kept);
        }
        if (c.gridStep) {
            EXPECT_EQ(GenerationParams.gridStep, c.gridStep);
        }
    }
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
    ASSERT_EQ(EliminateZeroHeightTriangles(faces, 6, positions), 3);
    const std::vector<MeshFace> after = {{2, 0, 1, 0x22}, {0, 1, 4, 0x44}, {3, 0, 0, 0x55},
                                         {0, 1, 4, 0x44}, {3, 0, 0, 0x55}, {0, 0, 1, 0x66}};
    EXPECT_EQ(std::vector<MeshFace>(faces, faces + 6), after);
    EXPECT_EQ(EliminateZeroHeightTriangles(faces, 0, positions), 0);
}

}  // namespace
