// The wxWidgets back end's windows: dialogs built from the templates of
// resources/ (a wxFrame when the template has a menu, since only frames carry
// menu bars, else a wxDialog), their controls on a panel that fills the client
// area, menus by command id, the frame timers, and the events that reach the
// dialog object's handlers or the dialog procedure.
//
// Contents: records; text; building windows; events; dialog objects; window
// and control operations; menus; timers; drops; the operations table.
#include <algorithm>
#include <cstring>

#include "platform/platform_ops.h"
#include "platform/wx/wx_internal.h"
#include "platform/wx/wx_platform.h"
#include "platform/wx/wx_testing.h"

static const unsigned TimerMessage = 0x0113;
// A 0 ms request gets this: the timer is re-armed after each callback, so the
// loop still paints and takes input between frames.
static const unsigned MinimumTimerMs = 1;

static std::vector<PlatformWindow*> Windows;
// Windows running RunModalLoop, innermost last: the implicit owner of a new modal dialog.
static std::vector<PlatformWindow*> ModalStack;

// ---------------------------------------------------------------------------
// Records

bool IsLiveWindow(WindowHandle window)
{
    return window && std::find(Windows.begin(), Windows.end(), window) != Windows.end();
}

static PlatformWindow* RecordOfFrame(const wxWindow* frame)
{
    for (PlatformWindow* window : Windows)
        if (window->frame == frame)
            return window;
    return nullptr;
}

WxControl* FindWxControl(WindowHandle window, int controlId)
{
    if (!IsLiveWindow(window))
        return nullptr;
    for (WxControl& control : window->controls)
        if (control.id == controlId)
            return &control;
    return nullptr;
}

// ---------------------------------------------------------------------------
// Text: the program speaks UTF-8 bytes; a path that is not UTF-8 still shows

wxString ToWxString(const char* text)
{
    if (!text || !*text)
        return wxString();
    wxString converted = wxString::FromUTF8(text);
    if (converted.empty())
        converted = wxString(text, wxConvISO8859_1);
    return converted;
}

std::string FromWxString(const wxString& text)
{
    const wxScopedCharBuffer bytes = text.utf8_str();
    return std::string(bytes.data(), bytes.length());
}

std::string FromWxPath(const wxString& path)
{
    const wxCharBuffer bytes = path.mb_str(*wxConvFileName);
    if (!bytes.data())
        return FromWxString(path);
    return std::string(bytes.data());
}

// ---------------------------------------------------------------------------
// Timers

class WindowTimer : public wxTimer {
public:
    WindowTimer(PlatformWindow* window, uintptr_t id, unsigned intervalMs, TimerProc procedure)
        : window(window), id(id), intervalMs(intervalMs), procedure(procedure), firing(false), orphaned(false)
    {
    }

    void Arm()
    {
        StartOnce(static_cast<int>(std::max(intervalMs, MinimumTimerMs)));
    }

    // One shot, re-armed after the callback: a callback slower than the interval
    // must not starve painting, as the desktop's low-priority timer message does not.
    void Notify() override
    {
        firing = true;
        procedure(window, TimerMessage, id, PlatformTickCount());
        firing = false;
        if (orphaned) {
            // the callback destroyed the window; the toolkit no longer touches a one-shot timer
            delete this;
            return;
        }
        Arm();
    }

    PlatformWindow* window;  // owning window
    uintptr_t id;            // timer id
    unsigned intervalMs;     // requested interval
    TimerProc procedure;     // callback
    bool firing;             // inside Notify
    bool orphaned;           // the window went while the callback ran
};

static void DeleteTimers(PlatformWindow* window)
{
    for (WindowTimer* timer : window->timers) {
        timer->Stop();
        if (timer->firing)
            timer->orphaned = true;
        else
            delete timer;
    }
    window->timers.clear();
}

static bool SetWindowTimerOp(WindowHandle window, uintptr_t timerId, unsigned intervalMs, TimerProc procedure)
{
    if (!IsLiveWindow(window) || !procedure)
        return false;
    for (WindowTimer* timer : window->timers)
        if (timer->id == timerId) {
            timer->intervalMs = intervalMs;
            timer->procedure = procedure;
            if (!timer->firing)
                timer->Arm();
            return true;
        }
    WindowTimer* timer = new WindowTimer(window, timerId, intervalMs, procedure);
    window->timers.push_back(timer);
    timer->Arm();
    return true;
}

// ---------------------------------------------------------------------------
// Building windows from templates

