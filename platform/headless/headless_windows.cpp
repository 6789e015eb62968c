// The headless back end's windows: dialogs instantiated from the templates in
// memory, their controls, menus and timers, what a test can look at, and the
// operations table.
//
// Contents: building windows from templates; records and lookups; window
// operations; controls; menus; timers; the application and the table;
// looking at windows.
#include <algorithm>

#include "platform/headless/headless.h"
#include "platform/headless/headless_internal.h"

// The dialog font's average character in pixels ("MS Shell Dlg", 8 points at 96 dpi).
static const int DialogBaseWidth = 6;
static const int DialogBaseHeight = 13;

std::vector<HeadlessWindow*> HeadlessWindows;

// ---------------------------------------------------------------------------
// Building windows from templates

static HeadlessControl MakeControl(const ControlTemplate& source)
{
    HeadlessControl control;
    control.id = source.id;
    control.kind = source.kind;
    control.text = source.text;
    control.enabled = (source.style & StyleDisabled) == 0;
    control.rect = ControlRectInPixels(source, DialogBaseWidth, DialogBaseHeight);
    control.trackbar = NewTrackbarState;
    control.check = 0;
    return control;
}

static void AddMenu(HeadlessWindow* window, int menuId)
{
    const MenuTemplate* menu = FindMenuTemplate(menuId);
    window->hasMenu = menu != nullptr;
    if (!menu)
        return;
    for (int p = 0; p < menu->popupCount; ++p)
        for (int i = 0; i < menu->popups[p].itemCount; ++i) {
            const MenuItemTemplate& item = menu->popups[p].items[i];
            window->menu.push_back({item.commandId, item.text, item.state});
        }
}

static HeadlessWindow* BuildWindow(int templateId, WindowHandle owner, MessageTarget target)
{
    const DialogTemplate* source = FindDialogTemplate(templateId);
    if (!source)
        return nullptr;
    HeadlessWindow* window = new HeadlessWindow();
    window->templateId = templateId;
    window->target = target;
    window->owner = owner;
    for (int i = 0; i < source->controlCount; ++i)
        window->controls.push_back(MakeControl(source->controls[i]));
    AddMenu(window, source->menuId);
    window->hasSystemMenu = (source->style & WindowSystemMenu) != 0;
    window->visible = false;
    window->iconId = 0;
    window->title = source->title;
    HeadlessWindows.push_back(window);
    return window;
}

// ---------------------------------------------------------------------------
// Records and lookups

WindowHandle HeadlessHandle(HeadlessWindow* window)
{
    return reinterpret_cast<WindowHandle>(window);
}

HeadlessWindow* LiveHeadlessWindow(WindowHandle handle)
{
    for (HeadlessWindow* window : HeadlessWindows)
        if (handle && HeadlessHandle(window) == handle)
            return window;
    return nullptr;
}

bool IsLiveHeadlessWindow(HeadlessWindow* window)
{
    return window && std::find(HeadlessWindows.begin(), HeadlessWindows.end(), window) != HeadlessWindows.end();
}

static void DestroyWindowRecord(HeadlessWindow* window)
{
    if (!IsLiveHeadlessWindow(window))
        return;
    DestroyOwnedWindows(HeadlessWindows, HeadlessHandle(window), DestroyWindowRecord);
    ForgetHeadlessGLWindow(HeadlessHandle(window));
    HeadlessWindows.erase(std::find(HeadlessWindows.begin(), HeadlessWindows.end(), window));
    delete window;
}

HeadlessControl* FindHeadlessControl(WindowHandle handle, int controlId)
{
    HeadlessWindow* window = LiveHeadlessWindow(handle);
    if (!window)
        return nullptr;
    for (HeadlessControl& control : window->controls)
        if (control.id == controlId)
            return &control;
    return nullptr;
}

HeadlessMenuItem* FindHeadlessMenuItem(WindowHandle handle, unsigned commandId)
{
    HeadlessWindow* window = LiveHeadlessWindow(handle);
    if (!window || !window->hasMenu)
        return nullptr;
    for (HeadlessMenuItem& item : window->menu)
        if (item.commandId == commandId)
            return &item;
    return nullptr;
}

// ---------------------------------------------------------------------------
// Window operations

static WindowHandle CreateDialogWindowOp(PlatformDialog& dialog)
{
    HeadlessWindow* window = BuildWindow(dialog.TemplateId(), dialog.Owner(), {&dialog, nullptr});
    return window ? HeadlessHandle(window) : nullptr;
}

static WindowHandle CreateProcedureWindowOp(int templateId, WindowHandle owner, DialogProc procedure)
{
    HeadlessWindow* window = BuildWindow(templateId, owner, {nullptr, procedure});
    return window ? HeadlessHandle(window) : nullptr;
}

static void ShowWindowOp(WindowHandle handle, bool show)
{
    if (HeadlessWindow* window = LiveHeadlessWindow(handle))
        window->visible = show;
}

