// The desktop back end: the contract's driver, which sends the events the
// toolkit reports to the real widgets on a private Xvfb and reads pixels from
// a screenshot; and what only this back end shows: the dialog font, minimum
// sizes, the real pointer, the GL canvas, modal loops and native dialogs.
#include <GL/gl.h>

#include <wx/tooltip.h>

#include "platform/wx/wx_platform.h"
#include "platform/wx/wx_testing.h"
#include "tests/platform/platform_driver.h"
#include "tests/support/test_files.h"

static void Send(WindowHandle window, wxEvent&& event)
{
    event.SetEventObject(WxFrameOf(window));
    WxFrameOf(window)->ProcessWindowEvent(event);
}

static bool Click(WindowHandle window, int controlId)
{
    wxWindow* control = WxControlOf(window, controlId);
    if (!control || !control->IsThisEnabled())
        return false;  // the toolkit reports no click on a disabled control
    wxCheckBox* box = dynamic_cast<wxCheckBox*>(control);
    if (box)
        box->SetValue(!box->GetValue());  // and flips a check box before it reports one
    Send(window, wxCommandEvent(box ? wxEVT_CHECKBOX : wxEVT_BUTTON, controlId));
    return true;
}

static void ChooseMenuId(WindowHandle window, int id)
{
    wxMenuItem* item = static_cast<wxFrame*>(WxFrameOf(window))->GetMenuBar()->FindItem(id);
    bool checkable = item && item->IsCheckable();
    if (checkable)
        item->Check(!item->IsChecked());  // the toolkit flips a check item before it reports the choice
    wxCommandEvent event(wxEVT_MENU, id);
    event.SetInt(checkable && item->IsChecked() ? 1 : 0);
    Send(window, std::move(event));
}

static bool ReadScreenPixels(WindowHandle window, int controlId, Picture* picture)
{
    PlatformRect rect;
    GetControlRect(window, controlId, &rect);
    wxPoint origin = WxPanelOf(window)->ClientToScreen(wxPoint(rect.left, rect.top));
    return TakeScreenshot(picture, origin.x, origin.y, rect.right - rect.left, rect.bottom - rect.top);
}

const PlatformDriver BackEndDriver = {
    [] {
        std::string error;
        EXPECT_TRUE(StartXvfb(&error)) << error;
        return error.empty() && SelectPlatform(PlatformDesktop);
    },
    Click,
    [](WindowHandle window, int controlId) { Click(window, controlId); },
    [](WindowHandle window, unsigned commandId) { ChooseMenuId(window, WxMenuItemId(window, commandId)); },
    [](WindowHandle window, unsigned commandId) { ChooseMenuId(window, WxSystemMenuItemId(window, commandId)); },
    [](WindowHandle window, bool enter) {
        wxKeyEvent event(wxEVT_CHAR_HOOK);
        event.m_keyCode = enter ? WXK_RETURN : WXK_ESCAPE;
        Send(window, std::move(event));
    },
    [](WindowHandle window) { WxFrameOf(window)->Close(); },
    [](WindowHandle window, const std::vector<std::string>& paths) {
        wxString* files = new wxString[paths.size()];  // the event owns the array
        for (size_t i = 0; i < paths.size(); ++i)
            files[i] = wxString::FromUTF8(paths[i].c_str());
        Send(window, wxDropFilesEvent(wxEVT_DROP_FILES, static_cast<int>(paths.size()), files));
    },
    [](WindowHandle window, int width, int height) { WxFrameOf(window)->SetClientSize(width, height); },
    [](const std::function<bool()>& done) {
        if (!done)
            PumpWxEvents(100);
        auto call = [](void* context) { return (*static_cast<const std::function<bool()>*>(context))(); };
        return !done || PumpWxEventsUntil(call, const_cast<std::function<bool()>*>(&done), 5000);
    },
    ReadScreenPixels,
};

using WxTest = PlatformTest;

TEST_F(WxTest, ControlsAreLaidOutInTheDialogFontButKeepTheToolkitsMinimumSize)
{
    // a dialog unit is a quarter of the font's average letter, rounded, and an eighth of its height
    int width = 0, height = 0, baseWidth = 0, baseHeight = 0;
    WxPanelOf(window)->GetTextExtent("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", &width, &height);
    ASSERT_TRUE(WxDialogBaseUnits(window, &baseWidth, &baseHeight));
    EXPECT_EQ(std::make_pair(baseWidth, baseHeight), std::make_pair((width / 26 + 1) / 2, height));
    WindowHandle properties = CreateModelessDialog(PropertiesDialogTemplate, window, nullptr, 0);
    for (int id : {StretchTrackbarControl, EliminateCheckboxControl})
        EXPECT_GE(WxControlOf(properties, id)->GetSize().y, WxControlOf(properties, id)->GetBestSize().y) << id;
    wxWindow* box = WxControlOf(properties, EliminateCheckboxControl);
    EXPECT_GE(box->GetSize().x, box->GetBestSize().x);
    // a frame may be empty, never of the toolkit's "default" size
    ASSERT_TRUE(SetControlSize(window, PreviewFrameControl, -5, -7));
    EXPECT_EQ(WxControlOf(window, PreviewFrameControl)->GetSize(), wxSize(0, 0));
    // Enter presses the default button while it is enabled
    EnableControl(window, GenerateButtonControl, true);
    WxControlOf(window, StatusLineControl)->SetFocus();
    driver.PressKey(window, true);
    EnableControl(window, GenerateButtonControl, false);
    driver.PressKey(window, true);
    EXPECT_EQ(main->commands, std::vector<unsigned>{GenerateButtonControl});
}

