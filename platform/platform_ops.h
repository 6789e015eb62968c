// The table of operations that a back end provides; platform.cpp forwards
// every call of platform.h to the table of the selected back end.
#pragma once

#include "platform/platform.h"

struct PlatformOps {
    bool (*Start)();  // prepares the back end; false when it cannot run here
    int (*RunApp)(PlatformApp& app, int argc, char** argv);

    // Dialog objects
    bool (*CreateDialogWindow)(PlatformDialog& dialog);  // attaches the window, runs OnInitDialog
    intptr_t (*RunModalLoop)(PlatformDialog& dialog);    // until EndDialog
    void (*EndDialogWindow)(PlatformDialog& dialog, intptr_t result);
    void (*DestroyDialogWindow)(PlatformDialog& dialog);

    WindowHandle (*CreateModelessDialog)(int templateId, WindowHandle owner, DialogProc procedure, intptr_t parameter);
    void (*EndModelessDialog)(WindowHandle window, intptr_t result);
    void (*ShowWindow)(WindowHandle window, bool show);
    bool (*IsWindowVisible)(WindowHandle window);
    bool (*IsWindowMinimized)(WindowHandle window);
    bool (*GetClientSize)(WindowHandle window, int* width, int* height);
    void (*SetWindowIcon)(WindowHandle window, int iconId);

    bool (*HasControl)(WindowHandle window, int controlId);
    void (*SetControlText)(WindowHandle window, int controlId, const char* text);
    size_t (*GetControlText)(WindowHandle window, int controlId, char* buffer, size_t size);
    void (*EnableControl)(WindowHandle window, int controlId, bool enable);
    bool (*IsControlEnabled)(WindowHandle window, int controlId);
    bool (*IsControlVisible)(WindowHandle window, int controlId);
    bool (*GetControlRect)(WindowHandle window, int controlId, PlatformRect* rect);
    bool (*SetControlSize)(WindowHandle window, int controlId, int width, int height);
    void (*SetTrackbarRange)(WindowHandle window, int controlId, int minimum, int maximum);
    void (*SetTrackbarPosition)(WindowHandle window, int controlId, int position);
    int (*GetTrackbarPosition)(WindowHandle window, int controlId);
    void (*SetCheckState)(WindowHandle window, int controlId, int state);
    int (*GetCheckState)(WindowHandle window, int controlId);

    bool (*WindowHasMenu)(WindowHandle window);
    int (*GetMenuItemState)(WindowHandle window, unsigned commandId);
    bool (*SetMenuItemState)(WindowHandle window, unsigned commandId, unsigned state);
    bool (*AppendSystemMenuItem)(WindowHandle window, unsigned commandId, const char* text);

    bool (*ShowFileDialog)(const FileDialogRequest& request, char* path, size_t size);
    bool (*ShowColorDialog)(WindowHandle owner, uint32_t initialColor, uint32_t* chosenColor);
    int (*ShowMessageBox)(WindowHandle owner, const char* text, const char* caption, unsigned flags);

    bool (*SetWindowTimer)(WindowHandle window, uintptr_t timerId, unsigned intervalMs, TimerProc procedure);

    unsigned (*GetDroppedFileCount)(DropHandle drop);
    const char* (*GetDroppedFilePath)(DropHandle drop, unsigned index);

    GLContextHandle (*CreateGLContext)(WindowHandle window, int controlId, const GLPixelFormatRequest& format);
    bool (*MakeGLContextCurrent)(GLContextHandle context);
    void (*DeleteGLContext)(GLContextHandle context);
    bool (*SwapGLBuffers)(GLContextHandle context);
    void* (*GetGLProcAddress)(const char* name);

    bool (*MapDialogRect)(WindowHandle window, PlatformRect* rect);
};

// The headless back end's table, always linked (platform/headless).
extern const PlatformOps HeadlessPlatformOps;

// Converts a rectangle from dialog units to pixels corner by corner, as the
// desktop does, for a dialog font whose average character is
// baseWidth x baseHeight pixels. Shared by the back ends.
void DialogRectToPixels(PlatformRect* rect, int baseWidth, int baseHeight);
// The rectangle of a control template, in dialog units.
struct ControlTemplate;
PlatformRect ControlTemplateRect(const ControlTemplate& control);

// Makes GetExecutablePath report `path` (tests place the program's files in a
// folder of their own); null or "" restores the real path.
void SetExecutablePathOverride(const char* path);