static void MeasureDialogFont(PlatformWindow* window)
{
    // the desktop's rule: the average of the 52 letters, rounded, and the font height
    int width = 0, height = 0;
    window->panel->GetTextExtent("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", &width, &height);
    window->baseWidth = std::max(1, (width / 26 + 1) / 2);
    window->baseHeight = std::max(1, height);
}

static wxRect ControlRect(const PlatformWindow* window, const ControlTemplate& source)
{
    PlatformRect rect = ControlTemplateRect(source);
    DialogRectToPixels(&rect, window->baseWidth, window->baseHeight);
    return wxRect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

static wxGLAttributes CanvasAttributes(const GLPixelFormatRequest& format, bool withStencil)
{
    int channel = std::max(1, std::min(8, format.colorBits / 3));
    wxGLAttributes attributes;
    attributes.PlatformDefaults().RGBA().MinRGBA(channel, channel, channel, 0).Depth(format.depthBits);
    if (withStencil && format.stencilBits > 0)
        attributes.Stencil(format.stencilBits);
    if (format.doubleBuffer)
        attributes.DoubleBuffer();
    attributes.EndList();
    return attributes;
}

wxWindow* CreatePreviewCanvas(wxWindow* parent, int id, const wxPoint& position, const wxSize& size,
                              const GLPixelFormatRequest& format)
{
    // the closest offer: as asked, then without stencil, then the driver's default
    wxGLAttributes attributes = CanvasAttributes(format, true);
    if (!wxGLCanvas::IsDisplaySupported(attributes))
        attributes = CanvasAttributes(format, false);
    if (!wxGLCanvas::IsDisplaySupported(attributes)) {
        attributes = wxGLAttributes();
        attributes.Defaults().EndList();
    }
    if (!wxGLCanvas::IsDisplaySupported(attributes)) {
        // no GL on this display: a black frame stands in, and context creation fails
        wxWindow* frame = new wxWindow(parent, id, position, size, wxBORDER_SIMPLE);
        frame->SetBackgroundColour(*wxBLACK);
        return frame;
    }
    wxGLCanvas* canvas = new wxGLCanvas(parent, attributes, id, position, size, wxFULL_REPAINT_ON_RESIZE);
    // the frame timer draws the preview; painting only validates the area
    canvas->Bind(wxEVT_PAINT, [canvas](wxPaintEvent&) { wxPaintDC validate(canvas); });
    canvas->Bind(wxEVT_ERASE_BACKGROUND, [](wxEraseEvent&) {});
    return canvas;
}

static wxBitmap IconBitmap(int iconId)
{
    const IconImage* icon = FindIconImage(iconId);
    if (!icon)
        return wxBitmap();
    wxImage image(icon->width, icon->height);
    image.SetAlpha();
    unsigned char* rgb = image.GetData();
    unsigned char* alpha = image.GetAlpha();
    for (int i = 0; i < icon->width * icon->height; ++i) {
        memcpy(rgb + 3 * i, icon->rgba + 4 * i, 3);
        alpha[i] = icon->rgba[4 * i + 3];
    }
    return wxBitmap(image);
}

static wxWindow* CreateControl(PlatformWindow* window, const ControlTemplate& source)
{
    wxRect rect = ControlRect(window, source);
    wxWindowID id = source.id < 0 ? wxID_ANY : source.id;
    wxPanel* panel = window->panel;
    wxString text = ToWxString(source.text);
    switch (source.kind) {
    case ControlLabel: {
        wxStaticText* label = new wxStaticText(panel, id, "", rect.GetPosition(), rect.GetSize(), wxST_NO_AUTORESIZE);
        if (source.style & StyleNoPrefix)
            label->SetLabelText(text);
        else
            label->SetLabel(text);
        return label;
    }
    case ControlFrame: {
        const GLPixelFormatRequest preview = {32, 24, 8, true};
        return CreatePreviewCanvas(panel, id, rect.GetPosition(), rect.GetSize(), preview);
    }
    case ControlIcon: {
        // an icon control takes the icon's own size
        wxBitmap bitmap = IconBitmap(MainIcon);
        return new wxStaticBitmap(panel, id, bitmap, rect.GetPosition(),
                                  bitmap.IsOk() ? bitmap.GetSize() : rect.GetSize());
    }
    case ControlPushButton:
    case ControlDefaultPushButton: {
        wxButton* button = new wxButton(panel, id, text, rect.GetPosition(), rect.GetSize());
        if (source.kind == ControlDefaultPushButton)
            button->SetDefault();
        return button;
    }
    case ControlEdit: {
        long style = (source.style & StyleReadOnly) ? wxTE_READONLY : 0;
        style |= (source.style & StyleBorder) ? wxBORDER_SUNKEN : wxBORDER_NONE;
        return new wxTextCtrl(panel, id, text, rect.GetPosition(), rect.GetSize(), style);
    }
    case ControlTrackbar:
        // a horizontal trackbar without ticks or value label; the range starts as the desktop's 0..100
        return new wxSlider(panel, id, 0, 0, 100, rect.GetPosition(), rect.GetSize(), wxSL_HORIZONTAL);
    case ControlCheckbox:
        return new wxCheckBox(panel, id, text, rect.GetPosition(), rect.GetSize());
    }
    return nullptr;
}

// Menu ids start above the control ids of the templates and stay below wx's own range.
static const int FirstMenuId = 2000;

static int AddMenuCommand(PlatformWindow* window, unsigned commandId, bool system)
{
    int menuId = FirstMenuId + static_cast<int>(window->menuCommands.size());
    window->menuCommands.push_back({menuId, commandId, system});
    return menuId;
}

// GTK lays out a check box or a slider smaller than its theme's minimum with
// negative sizes; such a control grows right and down to that minimum (a check
// box's text is as wide as the font makes it).
static void KeepToolkitMinimumSize(ControlKind kind, wxWindow* widget)
{
    if (kind != ControlCheckbox && kind != ControlTrackbar)
        return;
    wxSize size = widget->GetSize();
    wxSize minimum = widget->GetBestSize();
    if (kind == ControlCheckbox)
        size.x = std::max(size.x, minimum.x);
    size.y = std::max(size.y, minimum.y);
    widget->SetSize(size);
}

static wxMenuBar* BuildMenuBar(PlatformWindow* window, int menuId)
{
    const MenuTemplate* menu = FindMenuTemplate(menuId);
    if (!menu)
        return nullptr;
    wxMenuBar* bar = new wxMenuBar();
    for (int p = 0; p < menu->popupCount; ++p) {
        const MenuPopupTemplate& popup = menu->popups[p];
        wxMenu* items = new wxMenu();
        for (int i = 0; i < popup.itemCount; ++i) {
            const MenuItemTemplate& item = popup.items[i];
            // only check items can carry a mark in wx; others become one when first checked
            wxItemKind kind = (item.state & MenuItemChecked) ? wxITEM_CHECK : wxITEM_NORMAL;
            int id = AddMenuCommand(window, item.commandId, false);
            wxMenuItem* added = items->Append(id, ToWxString(item.text), "", kind);
            if (kind == wxITEM_CHECK)
                added->Check(true);
            if (item.state & MenuItemGrayed)
                added->Enable(false);
        }
        bar->Append(items, ToWxString(popup.text));
    }
    return bar;
}

static long FrameStyle(const DialogTemplate& source)
{
    long style = 0;
    if (source.style & WindowCaption)
        style |= wxCAPTION;
    if (source.style & WindowSystemMenu)
        style |= wxSYSTEM_MENU | wxCLOSE_BOX;
    if (source.style & WindowSizing)
        style |= wxRESIZE_BORDER;
    if (source.style & WindowMinMaxBoxes)
        style |= wxMINIMIZE_BOX | wxMAXIMIZE_BOX;
    if (source.style & WindowToolWindow)
        style |= wxFRAME_TOOL_WINDOW | wxFRAME_FLOAT_ON_PARENT;
    return style;
}

static wxPoint TemplatePosition(const PlatformWindow* window, WindowHandle owner)
{
    // a popup's position counts from its owner's client area
    wxPoint position(DialogUnitsToPixelsX(window->source->x, window->baseWidth),
                     DialogUnitsToPixelsY(window->source->y, window->baseHeight));
    if (IsLiveWindow(owner))
        position = owner->panel->ClientToScreen(position);
    return position;
}

static void BindWindowEvents(PlatformWindow* window);

static PlatformWindow* BuildWindow(int templateId, WindowHandle owner)
{
    const DialogTemplate* source = FindDialogTemplate(templateId);
    if (!source || !wxTheApp)
        return nullptr;
    PlatformWindow* window = new PlatformWindow();
    window->source = source;
    window->dialog = nullptr;
    window->procedure = nullptr;
    window->owner = IsLiveWindow(owner) ? owner : nullptr;
    window->modalLoop = nullptr;
    wxWindow* parent = window->owner ? window->owner->frame : nullptr;
    wxString title = ToWxString(source->title);
    if (source->menuId)
        window->frame = new wxFrame(parent, wxID_ANY, title, wxDefaultPosition, wxDefaultSize, FrameStyle(*source));
    else
        window->frame = new wxDialog(parent, wxID_ANY, title, wxDefaultPosition, wxDefaultSize, FrameStyle(*source));
    window->menuBar = BuildMenuBar(window, source->menuId);
    if (window->menuBar)
        static_cast<wxFrame*>(window->frame)->SetMenuBar(window->menuBar);
    window->panel = new wxPanel(window->frame, wxID_ANY);
    MeasureDialogFont(window);
    for (int i = 0; i < source->controlCount; ++i) {
        const ControlTemplate& control = source->controls[i];
        wxWindow* widget = CreateControl(window, control);
        KeepToolkitMinimumSize(control.kind, widget);
        if (control.style & StyleDisabled)
            widget->Disable();
        window->controls.push_back({control.id, control.kind, control.style, widget, 0, 100, {32, 24, 8, true}});
    }
    wxSize client(DialogUnitsToPixelsX(source->width, window->baseWidth),
                  DialogUnitsToPixelsY(source->height, window->baseHeight));
    window->frame->SetClientSize(client);
    window->panel->SetSize(client);
    window->frame->Move(TemplatePosition(window, window->owner));
    if (source->style & WindowAcceptFiles)
        window->frame->DragAcceptFiles(true);
    Windows.push_back(window);
    BindWindowEvents(window);
    return window;
}

static void DestroyWindowRecord(PlatformWindow* window)
{
    if (!IsLiveWindow(window))
        return;
    // owned windows go with their owner
    std::vector<PlatformWindow*> owned;
    for (PlatformWindow* other : Windows)
        if (other->owner == window)
            owned.push_back(other);
    for (PlatformWindow* other : owned)
        DestroyWindowRecord(other);
    DeleteTimers(window);
    ForgetWxGLWindow(window);
    if (window->modalLoop)
        window->modalLoop->ScheduleExit(0);
    ModalStack.erase(std::remove(ModalStack.begin(), ModalStack.end(), window), ModalStack.end());
    Windows.erase(std::find(Windows.begin(), Windows.end(), window));
    // the toolkit deletes the frame when its events are done with it
    window->frame->Hide();
    window->frame->Destroy();
    delete window;
}

void DestroyAllWindows()
{
    while (!Windows.empty())
        DestroyWindowRecord(Windows.front());
}

// ---------------------------------------------------------------------------
// Events: each handler finds the record again, since the window may be gone

static void SendCommand(PlatformWindow* window, unsigned commandId)
{
    if (window->dialog)
        window->dialog->OnCommand(commandId);
    else if (window->procedure)
        window->procedure(window, DialogMessageCommand, commandId & 0xFFFFu, 0);
}

static void OnCloseRequest(wxTopLevelWindow* frame, wxCloseEvent& event)
{
    PlatformWindow* window = RecordOfFrame(frame);
    if (!window) {
        event.Skip();
        return;
    }
    if (event.CanVeto())
        event.Veto();  // only the handler decides whether the window goes
    if (window->dialog)
        window->dialog->OnClose();
    else if (window->procedure)
        window->procedure(window, DialogMessageClose, 0, 0);
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
    if (!window->dialog)
        return;
    if (kind == SizeMinimized)
        window->dialog->OnSize(kind, 0, 0);  // a minimised window has no client area
    else
        window->dialog->OnSize(kind, client.x, client.y);
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
        SendCommand(window, command->commandId);
    else if (window->dialog)
        window->dialog->OnSysCommand(command->commandId, 0);
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
        SendCommand(window, CommandCancel);
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
        SendCommand(window, CommandOk);
    else if (button->widget->IsThisEnabled())
        SendCommand(window, static_cast<unsigned>(button->id));
}

static void OnMouseMotion(wxTopLevelWindow* frame, wxWindow* source, wxMouseEvent& event)
{
    event.Skip();
    PlatformWindow* window = RecordOfFrame(frame);
    if (!window || !window->dialog)
        return;
    // children report in their own coordinates; the handler wants the window's client area
    wxPoint point = event.GetPosition();
    if (source != window->panel)
        point = window->panel->ScreenToClient(source->ClientToScreen(point));
    unsigned flags = event.LeftIsDown() ? MouseLeftButton : 0;
    window->dialog->OnMouseMove(flags, point.x, point.y);
}

static void OnDroppedFiles(wxTopLevelWindow* frame, wxDropFilesEvent& event)
{
    PlatformWindow* window = RecordOfFrame(frame);
    if (!window || !window->dialog)
        return;
    PlatformDrop drop;
    const wxString* files = event.GetFiles();
    for (int i = 0; i < event.GetNumberOfFiles(); ++i)
        drop.paths.push_back(FromWxPath(files[i]));
    window->dialog->OnDropFiles(&drop);
}

static void BindMotion(PlatformWindow* window, wxWindow* source)
{
    wxTopLevelWindow* frame = window->frame;
    source->Bind(wxEVT_MOTION, [frame, source](wxMouseEvent& event) { OnMouseMotion(frame, source, event); });
}

static void BindWindowEvents(PlatformWindow* window)
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
        PlatformWindow* window = RecordOfFrame(frame);
        if (window && window->dialog && event.IsIconized())
            window->dialog->OnPaint();
    });
    frame->Bind(wxEVT_MENU, [frame](wxCommandEvent& event) { OnMenuCommand(frame, event); });
    frame->Bind(wxEVT_BUTTON, [frame](wxCommandEvent& event) {
        if (PlatformWindow* window = RecordOfFrame(frame))
            SendCommand(window, static_cast<unsigned>(event.GetId()));
    });
    frame->Bind(wxEVT_CHECKBOX, [frame](wxCommandEvent& event) {
        if (PlatformWindow* window = RecordOfFrame(frame))
            SendCommand(window, static_cast<unsigned>(event.GetId()));
    });
    frame->Bind(wxEVT_CHAR_HOOK, [frame](wxKeyEvent& event) { OnKey(frame, event); });
    frame->Bind(wxEVT_DROP_FILES, [frame](wxDropFilesEvent& event) { OnDroppedFiles(frame, event); });
    panel->Bind(wxEVT_PAINT, [frame, panel](wxPaintEvent&) {
        wxPaintDC validate(panel);
        PlatformWindow* window = RecordOfFrame(frame);
        if (window && window->dialog)
            window->dialog->OnPaint();
    });
    BindMotion(window, panel);
    for (WxControl& control : window->controls)
        BindMotion(window, control.widget);
}

