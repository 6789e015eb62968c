// Batch mode through the real executable: heightmaps written by ImageMagick,
// .3ds files checked by their bytes and by assimp, every failure with its
// message and exit status, and a preview PNG read back pixel by pixel.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

namespace {

struct RunResult {
    int status;       // exit status, -1 when it did not exit normally
    std::string out;  // standard output
    std::string err;  // standard error
};

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Exists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

class BatchTest : public ::testing::Test {
protected:
    std::string dir;

    void SetUp() override
    {
        char pattern[] = "/tmp/orvanel-batch-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }

    void TearDown() override
    {
        ASSERT_EQ(system(("rm -rf '" + dir + "'").c_str()), 0);
    }

    // Runs a shell command in the test folder; true when it exits with 0.
    bool Shell(const std::string& command)
    {
        return system(("cd '" + dir + "' && " + command).c_str()) == 0;
    }

    RunResult Orvanel(const std::string& arguments)
    {
        std::string command = "cd '" + dir + "' && '" ORVANEL_EXECUTABLE "' " + arguments + " >stdout.txt 2>stderr.txt";
        int raw = system(command.c_str());
        RunResult result;
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        result.out = ReadText(dir + "/stdout.txt");
        result.err = ReadText(dir + "/stderr.txt");
        return result;
    }

    // A heightmap written by ImageMagick: a red gradient from black at the top.
    std::string ImageMagickHeightmap(const std::string& name, const std::string& size)
    {
        EXPECT_TRUE(Shell("convert -size " + size + " gradient:black-red -type TrueColor BMP3:" + name))
            << "ImageMagick's convert is needed";
        return dir + "/" + name;
    }

    std::vector<uint8_t> Bytes(const std::string& name)
    {
        std::string text = ReadText(dir + "/" + name);
        return std::vector<uint8_t>(text.begin(), text.end());
    }
};

uint32_t LittleEndian32(const std::vector<uint8_t>& bytes, size_t offset)
{
    return bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 |
        static_cast<uint32_t>(bytes[offset + 3]) << 24;
}

// Vertex and face counts of every mesh as assimp's importer reports them.
std::string AssimpCounts(const std::string& info)
{
    std::string counts;
    std::istringstream lines(info);
    for (std::string line; std::getline(lines, line);)
        if (line.find("Vertices:") != std::string::npos || line.find("Faces:") != std::string::npos)
            counts += line + "\n";
    return counts;
}

struct Png {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;  // top row first
    const uint8_t* At(int x, int y) const
    {
        return &rgba[(static_cast<size_t>(y) * width + x) * 4];
    }
};

bool ReadPng(const std::string& path, Png* png)
{
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_RGBA;
    png->width = static_cast<int>(image.width);
    png->height = static_cast<int>(image.height);
    png->rgba.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, png->rgba.data(), 0, nullptr) != 0;
}

}  // namespace

TEST_F(BatchTest, GeneratesTheFileAssimpReadsWithTheSameCounts)
{
    std::string heightmap = ImageMagickHeightmap("hills.bmp", "16x8");
    RunResult run = Orvanel("--generate hills.bmp --output hills.3ds");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("Successfully loaded 'hills.bmp'.\n"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Successfully saved '" + dir + "/hills.3ds'.\n"), std::string::npos) << run.err;
    // grid step 2: 8 x 4 vertices, 2 x 7 x 3 faces
    std::vector<uint8_t> file = Bytes("hills.3ds");
    ASSERT_EQ(file.size(), 67u + 20u * 32u + 8u * 42u);
    EXPECT_EQ(LittleEndian32(file, 2), file.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&file[26]), 10), "heightmesh");
    ASSERT_TRUE(Shell("assimp info hills.3ds > info.txt"));
    std::string counts = AssimpCounts(ReadText(dir + "/info.txt"));
    EXPECT_NE(counts.find("32"), std::string::npos) << counts;
    EXPECT_NE(counts.find("42"), std::string::npos) << counts;
}

