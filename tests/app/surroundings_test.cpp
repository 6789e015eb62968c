// Batch mode in the surroundings it meets: file size limits, outputs that share a file,
// links, named pipes, what --info is given, long paths, signals during a save, and a copy
// of the program without the files that lie beside it.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "tests/support/test_files.h"

namespace {

const auto Ramp = [](int x, int y) { return static_cast<uint32_t>((x * 7 + y * 3) % 256) << 16; };

// A shell line run in the folder, `orvanel` being the program under a 20 s guard (a run
// that waits forever ends with 124); its exit status and what it printed.
int Shell(const TempFolder& folder, const std::string& line, std::string* output = nullptr)
{
    return RunCommand("cd '" + folder.path +
                          "' && EXE='" ORVANEL_EXECUTABLE "' && orvanel() { timeout 20 \"$EXE\" \"$@\"; } && { " +
                          line + "; }",
                      output);
}

const char NoTemporaryFile[] = "! ls -A | grep -q orvanel-save";

struct SurroundingCase {
    const char* name;        // the test's name
    const char* line;        // the set-up and the run, one shell line
    int status;              // the run's exit status
    const char* says;        // what the run prints, fragments separated by '|'
    const char* afterwards;  // a shell test that holds for the folder afterwards
};

const SurroundingCase SurroundingCases[] = {
    // a file size limit fails the save as a full disk does; a preview is replaced only whole
    {"FileSizeLimit", "ulimit -f 8; orvanel --generate h.bmp --output m.3ds --grid-fuzz 1", 1, "Could not save '",
     "test ! -e m.3ds"},
    {"PreviewReplacedOnlyWhole",
     "convert -size 8x8 xc:red old.png && cp old.png p.png && ulimit -f 8 && "
     "orvanel --generate h.bmp --output m.3ds --grid-fuzz 4 --preview p.png",
     1, "Could not save 'p.png'.", "cmp old.png p.png"},
    // every output is checked before anything is replaced; one file is never two of the run's files
    {"OutputsCheckedFirst", "echo old > m.3ds; orvanel --generate h.bmp --output m.3ds --preview none/p.png", 1,
     "Could not save 'none/p.png'.", "grep -q old m.3ds"},
    {"OutputTwice", "orvanel --generate h.bmp --output m.3ds --preview m.3ds", 2,
     "--preview names the same file as --output", "test ! -e m.3ds"},
    {"OutputLinkedToTheHeightmap", "ln -s h.bmp l.3ds; orvanel --generate h.bmp --output l.3ds", 2,
     "--output names the same file as --generate", "head -c 2 h.bmp | grep -q BM"},
    {"PreviewOverTheHeightmap", "orvanel --generate h.bmp --output m.3ds --decal h.bmp --preview ./h.bmp", 2,
     "--preview names the same file as --generate", "head -c 2 h.bmp | grep -q BM"},
    // links: saved to the file they name, also when it is not there yet; a loop is refused
    {"DanglingLink", "mkdir d; ln -s d/new.3ds m.3ds; orvanel --generate h.bmp --output m.3ds", 0, "Successfully saved",
     "test -L m.3ds && test -s d/new.3ds"},
    {"LinkLoop", "ln -s a.3ds b.3ds; ln -s b.3ds a.3ds; orvanel --generate h.bmp --output a.3ds", 1, "Could not save '",
     "test -L a.3ds && test -L b.3ds"},
    // a named pipe is no file to read, wherever it is named
    {"PipeAsHeightmap", "mkfifo f.bmp; orvanel --generate f.bmp --output m.3ds", 1, "Could not open 'f.bmp'.",
     "test ! -e m.3ds"},
    {"PipeAsSettings", "mkfifo f.cfg; orvanel --generate h.bmp --output m.3ds --settings f.cfg", 1,
     "Could not open 'f.cfg'.", "test ! -e m.3ds"},
    {"PipeAsInfo", "mkfifo f.3ds; orvanel --info f.3ds", 1, "Could not open 'f.3ds'.", "true"},
    // --info: a plain file that begins as a 3DS file; names from the file are printed escaped
    {"InfoOfABmp", "orvanel --info h.bmp", 1, "'h.bmp' is not a 3DS file.", "true"},
    {"InfoNamesEscaped",
     "orvanel --generate h.bmp --output n.3ds >/dev/null && printf '\\033[2J\\nfake:' | "
     "dd of=n.3ds bs=1 seek=26 conv=notrunc 2>/dev/null && orvanel --info n.3ds",
     0, "  \\x1B[2J\\x0Afake:: 256 vertices", "true"},
    // a copy of the program with a pipe for orvanel.cfg (batch mode reads none) and no assets/ or fp/: the
    // mesh is drawn untextured with vertex-colour lighting
    {"CopyWithoutNeighbours",
     "mkdir bin && cp \"$EXE\" bin/ && mkfifo bin/orvanel.cfg && "
     "timeout 20 bin/orvanel --generate h.bmp --output m.3ds --preview p.png --preview-size 320x240 "
     "--overall-scale 64 --tilt 30",
     0, "Could not read the lighting program '|/bin/fp/light_std.fp'.|Could not load the default textures from '",
     "test $(convert p.png -crop 40x40+140+160 -format '%[fx:mean>0.3]' info:) = 1"},  // lit white, not black
};

class SurroundingsTest : public ::testing::TestWithParam<SurroundingCase> {};

INSTANTIATE_TEST_SUITE_P(Runs, SurroundingsTest, ::testing::ValuesIn(SurroundingCases),
                         [](const ::testing::TestParamInfo<SurroundingCase>& info) { return info.param.name; });

TEST_P(SurroundingsTest, EndsAsItMustAndLeavesNoTemporaryFile)
{
    const SurroundingCase& c = GetParam();
    TempFolder folder;
    ASSERT_TRUE(WriteFileBytes(folder.File("h.bmp"), Bmp24Bytes(32, 32, Ramp)));
    std::string output;
    EXPECT_EQ(Shell(folder, c.line, &output), c.status) << output;
    for (std::string says = c.says; !says.empty();) {
        const size_t bar = std::min(says.find('|'), says.size());
        EXPECT_NE(output.find(says.substr(0, bar)), std::string::npos) << output;
        says.erase(0, bar + 1);
    }
    EXPECT_EQ(output.find('\033'), std::string::npos) << "a control character reached the terminal";
    EXPECT_EQ(Shell(folder, c.afterwards), 0) << c.afterwards;
    EXPECT_EQ(Shell(folder, NoTemporaryFile), 0);
}

// A path below the folder that is `length` characters long and ends in `name`, its
// folders made.
std::string DeepPath(const TempFolder& folder, size_t length, const std::string& name)
{
    std::string path = folder.path;
    while (path.size() + 1 + name.size() < length) {
        const size_t left = length - path.size() - 1 - name.size();
        path += "/" + std::string(left <= 201 ? left - 1 : std::min<size_t>(200, left - 3), 'd');
    }
    EXPECT_EQ(Shell(folder, "mkdir -p '" + path.substr(folder.path.size() + 1) + "'"), 0);
    return path + "/" + name;
}

// Every path the system takes works, given whole or relative to a deep working folder
// (its absolute form then too long); one it does not take is said.
TEST(LongPathsTest, WorkUpToTheSystemsLimitAndPastItAreSaid)
{
    TempFolder folder;
    ASSERT_TRUE(WriteFileBytes(folder.File("h.bmp"), Bmp24Bytes(8, 8, Ramp)));
    const struct {
        size_t length;  // of the absolute path
        bool relative;  // given relative to the folder
        int status;
    } cases[] = {{4074, false, 0}, {4095, false, 0}, {4110, true, 0}, {4096, false, 1}};
    for (const auto& c : cases) {
        const std::string path = DeepPath(folder, c.length, "m.3ds");
        const std::string given = c.relative ? path.substr(folder.path.size() + 1) : path;
        std::string output;
        EXPECT_EQ(Shell(folder, "orvanel --generate h.bmp --output '" + given + "'", &output), c.status) << c.length;
        const std::string check = "test -s '" + path.substr(folder.path.size() + 1) + "'";
        EXPECT_EQ(Shell(folder, c.status == 0 ? check : "! " + check), 0) << c.length;
        const std::string info = "orvanel --info '" + given + "' | grep -q '1 surface'";
        EXPECT_EQ(Shell(folder, c.status == 0 && !c.relative ? info : "true"), 0) << c.length;
        EXPECT_EQ(output.find("Could not save '") != std::string::npos, c.status != 0) << c.length;
    }
}

// Starts a save of a 1 MB mesh and sends it the signal the moment a file is made in the
// folder: the save's temporary file, which is all it makes there.
void InterruptSave(const TempFolder& folder, int signal)
{
    const int watch = inotify_init1(IN_CLOEXEC);
    ASSERT_GE(inotify_add_watch(watch, folder.path.c_str(), IN_CREATE), 0);
    const pid_t child = fork();
    if (child == 0) {
        if (chdir(folder.path.c_str()) == 0 && freopen("/dev/null", "w", stderr))
            execl(ORVANEL_EXECUTABLE, "orvanel", "--generate", "big.bmp", "--output", "big.3ds", "--grid-fuzz", "1",
                  nullptr);
        _exit(127);
    }
    struct pollfd created = {watch, POLLIN, 0};
    EXPECT_EQ(poll(&created, 1, 20000), 1) << "no temporary file was made";
    kill(child, signal);
    int status = 0;
    waitpid(child, &status, 0);
    close(watch);
}

// SIGTERM, SIGINT and SIGHUP remove the temporary file before the process ends; what a
// kill -9 may leave is removed by a later save once it is minutes old (a young one may be
// another save in progress).
TEST(SignalsTest, NoTemporaryFileOutlivesAnInterruptedSave)
{
    TempFolder folder;
    ASSERT_TRUE(WriteFileBytes(folder.File("big.bmp"), Bmp24Bytes(256, 128, Ramp)));
    for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGKILL})
        for (int run = 0; run < 5; ++run) {
            InterruptSave(folder, signal);
            EXPECT_TRUE(signal == SIGKILL || Shell(folder, NoTemporaryFile) == 0) << strsignal(signal);
        }
    std::string left;
    EXPECT_EQ(Shell(folder,
                    "touch .orvanel-save-Stale1 && touch -d '-10 min' .orvanel-save-* && touch .orvanel-save-Young1 "
                    "&& orvanel --generate big.bmp --output big.3ds --grid-fuzz 3 2>/dev/null && ls -A | grep save",
                    &left),
              0);
    EXPECT_EQ(left, ".orvanel-save-Young1\n");
}

}  // namespace
