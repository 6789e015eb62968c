// The toolkit's events of a wx window, delivered to the dialog object's
// handlers or the dialog procedure: close requests, sizes, menu choices,
// buttons, keys, mouse moves, dropped files and painting. Each handler finds
// the record again, since the window may be gone.
#include <algorithm>

#include "platform/wx/wx_internal.h"

static void OnCloseRequest(wxTopLevelWindow* frame, wxCloseEvent& event)
{
    PlatformWindow* window = RecordOfFrame(frame);
    if (!window) {
        event.Skip();
        return;
    }
    if (event.CanVeto())
        event.Veto();  // only the handler decides whether the window goes
    SendCloseMessage(window, window->target);
    if (!event.CanVeto() && IsLiveWindow(window))
        DestroyWindowRecord(window);
}

static unsigned SizeKind(const wxTopLevelWindow* frame)
{
    if (frame->IsIconized())
        return SizeMinimized;
    return frame->IsMaximized() ? SizeMaximized : SizeRestored;
}

static void DeliverSize(wxTopLevelWindow* frame, unsigned kind)
{
    PlatformWindow* window = RecordOfFrame(frame);
    if (!window)
        return;
    wxSize client = frame->GetClientSize();
    // the panel follows first: the handler may read its controls' places
    window->panel->SetSize(client);
    PlatformDialog* dialog = window->target.dialog;
    if (!dialog)
        return;
    if (kind == SizeMinimized)
        dialog->OnSize(kind, 0, 0);  // a minimised window has no client area
    else
        dialog->OnSize(kind, client.x, client.y);
}

static const MenuCommand* FindMenuCommand(const PlatformWindow* window, int menuId)
{
    for (const MenuCommand& command : window->menuCommands)
        if (command.menuId == menuId)
            return &command;
    return nullptr;
}

static void OnMenuCommand(wxTopLevelWindow* frame, wxCommandEvent& event)
{
    PlatformWindow* window = RecordOfFrame(frame);
    const MenuCommand* command = window && window->menuBar ? FindMenuCommand(window, event.GetId()) : nullptr;
    if (!command) {
        event.Skip();
        return;
    }
    wxMenuItem* item = window->menuBar->FindItem(event.GetId());
    if (!item || !item->IsEnabled())
        return;
    // choosing an item never toggles its mark: the handler decides
    if (item->IsCheckable())
        item->Check(!event.IsChecked());
    if (!command->system)
        SendCommandMessage(window, window->target, command->commandId);
    else if (window->target.dialog)
        window->target.dialog->OnSysCommand(command->commandId, 0);
}

static const WxControl* DefaultButton(const PlatformWindow* window)
{
    for (const WxControl& control : window->controls)
        if (control.kind == ControlDefaultPushButton)
            return &control;
    return nullptr;
}

static bool IsOwnButton(const PlatformWindow* window, const wxWindow* focus)
{
    for (const WxControl& control : window->controls)
        if (control.widget == focus && (control.kind == ControlPushButton || control.kind == ControlDefaultPushButton))
            return true;
    return false;
}

// Enter presses the focused button, else the default button when it is
// enabled, else sends OK; Escape always sends Cancel.
static void OnKey(wxTopLevelWindow* frame, wxKeyEvent& event)
{
    PlatformWindow* window = RecordOfFrame(frame);
    int key = event.GetKeyCode();
    bool plain = !event.HasAnyModifiers();
    if (!window || !plain) {
        event.Skip();
        return;
    }
    if (key == WXK_ESCAPE) {
        SendCommandMessage(window, window->target, CommandCancel);
        return;
    }
    if (key != WXK_RETURN && key != WXK_NUMPAD_ENTER) {
        event.Skip();
        return;
    }
    if (IsOwnButton(window, wxWindow::FindFocus())) {
        event.Skip();  // the button's own activation sends its command
        return;
    }
    const WxControl* button = DefaultButton(window);
    if (!button)
        SendCommandMessage(window, window->target, CommandOk);
    else if (button->widget->IsThisEnabled())
        SendCommandMessage(window, window->target, static_cast<unsigned>(button->id));
}