TEST_F(BatchTest, SliderOptionsAndSettingsFileShapeTheMesh)
{
    ImageMagickHeightmap("hills.bmp", "16x8");
    ASSERT_EQ(Orvanel("--generate=hills.bmp --output one.3ds --grid-fuzz=1 --").status, 0);
    EXPECT_EQ(Bytes("one.3ds").size(), 67u + 20u * 128u + 8u * 210u);

    // a saved settings file with grid fuzz 3 (step 4): 4 x 2 vertices, 6 faces
    std::vector<uint8_t> settings(2084, 0);
    const int32_t positions[] = {128, 3, 256, 24, 0};
    memcpy(&settings[2064], positions, sizeof positions);
    std::ofstream(dir + "/saved.cfg", std::ios::binary).write(reinterpret_cast<const char*>(settings.data()), 2084);
    ASSERT_EQ(Orvanel("--generate hills.bmp --output four.3ds --settings saved.cfg").status, 0);
    EXPECT_EQ(Bytes("four.3ds").size(), 67u + 20u * 8u + 8u * 6u);

    // the overall scale reaches the positions: vertex 0 sits at x = -8 * 10
    ASSERT_EQ(Orvanel("--generate hills.bmp --output scaled.3ds --overall-scale 10").status, 0);
    std::vector<uint8_t> scaled = Bytes("scaled.3ds");
    float x = 0;
    memcpy(&x, &scaled[51], 4);
    EXPECT_EQ(x, -80.0f);
}

TEST_F(BatchTest, FailuresSayWhyAndExitWithOne)
{
    RunResult missing = Orvanel("--generate nothing.bmp --output a.3ds");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("Could not open 'nothing.bmp'.\n"), std::string::npos) << missing.err;

    ImageMagickHeightmap("odd.bmp", "12x8");
    RunResult odd = Orvanel("--generate odd.bmp --output a.3ds");
    EXPECT_EQ(odd.status, 1);
    EXPECT_NE(odd.err.find("The image must be in powers of 2.\n"), std::string::npos) << odd.err;

    ASSERT_TRUE(Shell("convert -size 8x8 xc:black -type TrueColor BMP3:black.bmp"));
    RunResult flat = Orvanel("--generate black.bmp --output a.3ds --eliminate-zero-height");
    EXPECT_EQ(flat.status, 1);
    EXPECT_NE(flat.err.find("All triangles eliminated! Aborting write.\n"), std::string::npos) << flat.err;

    ASSERT_TRUE(Shell("convert -size 8x8 xc:red -type Palette BMP3:palette.bmp"));
    RunResult palette = Orvanel("--generate palette.bmp --output a.3ds");
    EXPECT_EQ(palette.status, 1);
    EXPECT_NE(palette.err.find("'palette.bmp' is in an unsupported bitmap mode.\n"), std::string::npos) << palette.err;
    EXPECT_FALSE(Exists(dir + "/a.3ds"));
}

