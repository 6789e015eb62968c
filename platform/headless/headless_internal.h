// What the files of the headless back end share: the window record behind a
// WindowHandle, the lookups over the live windows, and the parts of the
// operations table that each file fills.
#pragma once

#include <string>
#include <vector>

#include "platform/platform_ops.h"
#include "resources/resources.h"

struct HeadlessControl {
    int id;                  // control id
    ControlKind kind;        // what it is
    std::string text;        // caption or edit text
    bool enabled;            // accepts input
    PlatformRect rect;       // outer rectangle in the parent's client pixels
    TrackbarState trackbar;  // trackbars: range and position
    int check;               // check box state
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
    MessageTarget target;                      // dialog object or procedure
    WindowHandle owner;                        // owning window, or null
    std::vector<HeadlessControl> controls;     // in template order
    bool hasMenu;                              // the template names a menu
    std::vector<HeadlessMenuItem> menu;        // every item of every popup
    bool hasSystemMenu;                        // caption with a system menu
    std::vector<HeadlessMenuItem> systemMenu;  // items appended to it
    bool visible;                              // shown
    int iconId;                                // icon resource, 0 for none
    std::string title;                         // caption
    std::vector<HeadlessTimer> timers;         // in creation order
};

// Windows (headless_windows.cpp)
extern std::vector<HeadlessWindow*> HeadlessWindows;  // live windows, in creation order
// Handles are the records' addresses, handed out as the layer's opaque type.
WindowHandle HeadlessHandle(HeadlessWindow* window);
// The live window behind a handle, or null.
HeadlessWindow* LiveHeadlessWindow(WindowHandle handle);
bool IsLiveHeadlessWindow(HeadlessWindow* window);
HeadlessControl* FindHeadlessControl(WindowHandle window, int controlId);
// An item of the window's menu; null when it has none.
HeadlessMenuItem* FindHeadlessMenuItem(WindowHandle window, unsigned commandId);

// Scripted dialogs (headless_dialogs.cpp)
// Hands a text the program shows to the observer of SetHeadlessTextObserver.
void ObserveHeadlessText(WindowHandle window, int controlId, const char* text);

// Offscreen GL (headless_gl.cpp)
// The control under a context changed size: its offscreen surface follows.
void ResizeHeadlessGLSurface(WindowHandle window, int controlId, int width, int height);
// The window is going away: contexts on it keep drawing but lose their control.
void ForgetHeadlessGLWindow(WindowHandle window);

// Each file fills the entries of the operations table that it implements.
void AddHeadlessDialogOps(PlatformOps* ops);
void AddHeadlessGLOps(PlatformOps* ops);
