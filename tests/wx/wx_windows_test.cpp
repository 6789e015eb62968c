// The desktop back end's windows, controls, menus, events and timers, driven
// through real wx widgets on an Xvfb display.
#include <wx/glcanvas.h>
#include <wx/slider.h>

#include <cstdlib>
#include <string>

#include "tests/support/xvfb_display.h"
#include "tests/wx/wx_test_support.h"

static wxMenuItem* MenuItemOf(WindowHandle window, unsigned commandId)
{
    wxFrame* frame = dynamic_cast<wxFrame*>(WxFrameOf(window));
    int id = WxMenuItemId(window, commandId);
    return frame && frame->GetMenuBar() && id != wxID_NONE ? frame->GetMenuBar()->FindItem(id) : nullptr;
}

static void SendKey(WindowHandle window, int key)
{
    wxKeyEvent event(wxEVT_CHAR_HOOK);
    event.m_keyCode = key;
    event.SetEventObject(WxFrameOf(window));
    WxFrameOf(window)->ProcessWindowEvent(event);
}

static void ClickControl(WindowHandle window, int controlId, wxEventType type)
{
    wxWindow* control = WxControlOf(window, controlId);
    wxCommandEvent event(type, control->GetId());
    event.SetEventObject(control);
    control->ProcessWindowEvent(event);
}

// As the toolkit reports a choice of the item with wx id `id`.
static void ChooseMenuId(WindowHandle window, int id)
{
    wxCommandEvent event(wxEVT_MENU, id);
    wxMenuItem* item = dynamic_cast<wxFrame*>(WxFrameOf(window))->GetMenuBar()->FindItem(id);
    if (item && item->IsCheckable()) {
        // the toolkit flips a check item before it reports the choice
        item->Check(!item->IsChecked());
        event.SetInt(item->IsChecked() ? 1 : 0);
    }
    event.SetEventObject(WxFrameOf(window));
    WxFrameOf(window)->ProcessWindowEvent(event);
}

static void ChooseMenuItem(WindowHandle window, unsigned commandId)
{
    ChooseMenuId(window, WxMenuItemId(window, commandId));
}

// ---------------------------------------------------------------------------
// The main window

TEST_F(WxWindowTest, MainWindowHasTheTemplatesControlsTitleAndMenu)
{
    EXPECT_EQ(dialog->exchanges, 1);
    EXPECT_EQ(dialog->inits, 1);
    wxFrame* frame = dynamic_cast<wxFrame*>(WxFrameOf(window));
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->GetTitle(), "Orvanel");
    EXPECT_TRUE(IsPlatformWindowVisible(window));
    EXPECT_TRUE(frame->HasFlag(wxRESIZE_BORDER));
    EXPECT_TRUE(frame->HasFlag(wxMINIMIZE_BOX));
    EXPECT_TRUE(frame->HasFlag(wxCLOSE_BOX));

    EXPECT_NE(dynamic_cast<wxGLCanvas*>(WxControlOf(window, PreviewFrameControl)), nullptr);
    wxButton* generate = dynamic_cast<wxButton*>(WxControlOf(window, GenerateButtonControl));
    ASSERT_NE(generate, nullptr);
    EXPECT_EQ(generate->GetId(), GenerateButtonControl);
    EXPECT_FALSE(IsControlEnabled(window, GenerateButtonControl));
    EXPECT_FALSE(generate->IsEnabled());
    char text[64];
    EXPECT_EQ(GetControlText(window, GenerateButtonControl, text, sizeof text), 9u);
    EXPECT_STREQ(text, "&Generate");
    wxTextCtrl* status = dynamic_cast<wxTextCtrl*>(WxControlOf(window, StatusLineControl));
    ASSERT_NE(status, nullptr);
    EXPECT_FALSE(status->IsEditable());
    EXPECT_FALSE(HasControl(window, 1005));

    // the label has no id; find it among the panel's children
    bool foundLabel = false;
    for (wxWindow* child : WxPanelOf(window)->GetChildren())
        if (wxStaticText* label = dynamic_cast<wxStaticText*>(child))
            foundLabel = foundLabel || label->GetLabel() == "Preview:";
    EXPECT_TRUE(foundLabel);

    wxMenuBar* bar = frame->GetMenuBar();
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(bar->GetMenuCount(), 2u);
    EXPECT_EQ(bar->GetMenuLabel(0), "&File");
    EXPECT_EQ(bar->GetMenuLabel(1), "&View");
    EXPECT_EQ(MenuItemOf(window, LoadHeightmapCommand)->GetItemLabel(), "Load &heightmap");
    EXPECT_EQ(MenuItemOf(window, ExitCommand)->GetItemLabel(), "E&xit");
    EXPECT_EQ(MenuItemOf(window, GenerationPropertiesCommand)->GetItemLabel(), "&Generation Properties");
}

