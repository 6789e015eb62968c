// Real terrains through the executable: pictures written by ImageMagick, meshes read back by
// assimp, and the adaptive mesh's reported error against the written triangles rasterised
// over the pixel grid.
#include <gtest/gtest.h>

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_files.h"

static int Orvanel(const std::string& arguments, std::string* output)
{
    output->clear();
    return RunCommand(std::string(ORVANEL_EXECUTABLE) + " " + arguments + " 2>&1", output);
}

// Faces of every mesh in the file, as assimp reads it.
static long long AssimpFaces(const std::string& path)
{
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(path, 0);
    long long faces = -1;
    for (unsigned i = 0; scene && i < scene->mNumMeshes; ++i)
        faces += scene->mMeshes[i]->mNumFaces + (i == 0);
    return faces;
}

struct Reported {
    long long faces = -1, vertices = -1;
    double error = -1;
};

static Reported ReadFigures(const std::string& output)
{
    Reported figures;
    const size_t at = output.find("Adaptive mesh: ");
    if (at != std::string::npos)
        sscanf(output.c_str() + at, "Adaptive mesh: %lld faces, %lld vertices, largest error %lf", &figures.faces,
               &figures.vertices, &figures.error);
    return figures;
}

class TerrainTest : public ::testing::Test {
protected:
    TempFolder folder;
    std::string terrain = folder.File("terrain.png");  // 16-bit, 90 x 70, not a power of two
    void SetUp() override
    {
        ASSERT_EQ(RunCommand("convert -size 90x70 xc: -fx 'sin(i/9)*cos(j/7)/3+0.5+(i*j%5)/3000' -depth 16 "
                             "-colorspace gray " +
                             terrain),
                  0);
    }
};

TEST_F(TerrainTest, EveryFormatHoldsTheFacesTheProgramReports)
{
    for (const char* extension : {".3ds", ".obj", ".stl", ".ply", ".glb", ".gltf", ".dae", ".fbx", ".3mf"}) {
        const std::string mesh = folder.File(std::string("adaptive") + extension);
        std::string output;
        ASSERT_EQ(Orvanel("--generate " + terrain + " --output " + mesh + " --mesh adaptive --max-faces 700", &output),
                  0)
            << output;
        const Reported figures = ReadFigures(output);
        EXPECT_GE(figures.faces, 600) << extension;
        EXPECT_LE(figures.faces, 700) << extension;
        EXPECT_EQ(AssimpFaces(mesh), figures.faces) << extension;
    }
}

TEST_F(TerrainTest, GridModeKeepsItsPowerOfTwoRuleAndSolidsAndObjectsAddUp)
{
    std::string output;
    EXPECT_EQ(Orvanel("--generate " + terrain + " --output " + folder.File("grid.3ds"), &output), 1);
    EXPECT_EQ(output, "The image must be in powers of 2.\n");
    // an 8-bit palette BMP gives the mesh of its 24-bit conversion
    const std::string palette = folder.File("palette.bmp"), trueColor = folder.File("true.bmp");
    ASSERT_EQ(RunCommand("convert -size 32x16 xc: -fx 'i*j%97/97' -colorspace gray -type Palette -compress None BMP3:" +
                         palette + " && convert " + palette + " -type TrueColor BMP3:" + trueColor),
              0);
    ASSERT_EQ(Orvanel("--generate " + palette + " --output " + folder.File("palette.3ds"), &output), 0) << output;
    ASSERT_EQ(Orvanel("--generate " + trueColor + " --output " + folder.File("true.3ds"), &output), 0);
    EXPECT_EQ(ReadFileBytes(folder.File("palette.3ds")), ReadFileBytes(folder.File("true.3ds")));
    // its 16-bit PNG goes the new way (samples, not pixels) and must write the very same file
    const std::string deep = folder.File("deep.png");
    ASSERT_EQ(RunCommand("convert " + trueColor + " -depth 16 " + deep), 0);
    ASSERT_EQ(Orvanel("--generate " + deep + " --output " + folder.File("deep.3ds"), &output), 0) << output;
    EXPECT_EQ(ReadFileBytes(folder.File("deep.3ds")), ReadFileBytes(folder.File("true.3ds")));
    const std::string big = folder.File("big.png"), solid = folder.File("solid.obj"), split = folder.File("split.3ds");
    ASSERT_EQ(RunCommand("convert -size 512x256 xc: -fx 'i*j%97/97' -depth 16 -colorspace gray " + big), 0);
    EXPECT_EQ(Orvanel("--generate " + big + " --output " + split + " --grid-fuzz 1", &output), 1);
    EXPECT_EQ(output,
              "Successfully loaded '" + big +
                  "'.\nAborting, triangle count would exceed MAX_WORD. (3DS format limitation)\n");
    ASSERT_EQ(Orvanel("--generate " + big + " --output " + split + " --grid-fuzz 1 --split-objects --solid 5", &output),
              0);
    const long long surface = 2LL * 511 * 255, border = 2LL * 511 + 2 * 255;
    EXPECT_EQ(AssimpFaces(split), surface + 3 * border - 2);
    ASSERT_EQ(Orvanel("--generate " + big + " --output " + solid + " --grid-fuzz 1 --solid 5", &output), 0);
    EXPECT_EQ(AssimpFaces(solid), surface + 3 * border - 2);
}

