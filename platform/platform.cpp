// Forwards every platform call to the selected back end, and holds the parts
// of the layer that are the same everywhere: the dialog base and its
// defaults, dialog units, trackbar ranges, control texts, message routing,
// dropped files, time and the executable's path.
#include "platform/platform.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "platform/gl_library.h"
#include "platform/platform_ops.h"
#include "resources/resources.h"

#if defined(__APPLE__)
#include <mach-o/dyld.h>
#elif defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

// ---------------------------------------------------------------------------
// Back end selection

static const PlatformOps* RegisteredPlatforms[2] = {nullptr, nullptr};
static const PlatformOps* Active = nullptr;  // null until a call: the headless back end

// Every entry filled: a table missing one would crash on its first call.
static bool IsComplete(const PlatformOps& ops)
{
    return ops.Start && ops.RunApp && ops.CreateDialogWindow && ops.CreateProcedureWindow && ops.ShowNewDialog &&
        ops.RunModalLoop && ops.EndDialogWindow && ops.DestroyWindow && ops.ShowWindow && ops.IsWindowVisible &&
        ops.SetWindowIcon && ops.SetWindowTitle && ops.GetWindowTitle && ops.GetDialogBaseUnits && ops.HasControl &&
        ops.SetControlText && ops.GetControlText && ops.EnableControl && ops.IsControlEnabled && ops.GetControlRect &&
        ops.SetControlSize && ops.SetMinimumClientSize && ops.GetTrackbar && ops.SetTrackbar && ops.SetCheckState &&
        ops.GetCheckState && ops.WindowHasMenu && ops.GetMenuItemState && ops.SetMenuItemState && ops.SetMenuItemText &&
        ops.AppendSystemMenuItem && ops.ShowFileDialog && ops.ShowColorDialog && ops.ShowMessageBox &&
        ops.SetWindowTimer && ops.CreateGLContext && ops.MakeGLContextCurrent && ops.DeleteGLContext &&
        ops.SwapGLBuffers && ops.GetGLProcAddress;
}

static const PlatformOps& Ops()
{
    if (!Active)
        Active = &HeadlessPlatformOps();
    return *Active;
}

void RegisterPlatform(PlatformKind kind, const PlatformOps* ops)
{
    RegisteredPlatforms[kind] = ops && IsComplete(*ops) ? ops : nullptr;
}

bool SelectPlatform(PlatformKind kind)
{
    const PlatformOps* ops = kind == PlatformHeadless ? &HeadlessPlatformOps() : RegisteredPlatforms[kind];
    if (!ops || !IsComplete(*ops) || !ops->Start())
        return false;
    Active = ops;
    return true;
}

int RunPlatformApp(PlatformApp& app, int argc, char** argv)
{
    return Ops().RunApp(app, argc, argv);
}

// ---------------------------------------------------------------------------
// Dialog base

PlatformDialog::PlatformDialog(int templateId, WindowHandle owner)
    : templateId(templateId), owner(owner), window(nullptr), ended(false), result(0)
{
}

PlatformDialog::~PlatformDialog()
{
    if (window)
        Ops().DestroyWindow(window);
    window = nullptr;
}

bool PlatformDialog::Create()
{
    ended = false;
    window = Ops().CreateDialogWindow(*this);
    if (!window)
        return false;
    DoDataExchange();
    bool focusFirstControl = OnInitDialog();
    const DialogTemplate* source = FindDialogTemplate(templateId);
    if (!ended && (source->style & WindowVisible))
        Ops().ShowNewDialog(window, focusFirstControl);
    return true;
}

intptr_t PlatformDialog::DoModal()
{
    if (!Create())
        return -1;
    intptr_t value = Ops().RunModalLoop(*this);
    Ops().DestroyWindow(window);
    window = nullptr;
    return value;
}

void PlatformDialog::EndDialog(intptr_t value)
{
    ended = true;
    result = value;
    if (window)
        Ops().EndDialogWindow(window, value);
}

void PlatformDialog::OnSysCommand(unsigned command, intptr_t)
{
    // the framework's default: the Close command asks the window to close
    if ((command & 0xFFF0) == SystemCommandClose)
        OnClose();
}

void PlatformDialog::OnSize(unsigned, int, int) {}

void PlatformDialog::OnClose()
{
    // a dialog's default close processing is its Cancel command
    OnCancel();
}

void PlatformDialog::OnDropFiles(DropHandle) {}

void PlatformDialog::OnMouseMove(unsigned, int, int) {}

void PlatformDialog::OnMouseWheel(int, int, int) {}

void PlatformDialog::OnCommand(unsigned id)
{
    if (id == CommandOk)
        OnOK();
    else if (id == CommandCancel)
        OnCancel();
}

// ---------------------------------------------------------------------------
// Windows and controls