TEST_F(WxTest, PointerMovesArriveInClientCoordinatesOverTheCanvasAndThePanel)
{
    driver.RunUntil(nullptr);
    PlatformRect frame, status;
    ASSERT_TRUE(GetControlRect(window, PreviewFrameControl, &frame) &&
                GetControlRect(window, StatusLineControl, &status));
    wxPoint origin = WxPanelOf(window)->ClientToScreen(wxPoint(0, 0));
    // xdotool's button, then flags and client coordinates; the last one over the bare panel
    const std::pair<const char*, std::vector<int>> moves[] = {
        {"mousedown", {MouseLeftButton, frame.left + 60, frame.top + 50}},
        {"mouseup", {0, status.right + 20, status.top + 2}}};
    for (const auto& move : moves) {
        const std::vector<int>& expected = move.second;
        ASSERT_EQ(RunCommand(std::string("xdotool ") + move.first + " 1 mousemove " +
                             std::to_string(origin.x + expected[1]) + " " + std::to_string(origin.y + expected[2])),
                  0);
        EXPECT_TRUE(driver.RunUntil([&] {
            return std::find(main->moves.begin(), main->moves.end(), expected) != main->moves.end();
        })) << expected[1]
            << ", " << expected[2];
    }
}

TEST_F(WxTest, CanvasIsMadeOnceInThePreviewFormatAndDrawsFromOnInitDialogOn)
{
    wxWindow* canvas = WxControlOf(window, PreviewFrameControl);
    const GLPixelFormatRequest otherStencil = {32, 24, 8, true};
    EXPECT_EQ(CreateGLContext(window, PreviewFrameControl, otherStencil), nullptr);
    EXPECT_EQ(CreateGLContext(window, GenerateButtonControl, PreviewPixelFormat), nullptr);
    EXPECT_EQ(WxControlOf(window, PreviewFrameControl), canvas);
    // the shell makes its context current during OnInitDialog, before the window shows
    std::unique_ptr<RecordingDialog> dialog(new RecordingDialog());
    GLContextHandle context = nullptr;
    GLint bits[2] = {};  // depth, stencil
    GLboolean doubled = GL_FALSE;
    uint8_t pixel[3] = {};
    dialog->onInit = [&] {
        context = CreateGLContext(dialog->Window(), PreviewFrameControl, PreviewPixelFormat);
        ASSERT_TRUE(MakeGLContextCurrent(context));
        glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glReadPixels(4, 4, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, pixel);
        glGetBooleanv(GL_DOUBLEBUFFER, &doubled);
        glGetIntegerv(GL_DEPTH_BITS, &bits[0]);
        glGetIntegerv(GL_STENCIL_BITS, &bits[1]);
    };
    ASSERT_TRUE(dialog->Create());
    EXPECT_EQ(std::vector<int>({pixel[0], pixel[1], pixel[2], doubled, bits[0] >= 24, bits[1] >= 8}),
              std::vector<int>({0, 0, 255, GL_TRUE, 1, 1}));
    // the window takes its contexts along; the handle stays until deleted
    dialog.reset();
    EXPECT_FALSE(MakeGLContextCurrent(context));
    EXPECT_FALSE(SwapGLBuffers(context));
    DeleteGLContext(context);
}

// ---------------------------------------------------------------------------
// Modal loops: the about box, and the native dialogs answered by typing while the main window's timer ticks

static int Ticks = 0;
static std::function<void()> OnTick;

// Types a while after a dialog opened, and again every second in case it was not up yet.
static void TypeInto(const std::string& keys)
{
    Ticks = 0;
    OnTick = [keys] {
        if (Ticks % 100 == 30)
            RunCommand(keys);
    };
}

