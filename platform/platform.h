// The one door between Orvanel and the platform it runs on.
//
// The program was designed for a desktop with a dialog framework and a GL
// binding layer; everything it needs of them is declared here, once, as free
// functions over opaque handles, plus two small bases (application and
// dialog) whose virtual handlers carry the framework's names. Two back ends
// implement it: platform/wx (the real desktop) and platform/headless
// (in-memory windows, scripted dialog answers, offscreen GL through EGL).
//
// Contents: handles and constants; choosing the back end; the application
// and dialog bases; windows and controls; menus; common dialogs; timers and
// time; dropped files; the executable's path; OpenGL contexts.
#pragma once

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------------------
// Handles and constants

struct PlatformWindow;                       // a top-level window or dialog
typedef PlatformWindow* WindowHandle;        // null = none
struct PlatformGLContext;                    // a GL rendering context on a control
typedef PlatformGLContext* GLContextHandle;  // null = none
struct PlatformDrop;                         // the files of one drop
typedef PlatformDrop* DropHandle;

// Menu item state bits, as the desktop menu reports them.
const unsigned MenuItemGrayed = 3;   // disabled and drawn gray
const unsigned MenuItemChecked = 8;  // carries a check mark

// The standard command identifiers of a dialog (OK button / Enter, Cancel / Escape).
const unsigned CommandOk = 1;
const unsigned CommandCancel = 2;

// Dialog procedure messages (the values the desktop platform uses).
const unsigned DialogMessageClose = 0x0010;    // the window is asked to close
const unsigned DialogMessageInit = 0x0110;     // created, before it is shown
const unsigned DialogMessageCommand = 0x0111;  // a button or menu command; low word of wParam is its id

// System menu commands; the low four bits are used by the platform.
const unsigned SystemCommandClose = 0xF060;

// Mouse button and key flags of OnMouseMove.
const unsigned MouseLeftButton = 0x0001;
const unsigned MouseRightButton = 0x0002;
const unsigned MouseShiftKey = 0x0004;
const unsigned MouseMiddleButton = 0x0010;
// A wheel turned by one notch reports this delta (negative: towards the user).
const int MouseWheelNotch = 120;

// Kinds of size change passed to OnSize.
const unsigned SizeRestored = 0;
const unsigned SizeMinimized = 1;
const unsigned SizeMaximized = 2;

// Message box buttons and results.
const unsigned MessageBoxOkButton = 0;  // one OK button, no icon
const int MessageBoxResultOk = 1;

// File dialog option flags.
const unsigned FileDialogOverwritePrompt = 0x0002;  // confirm before replacing a file

// Dialog procedure, as the desktop framework calls it. Returns non-zero when
// the message was handled.
typedef intptr_t (*DialogProc)(WindowHandle window, unsigned message, uintptr_t wParam, intptr_t lParam);

// Timer callback: window, message, timer id, time in milliseconds. The
// program's callbacks ignore the arguments.
typedef void (*TimerProc)(WindowHandle window, unsigned message, uintptr_t timerId, uint32_t time);

// A rectangle in pixels, right and bottom exclusive.
struct PlatformRect {
    int left;    // x of the left edge
    int top;     // y of the top edge
    int right;   // x just past the right edge
    int bottom;  // y just past the bottom edge
};

// ---------------------------------------------------------------------------
// Choosing the back end

enum PlatformKind {
    PlatformHeadless = 0,  // in-memory windows, offscreen GL; always available
    PlatformDesktop = 1,   // native windows (wxWidgets); needs a display
};

// Makes `kind` the back end for every call below. False when that back end is
// not linked into this program or cannot start (no display).
bool SelectPlatform(PlatformKind kind);

// ---------------------------------------------------------------------------
// Application and dialog bases

class PlatformDialog;

// The application object: the back end runs InitInstance once; its result is
// only a formality, since the program ends when InitInstance returns.
class PlatformApp {
public:
    virtual ~PlatformApp() {}
    virtual bool InitInstance() = 0;
};

// Runs the application: on the desktop inside the toolkit's event loop. The
// return value is the process exit status.
int RunPlatformApp(PlatformApp& app, int argc, char** argv);

// A dialog built from a template of resources/. The back end creates the
// window and calls the handlers below; each default does what the desktop
// framework's default processing does.
class PlatformDialog {
public:
    explicit PlatformDialog(int templateId, WindowHandle owner = nullptr);
    virtual ~PlatformDialog();  // destroys the window, its owned windows and timers

