// Saves that fail: a missing directory, a full disk (a file size limit the kernel
// enforces), memory running out at each allocation. None is reported as a success, none
// damages the file it would replace, none leaves a temporary file or changes the preview.
#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "image/image_load.h"
#include "mesh/height_mesh.h"
#include "mesh/mesh_alloc.h"
#include "mesh/write3ds.h"
#include "model/model_store.h"
#include "tests/mesh/mesh_test_support.h"

namespace {

uint8_t Hills(int x, int y)
{
    return static_cast<uint8_t>((x * x + 3 * y) % 200);
}

std::vector<std::string> DirectoryEntries(const std::string& path)
{
    std::vector<std::string> names;
    DIR* directory = opendir(path.c_str());
    if (!directory)
        return names;
    while (dirent* entry = readdir(directory)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    closedir(directory);
    std::sort(names.begin(), names.end());
    return names;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

mode_t FileMode(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// The kernel refuses to let this process grow a file past `limit` bytes while it lives:
// a write past it puts only what fits on disk and the next one fails, as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit)
    {
        previousHandler = signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous);
        rlimit lowered = previous;
        lowered.rlim_cur = limit;
        applied = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &previous);
        signal(SIGXFSZ, previousHandler);
    }
    bool applied = false;

private:
    rlimit previous;
    void (*previousHandler)(int);
};

class SaveFailureTest : public MeshTest {
protected:
    // A model in the preview and a status line to compare against.
    void ShowFirstModel()
    {
        GenerateAndCheck(PathInExeDir("first.3ds"), 4, 4, Hills, MeshSettings{});
        ASSERT_NE(CurrentModelInstance, nullptr);
        previewBefore = CurrentModelInstance;
        modelBefore = GetInstanceModel(CurrentModelInstance);
        ASSERT_NE(modelBefore, nullptr);
    }
    void ExpectPreviewUnchanged()
    {
        EXPECT_EQ(CurrentModelInstance, previewBefore);
        EXPECT_EQ(GetInstanceModel(CurrentModelInstance), modelBefore);
        EXPECT_EQ(OutputBuffer.bytes, nullptr);
    }
    ModelInstance* previewBefore = nullptr;
    Model* modelBefore = nullptr;
};

// A save the system refuses: where to, what stands there before, the file size limit
// (none when negative), and what the folder holds afterwards.
struct RefusedSave {
    const char* what;                  // test name suffix
    const char* name;                  // path below the folder
    bool folderThere;                  // a folder stands at the path
    bool oldFile;                      // a 100-byte file stands at the path
    long limit;                        // RLIMIT_FSIZE in bytes, or -1
    std::vector<std::string> entries;  // the folder's names afterwards
};

void PrintTo(const RefusedSave& save, std::ostream* out)
{
    *out << save.what;
}

class RefusedSaveTest : public SaveFailureTest, public ::testing::WithParamInterface<RefusedSave> {};

TEST_P(RefusedSaveTest, IsReportedAndLeavesFilesAndPreviewAsTheyWere)
{
    const RefusedSave& c = GetParam();
    ShowFirstModel();
    const std::string path = PathInExeDir(c.name);
    std::vector<uint8_t> old(100);
    for (size_t i = 0; i < old.size(); ++i)
        old[i] = static_cast<uint8_t>(i * 7);
    if (c.folderThere) {
        ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
    }
    if (c.oldFile)
        WriteBytes(path, old);
    SetHeightmap(16, 16, Hills);  // a file of several kilobytes
    if (c.limit < 0) {
        GenerateTo(path);
    } else {
        FileSizeLimit limit(static_cast<rlim_t>(c.limit));
        ASSERT_TRUE(limit.applied);
        GenerateTo(path);
    }
    EXPECT_EQ(StatusLine(), "Could not save '" + path + "'.");
    EXPECT_EQ(DirectoryEntries(exeDir), c.entries);
    struct stat info;
    EXPECT_EQ(stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode), c.folderThere);
    if (c.oldFile) {
        EXPECT_EQ(ReadFileBytes(path), old);
    }
    ExpectPreviewUnchanged();
    // with room again the same save goes through
    if (c.limit >= 0) {
        GenerateAndCheck(path, 16, 16, Hills, MeshSettings{});
        ASSERT_NE(CurrentModelInstance, nullptr);
        EXPECT_STREQ(CurrentModelInstance->path, path.c_str());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Saves, RefusedSaveTest,
    ::testing::Values(
        RefusedSave{"MissingDirectory", "no-such-folder/mesh.3ds", false, false, -1, {"first.3ds", "orvanel.cfg"}},
        RefusedSave{
            "DirectoryChosenAsTheFile", "folder.3ds", true, false, -1, {"first.3ds", "folder.3ds", "orvanel.cfg"}},
        RefusedSave{
            "FullDiskKeepsTheOldFile", "target.3ds", false, true, 1000, {"first.3ds", "orvanel.cfg", "target.3ds"}},
        RefusedSave{"FullDiskWithoutOldFile", "new.3ds", false, false, 0, {"first.3ds", "orvanel.cfg"}}),
    [](const ::testing::TestParamInfo<RefusedSave>& info) { return std::string(info.param.what); });

TEST_F(SaveFailureTest, NewFilesFollowTheUmaskAndReplacedFilesKeepTheirMode)
{
    const mode_t mask = umask(022);
    const std::string fresh = PathInExeDir("fresh.3ds");
    GenerateAndCheck(fresh, 4, 4, Hills, MeshSettings{});
    EXPECT_EQ(FileMode(fresh), 0644u);

    const std::string secret = PathInExeDir("secret.3ds");
    WriteBytes(secret, std::vector<uint8_t>(5, 1));
    ASSERT_EQ(chmod(secret.c_str(), 0600), 0);
    GenerateAndCheck(secret, 4, 4, Hills, MeshSettings{});
    EXPECT_EQ(FileMode(secret), 0600u);

    // set-id bits are not handed on to a file the program wrote
    ASSERT_EQ(chmod(secret.c_str(), 04755), 0);
    GenerateAndCheck(secret, 4, 4, Hills, MeshSettings{});
    EXPECT_EQ(FileMode(secret), 0755u);
    umask(mask);
}

TEST_F(SaveFailureTest, NameAtTheLengthLimitAndRelativePathAreSaved)
{
    const std::string longName = std::string(251, 'm') + ".3ds";  // 255 bytes, the longest name
    GenerateAndCheck(PathInExeDir(longName), 4, 4, Hills, MeshSettings{});

    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(exeDir.c_str()), 0);
    SetHeightmap(4, 4, Hills);
    GenerateTo("relative.3ds");
    EXPECT_EQ(StatusLine(), "Successfully saved 'relative.3ds'.");
    EXPECT_NE(CurrentModelInstance, nullptr);
    ASSERT_EQ(chdir(previous), 0);
    WrittenMesh mesh = DecodeWrittenMesh(ReadFileBytes(PathInExeDir("relative.3ds")));
    EXPECT_EQ(mesh.faceCount(), 18);
    ExpectAssimpReadsMesh(PathInExeDir("relative.3ds"), mesh.positions, mesh.faces);
}

