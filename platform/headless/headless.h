// What the headless back end offers beyond platform.h: the hands and eyes of
// a test or of batch mode. Windows live in memory; modal dialogs take their
// answers from queues and record how they were called; timers tick when told;
// GL renders offscreen through EGL (Mesa's llvmpipe without a GPU) and its
// pixels can be read back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

// ---------------------------------------------------------------------------
// Answers and records of the modal dialogs

enum HeadlessDialogKind {
    HeadlessOpenFileDialog,
    HeadlessSaveFileDialog,
    HeadlessColorDialog,
    HeadlessMessageBox,
    HeadlessModalTemplate,  // a PlatformDialog run with DoModal (the about box): ends at once with OK
};

struct HeadlessDialogCall {
    HeadlessDialogKind kind;       // which dialog
    WindowHandle owner;            // its owner
    std::string filter;            // file dialogs: the filter string
    std::string defaultExtension;  // file dialogs: ".3ds" or ""
    std::string initialFolder;     // file dialogs: where it starts, or ""
    std::string initialName;       // file dialogs: the name it proposes, or ""
    unsigned flags;                // file dialog flags, message box flags
    std::string text;              // message box text
    std::string caption;           // message box caption
    uint32_t initialColor;         // colour dialog: the colour proposed
    int templateId;                // modal template: its id
    bool confirmed;                // the answer given: confirmed or cancelled
};

// The next Open or Save As dialog confirms `path`; null cancels it. Without a
// queued answer a file dialog is cancelled.
void QueueFileDialogAnswer(const char* path);
// The next colour dialog confirms `color` (0x00BBGGRR) or is cancelled.
void QueueColorDialogAnswer(bool confirm, uint32_t color);
const std::vector<HeadlessDialogCall>& HeadlessDialogCalls();
void ClearHeadlessDialogCalls();

// Called with every text the program shows: control texts as they are set
// (controlId the control's id) and message boxes (controlId -1). Batch mode
// prints the status line and message boxes this way.
typedef void (*HeadlessTextObserver)(WindowHandle window, int controlId, const char* text);
void SetHeadlessTextObserver(HeadlessTextObserver observer);

// Forgets queued answers, records and the text observer.
void ResetHeadlessPlatform();

// ---------------------------------------------------------------------------
// What a user does to a window

// A button click, a menu choice or a key that sends a command. A disabled
// button or grayed menu item does nothing and returns false.
bool HeadlessClickButton(WindowHandle window, int controlId);
bool HeadlessChooseMenuItem(WindowHandle window, unsigned commandId);
void HeadlessPressEnter(WindowHandle window);   // the OK command
void HeadlessPressEscape(WindowHandle window);  // the Cancel command
void HeadlessCloseWindow(WindowHandle window);  // the close box
void HeadlessSendSystemCommand(WindowHandle window, unsigned command);
void HeadlessDropFiles(WindowHandle window, const std::vector<std::string>& paths);
// A mouse move in client coordinates with the buttons held (MouseLeftButton).
void HeadlessMouseMove(WindowHandle window, unsigned flags, int x, int y);
void HeadlessMouseWheel(WindowHandle window, int delta, int x, int y);
// Delivers OnSize, as a resize of the client area does.
void HeadlessResizeClient(WindowHandle window, int width, int height, unsigned kind = SizeRestored);
// Moves a trackbar's thumb or clicks a check box, as the user would.
void HeadlessMoveTrackbar(WindowHandle window, int controlId, int position);
void HeadlessClickCheckbox(WindowHandle window, int controlId);

// ---------------------------------------------------------------------------
// Looking at windows

// The first existing window made from `templateId`, or null.
WindowHandle HeadlessFindWindow(int templateId);
int HeadlessWindowCount();
// The system menu's item texts, "" for a separator.
std::vector<std::string> HeadlessSystemMenuItems(WindowHandle window);
int HeadlessWindowIcon(WindowHandle window);
// Range of a trackbar.
bool HeadlessTrackbarRange(WindowHandle window, int controlId, int* minimum, int* maximum);

// ---------------------------------------------------------------------------
// Timers

// Calls every timer of every window `count` times, in creation order; returns
// the number of callbacks made.
int TickHeadlessTimers(int count);
int HeadlessTimerCount(WindowHandle window);

// ---------------------------------------------------------------------------
// Offscreen GL

// The context's pixels as RGBA bytes, top row first. The context is made
// current if it is not.
bool HeadlessReadPixels(GLContextHandle context, std::vector<uint8_t>* rgba, int* width, int* height);
// The context created on a window's control, or null.
GLContextHandle HeadlessFindGLContext(WindowHandle window, int controlId);
// Number of buffer swaps made on a context.
int HeadlessSwapCount(GLContextHandle context);

// Once every context is gone: ends the EGL display, so that the software renderer's threads
// end before the process does (a run's last work, not needed for correctness). Harmless when
// contexts remain or none was ever made.
void HeadlessReleaseGL();
