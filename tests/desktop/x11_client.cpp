// Plain Xlib: one connection for the test process, errors recorded rather
// than ending the process (a window may go away between two calls).
#include "tests/desktop/x11_client.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <chrono>

static Display* Connection = nullptr;
static bool ErrorSeen = false;

static int RecordError(Display*, XErrorEvent*)
{
    ErrorSeen = true;
    return 0;
}

bool OpenX11Client()
{
    if (Connection)
        return true;
    Connection = XOpenDisplay(nullptr);
    if (!Connection)
        return false;
    XSetErrorHandler(RecordError);
    return true;
}

void CloseX11Client()
{
    if (!Connection)
        return;
    XCloseDisplay(Connection);
    Connection = nullptr;
}

// Runs the requests so far and tells whether any of them failed.
static bool RequestsSucceeded()
{
    XSync(Connection, False);
    bool ok = !ErrorSeen;
    ErrorSeen = false;
    return ok;
}

static bool RectOnRoot(Window window, ScreenRect* rect)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(Connection, window, &attributes))
        return false;
    Window child = 0;
    int x = 0, y = 0;
    if (!XTranslateCoordinates(Connection, window, attributes.root, 0, 0, &x, &y, &child))
        return false;
    *rect = ScreenRect{x, y, attributes.width, attributes.height};
    return RequestsSucceeded();
}

bool GetWindowRect(unsigned long window, ScreenRect* rect)
{
    return Connection && RectOnRoot(window, rect);
}

bool GetLargestChildRect(unsigned long window, ScreenRect* rect)
{
    if (!Connection)
        return false;
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(Connection, window, &root, &parent, &children, &count))
        return false;
    long bestArea = 0;
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(Connection, children[i], &attributes) || attributes.map_state != IsViewable)
            continue;
        long area = static_cast<long>(attributes.width) * attributes.height;
        ScreenRect childRect;
        if (area > bestArea && RectOnRoot(children[i], &childRect)) {
            bestArea = area;
            *rect = childRect;
        }
    }
    if (children)
        XFree(children);
    return bestArea > 0 && RequestsSucceeded();
}

static bool TakesPartInDeleteProtocol(Window window, Atom deleteWindow)
{
    Atom* protocols = nullptr;
    int count = 0;
    if (!XGetWMProtocols(Connection, window, &protocols, &count))
        return false;
    bool found = false;
    for (int i = 0; i < count; ++i)
        found = found || protocols[i] == deleteWindow;
    if (protocols)
        XFree(protocols);
    return found;
}

bool SendDeleteWindow(unsigned long window)
{
    if (!Connection)
        return false;
    Atom protocols = XInternAtom(Connection, "WM_PROTOCOLS", False);
    Atom deleteWindow = XInternAtom(Connection, "WM_DELETE_WINDOW", False);
    if (!TakesPartInDeleteProtocol(window, deleteWindow))
        return false;
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(deleteWindow);
    event.xclient.data.l[1] = CurrentTime;
    if (!XSendEvent(Connection, window, False, NoEventMask, &event))
        return false;
    return RequestsSucceeded();
}

// Waits for the owner's answer to a conversion request on our own window.
static bool WaitForSelectionNotify(Window requestor, int timeoutMs, XEvent* event)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (XCheckTypedWindowEvent(Connection, requestor, SelectionNotify, event))
            return true;
        usleep(10000);
    }
    return false;
}

bool ReadPrimarySelection(std::string* text, int timeoutMs)
{
    if (!Connection)
        return false;
    Window requestor = XCreateSimpleWindow(Connection, DefaultRootWindow(Connection), 0, 0, 1, 1, 0, 0, 0);
    Atom utf8 = XInternAtom(Connection, "UTF8_STRING", False);
    Atom property = XInternAtom(Connection, "ORVANEL_TEST_SELECTION", False);
    XConvertSelection(Connection, XA_PRIMARY, utf8, property, requestor, CurrentTime);
    XFlush(Connection);
    XEvent event;
    bool ok = WaitForSelectionNotify(requestor, timeoutMs, &event) && event.xselection.property == property;
    if (ok) {
        Atom type = 0;
        int format = 0;
        unsigned long items = 0, remaining = 0;
        unsigned char* data = nullptr;
        // 1 MiB of text, in 32-bit units, is far more than any status line
        ok = XGetWindowProperty(Connection, requestor, property, 0, 1 << 18, True, AnyPropertyType, &type, &format,
                                &items, &remaining, &data) == Success &&
            format == 8 && data;
        if (ok)
            text->assign(reinterpret_cast<const char*>(data), items);
        if (data)
            XFree(data);
    }
    XDestroyWindow(Connection, requestor);
    return RequestsSucceeded() && ok;
}
