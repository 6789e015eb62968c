// The test-facing side of the wxWidgets back end: the wx objects behind the
// handles, so that tests can send real toolkit events and read real widgets,
// and the start and stop of the toolkit.
#pragma once

#include <wx/wx.h>

#include <string>

#include "platform/platform.h"

wxTopLevelWindow* WxFrameOf(WindowHandle window);
// The panel that fills the client area and holds the controls.
wxPanel* WxPanelOf(WindowHandle window);
wxWindow* WxControlOf(WindowHandle window, int controlId);
// The dialog font's average character in pixels, from which the layout was made.
bool WxDialogBaseUnits(WindowHandle window, int* width, int* height);
// The wx menu id of the window's menu item with `commandId`, or wxID_NONE.
int WxMenuItemId(WindowHandle window, unsigned commandId);
// The wx menu id of an item added by AppendSystemMenuItem, or wxID_NONE.
int WxSystemMenuItemId(WindowHandle window, unsigned commandId);
int WxWindowCount();

// The file dialog's texts: "Name (*.ext)|*.ext||" into wx's wildcard
// "Name (*.ext)|*.ext", and ".ext" appended when the file name part of `path`
// has no extension.
wxString WildcardFromFilter(const char* filter);
std::string AppendDefaultExtension(const std::string& path, const char* defaultExtension);

// Runs the toolkit's event loop for `milliseconds`.
void PumpWxEvents(unsigned milliseconds);
// Runs it until `done(context)` or until `milliseconds` have passed; true when done.
bool PumpWxEventsUntil(bool (*done)(void* context), void* context, unsigned milliseconds);
// Toolkit assertions seen so far (each is also written to stderr).
int WxAssertCount();
// Destroys every window and shuts the toolkit down.
void StopDesktopPlatform();