WindowHandle CreateModelessDialog(int templateId, WindowHandle owner, DialogProc procedure, intptr_t parameter)
{
    WindowHandle window = Ops().CreateProcedureWindow(templateId, owner, procedure);
    if (window && procedure)
        procedure(window, DialogMessageInit, 0, parameter);
    return window;
}
void EndModelessDialog(WindowHandle window, intptr_t)
{
    Ops().ShowWindow(window, false);
}
void ShowPlatformWindow(WindowHandle window, bool show)
{
    Ops().ShowWindow(window, show);
}
bool IsPlatformWindowVisible(WindowHandle window)
{
    return Ops().IsWindowVisible(window);
}
void SetWindowIcon(WindowHandle window, int iconId)
{
    Ops().SetWindowIcon(window, iconId);
}

bool HasControl(WindowHandle window, int controlId)
{
    return Ops().HasControl(window, controlId);
}
void SetControlText(WindowHandle window, int controlId, const char* text)
{
    Ops().SetControlText(window, controlId, text);
}
// Copies at most size - 1 bytes and a terminator; the whole text's length.
static size_t CopyText(const std::string& text, char* buffer, size_t size)
{
    if (buffer && size > 0) {
        size_t count = std::min(text.size(), size - 1);
        memcpy(buffer, text.data(), count);
        buffer[count] = '\0';
    }
    return text.size();
}
size_t GetControlText(WindowHandle window, int controlId, char* buffer, size_t size)
{
    return CopyText(Ops().GetControlText(window, controlId), buffer, size);
}
void SetWindowTitle(WindowHandle window, const char* title)
{
    Ops().SetWindowTitle(window, title ? title : "");
}
size_t GetWindowTitle(WindowHandle window, char* buffer, size_t size)
{
    return CopyText(Ops().GetWindowTitle(window), buffer, size);
}
void EnableControl(WindowHandle window, int controlId, bool enable)
{
    Ops().EnableControl(window, controlId, enable);
}
bool IsControlEnabled(WindowHandle window, int controlId)
{
    return Ops().IsControlEnabled(window, controlId);
}
bool GetControlRect(WindowHandle window, int controlId, PlatformRect* rect)
{
    return Ops().GetControlRect(window, controlId, rect);
}
void SetMinimumClientSize(WindowHandle window, int width, int height)
{
    Ops().SetMinimumClientSize(window, width, height);
}
bool SetControlSize(WindowHandle window, int controlId, int width, int height)
{
    return Ops().SetControlSize(window, controlId, width, height);
}

static void DialogRectToPixels(PlatformRect* rect, int baseWidth, int baseHeight)
{
    rect->left = DialogUnitsToPixelsX(rect->left, baseWidth);
    rect->right = DialogUnitsToPixelsX(rect->right, baseWidth);
    rect->top = DialogUnitsToPixelsY(rect->top, baseHeight);
    rect->bottom = DialogUnitsToPixelsY(rect->bottom, baseHeight);
}

bool MapDialogRect(WindowHandle window, PlatformRect* rect)
{
    int baseWidth = 0, baseHeight = 0;
    if (!rect || !Ops().GetDialogBaseUnits(window, &baseWidth, &baseHeight))
        return false;
    DialogRectToPixels(rect, baseWidth, baseHeight);
    return true;
}

PlatformRect ControlRectInPixels(const ControlTemplate& control, int baseWidth, int baseHeight)
{
    PlatformRect rect = {control.x, control.y, control.x + control.width, control.y + control.height};
    DialogRectToPixels(&rect, baseWidth, baseHeight);
    return rect;
}

// ---------------------------------------------------------------------------
// Trackbars and check boxes: the layer keeps the position inside the range,
// as the desktop's control does

static int ClampToRange(const TrackbarState& state, int position)
{
    return std::max(state.minimum, std::min(state.maximum, position));
}

void SetTrackbarRange(WindowHandle window, int controlId, int minimum, int maximum)
{
    TrackbarState state;
    if (!Ops().GetTrackbar(window, controlId, &state))
        return;
    state.minimum = minimum;
    state.maximum = std::max(minimum, maximum);
    state.position = ClampToRange(state, state.position);
    Ops().SetTrackbar(window, controlId, state);
}
void SetTrackbarPosition(WindowHandle window, int controlId, int position)
{
    TrackbarState state;
    if (!Ops().GetTrackbar(window, controlId, &state))
        return;
    state.position = ClampToRange(state, position);
    Ops().SetTrackbar(window, controlId, state);
}
int GetTrackbarPosition(WindowHandle window, int controlId)
{
    TrackbarState state;
    if (!Ops().GetTrackbar(window, controlId, &state))
        return 0;
    return ClampToRange(state, state.position);
}

void SetCheckState(WindowHandle window, int controlId, int state)
{
    Ops().SetCheckState(window, controlId, state);
}
int GetCheckState(WindowHandle window, int controlId)
{
    return Ops().GetCheckState(window, controlId);
}

// ---------------------------------------------------------------------------
// Menus, common dialogs, timers