TEST_F(SaveFailureTest, LinkedTargetStaysALinkAndItsFileIsReplaced)
{
    const std::string real = PathInExeDir("real.3ds");
    const std::string link = PathInExeDir("link.3ds");
    WriteBytes(real, std::vector<uint8_t>(5, 1));
    ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
    GenerateAndCheck(link, 4, 4, Hills, MeshSettings{});
    struct stat info;
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(ReadFileBytes(real).size(), 67u + 20u * 16u + 8u * 18u);
}

// Every allocation of a generation is made to fail in turn; each failure is reported, writes
// nothing and (under the leak checker) leaks nothing, until the generation goes through.
TEST_F(SaveFailureTest, EachFailedAllocationIsReportedAndWritesNothing)
{
    ShowFirstModel();
    SetHeightmap(64, 64, Hills);  // the output buffer has to grow
    MeshSettings settings;
    settings.eliminate = 1;
    ApplySettings(settings);
    const std::string path = PathInExeDir("memory.3ds");
    int failures = 0;
    for (int allowed = 0; allowed < 10; ++allowed) {
        SetControlText(Window(), 1008, "");
        MeshAllocationsBeforeFailure = allowed;
        GenerateTo(path);
        MeshAllocationsBeforeFailure = -1;
        if (StatusLine() == "Successfully saved '" + path + "'.")
            break;
        ++failures;
        const std::string status = StatusLine();
        EXPECT_TRUE(status == "Not enough memory to build the mesh." ||
                    status == "Not enough memory to write the mesh.")
            << status;
        EXPECT_FALSE(FileExists(path));
        ExpectPreviewUnchanged();
        if (allowed < 3) {
            EXPECT_EQ(status, "Not enough memory to build the mesh.");
        }
    }
    // three mesh arrays, the output buffer and at least one growth of it
    EXPECT_GE(failures, 5);
    WrittenMesh mesh = DecodeWrittenMesh(ReadFileBytes(path));
    ASSERT_TRUE(mesh.valid);
    EXPECT_EQ(mesh.vertexCount(), 64 * 64);
    ExpectAssimpReadsMesh(path, mesh.positions, mesh.faces);
}

}  // namespace
