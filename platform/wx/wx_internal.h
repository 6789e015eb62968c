// What the files of the wxWidgets back end share: the window record behind a
// WindowHandle and the helpers that find and convert things.
#pragma once

#include <wx/evtloop.h>
#include <wx/glcanvas.h>
#include <wx/wx.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "resources/resources.h"

class WindowTimer;

struct WxControl {
    int id;            // template control id, -1 for none
    ControlKind kind;  // what the template asked for
    unsigned style;    // the template's Style* bits
    wxWindow* widget;  // the wx control, a child of the window's panel
    int rangeMinimum;  // trackbar range, kept here so that the clamp is exact
    int rangeMaximum;
    GLPixelFormatRequest glFormat;  // pixel format of a preview canvas (ControlFrame only)
};

// wx wants menu ids below 0x7FFF, the desktop's command ids reach 0xFFFF: each
// item gets a wx id of its own.
struct MenuCommand {
    int menuId;          // wx id of the item
    unsigned commandId;  // command (or system command) it delivers
    bool system;         // added by AppendSystemMenuItem: delivered to OnSysCommand
};

struct PlatformWindow {
    const DialogTemplate* source;           // template it was made from
    PlatformDialog* dialog;                 // dialog object, or null for a procedure window
    DialogProc procedure;                   // dialog procedure, or null
    WindowHandle owner;                     // owning window, or null
    wxTopLevelWindow* frame;                // wxFrame when the template has a menu, else wxDialog
    wxPanel* panel;                         // fills the client area; parent of every control
    wxMenuBar* menuBar;                     // the frame's menu bar, or null
    std::vector<WxControl> controls;        // in template order
    std::vector<MenuCommand> menuCommands;  // every menu item's wx id and command
    std::vector<WindowTimer*> timers;       // in creation order
    wxEventLoopBase* modalLoop;             // the loop of RunModalLoop while it runs
    int baseWidth, baseHeight;              // dialog base units: average character in pixels
};

struct PlatformDrop {
    std::vector<std::string> paths;  // the dropped files, whole paths, in order
};

// Windows (wx_windows.cpp)
bool IsLiveWindow(WindowHandle window);
WxControl* FindWxControl(WindowHandle window, int controlId);
// Creates the preview canvas of a frame control in the requested format.
wxWindow* CreatePreviewCanvas(wxWindow* parent, int id, const wxPoint& position, const wxSize& size,
                              const GLPixelFormatRequest& format);
// Puts a new canvas in place of a control's widget, with the same id and rectangle.
bool ReplacePreviewCanvas(WindowHandle window, WxControl& control, const GLPixelFormatRequest& format);
void DestroyAllWindows();

// The application (wx_app.cpp)
bool StartWx();
int RunWxApp(PlatformApp& app, int argc, char** argv);

// Text between the program (UTF-8 bytes) and wx.
wxString ToWxString(const char* text);
std::string FromWxString(const wxString& text);
std::string FromWxPath(const wxString& path);

// GL (wx_gl.cpp)
GLContextHandle CreateWxGLContext(WindowHandle window, int controlId, const GLPixelFormatRequest& format);
bool MakeWxGLContextCurrent(GLContextHandle context);
void DeleteWxGLContext(GLContextHandle context);
bool SwapWxGLBuffers(GLContextHandle context);
void* GetWxGLProcAddress(const char* name);
// The window is going: its contexts lose their canvas and are released.
void ForgetWxGLWindow(WindowHandle window);
void DeleteAllWxGLContexts();
bool HasWxGLContext(WindowHandle window, int controlId);

// The operating system's GL binding (wx_gl_native.cpp), free of wx headers.
void* NativeGLProcAddress(const char* name);
void ReleaseNativeGLContext();

// Common dialogs (wx_dialogs.cpp)
bool ShowWxFileDialog(const FileDialogRequest& request, char* path, size_t size);
bool ShowWxColorDialog(WindowHandle owner, uint32_t initialColor, uint32_t* chosenColor);
int ShowWxMessageBox(WindowHandle owner, const char* text, const char* caption, unsigned flags);
// "Name (*.ext)|*.ext||" into wx's wildcard "Name (*.ext)|*.ext".
wxString WildcardFromFilter(const char* filter);
// Appends ".ext" when the file name part of `path` has no extension.
std::string AppendDefaultExtension(const std::string& path, const char* defaultExtension);
