// What the platform layer promises on every back end, driven as a user drives
// it through the back end's driver.
#include <GL/gl.h>

#include <cstring>

#include "tests/platform/platform_driver.h"

// Each suite names the contract after its back end (HeadlessContract, DesktopContract).
class PLATFORM_CONTRACT : public PlatformTest {};

static std::vector<int> Corners(const PlatformRect& rect)
{
    return {rect.left, rect.top, rect.right, rect.bottom};
}

TEST_F(PLATFORM_CONTRACT, WindowsFollowTheirTemplatesAndControlTextsRoundTrip)
{
    RecordingDialog about(AboutDialogTemplate);
    ASSERT_TRUE(about.Create());
    EXPECT_EQ(about.started, "xi");
    WindowHandle properties = CreateModelessDialog(PropertiesDialogTemplate, window, nullptr, 0);
    EXPECT_EQ(std::vector<bool>({IsPlatformWindowVisible(window), IsPlatformWindowVisible(about.Window()),
                                 IsPlatformWindowVisible(properties), WindowHasMenu(window),
                                 WindowHasMenu(about.Window()), WindowHasMenu(properties)}),
              std::vector<bool>({true, false, false, true, false, false}));
    const std::pair<WindowHandle, int> windows[] = {
        {window, MainDialogTemplate}, {about.Window(), AboutDialogTemplate}, {properties, PropertiesDialogTemplate}};
    for (const auto& shown : windows) {
        const DialogTemplate* source = FindDialogTemplate(shown.second);
        for (const ControlTemplate* control = source->controls; control < source->controls + source->controlCount;
             ++control) {
            if (control->id < 0)
                continue;
            PlatformRect expected = {control->x, control->y, control->x + control->width, control->y + control->height};
            PlatformRect actual;
            ASSERT_TRUE(MapDialogRect(shown.first, &expected));
            ASSERT_TRUE(GetControlRect(shown.first, control->id, &actual)) << control->id;
            // the toolkit may grow a check box or a trackbar to its minimum; an icon has its own size
            if (control->kind == ControlCheckbox || control->kind == ControlTrackbar || control->kind == ControlIcon)
                expected.right = actual.right, expected.bottom = actual.bottom;
            EXPECT_EQ(Corners(actual), Corners(expected)) << control->id;
            char text[64];
            GetControlText(shown.first, control->id, text, sizeof text);
            EXPECT_STREQ(text, control->text);
            EXPECT_EQ(IsControlEnabled(shown.first, control->id), !(control->style & StyleDisabled)) << control->id;
        }
    }
    const char text[] = "Heightmap loaded: 256 x 256 (H\xc3\xb6he)";
    SetControlText(window, StatusLineControl, text);
    char whole[64], small[5];
    EXPECT_EQ(GetControlText(window, StatusLineControl, whole, sizeof whole), strlen(text));
    EXPECT_EQ(GetControlText(window, StatusLineControl, small, sizeof small), strlen(text));
    EXPECT_EQ(std::string(whole) + "|" + small, std::string(text) + "|Heig") << "cut to the caller's buffer";
    EXPECT_EQ(GetControlText(window, 4242, whole, sizeof whole), 0u);
    EXPECT_STREQ(whole, "");
    PlatformRect rect = {0, 0, 4, 8};
    EXPECT_FALSE(HasControl(window, StretchTrackbarControl));
    EXPECT_FALSE(GetControlRect(window, StretchTrackbarControl, &rect));
    EXPECT_FALSE(MapDialogRect(nullptr, &rect));
}

