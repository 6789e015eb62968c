// The main window on the headless back end: start-up order, the command line,
// drops, drags, resizing, the menus, Generate and every way out.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/main_dialog.h"
#include "image/image_load.h"
#include "model/model_store.h"
#include "render/gl_setup.h"
#include "render/lighting_textures.h"
#include "resources/resource_ids.h"
#include "settings/settings_block.h"
#include "tests/support/main_window_fixture.h"
#include "tests/support/test_files.h"

namespace {

// The timers, and whether the properties window existed, when a file's load message appeared.
int TimersAtLoad = -1;
bool PropertiesWindowAtLoad = true;

void ObserveLoadMessage(WindowHandle window, int controlId, const char* text)
{
    if (controlId == StatusLineControl && strncmp(text, "Successfully loaded", 19) == 0) {
        TimersAtLoad = HeadlessTimerCount(window);
        PropertiesWindowAtLoad = HeadlessFindWindow(PropertiesDialogTemplate) != nullptr;
    }
}

class ShellTest : public MainWindowTest {
protected:
    // The program's files as the build lays them beside the executable.
    void PrepareExeDirectory() override
    {
        ASSERT_EQ(RunCommand("mkdir '" + exeDir + "/fp' '" + exeDir + "/assets'"), 0);
        for (std::string file : {"fp/light_std.fp", "assets/deftex.bmp", "assets/defnrm.bmp"})
            ASSERT_TRUE(WriteFileBytes(exeDir + "/" + file, ReadFileBytes(ORVANEL_RUNTIME_DIR "/" + file)));
    }

