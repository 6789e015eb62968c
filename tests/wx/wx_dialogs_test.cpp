// The common dialogs, starting without a display, and running the
// application; the native dialogs are answered through xdotool while the
// frame timer keeps ticking inside them.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/xvfb_display.h"
#include "tests/wx/wx_test_support.h"

TEST(WxFileDialogText, FilterLosesItsEndMarkAndDefaultExtensionOnlyWhenTheNameHasNone)
{
    const std::pair<const char*, wxString> filters[] = {
        {"Bitmap files (*.bmp)|*.bmp||", "Bitmap files (*.bmp)|*.bmp"},
        {"3DS meshes (*.3ds)|*.3ds|All files (*.*)|*.*||", "3DS meshes (*.3ds)|*.3ds|All files (*.*)|*.*"},
        {nullptr, wxFileSelectorDefaultWildcardStr},
        {"", wxFileSelectorDefaultWildcardStr}};
    for (const auto& filter : filters)
        EXPECT_EQ(WildcardFromFilter(filter.first), filter.second) << (filter.first ? filter.first : "null");
    const char* const names[][3] = {
        // name, default extension, result
        {"/tmp/mesh", ".3ds", "/tmp/mesh.3ds"},     {"/tmp/mesh", "3ds", "/tmp/mesh.3ds"},
        {"/tmp/mesh.obj", ".3ds", "/tmp/mesh.obj"}, {"/tmp/v1.2/mesh", ".3ds", "/tmp/v1.2/mesh.3ds"},
        {"/tmp/mesh", nullptr, "/tmp/mesh"},        {"/tmp/mesh", "", "/tmp/mesh"}};
    for (const auto& name : names)
        EXPECT_EQ(AppendDefaultExtension(name[0], name[1]), name[2]) << name[0] << " " << (name[1] ? name[1] : "null");
}

// ---------------------------------------------------------------------------
// Native dialogs, answered by typing into them from the frame timer

static int TicksInDialog = 0;
static std::string KeysToType;  // shell command that answers the dialog once it had time to appear

static void TypeIntoDialog(WindowHandle, unsigned, uintptr_t, uint32_t)
{
    ++TicksInDialog;
    // a few ticks, then answer; later ticks retry in case the dialog was not up yet
    if (TicksInDialog % 100 == 30)
        RunOnDisplay(KeysToType);
}

class NativeDialogTest : public WxTest {
protected:
    void SetUp() override
    {
        WxTest::SetUp();
        ASSERT_TRUE(main.Create());
        TicksInDialog = 0;
        // interval 10 ms so that typing waits for the dialog to map
        ASSERT_TRUE(SetWindowTimer(main.Window(), 1025, 10, TypeIntoDialog));
        alarm(60);  // a dialog that never closes fails the test instead of hanging it
    }
    void TearDown() override
    {
        alarm(0);
        WxTest::TearDown();
    }
    RecordingDialog main;
};

TEST_F(NativeDialogTest, MessageBoxReturnsOkAndTheTimerTicksInside)
{
    KeysToType = "xdotool key Return";
    EXPECT_EQ(ShowMessageBox(main.Window(), "Could not write the mesh.", "Orvanel", MessageBoxOkButton),
              MessageBoxResultOk);
    EXPECT_GE(TicksInDialog, 30);
}

TEST_F(NativeDialogTest, SaveDialogAppendsTheDefaultExtension)
{
    char folder[] = "/tmp/orvanel_wx_saveXXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    std::string typed = std::string(folder) + "/valley";
    // select what the name field holds, so that a retry replaces it
    KeysToType = "xdotool key ctrl+a && xdotool type --delay 5 '" + typed + "' && xdotool key Return";
    FileDialogRequest request = {main.Window(), true, "3DS meshes (*.3ds)|*.3ds||", ".3ds", FileDialogOverwritePrompt};
    char path[512] = {};
    ASSERT_TRUE(ShowFileDialog(request, path, sizeof path));
    EXPECT_EQ(std::string(path), typed + ".3ds");
    EXPECT_GE(TicksInDialog, 30);
    char tooSmall[8];
    TicksInDialog = 0;
    // a confirmed path that does not fit is refused, never cut
    EXPECT_FALSE(ShowFileDialog(request, tooSmall, sizeof tooSmall));
    rmdir(folder);
}

TEST_F(NativeDialogTest, CompletedNameOfAnExistingFileIsNotReplacedWithoutConsent)
{
    char folder[] = "/tmp/orvanel_wx_saveXXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    std::string typed = std::string(folder) + "/valley";
    FILE* existing = fopen((typed + ".3ds").c_str(), "w");
    ASSERT_NE(existing, nullptr);
    fclose(existing);
    // the toolkit sees no "valley"; the program asks about "valley.3ds", and
    // the later Return answers that question with its default, No
    KeysToType = "xdotool key ctrl+a && xdotool type --delay 5 '" + typed + "' && xdotool key Return";
    FileDialogRequest request = {main.Window(), true, "3DS meshes (*.3ds)|*.3ds||", ".3ds", FileDialogOverwritePrompt};
    char path[512] = {};
    EXPECT_FALSE(ShowFileDialog(request, path, sizeof path));
    EXPECT_GE(TicksInDialog, 130) << "the question was answered by the second round of keys";
    remove((typed + ".3ds").c_str());
    rmdir(folder);
}

TEST_F(NativeDialogTest, ColorDialogCancelledByEscapeChangesNothing)
{
    KeysToType = "xdotool key Escape";
    uint32_t chosen = 0xDEADBEEF;
    EXPECT_FALSE(ShowColorDialog(main.Window(), 0x00336699, &chosen));
    EXPECT_EQ(chosen, 0xDEADBEEFu);
    EXPECT_GE(TicksInDialog, 30);
}

// ---------------------------------------------------------------------------
// Starting and running

TEST(WxStart, RefusesToStartWithoutADisplay)
{
    std::string self = "/proc/" + std::to_string(getpid()) + "/exe";
    std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY " + self + " --start-without-display >/dev/null 2>&1";
    int status = system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 20);
}

class ShortApp : public PlatformApp {
public:
    bool InitInstance() override
    {
        RecordingDialog dialog;
        ranModal = dialog.Create() && IsPlatformWindowVisible(dialog.Window());
        dialog.EndDialog(1);
        return false;
    }
    bool ranModal = false;  // the main window came up inside the application
};

// Shuts the toolkit down, so it runs last in this file and in the suite.
TEST(WxZzRunApp, RunPlatformAppRunsInitInstanceAndExitsWithZero)
{
    ShortApp app;
    char name[] = "orvanel";
    char* arguments[] = {name, nullptr};
    EXPECT_EQ(RunPlatformApp(app, 1, arguments), 0);
    EXPECT_TRUE(app.ranModal);
    EXPECT_EQ(WxWindowCount(), 0);
}