TEST_F(PLATFORM_CONTRACT, OnlyEnabledMenuItemsAndButtonsSendTheirCommand)
{
    std::vector<int> states;
    for (unsigned command :
         {LoadHeightmapCommand, LoadDecalTextureCommand, LoadNormalTextureCommand, GenerationPropertiesCommand, 4242u})
        states.push_back(GetMenuItemState(window, command));
    EXPECT_EQ(states, (std::vector<int>{0, MenuItemGrayed, MenuItemGrayed, MenuItemChecked, -1}));
    EXPECT_FALSE(SetMenuItemState(window, 4242, 0));
    driver.ChooseMenuItem(window, LoadDecalTextureCommand);
    driver.ChooseMenuItem(window, GenerationPropertiesCommand);
    ASSERT_TRUE(SetMenuItemState(window, LoadDecalTextureCommand, 0));
    driver.ChooseMenuItem(window, LoadDecalTextureCommand);
    EXPECT_FALSE(driver.Click(window, GenerateButtonControl));
    EXPECT_FALSE(driver.Click(window, 4242));
    EnableControl(window, GenerateButtonControl, true);
    EXPECT_TRUE(driver.Click(window, GenerateButtonControl));
    EXPECT_EQ(main->commands,
              (std::vector<unsigned>{GenerationPropertiesCommand, LoadDecalTextureCommand,
                                     static_cast<unsigned>(GenerateButtonControl)}));
    EXPECT_EQ(GetMenuItemState(window, GenerationPropertiesCommand), MenuItemChecked) << "the handler sets the mark";
    for (unsigned state : {0u, MenuItemChecked | MenuItemGrayed}) {
        ASSERT_TRUE(SetMenuItemState(window, LoadHeightmapCommand, state));
        EXPECT_EQ(GetMenuItemState(window, LoadHeightmapCommand), static_cast<int>(state));
    }
    EXPECT_FALSE(AppendSystemMenuItem(nullptr, AboutSystemCommand, "&About Orvanel..."));
    ASSERT_TRUE(AppendSystemMenuItem(window, AboutSystemCommand, "&About Orvanel..."));
    driver.ChooseSystemMenuItem(window, AboutSystemCommand);
    EXPECT_EQ(main->systemCommands, std::vector<unsigned>{AboutSystemCommand});
    driver.ChooseMenuItem(window, ExitCommand);
    EXPECT_EQ(main->Result(), CommandOk);
    EXPECT_FALSE(IsPlatformWindowVisible(window));
}

// Escape, the close box and the system Close command end a dialog with Cancel,
// unless its close handler keeps it open.
TEST_F(PLATFORM_CONTRACT, DialogsEndWithCancelOnEscapeOrCloseAndModallyWithTheirResult)
{
    main->keepOpenOnClose = true;
    driver.Close(window);
    EXPECT_TRUE(IsPlatformWindowVisible(window));
    EXPECT_FALSE(main->Ended());
    RecordingDialog closed, commanded;
    ASSERT_TRUE(closed.Create() && commanded.Create());
    driver.PressKey(window, false);
    driver.Close(closed.Window());
    commanded.OnSysCommand(SystemCommandClose | 2, 0);  // the low four bits are the platform's
    for (RecordingDialog* dialog : {main.get(), &closed, &commanded}) {
        EXPECT_EQ(dialog->Result(), CommandCancel);
        EXPECT_FALSE(IsPlatformWindowVisible(dialog->Window()));
    }
    EXPECT_EQ(main->closes + closed.closes + commanded.closes, 3);
    // a dialog ended during OnInitDialog never shows, and DoModal returns what it was ended with
    RecordingDialog ended, modal(AboutDialogTemplate, window), missing(4242);
    ended.onInit = [&ended] { ended.EndDialog(7); };
    modal.onInit = [&modal] { modal.EndDialog(7); };
    ASSERT_TRUE(ended.Create());
    EXPECT_FALSE(IsPlatformWindowVisible(ended.Window()));
    EXPECT_EQ(modal.DoModal(), 7);
    EXPECT_EQ(modal.Window(), nullptr);
    EXPECT_EQ(missing.DoModal(), -1);
}

