// The headless back end: its driver for the contract, and what only it has:
// the dialog font it lays windows out with, common dialogs answered from
// queues and recorded, the texts it hands to batch mode, timers that tick
// when told. Also the layer's choice of back end and the executable's path.
#include "platform/headless/headless.h"
#include "platform/platform_ops.h"
#include "tests/platform/platform_driver.h"

const PlatformDriver BackEndDriver = {
    [] { return SelectPlatform(PlatformHeadless); },
    HeadlessClickButton,
    HeadlessClickCheckbox,
    [](WindowHandle window, unsigned commandId) { HeadlessChooseMenuItem(window, commandId); },
    HeadlessSendSystemCommand,
    [](WindowHandle window, bool enter) { enter ? HeadlessPressEnter(window) : HeadlessPressEscape(window); },
    HeadlessCloseWindow,
    HeadlessDropFiles,
    [](WindowHandle window, int width, int height) { HeadlessResizeClient(window, width, height); },
    [](const std::function<bool()>& done) {
        for (int tick = 0; tick < 100 && !(done && done()); ++tick)
            TickHeadlessTimers(1);
        return !done || done();
    },
    [](WindowHandle window, int controlId, Picture* picture) {
        return HeadlessReadPixels(HeadlessFindGLContext(window, controlId), &picture->rgba, &picture->width,
                                  &picture->height);
    },
    [] { return 0; },
};

using HeadlessTest = PlatformTest;

TEST_F(HeadlessTest, LaysOutWithAnAverageCharacterOf6By13PixelsAndFindsWindowsByTemplate)
{
    EXPECT_EQ(HeadlessFindWindow(MainDialogTemplate), window);
    EXPECT_EQ(HeadlessFindWindow(AboutDialogTemplate), nullptr);
    PlatformRect character = {0, 0, 4, 8};  // in dialog units
    ASSERT_TRUE(MapDialogRect(window, &character));
    EXPECT_EQ(std::make_pair(character.right, character.bottom), std::make_pair(6, 13));
}

static std::vector<std::pair<int, std::string>> ObservedTexts;

TEST_F(HeadlessTest, CommonDialogsTakeQueuedAnswersAndEveryCallIsRecorded)
{
    ResetHeadlessPlatform();
    SetHeadlessTextObserver([](WindowHandle, int id, const char* text) { ObservedTexts.push_back({id, text}); });
    // a 16-byte buffer takes 15 characters and the terminator
    for (const char* answer : {"/tmp/fifteen.3d", "/tmp/sixteen.3ds", static_cast<const char*>(nullptr)})
        QueueFileDialogAnswer(answer);
    FileDialogRequest save = {window, true, "3DS Files (*.3ds)|*.3ds||", ".3ds", FileDialogOverwritePrompt};
    char path[16];
    EXPECT_TRUE(ShowFileDialog(save, path, sizeof path));
    EXPECT_STREQ(path, "/tmp/fifteen.3d");
    for (int refused = 0; refused < 3; ++refused)  // too long, cancelled, nothing queued
        EXPECT_FALSE(ShowFileDialog(save, path, sizeof path));
    QueueColorDialogAnswer(true, 0xAB336699);
    QueueColorDialogAnswer(false, 0x00FFFFFF);
    uint32_t color = 0;
    EXPECT_TRUE(ShowColorDialog(window, 0x7F7F7F, &color));
    EXPECT_FALSE(ShowColorDialog(window, 0, &color));
    EXPECT_FALSE(ShowColorDialog(window, 0, &color));
    EXPECT_EQ(color, 0x336699u);
    EXPECT_EQ(ShowMessageBox(window, "text", "Warning!", MessageBoxOkButton), MessageBoxResultOk);
    SetControlText(window, StatusLineControl, "status");
    EXPECT_EQ(PlatformDialog(AboutDialogTemplate, window).DoModal(), CommandOk);

    std::string calls;  // Open, Save, Color, Message box, Template; + confirmed, - not
    for (const HeadlessDialogCall& call : HeadlessDialogCalls()) {
        calls += std::string(1, "OSCMT"[call.kind]) + (call.confirmed ? "+" : "-");
        EXPECT_EQ(call.owner, window);
    }
    EXPECT_EQ(calls, "S+S-S-S-C+C-C-M+T+");
    const std::vector<HeadlessDialogCall>& call = HeadlessDialogCalls();
    EXPECT_EQ(call[0].filter + call[0].defaultExtension, "3DS Files (*.3ds)|*.3ds||.3ds");
    EXPECT_EQ(call[0].flags, FileDialogOverwritePrompt);
    EXPECT_EQ(call[4].initialColor, 0x7F7F7Fu);
    EXPECT_EQ(call[7].text + call[7].caption, "textWarning!");
    EXPECT_EQ(call[8].templateId, AboutDialogTemplate);
    EXPECT_EQ(ObservedTexts, (std::vector<std::pair<int, std::string>>{{-1, "text"}, {StatusLineControl, "status"}}));

    QueueFileDialogAnswer("/tmp/forgotten");
    ResetHeadlessPlatform();
    EXPECT_FALSE(ShowFileDialog(save, path, sizeof path));
    EXPECT_EQ(HeadlessDialogCalls().size(), 1u);
    SetControlText(window, StatusLineControl, "unobserved");
    EXPECT_EQ(ObservedTexts.size(), 2u);
}

TEST_F(HeadlessTest, TimersTickInRoundsOfEveryTimer)
{
    TimerProc tick = [](WindowHandle, unsigned, uintptr_t, uint32_t) {};
    for (uintptr_t id : {1, 2, 1})
        ASSERT_TRUE(SetWindowTimer(window, id, 0, tick));
    EXPECT_EQ(HeadlessTimerCount(window), 2);
    EXPECT_EQ(TickHeadlessTimers(3), 6);
}

TEST(PlatformLayer, ChoosesOnlyACompleteBackEnd)
{
    PlatformOps incomplete = HeadlessPlatformOps();
    incomplete.GetGLProcAddress = nullptr;
    RegisterPlatform(PlatformDesktop, &incomplete);
    EXPECT_FALSE(SelectPlatform(PlatformDesktop));
    EXPECT_TRUE(SelectPlatform(PlatformHeadless));
}

TEST(PlatformLayer, ExecutablePathIsRefusedWhenItDoesNotFit)
{
    char path[4096];
    ASSERT_TRUE(GetExecutablePath(path, sizeof path));
    const std::string self = path;
    EXPECT_EQ(self.substr(self.rfind('/')), "/platform_tests");
    SetExecutablePathOverride("/opt/orvanel/orvanel");
    for (const std::string& expected : {std::string("/opt/orvanel/orvanel"), self}) {
        EXPECT_FALSE(GetExecutablePath(path, expected.size()));
        ASSERT_TRUE(GetExecutablePath(path, expected.size() + 1));
        EXPECT_EQ(path, expected);
        SetExecutablePathOverride(nullptr);
    }
}
