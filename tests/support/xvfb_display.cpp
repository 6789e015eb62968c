// Xvfb started with -displayfd, so that parallel test processes never fight
// over a display number; the server dies with the test process.
#include "tests/support/xvfb_display.h"

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "tests/support/test_files.h"

bool StartXvfb(std::string* error)
{
    static int display = -1;  // the server's number once it runs
    int fds[2];
    if (display < 0 && pipe(fds) == 0) {
        if (fork() == 0) {
            // the server goes when the test process goes, even after a crash
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                   "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        // the server writes its number once it takes connections; one that fails closes the pipe
        FILE* reply = fdopen(fds[0], "r");
        if (fscanf(reply, "%d", &display) != 1)
            display = -1;
        fclose(reply);
    }
    if (display < 0) {
        *error = "Xvfb did not start (is the xvfb package installed?)";
        return false;
    }
    setenv("DISPLAY", (":" + std::to_string(display)).c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    // no accessibility or session bus under Xvfb: GTK would only wait for them
    setenv("NO_AT_BRIDGE", "1", 1);
    setenv("GSETTINGS_BACKEND", "memory", 1);
    return true;
}

bool TakeScreenshot(Picture* picture, int x, int y, int width, int height)
{
    picture->width = width;
    picture->height = height;
    const std::string crop =
        std::to_string(width) + "x" + std::to_string(height) + "+" + std::to_string(x) + "+" + std::to_string(y);
    std::string bytes;
    // raw bytes, 4 a pixel; ImageMagick's complaints would land in them, so they go nowhere
    if (RunCommand("(import -window root -crop " + crop + " -depth 8 rgba:- 2>/dev/null)", &bytes) != 0 ||
        bytes.size() != static_cast<size_t>(picture->width) * picture->height * 4)
        return false;
    picture->rgba.assign(bytes.begin(), bytes.end());
    return true;
}