bool ReplacePreviewCanvas(WindowHandle window, WxControl& control, const GLPixelFormatRequest& format)
{
    wxWindow* old = control.widget;
    wxWindow* canvas = CreatePreviewCanvas(window->panel, old->GetId(), old->GetPosition(), old->GetSize(), format);
    if (!canvas)
        return false;
    canvas->Show(old->IsShown());
    canvas->Enable(old->IsThisEnabled());
    control.widget = canvas;
    control.glFormat = format;
    old->Destroy();
    BindMotion(window, canvas);
    return true;
}

// ---------------------------------------------------------------------------
// Dialog objects

static WindowHandle ImplicitOwner(WindowHandle owner)
{
    // a modal dialog without an owner is owned by the active modal window, as on the desktop
    if (IsLiveWindow(owner))
        return owner;
    return ModalStack.empty() ? nullptr : ModalStack.back();
}

static bool CreateDialogWindow(PlatformDialog& dialog)
{
    PlatformWindow* window = BuildWindow(dialog.TemplateId(), ImplicitOwner(dialog.Owner()));
    if (!window)
        return false;
    window->dialog = &dialog;
    dialog.AttachWindow(window);
    dialog.DoDataExchange();
    bool defaultFocus = dialog.OnInitDialog();
    if (IsLiveWindow(window) && (window->source->style & WindowVisible) && !dialog.Ended()) {
        window->frame->Show();
        if (defaultFocus)
            window->panel->SetFocus();  // the first control that takes the focus
    }
    return true;
}