TEST_F(PLATFORM_CONTRACT, DropsAndSizesReachTheDialogAndAControlResizesInPlace)
{
    const std::vector<std::string> paths = {
        "/tmp/a folder with a long name/and another below it/the heightmap of the valley.bmp", "/tmp/b.bmp"};
    driver.Drop(window, paths);
    EXPECT_EQ(main->drops, std::vector<std::vector<std::string>>{paths});
    EXPECT_EQ(GetDroppedFileCount(nullptr), 0u);
    driver.Resize(window, 800, 600);
    EXPECT_TRUE(driver.RunUntil([this] {
        return !main->sizes.empty() && main->sizes.back() == std::vector<int>{SizeRestored, 800, 600};
    }));
    PlatformRect before, after;
    ASSERT_TRUE(GetControlRect(window, PreviewFrameControl, &before));
    ASSERT_TRUE(SetControlSize(window, PreviewFrameControl, 100, 50));
    ASSERT_TRUE(GetControlRect(window, PreviewFrameControl, &after));
    EXPECT_EQ(Corners(after), (std::vector<int>{before.left, before.top, before.left + 100, before.top + 50}));
    EXPECT_FALSE(SetControlSize(window, 4242, 1, 1));
}

static std::vector<std::pair<WindowHandle, uintptr_t>> FirstTimerCalls;
static int SecondTimerCalls = 0;

TEST_F(PLATFORM_CONTRACT, TimerTicksWithItsIdUntilReplacedOrItsWindowGoes)
{
    TimerProc first = [](WindowHandle window, unsigned, uintptr_t id, uint32_t) {
        FirstTimerCalls.push_back({window, id});
    };
    TimerProc second = [](WindowHandle, unsigned, uintptr_t, uint32_t) { ++SecondTimerCalls; };
    EXPECT_FALSE(SetWindowTimer(nullptr, FrameTimerId, 0, first) || SetWindowTimer(window, FrameTimerId, 0, nullptr));
    ASSERT_TRUE(SetWindowTimer(window, FrameTimerId, 0, first));
    ASSERT_TRUE(driver.RunUntil([] { return FirstTimerCalls.size() >= 3; }));
    EXPECT_EQ(FirstTimerCalls[2], std::make_pair(window, static_cast<uintptr_t>(FrameTimerId)));
    ASSERT_TRUE(SetWindowTimer(window, FrameTimerId, 0, second));
    size_t firstCalls = FirstTimerCalls.size();
    ASSERT_TRUE(driver.RunUntil([] { return SecondTimerCalls >= 3; }));
    EXPECT_EQ(FirstTimerCalls.size(), firstCalls);
    main.reset();
    int secondCalls = SecondTimerCalls;
    driver.RunUntil(nullptr);
    EXPECT_EQ(SecondTimerCalls, secondCalls);
}

static std::vector<std::vector<intptr_t>> ProcedureCalls;  // window, message, low word of wParam, lParam

