// The main window on the headless back end: start-up order, the command
// line, drops, drags, resizing, the about box, Generate and every way out.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "image/image_load.h"
#include "model/model_store.h"
#include "render/gl_setup.h"
#include "render/lighting_textures.h"
#include "resources/resource_ids.h"
#include "settings/settings.h"
#include "tests/support/main_window_fixture.h"

namespace {

// A 24-bit BMP whose red channel rises along x; enough to generate from.
void WriteHeightmap(const std::string& path, int width, int height)
{
    int stride = (width * 3 + 3) & ~3;
    std::vector<uint8_t> bytes(54 + static_cast<size_t>(stride) * height, 0);
    auto put = [&](size_t offset, uint32_t value, int size) {
        for (int i = 0; i < size; ++i)
            bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put(2, static_cast<uint32_t>(bytes.size()), 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, static_cast<uint32_t>(width), 4);
    put(22, static_cast<uint32_t>(height), 4);
    put(26, 1, 2);
    put(28, 24, 2);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bytes[54 + static_cast<size_t>(y) * stride + x * 3 + 2] = static_cast<uint8_t>(40 + x * 200 / width);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

bool CopyFile(const std::string& from, const std::string& to)
{
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary);
    out << in.rdbuf();
    return in.good() && out.good();
}

std::vector<uint8_t> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

int32_t ReadInt32(const std::vector<uint8_t>& bytes, size_t offset)
{
    int32_t value = 0;
    memcpy(&value, bytes.data() + offset, 4);
    return value;
}

// What the program looked like when the command-line file's message appeared.
struct StartUpObservation {
    bool seen = false;
    int timers = -1;
    bool propertiesWindowExisted = true;
} Observation;

void ObserveLoadMessage(WindowHandle window, int controlId, const char* text)
{
    if (controlId != StatusLineControl || strncmp(text, "Successfully loaded", 19) != 0)
        return;
    Observation.seen = true;
    Observation.timers = HeadlessTimerCount(window);
    Observation.propertiesWindowExisted = HeadlessFindWindow(PropertiesDialogTemplate) != nullptr;
}

}  // namespace

class ShellTest : public MainWindowTest {
protected:
    // The program's files as the build lays them beside the executable.
    void PrepareExeDirectory() override
    {
        ASSERT_EQ(system(("mkdir -p '" + exeDir + "/fp' '" + exeDir + "/assets'").c_str()), 0);
        const std::string built = ORVANEL_RUNTIME_DIR;
        ASSERT_TRUE(CopyFile(built + "/fp/light_std.fp", exeDir + "/fp/light_std.fp"));
        ASSERT_TRUE(CopyFile(built + "/assets/deftex.bmp", exeDir + "/assets/deftex.bmp"));
        ASSERT_TRUE(CopyFile(built + "/assets/defnrm.bmp", exeDir + "/assets/defnrm.bmp"));
    }

    std::string Heightmap(const char* name, int width = 16, int height = 16)
    {
        std::string path = exeDir + "/" + name;
        WriteHeightmap(path, width, height);
        return path;
    }