static void OnControlCommand(wxTopLevelWindow* frame, wxCommandEvent& event)
{
    if (PlatformWindow* window = RecordOfFrame(frame))
        SendCommandMessage(window, window->target, static_cast<unsigned>(event.GetId()));
}

static unsigned MouseFlags(const wxMouseEvent& event)
{
    return (event.LeftIsDown() ? MouseLeftButton : 0) | (event.RightIsDown() ? MouseRightButton : 0) |
        (event.MiddleIsDown() ? MouseMiddleButton : 0) | (event.ShiftDown() ? MouseShiftKey : 0);
}

static void OnMouseEvent(wxTopLevelWindow* frame, wxWindow* source, wxMouseEvent& event)
{
    event.Skip();
    PlatformWindow* window = RecordOfFrame(frame);
    if (!window || !window->target.dialog)
        return;
    // children report in their own coordinates; the handler wants the window's client area
    wxPoint point = event.GetPosition();
    if (source != window->panel)
        point = window->panel->ScreenToClient(source->ClientToScreen(point));
    if (event.GetEventType() == wxEVT_MOUSEWHEEL) {
        int delta = event.GetWheelRotation() * MouseWheelNotch / std::max(event.GetWheelDelta(), 1);
        if (event.GetWheelAxis() == wxMOUSE_WHEEL_VERTICAL && delta != 0)
            window->target.dialog->OnMouseWheel(delta, point.x, point.y);
        return;
    }
    window->target.dialog->OnMouseMove(MouseFlags(event), point.x, point.y);
}

static void OnDroppedFiles(wxTopLevelWindow* frame, wxDropFilesEvent& event)
{
    PlatformWindow* window = RecordOfFrame(frame);
    if (!window || !window->target.dialog)
        return;
    PlatformDrop drop;
    const wxString* files = event.GetFiles();
    for (int i = 0; i < event.GetNumberOfFiles(); ++i)
        drop.paths.push_back(FromWxPath(files[i]));
    window->target.dialog->OnDropFiles(&drop);
}

void Paint(wxTopLevelWindow* frame)
{
    PlatformWindow* window = RecordOfFrame(frame);
    if (window && window->target.dialog)
        window->target.dialog->OnPaint();
}

static void BindMouse(PlatformWindow* window, wxWindow* source)
{
    wxTopLevelWindow* frame = window->frame;
    auto deliver = [frame, source](wxMouseEvent& event) { OnMouseEvent(frame, source, event); };
    source->Bind(wxEVT_MOTION, deliver);
    source->Bind(wxEVT_MOUSEWHEEL, deliver);
}

void BindWindowEvents(PlatformWindow* window)
{
    wxTopLevelWindow* frame = window->frame;
    wxPanel* panel = window->panel;
    frame->Bind(wxEVT_CLOSE_WINDOW, [frame](wxCloseEvent& event) { OnCloseRequest(frame, event); });
    frame->Bind(wxEVT_SIZE, [frame](wxSizeEvent& event) {
        event.Skip();
        DeliverSize(frame, SizeKind(frame));
    });
    frame->Bind(wxEVT_ICONIZE, [frame](wxIconizeEvent& event) {
        event.Skip();
        // restoring does not resize, so the handler hears of it here
        DeliverSize(frame, event.IsIconized() ? SizeMinimized : SizeKind(frame));
        if (event.IsIconized())
            Paint(frame);
    });
    frame->Bind(wxEVT_MENU, [frame](wxCommandEvent& event) { OnMenuCommand(frame, event); });
    frame->Bind(wxEVT_BUTTON, [frame](wxCommandEvent& event) { OnControlCommand(frame, event); });
    frame->Bind(wxEVT_CHECKBOX, [frame](wxCommandEvent& event) { OnControlCommand(frame, event); });
    frame->Bind(wxEVT_CHAR_HOOK, [frame](wxKeyEvent& event) { OnKey(frame, event); });
    frame->Bind(wxEVT_DROP_FILES, [frame](wxDropFilesEvent& event) { OnDroppedFiles(frame, event); });
    panel->Bind(wxEVT_PAINT, [frame, panel](wxPaintEvent&) {
        wxPaintDC validate(panel);
        Paint(frame);
    });
    BindMouse(window, panel);
    for (WxControl& control : window->controls)
        BindMouse(window, control.widget);
}