static void ShowNewDialogOp(WindowHandle handle, bool)
{
    ShowWindowOp(handle, true);
}

static void EndDialogWindowOp(WindowHandle handle, intptr_t)
{
    ShowWindowOp(handle, false);
}

static void DestroyWindowOp(WindowHandle handle)
{
    DestroyWindowRecord(LiveHeadlessWindow(handle));
}

static bool IsWindowVisibleOp(WindowHandle handle)
{
    HeadlessWindow* window = LiveHeadlessWindow(handle);
    return window && window->visible;
}

static void SetWindowIconOp(WindowHandle handle, int iconId)
{
    if (HeadlessWindow* window = LiveHeadlessWindow(handle))
        window->iconId = iconId;
}

static bool GetDialogBaseUnitsOp(WindowHandle handle, int* width, int* height)
{
    if (!LiveHeadlessWindow(handle))
        return false;
    *width = DialogBaseWidth;
    *height = DialogBaseHeight;
    return true;
}

// ---------------------------------------------------------------------------
// Controls

static bool HasControlOp(WindowHandle window, int controlId)
{
    return FindHeadlessControl(window, controlId) != nullptr;
}

static void SetControlTextOp(WindowHandle window, int controlId, const char* text)
{
    HeadlessControl* control = FindHeadlessControl(window, controlId);
    if (!control)
        return;
    control->text = text ? text : "";
    ObserveHeadlessText(window, controlId, control->text.c_str());
}

static std::string GetControlTextOp(WindowHandle window, int controlId)
{
    HeadlessControl* control = FindHeadlessControl(window, controlId);
    return control ? control->text : std::string();
}

// Only the user's resizing is bounded, and headless windows have no user.
static void SetMinimumClientSizeOp(WindowHandle, int, int) {}

static void SetWindowTitleOp(WindowHandle window, const char* title)
{
    if (HeadlessWindow* record = LiveHeadlessWindow(window))
        record->title = title;
}

static std::string GetWindowTitleOp(WindowHandle window)
{
    HeadlessWindow* record = LiveHeadlessWindow(window);
    return record ? record->title : std::string();
}

static void EnableControlOp(WindowHandle window, int controlId, bool enable)
{
    if (HeadlessControl* control = FindHeadlessControl(window, controlId))
        control->enabled = enable;
}

static bool IsControlEnabledOp(WindowHandle window, int controlId)
{
    HeadlessControl* control = FindHeadlessControl(window, controlId);
    return control && control->enabled;
}

static bool GetControlRectOp(WindowHandle window, int controlId, PlatformRect* rect)
{
    HeadlessControl* control = FindHeadlessControl(window, controlId);
    if (!control || !rect)
        return false;
    *rect = control->rect;
    return true;
}

static bool SetControlSizeOp(WindowHandle window, int controlId, int width, int height)
{
    HeadlessControl* control = FindHeadlessControl(window, controlId);
    if (!control)
        return false;
    control->rect.right = control->rect.left + width;
    control->rect.bottom = control->rect.top + height;
    ResizeHeadlessGLSurface(window, controlId, width, height);
    return true;
}

static HeadlessControl* FindTrackbar(WindowHandle window, int controlId)
{
    HeadlessControl* control = FindHeadlessControl(window, controlId);
    return control && control->kind == ControlTrackbar ? control : nullptr;
}

static bool GetTrackbarOp(WindowHandle window, int controlId, TrackbarState* state)
{
    HeadlessControl* control = FindTrackbar(window, controlId);
    if (!control)
        return false;
    *state = control->trackbar;
    return true;
}

static void SetTrackbarOp(WindowHandle window, int controlId, const TrackbarState& state)
{
    if (HeadlessControl* control = FindTrackbar(window, controlId))
        control->trackbar = state;
}

static void SetCheckStateOp(WindowHandle window, int controlId, int state)
{
    if (HeadlessControl* control = FindHeadlessControl(window, controlId))
        control->check = state ? 1 : 0;
}

static int GetCheckStateOp(WindowHandle window, int controlId)
{
    HeadlessControl* control = FindHeadlessControl(window, controlId);
    return control ? control->check : 0;
}

// ---------------------------------------------------------------------------
// Menus

static bool WindowHasMenuOp(WindowHandle handle)
{
    HeadlessWindow* window = LiveHeadlessWindow(handle);
    return window && window->hasMenu;
}

static int GetMenuItemStateOp(WindowHandle window, unsigned commandId)
{
    HeadlessMenuItem* item = FindHeadlessMenuItem(window, commandId);
    return item ? static_cast<int>(item->state) : -1;
}

static bool SetMenuItemStateOp(WindowHandle window, unsigned commandId, unsigned state)
{
    HeadlessMenuItem* item = FindHeadlessMenuItem(window, commandId);
    if (!item)
        return false;
    item->state = state & (MenuItemGrayed | MenuItemChecked);
    return true;
}