static intptr_t RunModalLoop(PlatformDialog& dialog)
{
    PlatformWindow* window = dialog.Window();
    if (!IsLiveWindow(window) || dialog.Ended())
        return dialog.Result();
    // modal: the owner takes no input until the dialog ends
    PlatformWindow* owner = IsLiveWindow(window->owner) ? window->owner : nullptr;
    bool ownerWasEnabled = owner && owner->frame->IsThisEnabled();
    if (ownerWasEnabled)
        owner->frame->Disable();
    window->frame->Show();
    wxGUIEventLoop loop;
    window->modalLoop = &loop;
    ModalStack.push_back(window);
    loop.Run();
    if (IsLiveWindow(window)) {
        window->modalLoop = nullptr;
        ModalStack.erase(std::remove(ModalStack.begin(), ModalStack.end(), window), ModalStack.end());
    }
    if (ownerWasEnabled && IsLiveWindow(owner))
        owner->frame->Enable();
    return dialog.Result();
}

static void EndDialogWindow(PlatformDialog& dialog, intptr_t result)
{
    PlatformWindow* window = dialog.Window();
    if (!IsLiveWindow(window))
        return;
    window->frame->Hide();
    if (window->modalLoop)
        window->modalLoop->ScheduleExit(static_cast<int>(result));
}