    std::vector<uint8_t> SavedSettings()
    {
        return ReadFile(exeDir + "/orvanel.cfg");
    }
};

TEST_F(ShellTest, StartUpTakesTextureNamesInOrderAndShowsEverything)
{
    StartMainWindow();
    EXPECT_EQ(StatusLine(), "OpenGL initialization successful.");
    EXPECT_STREQ(ExeDirectory, exeDir.c_str());
    ASSERT_TRUE(FragmentProgramAvailable);
    EXPECT_EQ(NormalizationCubeMapId, 1);
    EXPECT_EQ(AttenuationTextureId, 2);
    EXPECT_EQ(DecalTextureId, 3u);
    EXPECT_EQ(NormalTextureId, 4u);
    EXPECT_EQ(NextTextureId, 5u);
    EXPECT_EQ(HeadlessTimerCount(Window()), 1);
    ASSERT_NE(PropertiesWindow, nullptr);
    EXPECT_TRUE(IsPlatformWindowVisible(PropertiesWindow));
    EXPECT_EQ(GetMenuItemState(Window(), GenerationPropertiesCommand), 8);
    std::vector<std::string> systemMenu = HeadlessSystemMenuItems(Window());
    ASSERT_EQ(systemMenu.size(), 2u);
    EXPECT_EQ(systemMenu[0], "");
    EXPECT_EQ(systemMenu[1], "&About Orvanel...");
    EXPECT_EQ(HeadlessWindowIcon(Window()), MainIcon);
    EXPECT_FALSE(IsControlEnabled(Window(), GenerateButtonControl));
}

TEST_F(ShellTest, WithoutFragmentProgramTheDecalAndNormalMapTakeTheFirstNames)
{
    remove((exeDir + "/fp/light_std.fp").c_str());
    StartMainWindow();
    EXPECT_EQ(StatusLine(), "Could not read the lighting program '" + exeDir + "/fp/light_std.fp'.");
    EXPECT_FALSE(FragmentProgramAvailable);
    EXPECT_EQ(DecalTextureId, 1u);
    EXPECT_EQ(NormalTextureId, 2u);
}

TEST_F(ShellTest, CommandLineFileLoadsBeforeTheTimerAndThePropertiesWindow)
{
    std::string path = Heightmap("hills.bmp");
    strcpy(CommandLinePath, path.c_str());
    Observation = StartUpObservation();
    SetHeadlessTextObserver(ObserveLoadMessage);
    StartMainWindow();
    ASSERT_TRUE(Observation.seen);
    EXPECT_EQ(Observation.timers, 0);
    EXPECT_FALSE(Observation.propertiesWindowExisted);
    EXPECT_EQ(StatusLine(), "Successfully loaded '" + path + "'.");
    ASSERT_NE(HeightmapImage, nullptr);
    EXPECT_EQ(HeightmapTextureId, 5u);
    EXPECT_TRUE(IsControlEnabled(Window(), GenerateButtonControl));
}

TEST_F(ShellTest, OnlyTheFirstDroppedFileLoadsAndLongPathsArriveWhole)
{
    StartMainWindow();
    std::string directory = exeDir + "/a-folder-name-long-enough-to-pass-sixty-four-characters";
    ASSERT_EQ(system(("mkdir -p '" + directory + "'").c_str()), 0);
    std::string first = directory + "/first.bmp";
    WriteHeightmap(first, 8, 8);
    ASSERT_GT(first.size(), 70u);
    HeadlessDropFiles(Window(), {first, Heightmap("second.bmp"), Heightmap("third.bmp")});
    EXPECT_EQ(StatusLine(), "Successfully loaded '" + first + "'.");
    ASSERT_NE(HeightmapImage, nullptr);
    EXPECT_EQ(HeightmapImage->width, 8);
}

TEST_F(ShellTest, DragTurnsTheViewWithoutJumps)
{
    StartMainWindow();
    HeadlessMouseMove(Window(), 0, 5, 5);  // button up: no drag
    HeadlessMouseMove(Window(), MouseLeftButton, 100, 100);
    EXPECT_EQ(ViewSpin, 0.0f);
    EXPECT_EQ(ViewTilt, 0.0f);
    HeadlessMouseMove(Window(), MouseLeftButton, 130, 110);
    EXPECT_EQ(ViewSpin, 30.0f);
    EXPECT_EQ(ViewTilt, 10.0f);
    HeadlessMouseMove(Window(), 0, 300, 300);
    HeadlessMouseMove(Window(), MouseLeftButton, 0, 0);  // a new drag starts where the button went down
    HeadlessMouseMove(Window(), MouseLeftButton, -5, 2);
    EXPECT_EQ(ViewSpin, 25.0f);
    EXPECT_EQ(ViewTilt, 12.0f);
}

TEST_F(ShellTest, ResizingKeepsThePreviewMarginsAndItsViewport)
{
    StartMainWindow();
    HeadlessResizeClient(Window(), 800, 600);
    PlatformRect frame;
    ASSERT_TRUE(GetControlRect(Window(), PreviewFrameControl, &frame));
    EXPECT_EQ(frame.right - frame.left, 779);
    EXPECT_EQ(frame.bottom - frame.top, 546);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 779);
    EXPECT_EQ(viewport[3], 546);
    HeadlessResizeClient(Window(), 10, 10);  // smaller than the margins: an empty frame, a 1-pixel viewport
    ASSERT_TRUE(GetControlRect(Window(), PreviewFrameControl, &frame));
    EXPECT_EQ(frame.right - frame.left, 0);
    EXPECT_EQ(ViewportWidth, 1);
}