bool WindowHasMenu(WindowHandle window)
{
    return Ops().WindowHasMenu(window);
}
int GetMenuItemState(WindowHandle window, unsigned commandId)
{
    return Ops().GetMenuItemState(window, commandId);
}
bool SetMenuItemState(WindowHandle window, unsigned commandId, unsigned state)
{
    return Ops().SetMenuItemState(window, commandId, state);
}

bool SetMenuItemText(WindowHandle window, unsigned commandId, const char* text)
{
    return Ops().SetMenuItemText(window, commandId, text);
}
bool AppendSystemMenuItem(WindowHandle window, unsigned commandId, const char* text)
{
    return Ops().AppendSystemMenuItem(window, commandId, text);
}

bool ShowFileDialog(const FileDialogRequest& request, char* path, size_t size)
{
    return Ops().ShowFileDialog(request, path, size);
}
bool ShowColorDialog(WindowHandle owner, uint32_t initialColor, uint32_t* chosenColor)
{
    return Ops().ShowColorDialog(owner, initialColor, chosenColor);
}
int ShowMessageBox(WindowHandle owner, const char* text, const char* caption, unsigned flags)
{
    return Ops().ShowMessageBox(owner, text, caption, flags);
}

bool SetWindowTimer(WindowHandle window, uintptr_t timerId, unsigned intervalMs, TimerProc procedure)
{
    return Ops().SetWindowTimer(window, timerId, intervalMs, procedure);
}

// ---------------------------------------------------------------------------
// Messages and dropped files

void SendCommandMessage(WindowHandle window, const MessageTarget& target, unsigned commandId)
{
    if (target.dialog)
        target.dialog->OnCommand(commandId);
    else if (target.procedure)
        target.procedure(window, DialogMessageCommand, commandId & 0xFFFFu, 0);
}

void SendCloseMessage(WindowHandle window, const MessageTarget& target)
{
    if (target.dialog)
        target.dialog->OnClose();
    else if (target.procedure)
        target.procedure(window, DialogMessageClose, 0, 0);
}

unsigned GetDroppedFileCount(DropHandle drop)
{
    return drop ? static_cast<unsigned>(drop->paths.size()) : 0;
}

const char* GetDroppedFilePath(DropHandle drop, unsigned index)
{
    if (!drop || index >= drop->paths.size())
        return nullptr;
    return drop->paths[index].c_str();
}

// ---------------------------------------------------------------------------
// OpenGL contexts

const GLPixelFormatRequest PreviewPixelFormat = {32, 24, 16, true};

static GLContextHandle CurrentContext = nullptr;

GLContextHandle CreateGLContext(WindowHandle window, int controlId, const GLPixelFormatRequest& format)
{
    GLContextHandle context = Ops().CreateGLContext(window, controlId, format);
    // the GL library is opened with the first context: a context without it is no use
    if (context && !OpenGLLibrary()) {
        Ops().DeleteGLContext(context);
        return nullptr;
    }
    return context;
}
bool MakeGLContextCurrent(GLContextHandle context)
{
    if (!Ops().MakeGLContextCurrent(context))
        return false;
    CurrentContext = context;
    return true;
}
GLContextHandle CurrentGLContext()
{
    return CurrentContext;
}
void DeleteGLContext(GLContextHandle context)
{
    Ops().DeleteGLContext(context);
    if (context == CurrentContext)
        CurrentContext = nullptr;
}
bool SwapGLBuffers(GLContextHandle context)
{
    return Ops().SwapGLBuffers(context);
}
void* GetGLProcAddress(const char* name)
{
    return Ops().GetGLProcAddress(name);
}

// ---------------------------------------------------------------------------
// The same on every back end

void SleepMilliseconds(unsigned milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

uint32_t PlatformTickCount()
{
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

static std::string ExecutablePathOverride;

void SetExecutablePathOverride(const char* path)
{
    ExecutablePathOverride = path ? path : "";
}

static bool CopyPath(const char* source, size_t length, char* buffer, size_t size)
{
    if (length + 1 > size)
        return false;
    memcpy(buffer, source, length);
    buffer[length] = '\0';
    return true;
}

bool GetExecutablePath(char* buffer, size_t size)
{
    if (!buffer || size == 0)
        return false;
    if (!ExecutablePathOverride.empty())
        return CopyPath(ExecutablePathOverride.c_str(), ExecutablePathOverride.size(), buffer, size);
#if defined(__APPLE__)
    uint32_t capacity = static_cast<uint32_t>(size);
    return _NSGetExecutablePath(buffer, &capacity) == 0;
#elif defined(_WIN32)
    DWORD length = GetModuleFileNameA(nullptr, buffer, static_cast<DWORD>(size));
    return length > 0 && length < size;
#else
    // readlink does not terminate, and a result that fills the buffer may be cut
    ssize_t length = readlink("/proc/self/exe", buffer, size);
    if (length <= 0 || static_cast<size_t>(length) >= size)
        return false;
    buffer[length] = '\0';
    return true;
#endif
}
