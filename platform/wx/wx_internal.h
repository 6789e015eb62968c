// What the files of the wxWidgets back end share: the window record behind a
// WindowHandle, the lookups over the live windows, and the parts of the
// operations table that each file fills.
#pragma once

#include <wx/evtloop.h>
#include <wx/glcanvas.h>
#include <wx/wx.h>

#include <string>
#include <vector>

#include "platform/platform_ops.h"
#include "resources/resources.h"

class WindowTimer;

struct WxControl {
    int id;            // template control id, -1 for none
    ControlKind kind;  // what the template asked for
    unsigned style;    // the template's Style* bits
    wxWindow* widget;  // the wx control, a child of the window's panel
    int rangeMinimum;  // trackbar range as the layer set it: the slider's own is never empty
    int rangeMaximum;
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
    MessageTarget target;                   // dialog object or procedure
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

// Windows (wx_windows.cpp)
bool IsLiveWindow(WindowHandle window);
// The live window whose frame is `frame`, or null.
PlatformWindow* RecordOfFrame(const wxWindow* frame);
WxControl* FindWxControl(WindowHandle window, int controlId);
void DestroyWindowRecord(PlatformWindow* window);
void DestroyAllWindows();

// Text between the program (UTF-8 bytes) and wx; a path that is not UTF-8 still shows.
wxString ToWxString(const char* text);
std::string FromWxString(const wxString& text);
std::string FromWxPath(const wxString& path);

// Building windows from templates (wx_build.cpp)
// The window, its controls and menu bar, not yet shown nor listed. Null when
// there is no such template or no toolkit.
PlatformWindow* BuildWxWindow(int templateId, WindowHandle owner, MessageTarget target);
// A bitmap of an icon resource; not IsOk() when there is none.
wxBitmap IconBitmap(int iconId);
// A new wx id for a menu item that delivers `commandId`.
int AddMenuCommand(PlatformWindow* window, unsigned commandId, bool system);

// Events (wx_events.cpp)
void BindWindowEvents(PlatformWindow* window);
// The window's OnPaint, when it is a live dialog window.
void Paint(wxTopLevelWindow* frame);

// The application (wx_app.cpp)
bool StartWx();
int RunWxApp(PlatformApp& app, int argc, char** argv);

// GL (wx_gl.cpp)
// The GL canvas of a frame control, made in PreviewPixelFormat.
wxWindow* CreatePreviewCanvas(wxWindow* parent, int id, const wxPoint& position, const wxSize& size);
// The window is going: its contexts lose their canvas and are released.
void ForgetWxGLWindow(WindowHandle window);
void DeleteAllWxGLContexts();

// The operating system's GL binding (wx_gl_native.cpp), free of wx headers.
void* NativeGLProcAddress(const char* name);
void ReleaseNativeGLContext();

// Each file fills the entries of the operations table that it implements.
void AddWxControlOps(PlatformOps* ops);  // controls and menus (wx_controls.cpp)
void AddWxDialogOps(PlatformOps* ops);   // common dialogs (wx_dialogs.cpp)
void AddWxGLOps(PlatformOps* ops);       // GL contexts (wx_gl.cpp)