    // A heightmap of `side` pixels whose red rises along x.
    std::string Heightmap(const std::string& path, int side = 16)
    {
        EXPECT_TRUE(WriteFileBytes(path, Bmp24Bytes(side, side, [=](int x, int) { return (40u + x * 8) << 16; })));
        return path;
    }
};

// The lighting textures take the first texture names, before the decal and the normal map.
TEST_F(ShellTest, StartUpShowsEverythingAndItsMenusWork)
{
    StartMainWindow();
    EXPECT_EQ(StatusLine(), "OpenGL initialization successful.");
    EXPECT_STREQ(ExeDirectory, exeDir.c_str());
    EXPECT_EQ(std::vector<int64_t>({NormalizationCubeMapId, AttenuationTextureId, DecalTextureId, NormalTextureId}),
              std::vector<int64_t>({1, 2, 3, 4}));
    EXPECT_EQ(HeadlessTimerCount(Window()), 2);  // the frame and the live preview
    EXPECT_EQ(HeadlessSystemMenuItems(Window()), std::vector<std::string>({"", "&About Orvanel...\tF1"}));
    EXPECT_EQ(HeadlessWindowIcon(Window()), MainIcon);
    EXPECT_FALSE(IsControlEnabled(Window(), GenerateButtonControl));
    for (bool visible : {true, false, true}) {
        EXPECT_EQ(IsPlatformWindowVisible(PropertiesWindow), visible);
        EXPECT_EQ(GetMenuItemState(Window(), GenerationPropertiesCommand), visible ? int(MenuItemChecked) : 0);
        ASSERT_TRUE(HeadlessChooseMenuItem(Window(), GenerationPropertiesCommand));
    }
    HeadlessSendSystemCommand(Window(), AboutSystemCommand);
    const std::vector<HeadlessDialogCall>& calls = HeadlessDialogCalls();
    EXPECT_TRUE(calls.size() == 1 && calls[0].templateId == AboutDialogTemplate && calls[0].owner == Window());
    EXPECT_FALSE(dialog->Ended());
}

TEST_F(ShellTest, WithoutFragmentProgramTheDecalAndNormalMapTakeTheFirstNames)
{
    ASSERT_EQ(remove((exeDir + "/fp/light_std.fp").c_str()), 0);
    StartMainWindow();
    EXPECT_EQ(StatusLine(), "Could not read the lighting program '" + exeDir + "/fp/light_std.fp'.");
    EXPECT_EQ(std::vector<uint32_t>({DecalTextureId, NormalTextureId}), std::vector<uint32_t>({1, 2}));
}

// Only the first dropped file loads, its long path whole; each drag adds the pointer's
// movement since the button went down; a window smaller than the preview frame's margins
// leaves an empty frame and a one-pixel viewport; Generate saves the mesh and shows it.
TEST_F(ShellTest, DropDragResizeAndGenerate)
{
    StartMainWindow();
    std::string folder = exeDir + "/a-folder-name-long-enough-to-pass-sixty-four-characters";
    ASSERT_EQ(RunCommand("mkdir '" + folder + "'"), 0);
    HeadlessDropFiles(Window(), {Heightmap(folder + "/first.bmp", 8), Heightmap(exeDir + "/second.bmp")});
    EXPECT_EQ(StatusLine(), "Successfully loaded '" + folder + "/first.bmp'.");
    EXPECT_EQ(HeightmapImage->width, 8);
    char title[256];
    GetWindowTitle(Window(), title, sizeof title);
    EXPECT_STREQ(title, "first.bmp \xE2\x80\x94 Orvanel");

    const struct {
        unsigned buttons;
        int x, y;
        float spin, tilt;
        bool panned;  // the mesh moved right, never down
    } moves[] = {{0, 5, 5, 0, 0, false},
                 {MouseLeftButton, 100, 100, 0, 0, false},
                 {MouseLeftButton, 200, 120, 45, 9, false},
                 {0, 300, 300, 45, 9, false},
                 {MouseLeftButton, 5, 5, 45, 9, false},  // starts outside the preview
                 {MouseLeftButton, 105, 65, 45, 9, false},
                 {0, 100, 100, 45, 9, false},
                 {MouseMiddleButton, 100, 100, 45, 9, false},
                 {MouseMiddleButton, 110, 100, 45, 9, true}};
    for (const auto& move : moves) {
        HeadlessMouseMove(Window(), move.buttons, move.x, move.y);
        EXPECT_TRUE(ViewSpin == move.spin && ViewTilt == move.tilt) << move.x << ": " << ViewSpin << ", " << ViewTilt;
        EXPECT_TRUE((ViewPanX > 0.0f) == move.panned && ViewPanY == 0.0f) << move.x;
    }
    HeadlessMouseMove(Window(), 0, 100, 80);
    for (int x : {100, 200})  // Shift turns the light: 100 pixels, 45 degrees of azimuth
        HeadlessMouseMove(Window(), MouseLeftButton | MouseShiftKey, x, 80);
    EXPECT_TRUE(ViewSpin == 45.0f && SettingsBlock.lightAzimuth == 45.0f && SettingsBlock.lightElevation == 90.0f);
    EXPECT_TRUE(HeadlessChooseMenuItem(Window(), WireframeCommand));
    EXPECT_TRUE(SettingsBlock.wireframe == 1 && GetMenuItemState(Window(), WireframeCommand) == int(MenuItemChecked));
    // back as they were, so that the settings keep the record alone
    EXPECT_TRUE(HeadlessChooseMenuItem(Window(), WireframeCommand));
    HeadlessMouseMove(Window(), MouseLeftButton | MouseShiftKey, 100, 80);
    EXPECT_TRUE(SettingsBlock.wireframe == 0 && GetMenuItemState(Window(), WireframeCommand) == 0);
    HeadlessMouseWheel(Window(), -MouseWheelNotch, 5, 5);
    HeadlessMouseWheel(Window(), 2 * MouseWheelNotch, 100, 100);
    EXPECT_FLOAT_EQ(ViewZoom, 1.125f * 1.125f);
    EXPECT_TRUE(HeadlessChooseMenuItem(Window(), ResetViewCommand));
    EXPECT_TRUE(ViewSpin == 0.0f && ViewTilt == 0.0f && ViewZoom == 1.0f && ViewPanX == 0.0f);

    PlatformRect before, after, client = {0, 0, 348, 240};  // the template's client size
    ASSERT_TRUE(MapDialogRect(Window(), &client) && GetControlRect(Window(), StatusLineControl, &before));
    HeadlessResizeClient(Window(), client.right + 400, client.bottom);
    GetControlRect(Window(), StatusLineControl, &after);
    EXPECT_EQ(after.right - after.left, before.right - before.left + 400);  // the status line grows with the window
    HeadlessResizeClient(Window(), 10, 10);
    PlatformRect frame;
    GLint viewport[4];
    ASSERT_TRUE(GetControlRect(Window(), PreviewFrameControl, &frame));
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_TRUE(frame.right == frame.left && frame.bottom == frame.top && viewport[2] == 1 && viewport[3] == 1);

    QueueFileDialogAnswer(Heightmap(exeDir + "/menu.bmp").c_str());
    ASSERT_TRUE(HeadlessChooseMenuItem(Window(), LoadHeightmapCommand));
    QueueFileDialogAnswer((exeDir + "/out.3ds").c_str());
    ASSERT_TRUE(HeadlessClickButton(Window(), GenerateButtonControl));
    EXPECT_EQ(StatusLine(), "Successfully saved '" + exeDir + "/out.3ds'.");
    EXPECT_NE(CurrentModelInstance, nullptr);
    // Generate read the properties back: the record, and the block with the folders and the recent heightmap
    const std::vector<uint8_t> cfg = ReadFileBytes(exeDir + "/orvanel.cfg");
    EXPECT_TRUE(cfg.size() > 2084u && std::string(cfg.begin() + 2084, cfg.begin() + 2088) == "ORVX");
}

// The command line's file loads before the frame timer and the properties window start.
// Each way out (close box, File > Exit, Escape) saves the sliders and releases the
// preview, the models and the heightmap.
class ShutDownTest : public ShellTest, public ::testing::WithParamInterface<int> {};

TEST_P(ShutDownTest, CommandLineFileLoadsFirstAndEachWayOutSavesTheSliders)
{
    strcpy(CommandLinePath, Heightmap(exeDir + "/start.bmp").c_str());
    SetHeadlessTextObserver(ObserveLoadMessage);
    StartMainWindow();
    EXPECT_EQ(StatusLine(), "Successfully loaded '" + exeDir + "/start.bmp'.");
    EXPECT_TRUE(TimersAtLoad == 0 && !PropertiesWindowAtLoad);
    EXPECT_TRUE(HeightmapTextureId == 5 && IsControlEnabled(Window(), GenerateButtonControl));
    HeadlessMoveTrackbar(PropertiesWindow, FuzzTrackbarControl, 5);
    HeadlessMoveTrackbar(PropertiesWindow, ScaleTrackbarControl, 100);
    if (GetParam() == 0)
        HeadlessCloseWindow(Window());
    else if (GetParam() == 1)
        HeadlessChooseMenuItem(Window(), ExitCommand);
    else
        HeadlessPressEscape(Window());
    EXPECT_TRUE(dialog->Ended());
    EXPECT_TRUE(PreviewGLContext == nullptr && HeightmapImage == nullptr);
    std::vector<uint8_t> saved = ReadFileBytes(exeDir + "/orvanel.cfg");
    ASSERT_GE(saved.size(), 2084u);  // the record, then the block that names the recent heightmap
    // stretch, grid fuzz, height scaling, overall scale
    EXPECT_EQ(std::vector<uint32_t>(
                  {GetLE32(&saved[2064]), GetLE32(&saved[2068]), GetLE32(&saved[2072]), GetLE32(&saved[2076])}),
              std::vector<uint32_t>({128, 5, 256, 100}));
}

INSTANTIATE_TEST_SUITE_P(CloseBoxExitAndEscape, ShutDownTest, ::testing::Values(0, 1, 2));

}  // namespace

