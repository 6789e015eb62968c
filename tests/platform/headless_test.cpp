// The headless back end: its driver for the contract, and what only it has:
// common dialogs answered from queues and recorded, the texts it hands to
// batch mode, timers that tick when told. Also the layer's choice of back end and
// the executable's path.
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
};

using HeadlessTest = PlatformTest;

static std::vector<std::pair<int, std::string>> ObservedTexts;

TEST_F(HeadlessTest, CommonDialogsTakeQueuedAnswersAndEveryCallIsRecorded)
{
    ResetHeadlessPlatform();
    SetHeadlessTextObserver([](WindowHandle, int id, const char* text) { ObservedTexts.push_back({id, text}); });
    // a 16-byte buffer takes 15 characters and the terminator
    for (const char* answer : {"/tmp/fifteen.3d", "/tmp/sixteen.3ds", static_cast<const char*>(nullptr)})
        QueueFileDialogAnswer(answer);
    QueueColorDialogAnswer(true, 0xAB336699);
    QueueColorDialogAnswer(false, 0x00FFFFFF);
    FileDialogRequest save = {window, true,       "3DS Files (*.3ds)|*.3ds||", ".3ds", FileDialogOverwritePrompt,
                              "/tmp", "hills.3ds"};
    char path[16];
    uint32_t color = 0;
    std::string answers;  // the last three of each kind find too long a path, a cancel, nothing queued
    for (int call = 0; call < 4; ++call)
        answers += ShowFileDialog(save, path, sizeof path) ? "+" : "-";
    for (int call = 0; call < 3; ++call)
        answers += ShowColorDialog(window, 0x7F7F7F, &color) ? "+" : "-";
    EXPECT_EQ(answers + path + std::to_string(color), "+---+--/tmp/fifteen.3d" + std::to_string(0x336699));
    EXPECT_EQ(ShowMessageBox(window, "text", "Warning!", MessageBoxOkButton), MessageBoxResultOk);
    SetControlText(window, StatusLineControl, "status");
    EXPECT_EQ(PlatformDialog(AboutDialogTemplate, window).DoModal(), CommandOk);
    std::string calls;  // Open, Save, Color, Message box, Template; + confirmed, - not
    for (const HeadlessDialogCall& call : HeadlessDialogCalls())
        calls += std::string(1, "OSCMT"[call.kind]) + (call.confirmed ? "+" : "-") + (call.owner == window ? "" : "?");
    EXPECT_EQ(calls, "S+S-S-S-C+C-C-M+T+");
    EXPECT_EQ(HeadlessDialogCalls()[0].defaultExtension + HeadlessDialogCalls()[7].caption, ".3dsWarning!");
    EXPECT_EQ(HeadlessDialogCalls()[1].initialFolder + "/" + HeadlessDialogCalls()[1].initialName, "/tmp/hills.3ds");
    EXPECT_EQ(ObservedTexts, (std::vector<std::pair<int, std::string>>{{-1, "text"}, {StatusLineControl, "status"}}));
    ResetHeadlessPlatform();
}

TEST_F(HeadlessTest, TimersTickInRoundsOfEveryTimer)
{
    TimerProc tick = [](WindowHandle, unsigned, uintptr_t, uint32_t) {};
    for (uintptr_t id : {1, 2, 1})
        ASSERT_TRUE(SetWindowTimer(window, id, 0, tick));
    EXPECT_EQ(TickHeadlessTimers(3), 6);
}

static PlatformOps Incomplete = HeadlessPlatformOps(), Marked = HeadlessPlatformOps();

TEST(PlatformLayer, ChoosesOnlyACompleteBackEndAndKeepsTheChosenOne)
{
    Incomplete.GetGLProcAddress = nullptr;
    Marked.GetGLProcAddress = [](const char*) -> void* { return &Marked; };
    RegisterPlatform(PlatformDesktop, &Incomplete);
    EXPECT_FALSE(SelectPlatform(PlatformDesktop));
    RegisterPlatform(PlatformDesktop, &Marked);
    ASSERT_TRUE(SelectPlatform(PlatformDesktop));
    EXPECT_EQ(GetGLProcAddress("glClear"), &Marked);
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