    // Creates the window, runs DoDataExchange and OnInitDialog, then runs a
    // modal loop until EndDialog. Returns the EndDialog result.
    intptr_t DoModal();
    // Creates the window, runs DoDataExchange and OnInitDialog, and shows it
    // when its template asks to be visible, without a loop (headless use:
    // tests and batch mode drive the window themselves). False on failure.
    bool Create();
    // Ends the modal loop with `result` and hides the window.
    void EndDialog(intptr_t result);

    WindowHandle Window() const
    {
        return window;
    }
    int TemplateId() const
    {
        return templateId;
    }
    bool Ended() const
    {
        return ended;
    }
    intptr_t Result() const
    {
        return result;
    }

    // Handlers, with the framework's names.
    virtual void DoDataExchange() {}
    virtual bool OnInitDialog()
    {
        return true;
    }
    virtual void OnSysCommand(unsigned command, intptr_t parameter);
    virtual void OnPaint() {}
    virtual void OnSize(unsigned kind, int width, int height);
    virtual void OnClose();  // default: ends the dialog with CommandCancel
    virtual void OnDropFiles(DropHandle drop);
    virtual void OnMouseMove(unsigned flags, int x, int y);
    // A wheel turn of `delta` (MouseWheelNotch per notch) with the pointer at x, y.
    virtual void OnMouseWheel(int delta, int x, int y);
    virtual void OnCommand(unsigned id);  // buttons and menu items; default routes 1 and 2
    virtual void OnOK()
    {
        EndDialog(CommandOk);
    }
    virtual void OnCancel()
    {
        EndDialog(CommandCancel);
    }

    WindowHandle Owner() const
    {
        return owner;
    }

private:
    int templateId;       // dialog template id in resources/
    WindowHandle owner;   // owning window, or null
    WindowHandle window;  // the created window, or null
    bool ended;           // EndDialog was called
    intptr_t result;      // what EndDialog was given
};

// ---------------------------------------------------------------------------
// Windows and controls. Control ids are those of the dialog templates.

// Creates a modeless dialog from a template, owned by `owner`, whose messages
// go to `procedure` (DialogMessageInit first, with `parameter` as lParam).
// Not shown until ShowPlatformWindow. Null on failure.
WindowHandle CreateModelessDialog(int templateId, WindowHandle owner, DialogProc procedure, intptr_t parameter);
// Hides a modeless dialog, as the framework's end-dialog call does for one.
void EndModelessDialog(WindowHandle window, intptr_t result);

void ShowPlatformWindow(WindowHandle window, bool show);
bool IsPlatformWindowVisible(WindowHandle window);
// The window's caption (UTF-8); a new window has its template's title.
void SetWindowTitle(WindowHandle window, const char* title);
// Copies at most size - 1 bytes and a terminator; returns the whole title's length.
size_t GetWindowTitle(WindowHandle window, char* buffer, size_t size);
// Big and small icon of the window, from an icon resource.
void SetWindowIcon(WindowHandle window, int iconId);

bool HasControl(WindowHandle window, int controlId);
void SetControlText(WindowHandle window, int controlId, const char* text);
// Copies at most size - 1 bytes and a terminator; returns the whole text's length.
size_t GetControlText(WindowHandle window, int controlId, char* buffer, size_t size);
void EnableControl(WindowHandle window, int controlId, bool enable);
bool IsControlEnabled(WindowHandle window, int controlId);
// The control's outer rectangle (border included), in its parent's client coordinates.
bool GetControlRect(WindowHandle window, int controlId, PlatformRect* rect);
// Converts a rectangle from the window's dialog units to pixels, as its
// dialog font measures them.
bool MapDialogRect(WindowHandle window, PlatformRect* rect);
// The smallest client area the user can size the window to; the program's own
// resizing is not held to it.
void SetMinimumClientSize(WindowHandle window, int width, int height);
// Resizes a control, keeping its position and z-order.
bool SetControlSize(WindowHandle window, int controlId, int width, int height);

// Trackbars: the position is kept inside the range, as the control does.
void SetTrackbarRange(WindowHandle window, int controlId, int minimum, int maximum);
void SetTrackbarPosition(WindowHandle window, int controlId, int position);
int GetTrackbarPosition(WindowHandle window, int controlId);

