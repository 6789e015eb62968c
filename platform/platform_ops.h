// What a back end provides and what the back ends share. platform.cpp
// forwards every call of platform.h to the table of operations of the
// selected back end; the records and helpers below hold what both back ends
// would otherwise do twice (routing messages to a window, tearing down owned
// windows, dropped files, trackbar ranges).
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

// A trackbar's range and thumb, as the layer keeps them: the position always
// inside the range.
struct TrackbarState {
    int minimum;   // smallest position
    int maximum;   // largest position, never below minimum
    int position;  // where the thumb is
};

// A new trackbar's state, as on the desktop.
const TrackbarState NewTrackbarState = {0, 100, 0};

// The table of operations of a back end. Each back end fills it member by
// member, by name, so that no entry depends on its place in the list.
struct PlatformOps {
    bool (*Start)();  // prepares the back end; false when it cannot run here
    int (*RunApp)(PlatformApp& app, int argc, char** argv);

    // Windows from templates, not yet shown. A dialog window's messages go to
    // the dialog object's handlers, a procedure window's to its procedure.
    WindowHandle (*CreateDialogWindow)(PlatformDialog& dialog);
    WindowHandle (*CreateProcedureWindow)(int templateId, WindowHandle owner, DialogProc procedure);
    // Shows a dialog window after OnInitDialog, focusing its first control when asked.
    void (*ShowNewDialog)(WindowHandle window, bool focusFirstControl);
    intptr_t (*RunModalLoop)(PlatformDialog& dialog);               // until EndDialog
    void (*EndDialogWindow)(WindowHandle window, intptr_t result);  // hides it and ends its modal loop
    void (*DestroyWindow)(WindowHandle window);                     // with the windows it owns
    void (*ShowWindow)(WindowHandle window, bool show);
    bool (*IsWindowVisible)(WindowHandle window);
    void (*SetWindowIcon)(WindowHandle window, int iconId);
    void (*SetWindowTitle)(WindowHandle window, const char* title);
    std::string (*GetWindowTitle)(WindowHandle window);  // "" without the window
    // The dialog font's average character in pixels, from which the window was laid out.
    bool (*GetDialogBaseUnits)(WindowHandle window, int* width, int* height);

    bool (*HasControl)(WindowHandle window, int controlId);
    void (*SetControlText)(WindowHandle window, int controlId, const char* text);
    std::string (*GetControlText)(WindowHandle window, int controlId);  // "" without the control
    void (*EnableControl)(WindowHandle window, int controlId, bool enable);
    bool (*IsControlEnabled)(WindowHandle window, int controlId);
    bool (*GetControlRect)(WindowHandle window, int controlId, PlatformRect* rect);
    bool (*SetControlSize)(WindowHandle window, int controlId, int width, int height);
    void (*SetMinimumClientSize)(WindowHandle window, int width, int height);
    bool (*GetTrackbar)(WindowHandle window, int controlId, TrackbarState* state);  // false: no trackbar
    void (*SetTrackbar)(WindowHandle window, int controlId, const TrackbarState& state);
    void (*SetCheckState)(WindowHandle window, int controlId, int state);
    int (*GetCheckState)(WindowHandle window, int controlId);

    bool (*WindowHasMenu)(WindowHandle window);
    int (*GetMenuItemState)(WindowHandle window, unsigned commandId);
    bool (*SetMenuItemState)(WindowHandle window, unsigned commandId, unsigned state);
    bool (*SetMenuItemText)(WindowHandle window, unsigned commandId, const char* text);
    bool (*AppendSystemMenuItem)(WindowHandle window, unsigned commandId, const char* text);

    bool (*ShowFileDialog)(const FileDialogRequest& request, char* path, size_t size);
    bool (*ShowColorDialog)(WindowHandle owner, uint32_t initialColor, uint32_t* chosenColor);
    int (*ShowMessageBox)(WindowHandle owner, const char* text, const char* caption, unsigned flags);

    bool (*SetWindowTimer)(WindowHandle window, uintptr_t timerId, unsigned intervalMs, TimerProc procedure);

    GLContextHandle (*CreateGLContext)(WindowHandle window, int controlId, const GLPixelFormatRequest& format);
    bool (*MakeGLContextCurrent)(GLContextHandle context);
    void (*DeleteGLContext)(GLContextHandle context);
    bool (*SwapGLBuffers)(GLContextHandle context);
    void* (*GetGLProcAddress)(const char* name);
};

// Back ends register their table here before SelectPlatform can pick them.
void RegisterPlatform(PlatformKind kind, const PlatformOps* ops);
// The headless back end's table, always linked and active until another is
// selected (platform/headless).
const PlatformOps& HeadlessPlatformOps();

// ---------------------------------------------------------------------------
// What both back ends share

// The message a timer procedure receives, as on the desktop.
const unsigned TimerMessage = 0x0113;

// Where a window's messages go.
struct MessageTarget {
    PlatformDialog* dialog;  // the dialog object's handlers, or null
    DialogProc procedure;    // else the dialog procedure, or null
};

// A button, menu item or key command, and a request to close the window.
void SendCommandMessage(WindowHandle window, const MessageTarget& target, unsigned commandId);
void SendCloseMessage(WindowHandle window, const MessageTarget& target);

// The files of one drop, as DropHandle points to it.
struct PlatformDrop {
    std::vector<std::string> paths;  // whole paths, in order
};

// Owned windows go with their owner: `destroy` is called on each record of
// `windows` whose owner is `owner`, before the owner itself goes.
template <typename Record>
void DestroyOwnedWindows(const std::vector<Record*>& windows, WindowHandle owner, void (*destroy)(Record*))
{
    std::vector<Record*> owned;  // a copy: destroying one changes the list
    for (Record* window : windows)
        if (window->owner == owner)
            owned.push_back(window);
    for (Record* window : owned)
        destroy(window);
}

// A control template's rectangle in pixels, for a dialog font whose average
// character is baseWidth x baseHeight pixels.
struct ControlTemplate;
PlatformRect ControlRectInPixels(const ControlTemplate& control, int baseWidth, int baseHeight);

// Makes GetExecutablePath report `path` (tests place the program's files in a
// folder of their own); null or "" restores the real path.
void SetExecutablePathOverride(const char* path);