TEST_F(WxWindowTest, ControlsSitAtTheirTemplatePositionsInDialogUnits)
{
    int baseWidth = 0, baseHeight = 0;
    ASSERT_TRUE(WxDialogBaseUnits(window, &baseWidth, &baseHeight));
    // the base units come from the real dialog font
    int textWidth = 0, textHeight = 0;
    WxPanelOf(window)->GetTextExtent("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", &textWidth, &textHeight);
    EXPECT_EQ(baseWidth, (textWidth / 26 + 1) / 2);
    EXPECT_EQ(baseHeight, textHeight);
    EXPECT_GT(baseWidth, 3);

    PlatformRect rect;
    ASSERT_TRUE(GetControlRect(window, PreviewFrameControl, &rect));
    EXPECT_EQ(rect.left, DialogUnitsToPixelsX(7, baseWidth));
    EXPECT_EQ(rect.top, DialogUnitsToPixelsY(26, baseHeight));
    EXPECT_EQ(rect.right, DialogUnitsToPixelsX(7 + 334, baseWidth));
    EXPECT_EQ(rect.bottom, DialogUnitsToPixelsY(26 + 207, baseHeight));
    ASSERT_TRUE(GetControlRect(window, StatusLineControl, &rect));
    EXPECT_EQ(rect.left, DialogUnitsToPixelsX(59, baseWidth));
    EXPECT_EQ(rect.top, DialogUnitsToPixelsY(1, baseHeight));

    EXPECT_EQ(WxFrameOf(window)->GetClientSize(),
              wxSize(DialogUnitsToPixelsX(348, baseWidth), DialogUnitsToPixelsY(240, baseHeight)));
    EXPECT_EQ(WxPanelOf(window)->GetPosition(), wxPoint(0, 0));
}

TEST_F(WxWindowTest, WindowIconComesFromTheIconResource)
{
    SetWindowIcon(window, MainIcon);
    wxIcon icon = WxFrameOf(window)->GetIcon();
    ASSERT_TRUE(icon.IsOk());
    EXPECT_EQ(icon.GetWidth(), 32);
    EXPECT_EQ(icon.GetHeight(), 32);
}

TEST_F(WxWindowTest, MenuStatesReadBackByCommandId)
{
    EXPECT_TRUE(WindowHasMenu(window));
    const std::pair<unsigned, int> states[] = {{LoadHeightmapCommand, 0},
                                               {LoadDecalTextureCommand, 3},
                                               {LoadNormalTextureCommand, 3},
                                               {GenerationPropertiesCommand, 8}};
    for (const auto& state : states)
        EXPECT_EQ(GetMenuItemState(window, state.first), state.second) << state.first;
    EXPECT_EQ(GetMenuItemState(window, 40000), -1);
    EXPECT_FALSE(SetMenuItemState(window, 40000, 0));
    EXPECT_FALSE(MenuItemOf(window, LoadDecalTextureCommand)->IsEnabled());

    ASSERT_TRUE(SetMenuItemState(window, LoadDecalTextureCommand, 0));
    EXPECT_EQ(GetMenuItemState(window, LoadDecalTextureCommand), 0);
    EXPECT_TRUE(MenuItemOf(window, LoadDecalTextureCommand)->IsEnabled());
    ASSERT_TRUE(SetMenuItemState(window, GenerationPropertiesCommand, 0));
    EXPECT_EQ(GetMenuItemState(window, GenerationPropertiesCommand), 0);
    EXPECT_FALSE(MenuItemOf(window, GenerationPropertiesCommand)->IsChecked());
    // a plain item takes a check mark too, staying where it was
    ASSERT_TRUE(SetMenuItemState(window, LoadHeightmapCommand, MenuItemChecked | MenuItemGrayed));
    EXPECT_EQ(GetMenuItemState(window, LoadHeightmapCommand), 11);
    size_t position = 99;
    wxMenu* file = dynamic_cast<wxFrame*>(WxFrameOf(window))->GetMenuBar()->GetMenu(0);
    ASSERT_NE(file->FindChildItem(WxMenuItemId(window, LoadHeightmapCommand), &position), nullptr);
    EXPECT_EQ(position, 0u);
    EXPECT_EQ(MenuItemOf(window, LoadHeightmapCommand)->GetItemLabel(), "Load &heightmap");
    EXPECT_TRUE(MenuItemOf(window, LoadHeightmapCommand)->IsChecked());
}

