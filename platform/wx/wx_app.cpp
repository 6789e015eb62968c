// Starting and stopping wxWidgets for the desktop back end, and running the
// application: the toolkit is initialised without a main loop of its own,
// since the program's main window runs its own modal loop and the program
// ends when that window has ended.
#include <cstdio>

#include "platform/wx/wx_internal.h"
#include "platform/wx/wx_testing.h"

static bool Started = false;
static int AssertCount = 0;

// A toolkit assertion must not open a message box in front of the program.
static void ReportAssert(const wxString& file, int line, const wxString& function, const wxString& condition,
                         const wxString& message)
{
    ++AssertCount;
    fprintf(stderr, "wx assertion \"%s\" failed in %s (%s:%d): %s\n", FromWxString(condition).c_str(),
            FromWxString(function).c_str(), FromWxString(file).c_str(), line, FromWxString(message).c_str());
}

static void PreferX11()
{
#if defined(__WXGTK__) && !wxUSE_GLCANVAS_EGL
    // this toolkit build draws GL through GLX only, which needs an X11 connection
    wxString backend;
    if (!wxGetEnv("GDK_BACKEND", &backend))
        wxSetEnv("GDK_BACKEND", "x11");
#endif
}

bool StartWx()
{
    if (Started)
        return true;
    static char name[] = "orvanel";
    static char* arguments[] = {name, nullptr};
    int count = 1;
    PreferX11();
    wxApp::SetInstance(new wxApp());
    // fails, and frees the application object, when no display can be opened
    if (!wxEntryStart(count, arguments))
        return false;
    wxSetAssertHandler(ReportAssert);
    // messages go to stderr, never into message boxes of their own
    delete wxLog::SetActiveTarget(new wxLogStderr());
    wxTheApp->SetExitOnFrameDelete(false);
    if (!wxTheApp->OnInitGui()) {
        wxEntryCleanup();
        return false;
    }
    Started = true;
    return true;
}

void StopDesktopPlatform()
{
    if (!Started)
        return;
    DestroyAllWindows();
    DeleteAllWxGLContexts();
    // deletes the frames still waiting for an idle moment, then the application
    wxEntryCleanup();
    Started = false;
}

int RunWxApp(PlatformApp& app, int, char**)
{
    if (!StartWx())
        return 1;
    app.InitInstance();
    StopDesktopPlatform();
    return 0;
}

// ---------------------------------------------------------------------------
// Test interface

void PumpWxEvents(unsigned milliseconds)
{
    if (!Started)
        return;
    wxGUIEventLoop loop;
    wxTimer stop;
    stop.Bind(wxEVT_TIMER, [&loop](wxTimerEvent&) { loop.ScheduleExit(0); });
    stop.StartOnce(static_cast<int>(milliseconds > 0 ? milliseconds : 1));
    loop.Run();
}

bool PumpWxEventsUntil(bool (*done)(void* context), void* context, unsigned milliseconds)
{
    uint32_t start = PlatformTickCount();
    while (!done(context)) {
        if (PlatformTickCount() - start >= milliseconds)
            return false;
        PumpWxEvents(10);
    }
    return true;
}

int WxAssertCount()
{
    return AssertCount;
}
