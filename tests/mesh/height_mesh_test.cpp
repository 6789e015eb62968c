// Heightmaps to .3ds files through the Generate button: sampler and writer bit for bit against
// the reference over random sizes and settings, every file read back by assimp; the golden
// example; the 16-bit limits; saves that fail on disk or for memory.
#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <random>

#include "mesh/height_mesh.h"
#include "mesh/mesh_alloc.h"
#include "mesh/write3ds.h"
#include "resources/resource_ids.h"
#include "tests/support/heightmesh_file.h"
#include "tests/support/main_window_fixture.h"

namespace {

HeightmeshShape Picture(int width, int height, const std::function<int(int x, int y)>& red)
{
    HeightmeshShape shape;
    shape.width = width;
    shape.height = height;
    shape.red = red;
    return shape;
}

HeightmeshShape Hills(int width, int height)
{
    return Picture(width, height, [](int x, int y) { return (x * x + 3 * y) % 200; });
}

std::string Saved(const std::string& path)
{
    return "Successfully saved '" + path + "'.";
}

// assimp reads one mesh whose faces' corners lie where the reference put them.
void ExpectAssimpReads(const std::string& path, const HeightmeshData& mesh)
{
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(path, 0);
    ASSERT_TRUE(scene && scene->mNumMeshes == 1) << importer.GetErrorString();
    const aiMesh* read = scene->mMeshes[0];
    ASSERT_EQ(4 * read->mNumFaces, mesh.faces.size());
    for (unsigned f = 0; f < read->mNumFaces; ++f)
        for (int k = 0; k < 3; ++k) {
            const aiVector3D& p = read->mVertices[read->mFaces[f].mIndices[k]];
            const float* q = &mesh.positions[3 * mesh.faces[4 * f + k]];
            ASSERT_TRUE(p.x == q[0] && p.y == q[1] && p.z == q[2]) << "face " << f << " corner " << k;
        }
}

class HeightMeshTest : public MainWindowTest {
protected:
    WindowHandle properties = nullptr;