TEST_F(WxWindowTest, MenuChoiceReachesOnCommandAndLeavesTheMarkToTheHandler)
{
    ChooseMenuItem(window, GenerationPropertiesCommand);
    ChooseMenuItem(window, LoadHeightmapCommand);
    ChooseMenuItem(window, LoadDecalTextureCommand);  // grayed: not delivered
    EXPECT_EQ(dialog->commands, (std::vector<unsigned>{GenerationPropertiesCommand, LoadHeightmapCommand}));
    EXPECT_EQ(GetMenuItemState(window, GenerationPropertiesCommand), 8);
    // Exit is command 1, the dialog's OK
    ChooseMenuItem(window, ExitCommand);
    EXPECT_TRUE(dialog->Ended());
    EXPECT_EQ(dialog->Result(), 1);
    EXPECT_FALSE(IsPlatformWindowVisible(window));
}

TEST_F(WxWindowTest, SystemMenuItemGoesLastOnAHelpMenu)
{
    ASSERT_TRUE(AppendSystemMenuItem(window, AboutSystemCommand, "&About Orvanel..."));
    wxMenuBar* bar = dynamic_cast<wxFrame*>(WxFrameOf(window))->GetMenuBar();
    ASSERT_EQ(bar->GetMenuCount(), 3u);
    EXPECT_EQ(bar->GetMenuLabel(2), "&Help");
    wxMenu* help = bar->GetMenu(2);
    ASSERT_EQ(help->GetMenuItemCount(), 1u);
    EXPECT_EQ(help->FindItemByPosition(0)->GetItemLabel(), "&About Orvanel...");
    int id = WxSystemMenuItemId(window, AboutSystemCommand);
    ASSERT_NE(id, wxID_NONE);
    ChooseMenuId(window, id);
    EXPECT_EQ(dialog->systemCommands, std::vector<unsigned>{AboutSystemCommand});
    EXPECT_TRUE(dialog->commands.empty());

    // a second item is set apart by a separator
    ASSERT_TRUE(AppendSystemMenuItem(window, 32, "Second"));
    EXPECT_EQ(help->GetMenuItemCount(), 3u);
    EXPECT_TRUE(help->FindItemByPosition(1)->IsSeparator());
}

TEST_F(WxWindowTest, StatusLineTextRoundTripsAndCopiesAsTheDesktopDoes)
{
    SetControlText(window, StatusLineControl, "Heightmap loaded: 256 x 256 (H\xc3\xb6he)");
    char text[64];
    EXPECT_EQ(GetControlText(window, StatusLineControl, text, sizeof text), 35u);
    EXPECT_STREQ(text, "Heightmap loaded: 256 x 256 (H\xc3\xb6he)");
    EXPECT_EQ(static_cast<wxTextCtrl*>(WxControlOf(window, StatusLineControl))->GetValue(),
              wxString::FromUTF8("Heightmap loaded: 256 x 256 (H\xc3\xb6he)"));
    char small[5];
    EXPECT_EQ(GetControlText(window, StatusLineControl, small, sizeof small), 35u);
    EXPECT_STREQ(small, "Heig");
    EXPECT_EQ(GetControlText(window, 4242, text, sizeof text), 0u);
    EXPECT_STREQ(text, "");
}

