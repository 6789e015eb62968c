// The suite's own main: an Xvfb server and the desktop back end for every
// test, and a mode that tries to start the back end without a display.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/wx/wx_platform.h"
#include "platform/wx/wx_testing.h"
#include "tests/support/xvfb_display.h"
#include "tests/wx/wx_test_support.h"

// GTK, GLib, fontconfig and Mesa keep process-lifetime allocations.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libgtk-3\nleak:libgdk-3\nleak:libglib-2\nleak:libgobject-2\nleak:libfontconfig\n"
           "leak:libpango\nleak:libcairo\nleak:libatk\nleak:libgio-2\nleak:libX11\nleak:libGLX\n"
           "leak:libGLdispatch\nleak:libLLVM\nleak:swrast_dri\nleak:libEGL_mesa\nleak:libgdk_pixbuf\n"
           "leak:libharfbuzz\nleak:libdbus\n";
}

class DesktopEnvironment : public ::testing::Environment {
    // A failed environment would mark every test skipped, and CTest counts
    // skipped tests as passing: without a display the run must fail.
    [[noreturn]] static void Abandon(const std::string& reason)
    {
        fprintf(stderr, "wx_tests cannot run: %s\n", reason.c_str());
        std::exit(1);
    }

public:
    void SetUp() override
    {
        // no accessibility bus under Xvfb; it only slows start-up
        setenv("NO_AT_BRIDGE", "1", 1);
        // GTK's settings stay in memory: no session bus under Xvfb
        setenv("GSETTINGS_BACKEND", "memory", 1);
        std::string error;
        if (!StartXvfb(&error))
            Abandon(error);
        RegisterDesktopPlatform();
        if (!SelectPlatform(PlatformDesktop))
            Abandon(std::string("the desktop back end did not start on ") + XvfbDisplayName());
    }
    void TearDown() override
    {
        StopDesktopPlatform();
        StopXvfb();
    }
};

int main(int argc, char** argv)
{
    if (argc > 1 && strcmp(argv[1], "--start-without-display") == 0) {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        RegisterDesktopPlatform();
        bool started = SelectPlatform(PlatformDesktop);
        printf("desktop back end %s\n", started ? "started" : "refused");
        return started ? 10 : 20;
    }
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new DesktopEnvironment);
    return RUN_ALL_TESTS();
}