static void DestroyDialogWindow(PlatformDialog& dialog)
{
    DestroyWindowRecord(dialog.Window());
}

static WindowHandle CreateModelessDialogOp(int templateId, WindowHandle owner, DialogProc procedure, intptr_t parameter)
{
    PlatformWindow* window = BuildWindow(templateId, owner);
    if (!window)
        return nullptr;
    window->procedure = procedure;
    if (procedure)
        procedure(window, DialogMessageInit, 0, parameter);
    return window;
}

static void EndModelessDialogOp(WindowHandle window, intptr_t)
{
    if (IsLiveWindow(window))
        window->frame->Hide();
}

// ---------------------------------------------------------------------------
// Window and control operations

static void ShowWindowOp(WindowHandle window, bool show)
{
    if (!IsLiveWindow(window))
        return;
    if (show && window->frame->IsIconized())
        window->frame->Iconize(false);
    window->frame->Show(show);
}

static bool IsWindowVisibleOp(WindowHandle window)
{
    return IsLiveWindow(window) && window->frame->IsShown();
}
static bool IsWindowMinimizedOp(WindowHandle window)
{
    return IsLiveWindow(window) && window->frame->IsIconized();
}

static bool GetClientSizeOp(WindowHandle window, int* width, int* height)
{
    if (!IsLiveWindow(window))
        return false;
    window->frame->GetClientSize(width, height);
    return true;
}