TEST_F(WxWindowTest, ButtonsEnterAndEscapeSendTheirCommands)
{
    EnableControl(window, GenerateButtonControl, true);
    EXPECT_TRUE(IsControlEnabled(window, GenerateButtonControl));
    ClickControl(window, GenerateButtonControl, wxEVT_BUTTON);
    WxControlOf(window, StatusLineControl)->SetFocus();
    SendKey(window, WXK_RETURN);  // the enabled default button
    EnableControl(window, GenerateButtonControl, false);
    SendKey(window, WXK_RETURN);  // a disabled default button takes nothing
    EXPECT_EQ(dialog->commands, (std::vector<unsigned>{GenerateButtonControl, GenerateButtonControl}));
    SendKey(window, WXK_ESCAPE);
    EXPECT_EQ(dialog->commands.back(), CommandCancel);
    EXPECT_TRUE(dialog->Ended());
    EXPECT_EQ(dialog->Result(), 2);
    EXPECT_FALSE(IsPlatformWindowVisible(window));
}

TEST_F(WxTest, CloseBoxReachesOnCloseAndTheHandlerDecides)
{
    RecordingDialog stays;
    stays.keepOpenOnClose = true;
    ASSERT_TRUE(stays.Create());
    WxFrameOf(stays.Window())->Close();
    PumpWxEvents(20);
    EXPECT_EQ(stays.closes, 1);
    EXPECT_TRUE(IsPlatformWindowVisible(stays.Window()));
    EXPECT_FALSE(stays.Ended());

    RecordingDialog ends;
    ASSERT_TRUE(ends.Create());
    WxFrameOf(ends.Window())->Close();
    EXPECT_EQ(ends.closes, 1);
    EXPECT_TRUE(ends.Ended());
    EXPECT_EQ(ends.Result(), 2);
    EXPECT_FALSE(IsPlatformWindowVisible(ends.Window()));
}

// ---------------------------------------------------------------------------
// Drops, sizes, the mouse

TEST_F(WxWindowTest, DroppedFilesArriveWithWholePaths)
{
    std::string first = "/tmp/a folder with a rather long name/and another one below it/heightmap-of-the-valley.bmp";
    std::string second = "/tmp/second.bmp";
    ASSERT_GT(first.size(), 64u);
    wxString* files = new wxString[2]{wxString::FromUTF8(first.c_str()), wxString::FromUTF8(second.c_str())};
    wxDropFilesEvent event(wxEVT_DROP_FILES, 2, files);  // the event owns the array
    WxFrameOf(window)->ProcessWindowEvent(event);
    ASSERT_EQ(dialog->drops.size(), 1u);
    EXPECT_EQ(dialog->drops[0], (std::vector<std::string>{first, second}));
}

struct SizeWait {
    RecordingDialog* dialog;
    int width, height;
    bool operator()() const
    {
        return !dialog->sizes.empty() && dialog->sizes.back().width == width && dialog->sizes.back().height == height;
    }
};

TEST_F(WxWindowTest, ResizeDeliversOnSizeAndTheHandlerResizesThePreview)
{
    dialog->resizePreview = true;
    PlatformRect before;
    ASSERT_TRUE(GetControlRect(window, PreviewFrameControl, &before));
    WxFrameOf(window)->SetClientSize(800, 600);
    ASSERT_TRUE(PumpUntil(SizeWait{dialog.get(), 800, 600}));
    EXPECT_EQ(dialog->sizes.back().kind, SizeRestored);
    EXPECT_EQ(WxFrameOf(window)->GetClientSize(), wxSize(800, 600));
    PlatformRect after;
    ASSERT_TRUE(GetControlRect(window, PreviewFrameControl, &after));
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(after.right - after.left, 779);
    EXPECT_EQ(after.bottom - after.top, 546);
    EXPECT_EQ(WxControlOf(window, PreviewFrameControl)->GetSize(), wxSize(779, 546));

    // a size below the margins leaves an empty frame, never a "default" size
    ASSERT_TRUE(SetControlSize(window, PreviewFrameControl, -5, -7));
    EXPECT_EQ(WxControlOf(window, PreviewFrameControl)->GetSize(), wxSize(0, 0));
}