    void SetUp() override
    {
        MainWindowTest::SetUp();
        StartMainWindow();  // with its properties window
        properties = PropertiesWindow;
        ASSERT_NE(properties, nullptr);
    }
    std::string File(const std::string& name) const
    {
        return exeDir + "/" + name;
    }
    // The picture's red is the shape's; green and blue carry noise that must not matter.
    void SetHeightmap(const HeightmeshShape& shape)
    {
        FreeImage(HeightmapImage);
        HeightmapImage = static_cast<Image*>(std::calloc(1, sizeof(Image) + 4 * shape.width * shape.height));
        HeightmapImage->width = shape.width;
        HeightmapImage->height = shape.height;
        for (int i = 0; i < shape.width * shape.height; ++i) {
            const int x = i % shape.width, y = i / shape.width;
            const uint8_t pixel[4] = {uint8_t(shape.red(x, y)), uint8_t(x * 37 + y * 11), uint8_t(x * 3 + y * 101),
                                      255};
            std::copy(pixel, pixel + 4, HeightmapImage->pixels + 4 * i);
        }
    }
    // Moves the stretch, fuzz, height and scale trackbars and sets the elimination checkbox;
    // returns the shape they give the picture: texture scale stretch / 128, grid step 2^(fuzz
    // - 1) within half of each side, height scale height / 256.
    HeightmeshShape Apply(HeightmeshShape shape, int stretch = 128, int fuzz = 1, int height = 256, int scale = 24,
                          bool eliminate = false)
    {
        HeadlessMoveTrackbar(properties, StretchTrackbarControl, stretch);
        HeadlessMoveTrackbar(properties, FuzzTrackbarControl, fuzz);
        HeadlessMoveTrackbar(properties, HeightTrackbarControl, height);
        HeadlessMoveTrackbar(properties, ScaleTrackbarControl, scale);
        SetCheckState(properties, EliminateCheckboxControl, eliminate);
        shape.textureScale = float(stretch) * 0.0078125f;
        shape.heightScale = float(height) * 0.00390625f;
        shape.overallScale = float(scale);
        shape.eliminateZeroHeight = eliminate;
        shape.gridStep = std::min({1 << (fuzz - 1), shape.width / 2, shape.height / 2});
        return shape;
    }
    void GenerateTo(const std::string& path)
    {
        QueueFileDialogAnswer(path.c_str());
        OnGenerate();
    }
    // Generates the shape's heightmap into path: the reference's bytes, as assimp reads them.
    void ExpectGenerated(const std::string& path, const HeightmeshShape& shape)
    {
        SetHeightmap(shape);
        GenerateTo(path);
        const HeightmeshData mesh = SampleHeightmesh(shape);
        EXPECT_EQ(StatusLine(), Saved(path));
        EXPECT_EQ(GenerationParams.gridStep, shape.gridStep);
        EXPECT_EQ(ReadFileBytes(path), HeightmeshFileBytes(mesh));
        ExpectAssimpReads(path, mesh);
    }
};

TEST_F(HeightMeshTest, RandomHeightmapsAndSettingsGiveTheReferenceFile)
{
    std::mt19937 random(7);
    for (int round = 0; round < 16; ++round) {
        SCOPED_TRACE(round);
        const int width = 2 << random() % 6, height = 2 << random() % 6;
        std::vector<int> reds(width * height);
        for (int& red : reds)
            red = round % 5 == 0 || random() % 4 == 0 ? 0 : random() % 256;
        HeightmeshShape shape = Picture(width, height, [reds, width](int x, int y) { return reds[y * width + x]; });
        if (round % 2) {
            shape = Apply(shape, 1 + random() % 1024, 1 + random() % 6, 1 + random() % 4096, 4 + random() % 1021,
                          random() % 2);
        } else {  // without a properties window the parameters are taken as they are; a step below 1 as 1
            PropertiesWindow = nullptr;
            const int step = random() % 9;
            shape.textureScale = (random() % 10000) / 999.0f;
            shape.heightScale = round % 4 ? (random() % 10000) / 77.0f : -0.0f;
            shape.overallScale = (random() % 10000) / 33.0f;
            shape.eliminateZeroHeight = random() % 2;
            GenerationParams = {shape.textureScale, step, shape.heightScale, shape.overallScale,
                                shape.eliminateZeroHeight};
            shape.gridStep = std::max(1, std::min({step, shape.width / 2, shape.height / 2}));
        }
        const std::string path = File("random.3ds");
        std::remove(path.c_str());
        if (SampleHeightmesh(shape).faces.empty()) {
            SetHeightmap(shape);
            OnGenerate();
            EXPECT_EQ(StatusLine(), "All triangles eliminated! Aborting write.");
            EXPECT_NE(access(path.c_str(), F_OK), 0);  // no file, not even an empty one
        } else {
            ExpectGenerated(path, shape);
        }
        PropertiesWindow = properties;
    }
    // reading the window saved the settings: the record, then the block naming the folder saved to
    EXPECT_GT(ReadFileBytes(File("orvanel.cfg")).size(), 2084u);
}

// A 4 x 4 heightmap at grid step 2 (fuzz 6 clamped) with red 10, 20, 30, 40 where sampled.
TEST_F(HeightMeshTest, ExampleHeightmapGivesTheGoldenFileThroughOneSaveDialog)
{
    const std::string golden(
        "\x4D\x4D\xA3\x00\x00\x00\x02\x00\x08\x00\x00\x00\x03\x00\x3D\x3D\x95\x00\x00\x00\x00\x40\x8F\x00\x00\x00"
        "\x68\x65\x69\x67\x68\x74\x6D\x65\x73\x68\x00\x00\x41\x7E\x00\x00\x00\x10\x41\x38\x00\x00\x00\x04\x00\x00"
        "\x00\x40\xC2\x00\x00\x40\x42\x00\x00\x20\x41\x00\x00\x00\x00\x00\x00\x40\x42\x00\x00\xA0\x41\x00\x00\x40"
        "\xC2\x00\x00\x00\x80\x00\x00\xF0\x41\x00\x00\x00\x00\x00\x00\x00\x80\x00\x00\x20\x42\x40\x41\x28\x00\x00"
        "\x00\x04\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x3F\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
        "\x3F\x00\x00\x00\x3F\x00\x00\x00\x3F\x20\x41\x18\x00\x00\x00\x02\x00\x01\x00\x00\x00\x02\x00\x00\x00\x03"
        "\x00\x01\x00\x02\x00\x00\x00",
        163);
    const HeightmeshShape shape = Apply(
        Picture(4, 4, [](int x, int y) { return x % 2 || y % 2 ? 100 + x + 4 * y : 10 + 5 * x + 10 * y; }), 128, 6);
    ClearHeadlessDialogCalls();
    ExpectGenerated(File("example.3ds"), shape);
    EXPECT_EQ(ReadFileBytes(File("example.3ds")), Bytes(golden.begin(), golden.end()));
    QueueFileDialogAnswer(nullptr);  // a cancel changes nothing
    OnGenerate();
    EXPECT_TRUE(HeadlessDialogCalls().size() == 2 && StatusLine() == Saved(File("example.3ds")) && !OutputBuffer.bytes);
}

// What is refused, and the largest mesh that is written.
TEST_F(HeightMeshTest, CountsPastThe16BitLimitsAndTinyPicturesAreRefused)
{
    const struct {
        int width, height, fuzz;
        const char* message;  // null: written
    } cases[] = {
        {256, 128, 1, nullptr},
        {256, 256, 1, "Aborting, triangle count would exceed MAX_WORD. (3DS format limitation)"},
        {512, 512, 1, "Aborting, triangle count would exceed MAX_WORD. (3DS format limitation)"},
        {32768, 2, 3, "Aborting, vertex count would exceed MAX_WORD. (3DS format limitation)"},
        {1, 4, 1, "The image must be at least 2 pixels wide and high."},
        {4, 1, 1, "The image must be at least 2 pixels wide and high."},
    };
    for (const auto& c : cases) {
        const HeightmeshShape shape = Apply(Hills(c.width, c.height), 128, c.fuzz);
        if (!c.message) {
            ExpectGenerated(File("largest.3ds"), shape);
            continue;
        }
        ClearHeadlessDialogCalls();
        SetHeightmap(shape);
        // past the 3DS limits the file is chosen first, since other formats have none
        const bool tiny = c.width < 2 || c.height < 2;
        if (!tiny)
            QueueFileDialogAnswer(File("over.3ds").c_str());
        OnGenerate();
        EXPECT_EQ(StatusLine(), c.message);
        EXPECT_EQ(HeadlessDialogCalls().size(), tiny ? 0u : 1u);
        EXPECT_NE(access(File("over.3ds").c_str(), F_OK), 0);
        EXPECT_GE(GenerationParams.gridStep, 1);
    }
}

// The kernel lets this process grow no file past `limit` bytes while it lives: a write past it
// puts only what fits on disk and the next one fails, as on a full disk.
struct FileSizeLimit {
    rlimit previous;
    void (*handler)(int) = signal(SIGXFSZ, SIG_IGN);
    explicit FileSizeLimit(rlim_t limit)
    {
        getrlimit(RLIMIT_FSIZE, &previous);
        rlimit lowered = {std::min(limit, previous.rlim_cur), previous.rlim_max};
        EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &lowered), 0);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &previous);
        signal(SIGXFSZ, handler);
    }
};

