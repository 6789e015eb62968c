// The headless back end: windows from templates, menus, controls, scripted
// dialogs, timers and real offscreen GL.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "resources/resources.h"

namespace {

class RecordingDialog : public PlatformDialog {
public:
    RecordingDialog() : PlatformDialog(MainDialogTemplate) {}
    bool OnInitDialog() override
    {
        initialised = true;
        return true;
    }
    void OnSize(unsigned, int width, int height) override
    {
        lastWidth = width;
        lastHeight = height;
    }
    void OnCommand(unsigned id) override
    {
        commands.push_back(id);
        PlatformDialog::OnCommand(id);
    }
    void OnDropFiles(DropHandle drop) override
    {
        for (unsigned i = 0; i < GetDroppedFileCount(drop); ++i)
            dropped.push_back(GetDroppedFilePath(drop, i));
        EXPECT_EQ(GetDroppedFilePath(drop, GetDroppedFileCount(drop)), nullptr);
    }
    bool initialised = false;
    int lastWidth = 0, lastHeight = 0;
    std::vector<unsigned> commands;
    std::vector<std::string> dropped;
};

const uintptr_t TestTimerId = 1025;
int TimerCalls = 0;
void CountTick(WindowHandle, unsigned, uintptr_t id, uint32_t)
{
    EXPECT_EQ(id, TestTimerId);
    ++TimerCalls;
}

}  // namespace

TEST(HeadlessWindows, MainTemplateBecomesWindowWithControlsInPixels)
{
    RecordingDialog dialog;
    ASSERT_TRUE(dialog.Create());
    EXPECT_TRUE(dialog.initialised);
    EXPECT_TRUE(IsPlatformWindowVisible(dialog.Window()));
    PlatformRect frame;
    ASSERT_TRUE(GetControlRect(dialog.Window(), PreviewFrameControl, &frame));
    EXPECT_EQ(frame.left, 11);                 // 7 dialog units at a 6-pixel average character
    EXPECT_EQ(frame.right - frame.left, 501);  // its right edge, 7 + 334 units, at pixel 512
    EXPECT_FALSE(IsControlEnabled(dialog.Window(), GenerateButtonControl));
    EXPECT_FALSE(HeadlessClickButton(dialog.Window(), GenerateButtonControl));
    EnableControl(dialog.Window(), GenerateButtonControl, true);
    EXPECT_TRUE(HeadlessClickButton(dialog.Window(), GenerateButtonControl));
    EXPECT_EQ(dialog.commands.back(), static_cast<unsigned>(GenerateButtonControl));
}

TEST(HeadlessWindows, MenuStatesAreLookedUpByCommand)
{
    RecordingDialog dialog;
    ASSERT_TRUE(dialog.Create());
    EXPECT_TRUE(WindowHasMenu(dialog.Window()));
    EXPECT_EQ(GetMenuItemState(dialog.Window(), LoadHeightmapCommand), 0);
    EXPECT_EQ(GetMenuItemState(dialog.Window(), LoadDecalTextureCommand), 3);
    EXPECT_EQ(GetMenuItemState(dialog.Window(), LoadNormalTextureCommand), 3);
    EXPECT_EQ(GetMenuItemState(dialog.Window(), GenerationPropertiesCommand), 8);
    EXPECT_EQ(GetMenuItemState(dialog.Window(), 4242), -1);
    EXPECT_FALSE(HeadlessChooseMenuItem(dialog.Window(), LoadDecalTextureCommand));
    ASSERT_TRUE(SetMenuItemState(dialog.Window(), LoadDecalTextureCommand, 0));
    EXPECT_TRUE(HeadlessChooseMenuItem(dialog.Window(), LoadDecalTextureCommand));
    EXPECT_TRUE(AppendSystemMenuItem(dialog.Window(), AboutSystemCommand, "&About Orvanel..."));
    std::vector<std::string> items = HeadlessSystemMenuItems(dialog.Window());
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0], "");
    EXPECT_EQ(items[1], "&About Orvanel...");
}

TEST(HeadlessWindows, EscapeAndCloseBoxEndTheDialogWithCancel)
{
    RecordingDialog escaped;
    ASSERT_TRUE(escaped.Create());
    HeadlessPressEscape(escaped.Window());
    EXPECT_TRUE(escaped.Ended());
    EXPECT_EQ(escaped.Result(), static_cast<intptr_t>(CommandCancel));
    EXPECT_FALSE(IsPlatformWindowVisible(escaped.Window()));

    RecordingDialog closed;
    ASSERT_TRUE(closed.Create());
    HeadlessCloseWindow(closed.Window());
    EXPECT_EQ(closed.Result(), static_cast<intptr_t>(CommandCancel));
}

TEST(HeadlessWindows, TrackbarKeepsPositionInsideRange)
{
    RecordingDialog owner;  // the modeless window goes with its owner
    ASSERT_TRUE(owner.Create());
    WindowHandle window = CreateModelessDialog(PropertiesDialogTemplate, owner.Window(), nullptr, 0);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(IsPlatformWindowVisible(window));
    SetTrackbarRange(window, FuzzTrackbarControl, 1, 6);
    SetTrackbarPosition(window, FuzzTrackbarControl, 40);
    EXPECT_EQ(GetTrackbarPosition(window, FuzzTrackbarControl), 6);
    SetTrackbarPosition(window, FuzzTrackbarControl, -5);
    EXPECT_EQ(GetTrackbarPosition(window, FuzzTrackbarControl), 1);
    SetCheckState(window, EliminateCheckboxControl, 1);
    EXPECT_EQ(GetCheckState(window, EliminateCheckboxControl), 1);
}

