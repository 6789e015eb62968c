// The wxWidgets back end's windows: the live records and their lookups, text
// between the program and wx, the frame timers, dialog objects and their
// modal loops, the window operations, the operations table and the test
// interface. Building a window is in wx_build.cpp, its events in
// wx_events.cpp, its controls and menus in wx_controls.cpp.
//
// Contents: records; text; timers; creating and destroying windows; modal
// loops; window operations; the operations table; test interface.
#include <algorithm>

#include "platform/wx/wx_internal.h"
#include "platform/wx/wx_platform.h"
#include "platform/wx/wx_testing.h"

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

PlatformWindow* RecordOfFrame(const wxWindow* frame)
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
// Text: the program speaks UTF-8 bytes

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
// Creating and destroying windows

static PlatformWindow* AddWindow(int templateId, WindowHandle owner, MessageTarget target)
{
    PlatformWindow* window = BuildWxWindow(templateId, owner, target);
    if (!window)
        return nullptr;
    Windows.push_back(window);
    BindWindowEvents(window);
    return window;
}

static WindowHandle ImplicitOwner(WindowHandle owner)
{
    // a modal dialog without an owner is owned by the active modal window, as on the desktop
    if (IsLiveWindow(owner))
        return owner;
    return ModalStack.empty() ? nullptr : ModalStack.back();
}

static WindowHandle CreateDialogWindowOp(PlatformDialog& dialog)
{
    return AddWindow(dialog.TemplateId(), ImplicitOwner(dialog.Owner()), {&dialog, nullptr});
}

static WindowHandle CreateProcedureWindowOp(int templateId, WindowHandle owner, DialogProc procedure)
{
    return AddWindow(templateId, owner, {nullptr, procedure});
}

static void ShowNewDialogOp(WindowHandle window, bool focusFirstControl)
{
    if (!IsLiveWindow(window))
        return;
    window->frame->Show();
    if (focusFirstControl)
        window->panel->SetFocus();  // hands the focus to the first control that takes it
}

void DestroyWindowRecord(PlatformWindow* window)
{
    if (!IsLiveWindow(window))
        return;
    DestroyOwnedWindows(Windows, window, DestroyWindowRecord);
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

static void DestroyWindowOp(WindowHandle window)
{
    DestroyWindowRecord(window);
}

void DestroyAllWindows()
{
    while (!Windows.empty())
        DestroyWindowRecord(Windows.front());
}

// ---------------------------------------------------------------------------
// Modal loops

static intptr_t RunModalLoopOp(PlatformDialog& dialog)
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

static void EndDialogWindowOp(WindowHandle window, intptr_t result)
{
    if (!IsLiveWindow(window))
        return;
    window->frame->Hide();
    if (window->modalLoop)
        window->modalLoop->ScheduleExit(static_cast<int>(result));
}

// ---------------------------------------------------------------------------
// Window operations

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

static bool GetDialogBaseUnitsOp(WindowHandle window, int* width, int* height)
{
    if (!IsLiveWindow(window))
        return false;
    *width = window->baseWidth;
    *height = window->baseHeight;
    return true;
}

// ---------------------------------------------------------------------------
// The operations table

static PlatformOps MakeWxOps()
{
    PlatformOps ops = {};
    ops.Start = StartWx;
    ops.RunApp = RunWxApp;
    ops.CreateDialogWindow = CreateDialogWindowOp;
    ops.CreateProcedureWindow = CreateProcedureWindowOp;
    ops.ShowNewDialog = ShowNewDialogOp;
    ops.RunModalLoop = RunModalLoopOp;
    ops.EndDialogWindow = EndDialogWindowOp;
    ops.DestroyWindow = DestroyWindowOp;
    ops.ShowWindow = ShowWindowOp;
    ops.IsWindowVisible = IsWindowVisibleOp;
    ops.SetWindowIcon = SetWindowIconOp;
    ops.GetDialogBaseUnits = GetDialogBaseUnitsOp;
    ops.SetWindowTimer = SetWindowTimerOp;
    AddWxControlOps(&ops);
    AddWxDialogOps(&ops);
    AddWxGLOps(&ops);
    return ops;
}

const PlatformOps& WxPlatformOps()
{
    static const PlatformOps ops = MakeWxOps();
    return ops;
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
    return GetDialogBaseUnitsOp(window, width, height);
}

// The wx id of the window's menu item that delivers `commandId`, or wxID_NONE.
static int MenuIdOf(WindowHandle window, unsigned commandId, bool system)
{
    if (IsLiveWindow(window))
        for (const MenuCommand& command : window->menuCommands)
            if (command.system == system && command.commandId == commandId)
                return command.menuId;
    return wxID_NONE;
}

int WxMenuItemId(WindowHandle window, unsigned commandId)
{
    return MenuIdOf(window, commandId, false);
}

int WxSystemMenuItemId(WindowHandle window, unsigned commandId)
{
    return MenuIdOf(window, commandId, true);
}

int WxWindowCount()
{
    return static_cast<int>(Windows.size());
}