static bool SetMenuItemTextOp(WindowHandle window, unsigned commandId, const char* text)
{
    HeadlessMenuItem* item = FindHeadlessMenuItem(window, commandId);
    if (!item || !text)
        return false;
    item->text = text;
    return true;
}

static bool AppendSystemMenuItemOp(WindowHandle handle, unsigned commandId, const char* text)
{
    HeadlessWindow* window = LiveHeadlessWindow(handle);
    if (!window || !window->hasSystemMenu)
        return false;
    window->systemMenu.push_back({0, "", 0});
    window->systemMenu.push_back({commandId, text ? text : "", 0});
    return true;
}

// ---------------------------------------------------------------------------
// Timers: they tick when TickHeadlessTimers says so

static bool SetWindowTimerOp(WindowHandle handle, uintptr_t timerId, unsigned intervalMs, TimerProc procedure)
{
    HeadlessWindow* window = LiveHeadlessWindow(handle);
    if (!window || !procedure)
        return false;
    for (HeadlessTimer& timer : window->timers)
        if (timer.id == timerId) {
            timer.intervalMs = intervalMs;
            timer.procedure = procedure;
            return true;
        }
    window->timers.push_back({timerId, intervalMs, procedure});
    return true;
}

// ---------------------------------------------------------------------------
// The application and the table

static bool StartHeadless()
{
    return true;
}

static int RunHeadlessApp(PlatformApp& app, int, char**)
{
    app.InitInstance();
    return 0;
}

static PlatformOps MakeHeadlessOps()
{
    PlatformOps ops = {};
    ops.Start = StartHeadless;
    ops.RunApp = RunHeadlessApp;
    ops.CreateDialogWindow = CreateDialogWindowOp;
    ops.CreateProcedureWindow = CreateProcedureWindowOp;
    ops.ShowNewDialog = ShowNewDialogOp;
    ops.EndDialogWindow = EndDialogWindowOp;
    ops.DestroyWindow = DestroyWindowOp;
    ops.ShowWindow = ShowWindowOp;
    ops.IsWindowVisible = IsWindowVisibleOp;
    ops.SetWindowIcon = SetWindowIconOp;
    ops.GetDialogBaseUnits = GetDialogBaseUnitsOp;
    ops.HasControl = HasControlOp;
    ops.SetControlText = SetControlTextOp;
    ops.GetControlText = GetControlTextOp;
    ops.SetWindowTitle = SetWindowTitleOp;
    ops.SetMinimumClientSize = SetMinimumClientSizeOp;
    ops.GetWindowTitle = GetWindowTitleOp;
    ops.EnableControl = EnableControlOp;
    ops.IsControlEnabled = IsControlEnabledOp;
    ops.GetControlRect = GetControlRectOp;
    ops.SetControlSize = SetControlSizeOp;
    ops.GetTrackbar = GetTrackbarOp;
    ops.SetTrackbar = SetTrackbarOp;
    ops.SetCheckState = SetCheckStateOp;
    ops.GetCheckState = GetCheckStateOp;
    ops.WindowHasMenu = WindowHasMenuOp;
    ops.GetMenuItemState = GetMenuItemStateOp;
    ops.SetMenuItemState = SetMenuItemStateOp;
    ops.SetMenuItemText = SetMenuItemTextOp;
    ops.AppendSystemMenuItem = AppendSystemMenuItemOp;
    ops.SetWindowTimer = SetWindowTimerOp;
    AddHeadlessDialogOps(&ops);
    AddHeadlessGLOps(&ops);
    return ops;
}

const PlatformOps& HeadlessPlatformOps()
{
    static const PlatformOps ops = MakeHeadlessOps();
    return ops;
}

// ---------------------------------------------------------------------------
// Looking at windows

WindowHandle HeadlessFindWindow(int templateId)
{
    for (HeadlessWindow* window : HeadlessWindows)
        if (window->templateId == templateId)
            return HeadlessHandle(window);
    return nullptr;
}

int HeadlessWindowCount()
{
    return static_cast<int>(HeadlessWindows.size());
}

std::vector<std::string> HeadlessSystemMenuItems(WindowHandle handle)
{
    HeadlessWindow* window = LiveHeadlessWindow(handle);
    std::vector<std::string> texts;
    if (window)
        for (const HeadlessMenuItem& item : window->systemMenu)
            texts.push_back(item.text);
    return texts;
}

int HeadlessWindowIcon(WindowHandle handle)
{
    HeadlessWindow* window = LiveHeadlessWindow(handle);
    return window ? window->iconId : 0;
}

bool HeadlessTrackbarRange(WindowHandle window, int controlId, int* minimum, int* maximum)
{
    HeadlessControl* control = FindTrackbar(window, controlId);
    if (!control)
        return false;
    *minimum = control->trackbar.minimum;
    *maximum = control->trackbar.maximum;
    return true;
}

int HeadlessTimerCount(WindowHandle handle)
{
    HeadlessWindow* window = LiveHeadlessWindow(handle);
    return window ? static_cast<int>(window->timers.size()) : 0;
}