TEST(HeadlessWindows, ControlTextIsCutToTheCallersBuffer)
{
    RecordingDialog dialog;
    ASSERT_TRUE(dialog.Create());
    SetControlText(dialog.Window(), StatusLineControl, "Successfully loaded 'a.bmp'.");
    char small[8];
    EXPECT_EQ(GetControlText(dialog.Window(), StatusLineControl, small, sizeof small), 28u);
    EXPECT_STREQ(small, "Success");
}

TEST(HeadlessDialogs, FileAndColorAnswersComeFromTheQueueAndAreRecorded)
{
    ResetHeadlessPlatform();
    QueueFileDialogAnswer("/tmp/x.3ds");
    QueueFileDialogAnswer(nullptr);
    char path[64];
    FileDialogRequest save = {nullptr, true, "3DS Files (*.3ds)|*.3ds||", ".3ds", FileDialogOverwritePrompt};
    EXPECT_TRUE(ShowFileDialog(save, path, sizeof path));
    EXPECT_STREQ(path, "/tmp/x.3ds");
    EXPECT_FALSE(ShowFileDialog(save, path, sizeof path));
    EXPECT_FALSE(ShowFileDialog(save, path, sizeof path));  // nothing queued: cancelled
    QueueFileDialogAnswer("/a/very/long/path/that/does/not/fit.bmp");
    char tiny[8];
    EXPECT_FALSE(ShowFileDialog(save, tiny, sizeof tiny));

    QueueColorDialogAnswer(true, 0x00FFFFFF);
    uint32_t chosen = 0;
    EXPECT_TRUE(ShowColorDialog(nullptr, 0x7F7F7F, &chosen));
    EXPECT_EQ(chosen, 0x00FFFFFFu);
    EXPECT_EQ(ShowMessageBox(nullptr, "text", "Warning!", MessageBoxOkButton), MessageBoxResultOk);

    const std::vector<HeadlessDialogCall>& calls = HeadlessDialogCalls();
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_EQ(calls[0].kind, HeadlessSaveFileDialog);
    EXPECT_EQ(calls[0].defaultExtension, ".3ds");
    EXPECT_EQ(calls[0].flags, FileDialogOverwritePrompt);
    EXPECT_EQ(calls[4].initialColor, 0x7F7F7Fu);
    EXPECT_EQ(calls[5].caption, "Warning!");
    ResetHeadlessPlatform();
}

TEST(HeadlessWindows, DropsResizesAndTimersReachTheDialog)
{
    RecordingDialog dialog;
    ASSERT_TRUE(dialog.Create());
    HeadlessDropFiles(dialog.Window(), {"/a.bmp", "/b.bmp"});
    ASSERT_EQ(dialog.dropped.size(), 2u);
    EXPECT_EQ(dialog.dropped[1], "/b.bmp");
    HeadlessResizeClient(dialog.Window(), 800, 600);
    EXPECT_EQ(dialog.lastWidth, 800);
    EXPECT_EQ(dialog.lastHeight, 600);
    TimerCalls = 0;
    ASSERT_TRUE(SetWindowTimer(dialog.Window(), TestTimerId, 0, CountTick));
    EXPECT_EQ(TickHeadlessTimers(3), 3);
    EXPECT_EQ(TimerCalls, 3);
}

TEST(HeadlessGL, ClearedFrameReadsBackTopRowFirst)
{
    RecordingDialog dialog;
    ASSERT_TRUE(dialog.Create());
    GLContextHandle context = CreateGLContext(dialog.Window(), PreviewFrameControl, PreviewPixelFormat);
    ASSERT_NE(context, nullptr);
    ASSERT_TRUE(MakeGLContextCurrent(context));
    EXPECT_NE(GetGLProcAddress("glActiveTextureARB"), nullptr);
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    // a green band across the top ten rows
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 337 - 10, 501, 10);
    glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    ASSERT_TRUE(SwapGLBuffers(context));
    std::vector<uint8_t> pixels;
    int width = 0, height = 0;
    ASSERT_TRUE(HeadlessReadPixels(context, &pixels, &width, &height));
    ASSERT_EQ(width, 501);
    ASSERT_EQ(height, 337);
    EXPECT_EQ(pixels[1], 255);  // top-left is green
    EXPECT_EQ(pixels[0], 0);
    size_t bottom = (static_cast<size_t>(height) - 1) * width * 4;
    EXPECT_EQ(pixels[bottom], 255);  // bottom-left is red
    EXPECT_EQ(pixels[bottom + 1], 0);

    ASSERT_TRUE(SetControlSize(dialog.Window(), PreviewFrameControl, 64, 32));
    ASSERT_TRUE(HeadlessReadPixels(context, &pixels, &width, &height));
    EXPECT_EQ(width, 64);
    EXPECT_EQ(height, 32);
    MakeGLContextCurrent(nullptr);
    DeleteGLContext(context);
}