// Each refused save is reported and leaves every file as it was, with nothing beside it; with
// room again the same save goes through.
TEST_F(HeightMeshTest, RefusedSavesLeaveTheFilesAsTheyWere)
{
    const HeightmeshShape shape = Apply(Hills(16, 16));
    ExpectGenerated(File("first.3ds"), shape);
    ASSERT_TRUE(mkdir(File("folder.3ds").c_str(), 0755) == 0 && WriteFileBytes(File("old.3ds"), Bytes(100, 7)));
    const struct {
        const char* name;
        rlim_t limit;  // bytes a file may grow to
    } saves[] = {{"missing/mesh.3ds", RLIM_INFINITY}, {"folder.3ds", RLIM_INFINITY}, {"old.3ds", 1000}, {"new.3ds", 0}};
    for (const auto& save : saves) {
        const std::string path = File(save.name),
                          list = "find " + exeDir + " ! -name orvanel.cfg -printf '%P %s\\n' | sort";
        std::string before, after;
        ModelInstance* preview = CurrentModelInstance;
        RunCommand(list, &before);
        {
            FileSizeLimit limit(save.limit);
            GenerateTo(path);
        }
        RunCommand(list, &after);
        EXPECT_EQ(StatusLine(), "Could not save '" + path + "'.");
        EXPECT_EQ(after, before);
        EXPECT_TRUE(CurrentModelInstance == preview && !OutputBuffer.bytes);
        if (save.limit != RLIM_INFINITY)
            ExpectGenerated(path, shape);
    }
    EXPECT_EQ(CurrentModelInstance->path, File("new.3ds"));
}

mode_t Mode(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// A new file gets the umask's mode; a replaced file keeps its own, less set-id bits.
TEST_F(HeightMeshTest, SavesKeepTheModeOfTheFileTheyReplace)
{
    const HeightmeshShape shape = Apply(Hills(4, 4));
    const mode_t mask = umask(0);
    umask(mask);
    ExpectGenerated(File("mode.3ds"), shape);
    EXPECT_EQ(Mode(File("mode.3ds")), 0666 & ~mask);
    for (mode_t mode : {0600, 04755}) {
        ASSERT_EQ(chmod(File("mode.3ds").c_str(), mode), 0);
        ExpectGenerated(File("mode.3ds"), shape);
        EXPECT_EQ(Mode(File("mode.3ds")), mode & 0777);
    }
}

// Every allocation of a generation fails in turn: each failure is reported, writes nothing,
// keeps the preview and (under the leak checker) leaks nothing, until the generation succeeds.
TEST_F(HeightMeshTest, EachFailedAllocationIsReportedAndWritesNothing)
{
    const HeightmeshShape shape = Apply(Hills(64, 64), 128, 1, 256, 24, true);  // the output buffer has to grow
    ExpectGenerated(File("first.3ds"), shape);
    ModelInstance* preview = CurrentModelInstance;
    const std::string path = File("memory.3ds");
    int allowed = 0;
    for (; allowed < 10; ++allowed) {
        MeshAllocationsBeforeFailure = allowed;
        GenerateTo(path);
        MeshAllocationsBeforeFailure = -1;
        if (StatusLine() == Saved(path))
            break;
        // three mesh arrays, then the output buffer
        EXPECT_EQ(StatusLine(),
                  allowed < 3 ? "Not enough memory to build the mesh." : "Not enough memory to write the mesh.");
        EXPECT_NE(access(path.c_str(), F_OK), 0);  // no file, not even an empty one
        EXPECT_TRUE(CurrentModelInstance == preview && !OutputBuffer.bytes);
    }
    EXPECT_GE(allowed, 5);  // the output buffer grew at least once
    EXPECT_EQ(ReadFileBytes(path), HeightmeshFileBytes(SampleHeightmesh(shape)));
}

}  // namespace