struct MoveWait {
    RecordingDialog* dialog;
    RecordedMove expected;
    bool operator()() const
    {
        for (const RecordedMove& move : dialog->moves)
            if (move.flags == expected.flags && move.x == expected.x && move.y == expected.y)
                return true;
        return false;
    }
};

static bool MovePointer(int x, int y)
{
    return RunOnDisplay("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y)) == 0;
}

TEST_F(WxWindowTest, MouseMovesArriveInClientCoordinatesOverTheCanvasAndThePanel)
{
    PumpWxEvents(100);
    PlatformRect frame;
    ASSERT_TRUE(GetControlRect(window, PreviewFrameControl, &frame));
    wxPoint origin = WxPanelOf(window)->ClientToScreen(wxPoint(0, 0));

    // over the preview canvas, a child with a window of its own
    ASSERT_TRUE(MovePointer(origin.x + frame.left + 30, origin.y + frame.top + 40)) << "xdotool is missing";
    EXPECT_TRUE(PumpUntil(MoveWait{dialog.get(), {0, frame.left + 30, frame.top + 40}}));
    // with the left button held
    ASSERT_EQ(RunOnDisplay("xdotool mousedown 1"), 0);
    ASSERT_TRUE(MovePointer(origin.x + frame.left + 60, origin.y + frame.top + 50));
    EXPECT_TRUE(PumpUntil(MoveWait{dialog.get(), {MouseLeftButton, frame.left + 60, frame.top + 50}}));
    ASSERT_EQ(RunOnDisplay("xdotool mouseup 1"), 0);

    // over the bare panel, right of the status line
    PlatformRect status;
    ASSERT_TRUE(GetControlRect(window, StatusLineControl, &status));
    ASSERT_TRUE(MovePointer(origin.x + status.right + 20, origin.y + status.top + 2));
    EXPECT_TRUE(PumpUntil(MoveWait{dialog.get(), {0, status.right + 20, status.top + 2}}));
}

// ---------------------------------------------------------------------------
// The properties window

struct ProcedureCall {
    WindowHandle window;  // window the procedure was called for
    unsigned message;     // DialogMessage*
    uintptr_t wParam;
    intptr_t lParam;
};
static std::vector<ProcedureCall> ProcedureCalls;

static intptr_t RecordingProcedure(WindowHandle window, unsigned message, uintptr_t wParam, intptr_t lParam)
{
    ProcedureCalls.push_back({window, message, wParam, lParam});
    return message == DialogMessageInit;
}

static std::vector<uintptr_t> CommandsOf(const std::vector<ProcedureCall>& calls)
{
    std::vector<uintptr_t> ids;
    for (const ProcedureCall& call : calls)
        if (call.message == DialogMessageCommand)
            ids.push_back(call.wParam & 0xFFFFu);
    return ids;
}

// The properties window of the main window, made with lParam 77.
class WxPropertiesTest : public WxWindowTest {
protected:
    void SetUp() override
    {
        WxWindowTest::SetUp();
        ProcedureCalls.clear();
        properties = CreateModelessDialog(PropertiesDialogTemplate, window, RecordingProcedure, 77);
        ASSERT_NE(properties, nullptr);
    }
    WindowHandle properties = nullptr;
};

TEST_F(WxPropertiesTest, PropertiesWindowIsAModelessToolWindowWithItsControls)
{
    ASSERT_EQ(ProcedureCalls.size(), 1u);
    EXPECT_EQ(ProcedureCalls[0].message, DialogMessageInit);
    EXPECT_EQ(ProcedureCalls[0].lParam, 77);
    EXPECT_EQ(ProcedureCalls[0].window, properties);
    EXPECT_FALSE(IsPlatformWindowVisible(properties));

    wxTopLevelWindow* frame = WxFrameOf(properties);
    EXPECT_EQ(frame->GetTitle(), "Generation Properties");
    EXPECT_TRUE(frame->HasFlag(wxFRAME_TOOL_WINDOW));
    EXPECT_TRUE(frame->HasFlag(wxCAPTION));
    EXPECT_FALSE(frame->HasFlag(wxCLOSE_BOX));
    EXPECT_EQ(frame->GetParent(), WxFrameOf(window));
    EXPECT_FALSE(WindowHasMenu(properties));
    for (int id : {1005, 1006, 1007, 1008}) {
        wxSlider* slider = dynamic_cast<wxSlider*>(WxControlOf(properties, id));
        ASSERT_NE(slider, nullptr) << id;
        EXPECT_TRUE(slider->HasFlag(wxSL_HORIZONTAL));
        EXPECT_FALSE(slider->HasFlag(wxSL_AUTOTICKS));
        EXPECT_FALSE(slider->HasFlag(wxSL_LABELS));
    }
    EXPECT_NE(dynamic_cast<wxCheckBox*>(WxControlOf(properties, EliminateCheckboxControl)), nullptr);
    char text[64];
    GetControlText(properties, SetDefaultsButtonControl, text, sizeof text);
    EXPECT_STREQ(text, "&Set defaults");
    GetControlText(properties, BackgroundColorButtonControl, text, sizeof text);
    EXPECT_STREQ(text, "&Background color");
    ShowPlatformWindow(properties, true);
    EXPECT_TRUE(IsPlatformWindowVisible(properties));
}

TEST_F(WxPropertiesTest, TrackbarsKeepTheirPositionInsideTheRange)
{
    wxSlider* slider = static_cast<wxSlider*>(WxControlOf(properties, StretchTrackbarControl));
    SetTrackbarRange(properties, StretchTrackbarControl, 1, 1024);
    EXPECT_EQ(GetTrackbarPosition(properties, StretchTrackbarControl), 1);  // 0 is below the new range
    for (const std::pair<int, int>& set : {std::make_pair(128, 128), {5000, 1024}, {-3, 1}}) {
        SetTrackbarPosition(properties, StretchTrackbarControl, set.first);
        EXPECT_EQ(GetTrackbarPosition(properties, StretchTrackbarControl), set.second) << set.first;
        EXPECT_EQ(slider->GetValue(), set.second) << set.first;
    }
    SetTrackbarPosition(properties, StretchTrackbarControl, 900);
    SetTrackbarRange(properties, StretchTrackbarControl, 4, 512);
    EXPECT_EQ(GetTrackbarPosition(properties, StretchTrackbarControl), 512);
    EXPECT_EQ(slider->GetMin(), 4);
    EXPECT_EQ(slider->GetMax(), 512);

    EXPECT_EQ(GetCheckState(properties, EliminateCheckboxControl), 0);
    SetCheckState(properties, EliminateCheckboxControl, 1);
    EXPECT_EQ(GetCheckState(properties, EliminateCheckboxControl), 1);
    EXPECT_TRUE(static_cast<wxCheckBox*>(WxControlOf(properties, EliminateCheckboxControl))->GetValue());
}

TEST_F(WxPropertiesTest, PropertiesProcedureHearsButtonsKeysAndCloseRequests)
{
    ShowPlatformWindow(properties, true);
    ProcedureCalls.clear();
    ClickControl(properties, SetDefaultsButtonControl, wxEVT_BUTTON);
    ClickControl(properties, BackgroundColorButtonControl, wxEVT_BUTTON);
    ClickControl(properties, EliminateCheckboxControl, wxEVT_CHECKBOX);
    SendKey(properties, WXK_RETURN);
    SendKey(properties, WXK_ESCAPE);
    EXPECT_EQ(CommandsOf(ProcedureCalls), (std::vector<uintptr_t>{1010, 1011, 1012, 1, 2}));
    EXPECT_TRUE(dialog->commands.empty());

    ProcedureCalls.clear();
    WxFrameOf(properties)->Close();
    PumpWxEvents(20);
    ASSERT_EQ(ProcedureCalls.size(), 1u);
    EXPECT_EQ(ProcedureCalls[0].message, DialogMessageClose);
    EXPECT_TRUE(IsPlatformWindowVisible(properties));  // the procedure keeps it open

    EndModelessDialog(properties, 1);
    EXPECT_FALSE(IsPlatformWindowVisible(properties));
}

TEST_F(WxPropertiesTest, OwnedWindowsGoWithTheirOwner)
{
    int count = WxWindowCount();
    ASSERT_GE(count, 2);
    dialog.reset();
    EXPECT_EQ(WxWindowCount(), count - 2);
    PumpWxEvents(50);  // the toolkit deletes the frames at the next idle moment
}

// ---------------------------------------------------------------------------
// Modal loops and timers

static RecordingDialog* TickingDialog = nullptr;
static int Ticks = 0;
static int TicksToEnd = 0;

static void EndAfterTicks(WindowHandle window, unsigned, uintptr_t timerId, uint32_t)
{
    ++Ticks;
    EXPECT_EQ(window, TickingDialog->Window());
    EXPECT_EQ(timerId, 1025u);
    if (Ticks == TicksToEnd)
        TickingDialog->EndDialog(7);
}

class TimedDialog : public RecordingDialog {
public:
    bool OnInitDialog() override
    {
        RecordingDialog::OnInitDialog();
        return SetWindowTimer(Window(), 1025, 0, EndAfterTicks);
    }
};

TEST_F(WxTest, TimerTicksInsideTheModalLoopAndEndDialogEndsIt)
{
    TimedDialog dialog;
    TickingDialog = &dialog;
    Ticks = 0;
    TicksToEnd = 5;
    uint32_t start = PlatformTickCount();
    EXPECT_EQ(dialog.DoModal(), 7);
    EXPECT_EQ(Ticks, 5);
    EXPECT_LT(PlatformTickCount() - start, 5000u);
    EXPECT_EQ(dialog.Window(), nullptr);
    PumpWxEvents(50);
    EXPECT_EQ(Ticks, 5);  // the timer went with its window
}

TEST_F(WxTest, CloseBoxEndsTheModalLoopWithCancel)
{
    struct Closer : RecordingDialog {
        bool OnInitDialog() override
        {
            RecordingDialog::OnInitDialog();
            // ask for the close once the loop runs
            wxTopLevelWindow* frame = WxFrameOf(Window());
            frame->CallAfter([frame]() { frame->Close(); });
            return true;
        }
    } dialog;
    EXPECT_EQ(dialog.DoModal(), 2);
    EXPECT_EQ(dialog.closes, 1);
}

static WindowHandle AboutOwner = nullptr;
static bool AboutSeen = false;
static PlatformDialog* AboutBox = nullptr;

static void CheckAboutBox(WindowHandle, unsigned, uintptr_t, uint32_t)
{
    if (!AboutBox || !AboutBox->Window() || AboutSeen || !IsPlatformWindowVisible(AboutBox->Window()))
        return;
    AboutSeen = true;
    WindowHandle about = AboutBox->Window();
    EXPECT_NE(dynamic_cast<wxDialog*>(WxFrameOf(about)), nullptr);
    EXPECT_EQ(WxFrameOf(about)->GetTitle(), "About Orvanel");
    EXPECT_NE(dynamic_cast<wxStaticBitmap*>(WxControlOf(about, AboutIconControl)), nullptr);
    EXPECT_FALSE(WxFrameOf(AboutOwner)->IsThisEnabled());  // modal: the main window takes no input
    bool foundRelease = false;
    for (wxWindow* child : WxPanelOf(about)->GetChildren())
        if (wxStaticText* label = dynamic_cast<wxStaticText*>(child))
            foundRelease = foundRelease || label->GetLabelText() == "Orvanel, release 1";
    EXPECT_TRUE(foundRelease);
    ClickControl(about, CommandOk, wxEVT_BUTTON);
}

TEST_F(WxWindowTest, AboutBoxRunsModallyAndItsOkButtonEndsIt)
{
    AboutOwner = window;
    AboutSeen = false;
    ASSERT_TRUE(SetWindowTimer(window, 1025, 0, CheckAboutBox));
    PlatformDialog about(AboutDialogTemplate, window);
    AboutBox = &about;
    EXPECT_EQ(about.DoModal(), 1);
    AboutBox = nullptr;
    EXPECT_TRUE(AboutSeen);
    EXPECT_TRUE(WxFrameOf(window)->IsThisEnabled());
    // the desktop's about box has no menu bar to carry a system item
    EXPECT_FALSE(AppendSystemMenuItem(nullptr, AboutSystemCommand, "x"));
}