TEST_F(BatchTest, HugeHeightmapWarnsOnStandardError)
{
    ImageMagickHeightmap("huge.bmp", "2048x1024");
    RunResult run = Orvanel("--generate huge.bmp --output huge.3ds");
    EXPECT_NE(run.err.find("WARNING! This image is huge. This may be very slow, and the mesh may be extremely "
                           "tesselated.\n"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.status, 1);  // far beyond the 3DS format's 65535 faces
    EXPECT_NE(run.err.find("Aborting, triangle count would exceed MAX_WORD. (3DS format limitation)"),
              std::string::npos);
}

TEST_F(BatchTest, UsageErrorsExitWithTwoAndPointToHelp)
{
    const char* cases[] = {
        "--bogus",
        "--generate a.bmp",
        "--generate a.bmp --output",
        "--generate a.bmp --output a.3ds --grid-fuzz 7",
        "--generate a.bmp --output a.3ds --overall-scale 3",
        "--generate a.bmp --output a.3ds --height-scaling many",
        "--generate a.bmp --output a.3ds --preview-size 800",
        "--generate a.bmp --output a.3ds --spin north",
        "--info a.3ds --generate a.bmp",
        "--gen a.bmp --output a.3ds",  // no abbreviations
        "--generate= --output a.3ds",
        "--generate a.bmp --output a.3ds -- a.bmp",
    };
    for (const char* arguments : cases) {
        RunResult run = Orvanel(arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_NE(run.err.find("Try 'orvanel --help'"), std::string::npos) << arguments << ": " << run.err;
    }
    RunResult help = Orvanel("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--generate HEIGHTMAP.bmp --output MESH.3ds"), std::string::npos);
    RunResult version = Orvanel("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "Orvanel, release 1\n");
}

TEST_F(BatchTest, ReplacesAnExistingOutputAndNeverWritesTheSettings)
{
    std::string cfg =
        std::string(ORVANEL_EXECUTABLE).substr(0, std::string(ORVANEL_EXECUTABLE).rfind('/')) + "/orvanel.cfg";
    std::string before = ReadText(cfg);
    bool existed = Exists(cfg);
    ImageMagickHeightmap("hills.bmp", "16x8");
    std::ofstream(dir + "/out.3ds") << "old contents";
    ASSERT_EQ(Orvanel("--generate hills.bmp --output out.3ds").status, 0);
    EXPECT_EQ(Bytes("out.3ds").size(), 67u + 20u * 32u + 8u * 42u);
    // nor when the work fails
    RunResult failed = Orvanel("--generate hills.bmp --output other.3ds --settings missing.cfg");
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.err.find("Could not open 'missing.cfg'.\n"), std::string::npos) << failed.err;
    EXPECT_EQ(Exists(cfg), existed);
    EXPECT_EQ(ReadText(cfg), before);
}

TEST_F(BatchTest, InfoListsSurfacesOfFilesAssimpWrote)
{
    std::ofstream(dir + "/two.obj") << "o first\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n"
                                       "o second\nv 0 0 1\nv 1 0 1\nv 0 1 1\nv 1 1 1\nf 1 2 3\nf 2 4 3\n";
    ASSERT_TRUE(Shell("assimp export two.obj two.3ds > /dev/null")) << "assimp is needed";
    RunResult run = Orvanel("--info two.3ds");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("3 vertices, 1 faces, no texture coordinates, normals computed, 0 joints"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("4 vertices, 2 faces"), std::string::npos) << run.out;

    RunResult missing = Orvanel("--info none.3ds");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "Could not open 'none.3ds'.\n");
}

TEST_F(BatchTest, InfoSurvivesEveryTruncationOfAFile)
{
    ImageMagickHeightmap("hills.bmp", "8x8");
    ASSERT_EQ(Orvanel("--generate hills.bmp --output whole.3ds").status, 0);
    std::vector<uint8_t> whole = Bytes("whole.3ds");
    RunResult complete = Orvanel("--info whole.3ds");
    EXPECT_NE(complete.out.find("heightmesh: 16 vertices, 18 faces, texture coordinates"), std::string::npos)
        << complete.out;
    for (size_t length :
         {size_t(0), size_t(5), size_t(20), size_t(45), size_t(60), whole.size() / 2, whole.size() - 1}) {
        std::ofstream(dir + "/cut.3ds", std::ios::binary).write(reinterpret_cast<const char*>(whole.data()), length);
        RunResult run = Orvanel("--info cut.3ds");
        // shorter than a chunk header, the file is no 3DS file at all
        EXPECT_EQ(run.status, length < 6 ? 1 : 0) << length;
        if (length >= 6) {
            EXPECT_EQ(run.out.rfind("cut.3ds: ", 0), 0u) << length << ": " << run.out;
        }
    }
}

TEST_F(BatchTest, PreviewShowsTheOverlayAndALitMesh)
{
    ASSERT_TRUE(Shell("convert -size 64x64 radial-gradient:red-black -type TrueColor BMP3:dome.bmp"));
    RunResult run = Orvanel(
        "--generate dome.bmp --output dome.3ds --overall-scale 16 --preview dome.png "
        "--preview-size 320x240");
    ASSERT_EQ(run.status, 0) << run.err;
    Png png;
    ASSERT_TRUE(ReadPng(dir + "/dome.png", &png));
    ASSERT_EQ(png.width, 320);
    ASSERT_EQ(png.height, 240);
    // the overlay: the heightmap's red centre at (64, 64), its black corner at (1, 1)
    EXPECT_GT(png.At(64, 64)[0], 200);
    EXPECT_LT(png.At(64, 64)[1], 30);
    EXPECT_LT(png.At(1, 1)[0], 30);
    // the mesh fills the middle of the frame, lit, where the background is black
    const uint8_t* middle = png.At(160, 125);
    EXPECT_GT(middle[0] + middle[1] + middle[2], 60);
    const uint8_t* corner = png.At(318, 2);
    EXPECT_EQ(corner[0] + corner[1] + corner[2], 0);
}