TEST_F(ShellTest, AboutBoxOpensFromTheSystemMenu)
{
    StartMainWindow();
    HeadlessSendSystemCommand(Window(), AboutSystemCommand);
    const std::vector<HeadlessDialogCall>& calls = HeadlessDialogCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].kind, HeadlessModalTemplate);
    EXPECT_EQ(calls[0].templateId, AboutDialogTemplate);
    EXPECT_EQ(calls[0].owner, Window());
    EXPECT_FALSE(dialog->Ended());
}

TEST_F(ShellTest, GenerateFromTheMenusHeightmapShowsTheModel)
{
    StartMainWindow();
    QueueFileDialogAnswer(Heightmap("menu.bmp").c_str());
    ASSERT_TRUE(HeadlessChooseMenuItem(Window(), LoadHeightmapCommand));
    ASSERT_NE(HeightmapImage, nullptr);
    std::string output = exeDir + "/out.3ds";
    QueueFileDialogAnswer(output.c_str());
    ASSERT_TRUE(HeadlessClickButton(Window(), GenerateButtonControl));
    EXPECT_EQ(StatusLine(), "Successfully saved '" + output + "'.");
    ASSERT_NE(CurrentModelInstance, nullptr);
    // Generate read the properties window back, which saved the settings
    EXPECT_EQ(SavedSettings().size(), 2084u);
    GLContextHandle context = HeadlessFindGLContext(Window(), PreviewFrameControl);
    int swaps = HeadlessSwapCount(context);
    EXPECT_EQ(TickHeadlessTimers(1), 1);
    EXPECT_EQ(HeadlessSwapCount(context), swaps + 1);
}

TEST_F(ShellTest, ViewMenuTogglesThePropertiesWindow)
{
    StartMainWindow();
    ASSERT_TRUE(HeadlessChooseMenuItem(Window(), GenerationPropertiesCommand));
    EXPECT_FALSE(IsPlatformWindowVisible(PropertiesWindow));
    EXPECT_EQ(GetMenuItemState(Window(), GenerationPropertiesCommand), 0);
    ASSERT_TRUE(HeadlessChooseMenuItem(Window(), GenerationPropertiesCommand));
    EXPECT_TRUE(IsPlatformWindowVisible(PropertiesWindow));
}

// Each way out saves the sliders and releases the preview, the models and the heightmap.
class ShutDownTest : public ShellTest, public ::testing::WithParamInterface<int> {};

TEST_P(ShutDownTest, SavesSettingsAndReleasesEverything)
{
    strcpy(CommandLinePath, Heightmap("start.bmp").c_str());
    StartMainWindow();
    ASSERT_NE(HeightmapImage, nullptr);
    HeadlessMoveTrackbar(PropertiesWindow, FuzzTrackbarControl, 5);
    HeadlessMoveTrackbar(PropertiesWindow, ScaleTrackbarControl, 100);
    switch (GetParam()) {
    case 0:
        HeadlessCloseWindow(Window());
        break;
    case 1:
        ASSERT_TRUE(HeadlessChooseMenuItem(Window(), ExitCommand));
        break;
    default:
        HeadlessPressEscape(Window());
        break;
    }
    EXPECT_TRUE(dialog->Ended());
    EXPECT_EQ(PreviewGLContext, nullptr);
    EXPECT_EQ(HeightmapImage, nullptr);
    std::vector<uint8_t> saved = SavedSettings();
    ASSERT_EQ(saved.size(), 2084u);
    EXPECT_EQ(ReadInt32(saved, 2064), 128);
    EXPECT_EQ(ReadInt32(saved, 2068), 5);
    EXPECT_EQ(ReadInt32(saved, 2076), 100);
}

INSTANTIATE_TEST_SUITE_P(CloseBoxExitAndEscape, ShutDownTest, ::testing::Values(0, 1, 2));