static void SetWindowIconOp(WindowHandle window, int iconId)
{
    if (!IsLiveWindow(window))
        return;
    wxBitmap bitmap = IconBitmap(iconId);
    if (!bitmap.IsOk())
        return;
    wxIcon icon;
    icon.CopyFromBitmap(bitmap);
    window->frame->SetIcon(icon);
}

static bool HasControlOp(WindowHandle window, int controlId)
{
    return FindWxControl(window, controlId) != nullptr;
}

static void SetControlTextOp(WindowHandle window, int controlId, const char* text)
{
    WxControl* control = FindWxControl(window, controlId);
    if (!control)
        return;
    wxString value = ToWxString(text);
    if (control->kind == ControlEdit)
        static_cast<wxTextCtrl*>(control->widget)->ChangeValue(value);
    else if (control->kind == ControlLabel && (control->style & StyleNoPrefix))
        static_cast<wxStaticText*>(control->widget)->SetLabelText(value);
    else
        control->widget->SetLabel(value);
}

static std::string ControlText(const WxControl& control)
{
    if (control.kind == ControlEdit)
        return FromWxString(static_cast<wxTextCtrl*>(control.widget)->GetValue());
    if (control.kind == ControlLabel && (control.style & StyleNoPrefix))
        return FromWxString(static_cast<wxStaticText*>(control.widget)->GetLabelText());
    return FromWxString(control.widget->GetLabel());
}

static size_t GetControlTextOp(WindowHandle window, int controlId, char* buffer, size_t size)
{
    WxControl* control = FindWxControl(window, controlId);
    std::string text = control ? ControlText(*control) : std::string();
    if (buffer && size > 0) {
        size_t count = std::min(text.size(), size - 1);
        memcpy(buffer, text.data(), count);
        buffer[count] = '\0';
    }
    return text.size();
}

static void EnableControlOp(WindowHandle window, int controlId, bool enable)
{
    if (WxControl* control = FindWxControl(window, controlId))
        control->widget->Enable(enable);
}

static bool IsControlEnabledOp(WindowHandle window, int controlId)
{
    WxControl* control = FindWxControl(window, controlId);
    return control && control->widget->IsThisEnabled();
}

static bool IsControlVisibleOp(WindowHandle window, int controlId)
{
    WxControl* control = FindWxControl(window, controlId);
    return control && control->widget->IsShown();
}