TEST_F(WxTest, ModalDialogsRunWhileTheTimerTicksAndTheSaveDialogNeverReplacesSilently)
{
    ASSERT_TRUE(SetWindowTimer(window, FrameTimerId, 10, [](WindowHandle, unsigned, uintptr_t, uint32_t) {
        ++Ticks;
        OnTick();
    }));
    // the about box takes its owner's input until its OK button ends it
    RecordingDialog about(AboutDialogTemplate, window);
    bool ownerDisabled = false;
    OnTick = [&] {
        if (about.Window() && IsPlatformWindowVisible(about.Window()) && !about.Ended()) {
            ownerDisabled = !WxFrameOf(window)->IsThisEnabled();
            driver.Click(about.Window(), CommandOk);
        }
    };
    EXPECT_EQ(about.DoModal(), CommandOk);
    EXPECT_TRUE(ownerDisabled && WxFrameOf(window)->IsThisEnabled());
    TypeInto("xdotool key Return");
    EXPECT_EQ(ShowMessageBox(window, "Could not write the mesh.", "Orvanel", MessageBoxOkButton), MessageBoxResultOk);
    EXPECT_GE(Ticks, 30);
    TypeInto("xdotool key Escape");
    uint32_t chosen = 0xDEADBEEF;
    EXPECT_FALSE(ShowColorDialog(window, 0x00336699, &chosen));
    EXPECT_EQ(chosen, 0xDEADBEEFu);
    TempFolder folder;
    const std::string typed = folder.File("valley");
    // select what the name field holds, so that a retry replaces it
    TypeInto("xdotool key ctrl+a && xdotool type --delay 5 '" + typed + "' && xdotool key Return");
    FileDialogRequest request = {window,  true,   "3DS meshes (*.3ds)|*.3ds||", ".3ds", FileDialogOverwritePrompt,
                                 nullptr, nullptr};
    char path[512] = {}, tooSmall[8];
    ASSERT_TRUE(ShowFileDialog(request, path, sizeof path));
    EXPECT_EQ(std::string(path), typed + ".3ds");
    EXPECT_FALSE(ShowFileDialog(request, tooSmall, sizeof tooSmall)) << "a path that does not fit is never cut";
    // the toolkit saw no "valley"; the program asks about "valley.3ds", and the
    // next round of keys answers that question with its default, No
    ASSERT_TRUE(WriteFileText(typed + ".3ds", ""));
    TypeInto("xdotool key ctrl+a && xdotool type --delay 5 '" + typed + "' && xdotool key Return");
    EXPECT_FALSE(ShowFileDialog(request, path, sizeof path));
    EXPECT_GE(Ticks, 130);
}

int main(int argc, char** argv)
{
    RegisterDesktopPlatform();
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    StopDesktopPlatform();
    // no test may trip an assertion of the toolkit, a window's teardown included
    if (WxAssertCount() > 0)
        fprintf(stderr, "%d toolkit assertions\n", WxAssertCount());
    return result != 0 || WxAssertCount() > 0;
}

// Every label of every window shows its whole text in the real dialog font.
TEST_F(WxTest, LabelsShowTheirWholeText)
{
    RecordingDialog about(AboutDialogTemplate, window);
    ASSERT_TRUE(about.Create());
    WindowHandle properties = CreateModelessDialog(PropertiesDialogTemplate, window, nullptr, 0);
    for (WindowHandle shown : {window, about.Window(), properties})
        for (wxWindow* child : WxPanelOf(shown)->GetChildren()) {
            auto* label = dynamic_cast<wxStaticText*>(child);
            EXPECT_TRUE(!label || label->GetSize().x >= label->GetBestSize().x) << child->GetLabel();
        }
}

// The user cannot shrink a window below its minimum; a read-only line shows its whole
// text in a tooltip.
TEST_F(WxTest, MinimumSizeHoldsAndReadOnlyLinesCarryTheirTextAsTooltip)
{
    SetMinimumClientSize(window, 400, 200);
    WxFrameOf(window)->SetClientSize(10, 10);
    driver.RunUntil(nullptr);
    wxSize client = WxFrameOf(window)->GetClientSize();
    EXPECT_TRUE(client.x >= 400 && client.y >= 200) << client.x << " x " << client.y;
    SetControlText(window, StatusLineControl, "a message longer than its line");
    wxToolTip* tip = WxControlOf(window, StatusLineControl)->GetToolTip();
    EXPECT_TRUE(tip && tip->GetTip() == "a message longer than its line");
}

// The properties window opens beside its owner, never over it.
TEST_F(WxTest, ToolWindowOpensBesideItsOwner)
{
    WindowHandle properties = CreateModelessDialog(PropertiesDialogTemplate, window, nullptr, 0);
    ShowPlatformWindow(properties, true);
    driver.RunUntil(nullptr);
    wxRect owner = WxFrameOf(window)->GetScreenRect(), tool = WxFrameOf(properties)->GetScreenRect();
    EXPECT_FALSE(owner.Intersects(tool)) << tool.x << ", " << tool.y << " beside " << owner.GetRight();
}
