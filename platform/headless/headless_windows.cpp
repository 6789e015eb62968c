// The headless back end's windows: dialogs instantiated from the templates in
// memory, their controls, menus and timers, the scripted common dialogs, and
// the user actions that tests and batch mode perform on them.
#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/headless/headless_internal.h"
#include "platform/platform_ops.h"
#include "resources/resources.h"

// The dialog font's average character in pixels ("MS Shell Dlg", 8 points at 96 dpi).
static const int DialogBaseWidth = 6;
static const int DialogBaseHeight = 13;
static const unsigned TimerMessage = 0x0113;

struct HeadlessControl {
    int id;             // control id
    ControlKind kind;   // what it is
    std::string text;   // caption or edit text
    bool enabled;       // accepts input
    bool visible;       // shown
    PlatformRect rect;  // outer rectangle in the parent's client pixels
    int rangeMinimum;   // trackbar range
    int rangeMaximum;
    int position;  // trackbar position
    int check;     // check box state
};

struct HeadlessMenuItem {
    unsigned commandId;  // command sent when chosen
    std::string text;    // "" for a separator
    unsigned state;      // MenuItemGrayed / MenuItemChecked bits
};

struct HeadlessTimer {
    uintptr_t id;         // timer id
    unsigned intervalMs;  // requested interval
    TimerProc procedure;  // callback
};

// A window of this back end; the program sees it only as a WindowHandle.
struct HeadlessWindow {
    int templateId;                            // template it was made from
    PlatformDialog* dialog;                    // dialog object, or null for a procedure window
    DialogProc procedure;                      // dialog procedure, or null
    WindowHandle owner;                        // owning window, or null
    std::vector<HeadlessControl> controls;     // in template order
    bool hasMenu;                              // the template names a menu
    std::vector<HeadlessMenuItem> menu;        // every item of every popup
    bool hasSystemMenu;                        // caption with a system menu
    std::vector<HeadlessMenuItem> systemMenu;  // items appended to it
    bool visible;                              // shown
    bool minimized;                            // minimised
    int clientWidth, clientHeight;             // client area in pixels
    int iconId;                                // icon resource, 0 for none
    std::vector<HeadlessTimer> timers;         // in creation order
};

// The files of one drop.
struct HeadlessDrop {
    std::vector<std::string> paths;  // the dropped files in order
};

static std::vector<HeadlessWindow*> Windows;
static std::deque<std::string> FileAnswers;  // "\x01" marks a cancel
static std::deque<std::pair<bool, uint32_t>> ColorAnswers;
static std::deque<int> MessageBoxAnswers;
static std::vector<HeadlessDialogCall> DialogCalls;
static HeadlessModalHook ModalHook = nullptr;
static HeadlessTextObserver TextObserver = nullptr;
static void* ModalHookContext = nullptr;
static const char CancelMark[] = "\x01";

// ---------------------------------------------------------------------------
// Building windows from templates

static PlatformRect MapDialogRect(const ControlTemplate& control)
{
    PlatformRect rect = ControlTemplateRect(control);
    DialogRectToPixels(&rect, DialogBaseWidth, DialogBaseHeight);
    return rect;
}