// Check boxes: 0 clear, 1 checked.
void SetCheckState(WindowHandle window, int controlId, int state);
int GetCheckState(WindowHandle window, int controlId);

// ---------------------------------------------------------------------------
// Menus, looked up by command id

bool WindowHasMenu(WindowHandle window);
// State bits (MenuItemGrayed, MenuItemChecked); -1 when there is no such item.
int GetMenuItemState(WindowHandle window, unsigned commandId);
bool SetMenuItemState(WindowHandle window, unsigned commandId, unsigned state);
// Replaces the item's text (UTF-8, "&" marks the access key); false without such an item.
bool SetMenuItemText(WindowHandle window, unsigned commandId, const char* text);
// Appends a separator and then `text` as `commandId` to the window's system
// menu (where the desktop has none, to an application menu). False when the
// window has no such menu.
bool AppendSystemMenuItem(WindowHandle window, unsigned commandId, const char* text);

// ---------------------------------------------------------------------------
// Common dialogs, modal; the frame timer keeps running while they are open.

struct FileDialogRequest {
    WindowHandle owner;            // owning window
    bool save;                     // Save As instead of Open
    const char* filter;            // "Name (*.ext)|*.ext||" pairs, ending in "||"
    const char* defaultExtension;  // ".3ds", or null
    unsigned flags;                // FileDialogOverwritePrompt, or 0
    const char* initialFolder;     // where the dialog starts, or null for its own choice
    const char* initialName;       // the file name it proposes, or null
};

// Shows the Open or Save As dialog. True when the user confirmed a path that
// fits into `path` (`size` bytes with its terminator); false when cancelled.
bool ShowFileDialog(const FileDialogRequest& request, char* path, size_t size);
// Colours are 0x00BBGGRR (red in the low byte). True when the user confirmed.
bool ShowColorDialog(WindowHandle owner, uint32_t initialColor, uint32_t* chosenColor);
// Returns the button pressed (MessageBoxResultOk).
int ShowMessageBox(WindowHandle owner, const char* text, const char* caption, unsigned flags);

// ---------------------------------------------------------------------------
// Timers and time

// A repeating timer of `window`; a 0 ms interval means the platform's minimum.
// Timers end with their window.
bool SetWindowTimer(WindowHandle window, uintptr_t timerId, unsigned intervalMs, TimerProc procedure);
void SleepMilliseconds(unsigned milliseconds);
uint32_t PlatformTickCount();

// ---------------------------------------------------------------------------
// Dropped files: valid during OnDropFiles

unsigned GetDroppedFileCount(DropHandle drop);
// The whole path of file `index`, or null past the last one.
const char* GetDroppedFilePath(DropHandle drop, unsigned index);

// ---------------------------------------------------------------------------
// The running executable

// The executable's full path. False when it does not fit into `size` bytes.
bool GetExecutablePath(char* buffer, size_t size);

// ---------------------------------------------------------------------------
// OpenGL contexts

struct GLPixelFormatRequest {
    int colorBits;      // RGBA bits in all
    int depthBits;      // depth buffer bits
    int stencilBits;    // stencil bits; the driver's closest offer is taken
    bool doubleBuffer;  // front and back buffer
};

// The preview's pixel format: 32-bit RGBA, 24-bit depth, 16-bit stencil,
// double-buffered; no alpha, accumulation or auxiliary buffers. The desktop
// back end gives every frame control its GL canvas in this format when it
// builds the window, since a canvas's format is fixed when it is made.
extern const GLPixelFormatRequest PreviewPixelFormat;

// Creates a GL context drawing into the control (the closest pixel format the
// driver offers to `format`). Null on failure, and on the desktop for any
// format other than PreviewPixelFormat.
GLContextHandle CreateGLContext(WindowHandle window, int controlId, const GLPixelFormatRequest& format);
// Makes the context current on this thread; null makes none current.
bool MakeGLContextCurrent(GLContextHandle context);
// The context that MakeGLContextCurrent last made current and that still
// exists; null when none is. GL calls need one.
GLContextHandle CurrentGLContext();
void DeleteGLContext(GLContextHandle context);
bool SwapGLBuffers(GLContextHandle context);
// An entry point of the current context by name, or null.
void* GetGLProcAddress(const char* name);
