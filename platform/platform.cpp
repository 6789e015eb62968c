// Forwards every platform call to the selected back end, and holds the parts
// of the layer that are the same everywhere (dialog defaults, time, the
// executable's path).
#include "platform/platform.h"

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

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

static const PlatformOps* RegisteredPlatforms[2] = {&HeadlessPlatformOps, nullptr};
static const PlatformOps* Active = &HeadlessPlatformOps;
static PlatformKind ActiveKind = PlatformHeadless;

void RegisterPlatform(PlatformKind kind, const PlatformOps* ops)
{
    RegisteredPlatforms[kind] = ops;
}

bool SelectPlatform(PlatformKind kind)
{
    const PlatformOps* ops = RegisteredPlatforms[kind];
    if (!ops || !ops->Start())
        return false;
    Active = ops;
    ActiveKind = kind;
    return true;
}

PlatformKind ActivePlatformKind()
{
    return ActiveKind;
}

int RunPlatformApp(PlatformApp& app, int argc, char** argv)
{
    return Active->RunApp(app, argc, argv);
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
        Active->DestroyDialogWindow(*this);
    window = nullptr;
}

bool PlatformDialog::Create()
{
    ended = false;
    return Active->CreateDialogWindow(*this);
}

intptr_t PlatformDialog::DoModal()
{
    if (!Create())
        return -1;
    intptr_t value = Active->RunModalLoop(*this);
    Active->DestroyDialogWindow(*this);
    window = nullptr;
    return value;
}

void PlatformDialog::EndDialog(intptr_t value)
{
    MarkEnded(value);
    if (window)
        Active->EndDialogWindow(*this, value);
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

void PlatformDialog::OnCommand(unsigned id)
{
    if (id == CommandOk)
        OnOK();
    else if (id == CommandCancel)
        OnCancel();
}

// ---------------------------------------------------------------------------
// Forwarded operations

WindowHandle CreateModelessDialog(int templateId, WindowHandle owner, DialogProc procedure, intptr_t parameter)
{
    return Active->CreateModelessDialog(templateId, owner, procedure, parameter);
}
void EndModelessDialog(WindowHandle window, intptr_t result)
{
    Active->EndModelessDialog(window, result);
}
void ShowPlatformWindow(WindowHandle window, bool show)
{
    Active->ShowWindow(window, show);
}
bool IsPlatformWindowVisible(WindowHandle window)
{
    return Active->IsWindowVisible(window);
}
bool IsPlatformWindowMinimized(WindowHandle window)
{
    return Active->IsWindowMinimized(window);
}
bool GetClientSize(WindowHandle window, int* width, int* height)
{
    return Active->GetClientSize(window, width, height);
}
void SetWindowIcon(WindowHandle window, int iconId)
{
    Active->SetWindowIcon(window, iconId);
}

bool HasControl(WindowHandle window, int controlId)
{
    return Active->HasControl(window, controlId);
}
void SetControlText(WindowHandle window, int controlId, const char* text)
{
    Active->SetControlText(window, controlId, text);
}
size_t GetControlText(WindowHandle window, int controlId, char* buffer, size_t size)
{
    return Active->GetControlText(window, controlId, buffer, size);
}
void EnableControl(WindowHandle window, int controlId, bool enable)
{
    Active->EnableControl(window, controlId, enable);
}
bool IsControlEnabled(WindowHandle window, int controlId)
{
    return Active->IsControlEnabled(window, controlId);
}
bool IsControlVisible(WindowHandle window, int controlId)
{
    return Active->IsControlVisible(window, controlId);
}
bool GetControlRect(WindowHandle window, int controlId, PlatformRect* rect)
{
    return Active->GetControlRect(window, controlId, rect);
}
bool MapDialogRect(WindowHandle window, PlatformRect* rect)
{
    return Active->MapDialogRect(window, rect);
}
bool SetControlSize(WindowHandle window, int controlId, int width, int height)
{
    return Active->SetControlSize(window, controlId, width, height);
}
void SetTrackbarRange(WindowHandle window, int controlId, int minimum, int maximum)
{
    Active->SetTrackbarRange(window, controlId, minimum, maximum);
}
void SetTrackbarPosition(WindowHandle window, int controlId, int position)
{
    Active->SetTrackbarPosition(window, controlId, position);
}
int GetTrackbarPosition(WindowHandle window, int controlId)
{
    return Active->GetTrackbarPosition(window, controlId);
}
void SetCheckState(WindowHandle window, int controlId, int state)
{
    Active->SetCheckState(window, controlId, state);
}
int GetCheckState(WindowHandle window, int controlId)
{
    return Active->GetCheckState(window, controlId);
}

bool WindowHasMenu(WindowHandle window)
{
    return Active->WindowHasMenu(window);
}
int GetMenuItemState(WindowHandle window, unsigned commandId)
{
    return Active->GetMenuItemState(window, commandId);
}
bool SetMenuItemState(WindowHandle window, unsigned commandId, unsigned state)
{
    return Active->SetMenuItemState(window, commandId, state);
}
bool AppendSystemMenuItem(WindowHandle window, unsigned commandId, const char* text)
{
    return Active->AppendSystemMenuItem(window, commandId, text);
}

bool ShowFileDialog(const FileDialogRequest& request, char* path, size_t size)
{
    return Active->ShowFileDialog(request, path, size);
}
bool ShowColorDialog(WindowHandle owner, uint32_t initialColor, uint32_t* chosenColor)
{
    return Active->ShowColorDialog(owner, initialColor, chosenColor);
}
int ShowMessageBox(WindowHandle owner, const char* text, const char* caption, unsigned flags)
{
    return Active->ShowMessageBox(owner, text, caption, flags);
}

bool SetWindowTimer(WindowHandle window, uintptr_t timerId, unsigned intervalMs, TimerProc procedure)
{
    return Active->SetWindowTimer(window, timerId, intervalMs, procedure);
}

unsigned GetDroppedFileCount(DropHandle drop)
{
    return Active->GetDroppedFileCount(drop);
}
const char* GetDroppedFilePath(DropHandle drop, unsigned index)
{
    return Active->GetDroppedFilePath(drop, index);
}

GLContextHandle CreateGLContext(WindowHandle window, int controlId, const GLPixelFormatRequest& format)
{
    return Active->CreateGLContext(window, controlId, format);
}
bool MakeGLContextCurrent(GLContextHandle context)
{
    return Active->MakeGLContextCurrent(context);
}
void DeleteGLContext(GLContextHandle context)
{
    Active->DeleteGLContext(context);
}
bool SwapGLBuffers(GLContextHandle context)
{
    return Active->SwapGLBuffers(context);
}
void* GetGLProcAddress(const char* name)
{
    return Active->GetGLProcAddress(name);
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

void DialogRectToPixels(PlatformRect* rect, int baseWidth, int baseHeight)
{
    rect->left = DialogUnitsToPixelsX(rect->left, baseWidth);
    rect->right = DialogUnitsToPixelsX(rect->right, baseWidth);
    rect->top = DialogUnitsToPixelsY(rect->top, baseHeight);
    rect->bottom = DialogUnitsToPixelsY(rect->bottom, baseHeight);
}

PlatformRect ControlTemplateRect(const ControlTemplate& control)
{
    return {control.x, control.y, control.x + control.width, control.y + control.height};
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
