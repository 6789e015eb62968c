// The desktop back end. The contract's driver sends the events that the
// toolkit reports for a click, a menu choice, a key, the close box or a drop
// to the real widgets on an Xvfb display of the suite's own, and reads pixels
// from a screenshot of it. What only this back end shows: controls laid out
// in the real dialog font yet at the toolkit's minimum size, the real pointer
// through xdotool, the GL canvas, and the native dialogs inside their modal
// loops, answered by typing while the frame timer ticks.
#include <GL/gl.h>
#include <unistd.h>
#include <wx/glcanvas.h>

#include "platform/wx/wx_platform.h"
#include "platform/wx/wx_testing.h"
#include "tests/platform/platform_driver.h"
#include "tests/support/test_files.h"

// GTK, GLib, fontconfig and Mesa keep process-lifetime allocations.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libgtk-3\nleak:libgdk-3\nleak:libglib-2\nleak:libgobject-2\nleak:libfontconfig\n"
           "leak:libpango\nleak:libcairo\nleak:libatk\nleak:libgio-2\nleak:libX11\nleak:libGLX\n"
           "leak:libGLdispatch\nleak:libLLVM\nleak:swrast_dri\nleak:libEGL_mesa\nleak:libgdk_pixbuf\n"
           "leak:libharfbuzz\nleak:libdbus\n";
}

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
    WxAssertCount,
};

using WxTest = PlatformTest;

TEST_F(WxTest, StartsOnlyWithADisplay)
{
    // in a process of its own; the program's whole run is the desktop suite's
    EXPECT_EQ(RunCommand("env -u DISPLAY -u WAYLAND_DISPLAY /proc/" + std::to_string(getpid()) + "/exe --start"), 20);
}

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
        {"mouseup", {0, frame.left + 30, frame.top + 40}},
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
    ASSERT_NE(dynamic_cast<wxGLCanvas*>(canvas), nullptr);
    const GLPixelFormatRequest noStencil = {24, 16, 0, true};
    EXPECT_EQ(CreateGLContext(window, PreviewFrameControl, noStencil), nullptr);
    EXPECT_EQ(CreateGLContext(window, GenerateButtonControl, PreviewPixelFormat), nullptr);
    EXPECT_EQ(WxControlOf(window, PreviewFrameControl), canvas);
    // the shell makes its context current during OnInitDialog, before the window shows
    std::unique_ptr<RecordingDialog> dialog(new RecordingDialog());
    GLContextHandle context = nullptr;
    GLboolean doubled = GL_FALSE;
    uint8_t pixel[3] = {};
    dialog->onInit = [&] {
        context = CreateGLContext(dialog->Window(), PreviewFrameControl, PreviewPixelFormat);
        ASSERT_TRUE(MakeGLContextCurrent(context));
        glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glReadPixels(4, 4, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, pixel);
        glGetBooleanv(GL_DOUBLEBUFFER, &doubled);
    };
    ASSERT_TRUE(dialog->Create());
    EXPECT_EQ(std::vector<int>({pixel[0], pixel[1], pixel[2], doubled}), std::vector<int>({0, 0, 255, GL_TRUE}));
    EXPECT_NE(GetGLProcAddress("glProgramStringARB"), nullptr);
    // the window takes its contexts along; the handle stays until deleted
    dialog.reset();
    EXPECT_FALSE(MakeGLContextCurrent(context));
    EXPECT_FALSE(SwapGLBuffers(context));
    DeleteGLContext(context);
}

// ---------------------------------------------------------------------------
// Modal loops, and the native dialogs in them, answered while the main window's timer ticks

static int Ticks = 0;
static std::function<void(int tick)> OnTick;

class ModalTest : public WxTest {
protected:
    void SetUp() override
    {
        WxTest::SetUp();
        Ticks = 0;
        ASSERT_TRUE(SetWindowTimer(window, FrameTimerId, 10,
                                   [](WindowHandle, unsigned, uintptr_t, uint32_t) { OnTick(++Ticks); }));
    }
    // Types a while after the dialog opened, and again every second in case it was not up yet.
    void TypeInto(const std::string& keys)
    {
        OnTick = [keys](int tick) {
            if (tick % 100 == 30)
                RunCommand(keys);
        };
    }
};

TEST_F(ModalTest, AboutBoxDisablesItsOwnerUntilItsOkButtonEndsIt)
{
    RecordingDialog about(AboutDialogTemplate, window);
    bool ownerDisabled = false;
    OnTick = [&](int) {
        if (about.Window() && IsPlatformWindowVisible(about.Window()) && !about.Ended()) {
            ownerDisabled = !WxFrameOf(window)->IsThisEnabled();
            driver.Click(about.Window(), CommandOk);
        }
    };
    EXPECT_EQ(about.DoModal(), CommandOk);
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(WxFrameOf(window)->IsThisEnabled());
}

TEST_F(ModalTest, MessageBoxAndColorDialogAnswerAsTyped)
{
    TypeInto("xdotool key Return");
    EXPECT_EQ(ShowMessageBox(window, "Could not write the mesh.", "Orvanel", MessageBoxOkButton), MessageBoxResultOk);
    EXPECT_GE(Ticks, 30);
    TypeInto("xdotool key Escape");
    uint32_t chosen = 0xDEADBEEF;
    EXPECT_FALSE(ShowColorDialog(window, 0x00336699, &chosen));
    EXPECT_EQ(chosen, 0xDEADBEEFu);
}

TEST_F(ModalTest, SaveDialogAppendsTheDefaultExtensionButNeverReplacesSilently)
{
    TempFolder folder;
    const std::string typed = folder.File("valley");
    // select what the name field holds, so that a retry replaces it
    TypeInto("xdotool key ctrl+a && xdotool type --delay 5 '" + typed + "' && xdotool key Return");
    FileDialogRequest request = {window, true, "3DS meshes (*.3ds)|*.3ds||", ".3ds", FileDialogOverwritePrompt};
    char path[512] = {}, tooSmall[8];
    ASSERT_TRUE(ShowFileDialog(request, path, sizeof path));
    EXPECT_EQ(std::string(path), typed + ".3ds");
    EXPECT_FALSE(ShowFileDialog(request, tooSmall, sizeof tooSmall)) << "a path that does not fit is never cut";
    // the toolkit saw no "valley"; the program asks about "valley.3ds", and the
    // next round of keys answers that question with its default, No
    ASSERT_TRUE(WriteFileText(typed + ".3ds", ""));
    Ticks = 0;
    EXPECT_FALSE(ShowFileDialog(request, path, sizeof path));
    EXPECT_GE(Ticks, 130);
}

int main(int argc, char** argv)
{
    RegisterDesktopPlatform();
    if (argc > 1 && std::string(argv[1]) == "--start")
        return SelectPlatform(PlatformDesktop) ? 10 : 20;
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    StopDesktopPlatform();
    StopXvfb();
    return result;
}