static bool GetControlRectOp(WindowHandle window, int controlId, PlatformRect* rect)
{
    WxControl* control = FindWxControl(window, controlId);
    if (!control || !rect)
        return false;
    wxRect outer = control->widget->GetRect();
    *rect = {outer.x, outer.y, outer.x + outer.width, outer.y + outer.height};
    return true;
}

static bool SetControlSizeOp(WindowHandle window, int controlId, int width, int height)
{
    WxControl* control = FindWxControl(window, controlId);
    if (!control)
        return false;
    // a negative size is an empty control, as on the desktop; wx would read -1 as "default"
    wxPoint position = control->widget->GetPosition();
    control->widget->SetSize(position.x, position.y, std::max(width, 0), std::max(height, 0), wxSIZE_ALLOW_MINUS_ONE);
    return true;
}

static wxSlider* FindSlider(WindowHandle window, int controlId, WxControl** control)
{
    *control = FindWxControl(window, controlId);
    if (!*control || (*control)->kind != ControlTrackbar)
        return nullptr;
    return static_cast<wxSlider*>((*control)->widget);
}

static int ClampToRange(const WxControl& control, int position)
{
    return std::max(control.rangeMinimum, std::min(control.rangeMaximum, position));
}

static void SetTrackbarRangeOp(WindowHandle window, int controlId, int minimum, int maximum)
{
    WxControl* control = nullptr;
    wxSlider* slider = FindSlider(window, controlId, &control);
    if (!slider)
        return;
    int position = slider->GetValue();
    control->rangeMinimum = minimum;
    control->rangeMaximum = std::max(minimum, maximum);
    // a slider needs some room; an empty range shows as one step
    slider->SetRange(minimum, std::max(minimum + 1, maximum));
    slider->SetValue(ClampToRange(*control, position));
}

static void SetTrackbarPositionOp(WindowHandle window, int controlId, int position)
{
    WxControl* control = nullptr;
    if (wxSlider* slider = FindSlider(window, controlId, &control))
        slider->SetValue(ClampToRange(*control, position));
}

static int GetTrackbarPositionOp(WindowHandle window, int controlId)
{
    WxControl* control = nullptr;
    wxSlider* slider = FindSlider(window, controlId, &control);
    return slider ? ClampToRange(*control, slider->GetValue()) : 0;
}

static void SetCheckStateOp(WindowHandle window, int controlId, int state)
{
    WxControl* control = FindWxControl(window, controlId);
    if (control && control->kind == ControlCheckbox)
        static_cast<wxCheckBox*>(control->widget)->SetValue(state != 0);
}