// Habits: the Open dialog starts where the last heightmap came from, File > recent
// heightmaps lists them newest first and loads them, and Save As proposes the heightmap's
// name, in the folder last saved to.
TEST_F(ShellTest, RecentHeightmapsProposedNamesAndRememberedFolders)
{
    ASSERT_EQ(RunCommand("mkdir '" + exeDir + "/maps' '" + exeDir + "/meshes'"), 0);
    const std::string first = Heightmap(exeDir + "/maps/first.bmp"), second = Heightmap(exeDir + "/second.bmp");
    StartMainWindow();
    EXPECT_FALSE(HeadlessChooseMenuItem(Window(), RecentHeightmapCommand)) << "no recent heightmap yet";
    for (const std::string& path : {first, second}) {
        QueueFileDialogAnswer(path.c_str());
        ASSERT_TRUE(HeadlessChooseMenuItem(Window(), LoadHeightmapCommand));
    }
    EXPECT_EQ(HeadlessDialogCalls()[1].initialFolder, exeDir + "/maps");
    EXPECT_FALSE(HeadlessChooseMenuItem(Window(), RecentHeightmapCommand + 2));
    ASSERT_TRUE(HeadlessChooseMenuItem(Window(), RecentHeightmapCommand + 1));
    EXPECT_EQ(StatusLine(), "Successfully loaded '" + first + "'.");
    for (const char* folder : {"", "/meshes"}) {
        QueueFileDialogAnswer((exeDir + "/meshes/first.3ds").c_str());
        ASSERT_TRUE(HeadlessClickButton(Window(), GenerateButtonControl));
        const HeadlessDialogCall& save = HeadlessDialogCalls().back();
        EXPECT_EQ(save.initialName, "first.3ds");
        EXPECT_EQ(save.initialFolder, folder[0] ? exeDir + folder : "");
    }
}