// The surface of the written .obj at every pixel, by barycentric interpolation over the
// triangle holding it; heights from ImageMagick's own reading of the picture.
TEST_F(TerrainTest, ReportedErrorEqualsTheWrittenTrianglesRasterised)
{
    const std::string mesh = folder.File("error.obj");
    std::string output, samples;
    // overall scale 4 and height scaling 256: X = 4 (x - 45), Y = -4 (y - 35), Z = levels
    ASSERT_EQ(Orvanel("--generate " + terrain + " --output " + mesh +
                          " --mesh adaptive --max-faces 300 --overall-scale 4 --height-scaling 256",
                      &output),
              0);
    ASSERT_EQ(RunCommand("convert " + terrain + " -depth 16 gray:- | od -An -v -tu2 -w2", &samples), 0);
    std::istringstream sampleLines(samples);
    std::vector<double> levels;
    for (unsigned value; sampleLines >> value;)
        levels.push_back(value / 257.0);
    ASSERT_EQ(levels.size(), 90u * 70u);
    std::vector<double> x, y, z, surface(levels.size(), NAN);
    const std::vector<uint8_t> objBytes = ReadFileBytes(mesh);
    std::istringstream obj(std::string(objBytes.begin(), objBytes.end()));
    for (std::string line; std::getline(obj, line);) {
        double a, b, c;
        int i, j, k;
        if (sscanf(line.c_str(), "v %lf %lf %lf", &a, &b, &c) == 3) {
            x.push_back(a / 4 + 45), y.push_back(35 - b / 4), z.push_back(c);
        } else if (sscanf(line.c_str(), "f %d%*[^ ] %d%*[^ ] %d", &i, &j, &k) == 3) {
            --i, --j, --k;
            for (int py = 0; py < 70; ++py)
                for (int px = 0; px < 90; ++px) {
                    const double d = (y[j] - y[k]) * (x[i] - x[k]) + (x[k] - x[j]) * (y[i] - y[k]);
                    const double u = ((y[j] - y[k]) * (px - x[k]) + (x[k] - x[j]) * (py - y[k])) / d;
                    const double v = ((y[k] - y[i]) * (px - x[k]) + (x[i] - x[k]) * (py - y[k])) / d;
                    if (u >= -1e-9 && v >= -1e-9 && u + v <= 1 + 1e-9)
                        surface[py * 90 + px] = u * z[i] + v * z[j] + (1 - u - v) * z[k];
                }
        }
    }
    double largest = 0;
    for (size_t p = 0; p < levels.size(); ++p) {
        ASSERT_FALSE(std::isnan(surface[p])) << "pixel " << p << " lies outside the mesh";
        largest = std::max(largest, std::fabs(surface[p] - levels[p]));
    }
    EXPECT_NEAR(ReadFigures(output).error, largest, 0.002);
    EXPECT_GT(largest, 0.01);
}

// orvanel.cfg's record keeps its 2,084 bytes; the block after it carries the mesh settings, and a
// file without it gives today's grid.
TEST_F(TerrainTest, SettingsBlockAfterTheRecordChoosesTheMeshAndItsAbsenceTheGrid)
{
    std::vector<uint8_t> record;
    for (float component : {0.0f, 0.0f, 0.0f, 1.0f})
        PutFloat(&record, component);
    record.resize(2064);
    for (uint32_t position : {128, 2, 256, 24, 0})
        PutLE32(&record, position);
    std::vector<uint8_t> withBlock = record;
    for (char mark : std::string("ORVX"))
        withBlock.push_back(static_cast<uint8_t>(mark));
    PutLE16(&withBlock, 1);          // the block's version
    for (uint32_t field : {1, 2}) {  // the mesh mode (adaptive), the face budget (100)
        PutLE16(&withBlock, static_cast<uint16_t>(field));
        PutLE32(&withBlock, 4);
        PutLE32(&withBlock, field == 1 ? 1 : 100);
    }
    std::string output;
    ASSERT_TRUE(WriteFileBytes(folder.File("new.cfg"), withBlock) && WriteFileBytes(folder.File("old.cfg"), record));
    ASSERT_EQ(Orvanel("--settings " + folder.File("new.cfg") + " --generate " + terrain + " --output " +
                          folder.File("new.3ds"),
                      &output),
              0)
        << output;
    EXPECT_TRUE(ReadFigures(output).faces > 50 && ReadFigures(output).faces <= 100) << output;
    EXPECT_EQ(Orvanel("--settings " + folder.File("old.cfg") + " --generate " + terrain + " --output " +
                          folder.File("old.3ds"),
                      &output),
              1);
    EXPECT_EQ(output, "The image must be in powers of 2.\n");
}