TEST_F(PLATFORM_CONTRACT, ModelessWindowTellsItsProcedureKeepsItsTrackbarsInRangeAndGoesWithItsOwner)
{
    DialogProc procedure = [](WindowHandle window, unsigned message, uintptr_t wParam, intptr_t lParam) -> intptr_t {
        ProcedureCalls.push_back({reinterpret_cast<intptr_t>(window), message, intptr_t(wParam & 0xFFFF), lParam});
        return 1;
    };
    WindowHandle properties = CreateModelessDialog(PropertiesDialogTemplate, window, procedure, 77);
    const intptr_t self = reinterpret_cast<intptr_t>(properties), command = DialogMessageCommand;
    EXPECT_FALSE(IsPlatformWindowVisible(properties));
    ShowPlatformWindow(properties, true);
    driver.RunUntil(nullptr);  // painted without a dialog of its own
    EXPECT_TRUE(IsPlatformWindowVisible(properties));
    EXPECT_TRUE(driver.Click(properties, SetDefaultsButtonControl));
    driver.ClickCheckbox(properties, EliminateCheckboxControl);
    driver.PressKey(properties, true);
    driver.PressKey(properties, false);
    driver.Close(properties);
    EXPECT_EQ(ProcedureCalls,
              (std::vector<std::vector<intptr_t>>{{self, DialogMessageInit, 0, 77},
                                                  {self, command, SetDefaultsButtonControl, 0},
                                                  {self, command, EliminateCheckboxControl, 0},
                                                  {self, command, CommandOk, 0},
                                                  {self, command, CommandCancel, 0},
                                                  {self, DialogMessageClose, 0, 0}}));
    EXPECT_EQ(GetCheckState(properties, EliminateCheckboxControl), 1);
    EXPECT_TRUE(main->commands.empty());
    EXPECT_TRUE(IsPlatformWindowVisible(properties)) << "the procedure keeps it open";
    // trackbars keep their position inside their range
    SetTrackbarRange(properties, StretchTrackbarControl, 1, 1024);
    EXPECT_EQ(GetTrackbarPosition(properties, StretchTrackbarControl), 1) << "a new trackbar's 0 is below";
    for (const auto& position : {std::make_pair(128, 128), {5000, 1024}, {-3, 1}, {900, 900}}) {
        SetTrackbarPosition(properties, StretchTrackbarControl, position.first);
        EXPECT_EQ(GetTrackbarPosition(properties, StretchTrackbarControl), position.second) << position.first;
    }
    SetTrackbarRange(properties, StretchTrackbarControl, 4, 512);
    EXPECT_EQ(GetTrackbarPosition(properties, StretchTrackbarControl), 512);
    SetTrackbarPosition(properties, SetDefaultsButtonControl, 5);
    EXPECT_EQ(GetTrackbarPosition(properties, SetDefaultsButtonControl), 0) << "not a trackbar";
    for (int state : {1, 0}) {
        SetCheckState(properties, EliminateCheckboxControl, state);
        EXPECT_EQ(GetCheckState(properties, EliminateCheckboxControl), state);
    }
    EndModelessDialog(properties, 1);
    EXPECT_FALSE(IsPlatformWindowVisible(properties));
    ShowPlatformWindow(properties, true);
    main.reset();
    EXPECT_FALSE(IsPlatformWindowVisible(properties));
    EXPECT_FALSE(HasControl(properties, SetDefaultsButtonControl));
}

TEST_F(PLATFORM_CONTRACT, FrameShowsWhatItsContextDrawsTopRowFirst)
{
    EXPECT_EQ(CreateGLContext(nullptr, PreviewFrameControl, PreviewPixelFormat), nullptr);
    EXPECT_EQ(CreateGLContext(window, 4242, PreviewPixelFormat), nullptr);
    GLContextHandle context = CreateGLContext(window, PreviewFrameControl, PreviewPixelFormat);
    ASSERT_NE(context, nullptr);
    EXPECT_NE(GetGLProcAddress("glActiveTextureARB"), nullptr);
    PlatformRect frame;
    ASSERT_TRUE(GetControlRect(window, PreviewFrameControl, &frame));
    for (const auto& size : {std::make_pair(frame.right - frame.left, frame.bottom - frame.top), {64, 32}}) {
        ASSERT_TRUE(SetControlSize(window, PreviewFrameControl, size.first, size.second));
        driver.RunUntil(nullptr);
        ASSERT_TRUE(MakeGLContextCurrent(context));
        // red, with a green band across the top ten rows
        glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glEnable(GL_SCISSOR_TEST);
        glScissor(0, size.second - 10, size.first, 10);
        glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
        ASSERT_TRUE(SwapGLBuffers(context));
        Picture picture;
        ASSERT_TRUE(driver.ReadPixels(window, PreviewFrameControl, &picture));
        ASSERT_EQ(std::make_pair(picture.width, picture.height), size);
        auto rgb = [&picture](int x, int y) {
            const uint8_t* pixel = &picture.rgba[4 * (y * picture.width + x)];
            return pixel[0] << 16 | pixel[1] << 8 | pixel[2];
        };
        EXPECT_EQ(
            std::vector<int>({rgb(0, 0), rgb(size.first - 1, 9), rgb(size.first - 1, 10), rgb(0, size.second - 1)}),
            std::vector<int>({0x00FF00, 0x00FF00, 0xFF0000, 0xFF0000}));
    }
    EXPECT_TRUE(MakeGLContextCurrent(nullptr));
    DeleteGLContext(context);
}