static HeadlessControl MakeControl(const ControlTemplate& source)
{
    HeadlessControl control;
    control.id = source.id;
    control.kind = source.kind;
    control.text = source.text;
    control.enabled = (source.style & StyleDisabled) == 0;
    control.visible = true;
    control.rect = MapDialogRect(source);
    control.rangeMinimum = 0;
    control.rangeMaximum = 100;
    control.position = 0;
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

static HeadlessWindow* BuildWindow(int templateId, WindowHandle owner)
{
    const DialogTemplate* source = FindDialogTemplate(templateId);
    if (!source)
        return nullptr;
    HeadlessWindow* window = new HeadlessWindow();
    window->templateId = templateId;
    window->dialog = nullptr;
    window->procedure = nullptr;
    window->owner = owner;
    for (int i = 0; i < source->controlCount; ++i)
        window->controls.push_back(MakeControl(source->controls[i]));
    window->hasMenu = false;
    AddMenu(window, source->menuId);
    window->hasSystemMenu = (source->style & WindowSystemMenu) != 0;
    window->visible = false;
    window->minimized = false;
    window->clientWidth = DialogUnitsToPixelsX(source->width, DialogBaseWidth);
    window->clientHeight = DialogUnitsToPixelsY(source->height, DialogBaseHeight);
    window->iconId = 0;
    Windows.push_back(window);
    return window;
}

// Handles are the records' addresses, handed out as the layer's opaque type.
static WindowHandle Handle(HeadlessWindow* window)
{
    return reinterpret_cast<WindowHandle>(window);
}

// The live window behind a handle, or null.
static HeadlessWindow* Live(WindowHandle handle)
{
    for (HeadlessWindow* window : Windows)
        if (handle && Handle(window) == handle)
            return window;
    return nullptr;
}

static bool IsLive(HeadlessWindow* window)
{
    return window && std::find(Windows.begin(), Windows.end(), window) != Windows.end();
}

static void DestroyWindow(WindowHandle handle)
{
    HeadlessWindow* window = Live(handle);
    if (!window)
        return;
    // owned windows go with their owner
    std::vector<HeadlessWindow*> owned;
    for (HeadlessWindow* other : Windows)
        if (other->owner == handle)
            owned.push_back(other);
    for (HeadlessWindow* other : owned)
        DestroyWindow(Handle(other));
    ForgetHeadlessGLWindow(handle);
    Windows.erase(std::find(Windows.begin(), Windows.end(), window));
    delete window;
}

static HeadlessControl* FindControl(WindowHandle handle, int controlId)
{
    HeadlessWindow* window = Live(handle);
    if (!window)
        return nullptr;
    for (HeadlessControl& control : window->controls)
        if (control.id == controlId)
            return &control;
    return nullptr;
}

static HeadlessMenuItem* FindMenuItem(WindowHandle handle, unsigned commandId)
{
    HeadlessWindow* window = Live(handle);
    if (!window || !window->hasMenu)
        return nullptr;
    for (HeadlessMenuItem& item : window->menu)
        if (item.commandId == commandId)
            return &item;
    return nullptr;
}

// ---------------------------------------------------------------------------
// Dialog objects

static bool CreateDialogWindow(PlatformDialog& dialog)
{
    HeadlessWindow* window = BuildWindow(dialog.TemplateId(), dialog.Owner());
    if (!window)
        return false;
    window->dialog = &dialog;
    dialog.AttachWindow(Handle(window));
    dialog.DoDataExchange();
    dialog.OnInitDialog();
    const DialogTemplate* source = FindDialogTemplate(dialog.TemplateId());
    if (IsLive(window) && (source->style & WindowVisible) && !dialog.Ended())
        window->visible = true;
    return true;
}

static intptr_t RunModalLoop(PlatformDialog& dialog)
{
    if (HeadlessWindow* window = Live(dialog.Window()))
        window->visible = true;
    if (ModalHook)
        ModalHook(dialog, ModalHookContext);
    if (!dialog.Ended())
        dialog.EndDialog(CommandOk);
    HeadlessDialogCall call = {};
    call.kind = HeadlessModalTemplate;
    call.owner = dialog.Owner();
    call.templateId = dialog.TemplateId();
    call.confirmed = dialog.Result() == CommandOk;
    DialogCalls.push_back(call);
    return dialog.Result();
}

static void EndDialogWindow(PlatformDialog& dialog, intptr_t)
{
    if (HeadlessWindow* window = Live(dialog.Window()))
        window->visible = false;
}

static void DestroyDialogWindow(PlatformDialog& dialog)
{
    DestroyWindow(dialog.Window());
}

static WindowHandle CreateModelessDialogWindow(int templateId, WindowHandle owner, DialogProc procedure,
                                               intptr_t parameter)
{
    HeadlessWindow* window = BuildWindow(templateId, owner);
    if (!window)
        return nullptr;
    window->procedure = procedure;
    if (procedure)
        procedure(Handle(window), DialogMessageInit, 0, parameter);
    return Handle(window);
}

static void EndModelessDialogWindow(WindowHandle handle, intptr_t)
{
    HeadlessWindow* window = Live(handle);
    if (window)
        window->visible = false;
}

// ---------------------------------------------------------------------------
// Window and control operations

static void ShowWindowOp(WindowHandle handle, bool show)
{
    HeadlessWindow* window = Live(handle);
    if (window) {
        window->visible = show;
        if (show)
            window->minimized = false;
    }
}

static bool IsWindowVisibleOp(WindowHandle handle)
{
    HeadlessWindow* window = Live(handle);
    return window && window->visible;
}
static bool IsWindowMinimizedOp(WindowHandle handle)
{
    HeadlessWindow* window = Live(handle);
    return window && window->minimized;
}

static bool GetClientSizeOp(WindowHandle handle, int* width, int* height)
{
    HeadlessWindow* window = Live(handle);
    if (!window)
        return false;
    *width = window->clientWidth;
    *height = window->clientHeight;
    return true;
}

static void SetWindowIconOp(WindowHandle handle, int iconId)
{
    HeadlessWindow* window = Live(handle);
    if (window)
        window->iconId = iconId;
}

static bool HasControlOp(WindowHandle window, int controlId)
{
    return FindControl(window, controlId) != nullptr;
}

static void SetControlTextOp(WindowHandle window, int controlId, const char* text)
{
    HeadlessControl* control = FindControl(window, controlId);
    if (!control)
        return;
    control->text = text ? text : "";
    if (TextObserver)
        TextObserver(window, controlId, control->text.c_str());
}

static size_t GetControlTextOp(WindowHandle window, int controlId, char* buffer, size_t size)
{
    HeadlessControl* control = FindControl(window, controlId);
    std::string text = control ? control->text : std::string();
    if (buffer && size > 0) {
        size_t count = std::min(text.size(), size - 1);
        memcpy(buffer, text.data(), count);
        buffer[count] = '\0';
    }
    return text.size();
}

static void EnableControlOp(WindowHandle window, int controlId, bool enable)
{
    if (HeadlessControl* control = FindControl(window, controlId))
        control->enabled = enable;
}

static bool IsControlEnabledOp(WindowHandle window, int controlId)
{
    HeadlessControl* control = FindControl(window, controlId);
    return control && control->enabled;
}

static bool IsControlVisibleOp(WindowHandle window, int controlId)
{
    HeadlessControl* control = FindControl(window, controlId);
    return control && control->visible;
}

static bool GetControlRectOp(WindowHandle window, int controlId, PlatformRect* rect)
{
    HeadlessControl* control = FindControl(window, controlId);
    if (!control || !rect)
        return false;
    *rect = control->rect;
    return true;
}

static bool MapDialogRectOp(WindowHandle handle, PlatformRect* rect)
{
    HeadlessWindow* window = Live(handle);
    if (!window || !rect)
        return false;
    DialogRectToPixels(rect, DialogBaseWidth, DialogBaseHeight);
    return true;
}

static bool SetControlSizeOp(WindowHandle window, int controlId, int width, int height)
{
    HeadlessControl* control = FindControl(window, controlId);
    if (!control)
        return false;
    control->rect.right = control->rect.left + width;
    control->rect.bottom = control->rect.top + height;
    ResizeHeadlessGLSurface(window, controlId, width, height);
    return true;
}

static int ClampToRange(const HeadlessControl& control, int position)
{
    return std::max(control.rangeMinimum, std::min(control.rangeMaximum, position));
}

static void SetTrackbarRangeOp(WindowHandle window, int controlId, int minimum, int maximum)
{
    HeadlessControl* control = FindControl(window, controlId);
    if (!control)
        return;
    control->rangeMinimum = minimum;
    control->rangeMaximum = std::max(minimum, maximum);
    control->position = ClampToRange(*control, control->position);
}

static void SetTrackbarPositionOp(WindowHandle window, int controlId, int position)
{
    if (HeadlessControl* control = FindControl(window, controlId))
        control->position = ClampToRange(*control, position);
}

static int GetTrackbarPositionOp(WindowHandle window, int controlId)
{
    HeadlessControl* control = FindControl(window, controlId);
    return control ? control->position : 0;
}

static void SetCheckStateOp(WindowHandle window, int controlId, int state)
{
    if (HeadlessControl* control = FindControl(window, controlId))
        control->check = state ? 1 : 0;
}

static int GetCheckStateOp(WindowHandle window, int controlId)
{
    HeadlessControl* control = FindControl(window, controlId);
    return control ? control->check : 0;
}

// ---------------------------------------------------------------------------
// Menus

static bool WindowHasMenuOp(WindowHandle handle)
{
    HeadlessWindow* window = Live(handle);
    return window && window->hasMenu;
}

static int GetMenuItemStateOp(WindowHandle window, unsigned commandId)
{
    HeadlessMenuItem* item = FindMenuItem(window, commandId);
    return item ? static_cast<int>(item->state) : -1;
}

static bool SetMenuItemStateOp(WindowHandle window, unsigned commandId, unsigned state)
{
    HeadlessMenuItem* item = FindMenuItem(window, commandId);
    if (!item)
        return false;
    item->state = state & (MenuItemGrayed | MenuItemChecked);
    return true;
}

static bool AppendSystemMenuItemOp(WindowHandle handle, unsigned commandId, const char* text)
{
    HeadlessWindow* window = Live(handle);
    if (!window || !window->hasSystemMenu)
        return false;
    window->systemMenu.push_back({0, "", 0});
    window->systemMenu.push_back({commandId, text ? text : "", 0});
    return true;
}

// ---------------------------------------------------------------------------
// Common dialogs

static bool ShowFileDialogOp(const FileDialogRequest& request, char* path, size_t size)
{
    HeadlessDialogCall call = {};
    call.kind = request.save ? HeadlessSaveFileDialog : HeadlessOpenFileDialog;
    call.owner = request.owner;
    call.filter = request.filter ? request.filter : "";
    call.defaultExtension = request.defaultExtension ? request.defaultExtension : "";
    call.flags = request.flags;
    std::string answer = CancelMark;
    if (!FileAnswers.empty()) {
        answer = FileAnswers.front();
        FileAnswers.pop_front();
    }
    call.confirmed = answer != CancelMark && answer.size() < size;
    if (call.confirmed)
        memcpy(path, answer.c_str(), answer.size() + 1);
    DialogCalls.push_back(call);
    return call.confirmed;
}

static bool ShowColorDialogOp(WindowHandle owner, uint32_t initialColor, uint32_t* chosenColor)
{
    HeadlessDialogCall call = {};
    call.kind = HeadlessColorDialog;
    call.owner = owner;
    call.initialColor = initialColor;
    if (!ColorAnswers.empty()) {
        call.confirmed = ColorAnswers.front().first;
        if (call.confirmed && chosenColor)
            *chosenColor = ColorAnswers.front().second & 0xFFFFFFu;
        ColorAnswers.pop_front();
    }
    DialogCalls.push_back(call);
    return call.confirmed;
}

static int ShowMessageBoxOp(WindowHandle owner, const char* text, const char* caption, unsigned flags)
{
    HeadlessDialogCall call = {};
    call.kind = HeadlessMessageBox;
    call.owner = owner;
    call.text = text ? text : "";
    call.caption = caption ? caption : "";
    call.flags = flags;
    call.confirmed = true;
    if (TextObserver)
        TextObserver(owner, -1, call.text.c_str());
    int result = MessageBoxResultOk;
    if (!MessageBoxAnswers.empty()) {
        result = MessageBoxAnswers.front();
        MessageBoxAnswers.pop_front();
    }
    DialogCalls.push_back(call);
    return result;
}

// ---------------------------------------------------------------------------
// Timers and drops

static bool SetWindowTimerOp(WindowHandle handle, uintptr_t timerId, unsigned intervalMs, TimerProc procedure)
{
    HeadlessWindow* window = Live(handle);
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

// A drop handle is the address of the HeadlessDrop that HeadlessDropFiles made.
static const HeadlessDrop* DropOf(DropHandle handle)
{
    return reinterpret_cast<const HeadlessDrop*>(handle);
}

static unsigned GetDroppedFileCountOp(DropHandle handle)
{
    const HeadlessDrop* drop = DropOf(handle);
    return drop ? static_cast<unsigned>(drop->paths.size()) : 0;
}

static const char* GetDroppedFilePathOp(DropHandle handle, unsigned index)
{
    const HeadlessDrop* drop = DropOf(handle);
    if (!drop || index >= drop->paths.size())
        return nullptr;
    return drop->paths[index].c_str();
}

// ---------------------------------------------------------------------------
// The application

static bool StartHeadless()
{
    return true;
}

static int RunHeadlessApp(PlatformApp& app, int, char**)
{
    app.InitInstance();
    return 0;
}

const PlatformOps HeadlessPlatformOps = {
    StartHeadless,
    RunHeadlessApp,
    CreateDialogWindow,
    RunModalLoop,
    EndDialogWindow,
    DestroyDialogWindow,
    CreateModelessDialogWindow,
    EndModelessDialogWindow,
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
    ShowFileDialogOp,
    ShowColorDialogOp,
    ShowMessageBoxOp,
    SetWindowTimerOp,
    GetDroppedFileCountOp,
    GetDroppedFilePathOp,
    CreateHeadlessGLContext,
    MakeHeadlessGLContextCurrent,
    DeleteHeadlessGLContext,
    SwapHeadlessGLBuffers,
    GetHeadlessGLProcAddress,
    MapDialogRectOp,
};

// ---------------------------------------------------------------------------
// Test and batch interface

void QueueFileDialogAnswer(const char* path)
{
    FileAnswers.push_back(path ? path : CancelMark);
}
void QueueColorDialogAnswer(bool confirm, uint32_t color)
{
    ColorAnswers.push_back({confirm, color});
}
void QueueMessageBoxAnswer(int result)
{
    MessageBoxAnswers.push_back(result);
}
const std::vector<HeadlessDialogCall>& HeadlessDialogCalls()
{
    return DialogCalls;
}
void ClearHeadlessDialogCalls()
{
    DialogCalls.clear();
}

void SetHeadlessModalHook(HeadlessModalHook hook, void* context)
{
    ModalHook = hook;
    ModalHookContext = context;
}

void SetHeadlessTextObserver(HeadlessTextObserver observer)
{
    TextObserver = observer;
}

void ResetHeadlessPlatform()
{
    FileAnswers.clear();
    ColorAnswers.clear();
    MessageBoxAnswers.clear();
    DialogCalls.clear();
    ModalHook = nullptr;
    ModalHookContext = nullptr;
    TextObserver = nullptr;
}

void HeadlessSendCommand(WindowHandle handle, unsigned commandId)
{
    HeadlessWindow* window = Live(handle);
    if (!window)
        return;
    if (window->dialog)
        window->dialog->OnCommand(commandId);
    else if (window->procedure)
        window->procedure(handle, DialogMessageCommand, commandId & 0xFFFFu, 0);
}

bool HeadlessClickButton(WindowHandle window, int controlId)
{
    HeadlessControl* control = FindControl(window, controlId);
    if (!control || !control->enabled || !control->visible)
        return false;
    HeadlessSendCommand(window, static_cast<unsigned>(controlId));
    return true;
}

bool HeadlessChooseMenuItem(WindowHandle window, unsigned commandId)
{
    HeadlessMenuItem* item = FindMenuItem(window, commandId);
    if (!item || (item->state & MenuItemGrayed))
        return false;
    HeadlessSendCommand(window, commandId);
    return true;
}

void HeadlessPressEnter(WindowHandle window)
{
    HeadlessSendCommand(window, CommandOk);
}
void HeadlessPressEscape(WindowHandle window)
{
    HeadlessSendCommand(window, CommandCancel);
}

void HeadlessCloseWindow(WindowHandle handle)
{
    HeadlessWindow* window = Live(handle);
    if (!window)
        return;
    if (window->dialog)
        window->dialog->OnClose();
    else if (window->procedure)
        window->procedure(handle, DialogMessageClose, 0, 0);
}

void HeadlessSendSystemCommand(WindowHandle handle, unsigned command)
{
    HeadlessWindow* window = Live(handle);
    if (window && window->dialog)
        window->dialog->OnSysCommand(command, 0);
}

void HeadlessDropFiles(WindowHandle handle, const std::vector<std::string>& paths)
{
    HeadlessWindow* window = Live(handle);
    if (!window || !window->dialog)
        return;
    HeadlessDrop drop;
    drop.paths = paths;
    window->dialog->OnDropFiles(reinterpret_cast<DropHandle>(&drop));
}

void HeadlessMouseMove(WindowHandle handle, unsigned flags, int x, int y)
{
    HeadlessWindow* window = Live(handle);
    if (window && window->dialog)
        window->dialog->OnMouseMove(flags, x, y);
}

void HeadlessResizeClient(WindowHandle handle, int width, int height, unsigned kind)
{
    HeadlessWindow* window = Live(handle);
    if (!window)
        return;
    window->minimized = kind == SizeMinimized;
    if (kind != SizeMinimized) {
        window->clientWidth = width;
        window->clientHeight = height;
    }
    if (window->dialog)
        window->dialog->OnSize(kind, width, height);
}

void HeadlessMoveTrackbar(WindowHandle window, int controlId, int position)
{
    SetTrackbarPositionOp(window, controlId, position);
}

void HeadlessClickCheckbox(WindowHandle window, int controlId)
{
    HeadlessControl* control = FindControl(window, controlId);
    if (!control || !control->enabled)
        return;
    control->check = control->check ? 0 : 1;
    HeadlessSendCommand(window, static_cast<unsigned>(controlId));
}

WindowHandle HeadlessFindWindow(int templateId)
{
    for (HeadlessWindow* window : Windows)
        if (window->templateId == templateId)
            return Handle(window);
    return nullptr;
}

int HeadlessWindowCount()
{
    return static_cast<int>(Windows.size());
}

std::vector<std::string> HeadlessSystemMenuItems(WindowHandle handle)
{
    HeadlessWindow* window = Live(handle);
    std::vector<std::string> texts;
    if (window)
        for (const HeadlessMenuItem& item : window->systemMenu)
            texts.push_back(item.text);
    return texts;
}

int HeadlessWindowIcon(WindowHandle handle)
{
    HeadlessWindow* window = Live(handle);
    return window ? window->iconId : 0;
}

bool HeadlessTrackbarRange(WindowHandle window, int controlId, int* minimum, int* maximum)
{
    HeadlessControl* control = FindControl(window, controlId);
    if (!control)
        return false;
    *minimum = control->rangeMinimum;
    *maximum = control->rangeMaximum;
    return true;
}

int TickHeadlessTimers(int count)
{
    int calls = 0;
    for (int tick = 0; tick < count; ++tick) {
        // a callback may create or destroy windows: walk a snapshot
        std::vector<HeadlessWindow*> snapshot = Windows;
        for (HeadlessWindow* window : snapshot) {
            if (!IsLive(window))
                continue;
            std::vector<HeadlessTimer> timers = window->timers;
            for (const HeadlessTimer& timer : timers) {
                if (!IsLive(window))
                    break;
                timer.procedure(Handle(window), TimerMessage, timer.id, PlatformTickCount());
                ++calls;
            }
        }
    }
    return calls;
}

int HeadlessTimerCount(WindowHandle handle)
{
    HeadlessWindow* window = Live(handle);
    return window ? static_cast<int>(window->timers.size()) : 0;
}