static int GetCheckStateOp(WindowHandle window, int controlId)
{
    WxControl* control = FindWxControl(window, controlId);
    if (!control || control->kind != ControlCheckbox)
        return 0;
    return static_cast<wxCheckBox*>(control->widget)->GetValue() ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Menus

static bool WindowHasMenuOp(WindowHandle window)
{
    return IsLiveWindow(window) && window->menuBar;
}

static wxMenuItem* FindMenuItem(WindowHandle window, unsigned commandId, wxMenu** menu)
{
    if (!IsLiveWindow(window) || !window->menuBar)
        return nullptr;
    for (const MenuCommand& command : window->menuCommands)
        if (!command.system && command.commandId == commandId)
            return window->menuBar->FindItem(command.menuId, menu);
    return nullptr;
}

static int GetMenuItemStateOp(WindowHandle window, unsigned commandId)
{
    wxMenuItem* item = FindMenuItem(window, commandId, nullptr);
    if (!item)
        return -1;
    unsigned state = item->IsEnabled() ? 0 : MenuItemGrayed;
    if (item->IsCheckable() && item->IsChecked())
        state |= MenuItemChecked;
    return static_cast<int>(state);
}

// wx cannot mark a plain item: it becomes a check item in the same place.
static wxMenuItem* MakeCheckable(wxMenu* menu, wxMenuItem* item)
{
    size_t position = 0;
    menu->FindChildItem(item->GetId(), &position);
    int id = item->GetId();
    wxString text = item->GetItemLabel();
    menu->Destroy(item);
    return menu->InsertCheckItem(position, id, text);
}

static bool SetMenuItemStateOp(WindowHandle window, unsigned commandId, unsigned state)
{
    wxMenu* menu = nullptr;
    wxMenuItem* item = FindMenuItem(window, commandId, &menu);
    if (!item)
        return false;
    bool checked = (state & MenuItemChecked) != 0;
    if (checked && !item->IsCheckable())
        item = MakeCheckable(menu, item);
    if (item->IsCheckable())
        item->Check(checked);
    item->Enable((state & MenuItemGrayed) == 0);
    return true;
}

static wxMenu* HelpMenu(wxMenuBar* bar)
{
    const wxString title = "&Help";
    int index = bar->FindMenu(title);
    if (index != wxNOT_FOUND)
        return bar->GetMenu(static_cast<size_t>(index));
    wxMenu* help = new wxMenu();
    bar->Append(help, title);
    return help;
}

// The desktop here has no system menu: the item goes last on a Help menu.
static bool AppendSystemMenuItemOp(WindowHandle window, unsigned commandId, const char* text)
{
    if (!IsLiveWindow(window) || !(window->source->style & WindowSystemMenu) || !window->menuBar)
        return false;
    wxMenu* help = HelpMenu(window->menuBar);
    if (help->GetMenuItemCount() > 0)
        help->AppendSeparator();
    help->Append(AddMenuCommand(window, commandId, true), ToWxString(text));
    return true;
}

// ---------------------------------------------------------------------------
// Drops

static unsigned GetDroppedFileCountOp(DropHandle drop)
{
    return drop ? static_cast<unsigned>(drop->paths.size()) : 0;
}

static const char* GetDroppedFilePathOp(DropHandle drop, unsigned index)
{
    if (!drop || index >= drop->paths.size())
        return nullptr;
    return drop->paths[index].c_str();
}

// ---------------------------------------------------------------------------
// The operations table

static bool MapDialogRectOp(WindowHandle window, PlatformRect* rect)
{
    if (!IsLiveWindow(window) || !rect)
        return false;
    DialogRectToPixels(rect, window->baseWidth, window->baseHeight);
    return true;
}

static const PlatformOps WxPlatformOps = {
    StartWx,
    RunWxApp,
    CreateDialogWindow,
    RunModalLoop,
    EndDialogWindow,
    DestroyDialogWindow,
    CreateModelessDialogOp,
    EndModelessDialogOp,
    ShowWindowOp,
    IsWindowVisibleOp,
    IsWindowMinimizedOp,
    GetClientSizeOp,
    SetWindowIconOp,
    HasControlOp,
    SetControlTextOp,
    GetControlTextOp,
    EnableControlOp,
    IsControlEnabledOp,
    IsControlVisibleOp,
    GetControlRectOp,
    SetControlSizeOp,
    SetTrackbarRangeOp,
    SetTrackbarPositionOp,
    GetTrackbarPositionOp,
    SetCheckStateOp,
    GetCheckStateOp,
    WindowHasMenuOp,
    GetMenuItemStateOp,
    SetMenuItemStateOp,
    AppendSystemMenuItemOp,
    ShowWxFileDialog,
    ShowWxColorDialog,
    ShowWxMessageBox,
    SetWindowTimerOp,
    GetDroppedFileCountOp,
    GetDroppedFilePathOp,
    CreateWxGLContext,
    MakeWxGLContextCurrent,
    DeleteWxGLContext,
    SwapWxGLBuffers,
    GetWxGLProcAddress,
    MapDialogRectOp,
};

void RegisterDesktopPlatform()
{
    RegisterPlatform(PlatformDesktop, &WxPlatformOps);
}

// ---------------------------------------------------------------------------
// Test interface

wxTopLevelWindow* WxFrameOf(WindowHandle window)
{
    return IsLiveWindow(window) ? window->frame : nullptr;
}
wxPanel* WxPanelOf(WindowHandle window)
{
    return IsLiveWindow(window) ? window->panel : nullptr;
}

wxWindow* WxControlOf(WindowHandle window, int controlId)
{
    WxControl* control = FindWxControl(window, controlId);
    return control ? control->widget : nullptr;
}

bool WxDialogBaseUnits(WindowHandle window, int* width, int* height)
{
    if (!IsLiveWindow(window))
        return false;
    *width = window->baseWidth;
    *height = window->baseHeight;
    return true;
}

int WxMenuItemId(WindowHandle window, unsigned commandId)
{
    if (IsLiveWindow(window))
        for (const MenuCommand& command : window->menuCommands)
            if (!command.system && command.commandId == commandId)
                return command.menuId;
    return wxID_NONE;
}

int WxSystemMenuItemId(WindowHandle window, unsigned commandId)
{
    if (IsLiveWindow(window))
        for (const MenuCommand& command : window->menuCommands)
            if (command.system && command.commandId == commandId)
                return command.menuId;
    return wxID_NONE;
}

int WxWindowCount()
{
    return static_cast<int>(Windows.size());
}
