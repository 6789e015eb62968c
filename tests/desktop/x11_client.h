// A small X11 client of the tests' own: what a window manager or another
// program on the desktop would do to Orvanel's windows, and what xdotool
// cannot do. Only the tests talk X11 directly; the program never does.
#pragma once

#include <string>

struct ScreenRect {
    int x;       // left edge on the root window, pixels
    int y;       // top edge on the root window, pixels
    int width;   // pixels
    int height;  // pixels
};

// Connects to $DISPLAY; false when no server answers.
bool OpenX11Client();
void CloseX11Client();

// The window's rectangle on the screen, without any frame around it.
bool GetWindowRect(unsigned long window, ScreenRect* rect);
// The largest mapped child window, in screen coordinates: on Orvanel's main
// window the GL canvas of the preview is the only child of any size.
bool GetLargestChildRect(unsigned long window, ScreenRect* rect);
// What a window manager sends for the close box: a WM_PROTOCOLS client
// message carrying WM_DELETE_WINDOW. False when the window does not take
// part in that protocol or the message cannot be sent.
bool SendDeleteWindow(unsigned long window);
// The text of the PRIMARY selection (what the user last selected anywhere),
// as UTF-8; false when nobody owns it or it does not arrive in time.
bool ReadPrimarySelection(std::string* text, int timeoutMs);
