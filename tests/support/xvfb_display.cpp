// Xvfb started with -displayfd, so that parallel test processes never fight
// over a display number; the server dies with the test process.
#include "tests/support/xvfb_display.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "tests/support/test_files.h"

static pid_t ServerPid = 0;

bool StartXvfb(std::string* error)
{
    int fds[2];
    if (ServerPid || pipe(fds) != 0)
        return ServerPid != 0;
    pid_t pid = fork();
    if (pid == 0) {
        // the server goes when the test process goes, even after a crash
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        close(fds[0]);
        std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0",
               (std::to_string(ScreenWidth) + "x" + std::to_string(ScreenHeight) + "x24").c_str(), "-nolisten", "tcp",
               "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    // the server writes its display number once it takes connections; a server that fails closes the pipe
    FILE* reply = fdopen(fds[0], "r");
    int number = -1;
    if (!reply || fscanf(reply, "%d", &number) != 1 || pid < 0) {
        *error = "Xvfb did not start (is the xvfb package installed?)";
        ServerPid = pid > 0 ? pid : 0;
        StopXvfb();
    } else {
        ServerPid = pid;
        setenv("DISPLAY", (":" + std::to_string(number)).c_str(), 1);
        unsetenv("WAYLAND_DISPLAY");
        // no accessibility or session bus under Xvfb: GTK would only wait for them
        setenv("NO_AT_BRIDGE", "1", 1);
        setenv("GSETTINGS_BACKEND", "memory", 1);
    }
    reply ? fclose(reply) : close(fds[0]);
    return ServerPid != 0;
}

void StopXvfb()
{
    if (ServerPid) {
        kill(ServerPid, SIGTERM);
        waitpid(ServerPid, nullptr, 0);
    }
    ServerPid = 0;
}

bool TakeScreenshot(Picture* picture, int x, int y, int width, int height)
{
    picture->width = width > 0 ? width : ScreenWidth;
    picture->height = width > 0 ? height : ScreenHeight;
    const std::string crop = std::to_string(picture->width) + "x" + std::to_string(picture->height) + "+" +
        std::to_string(x) + "+" + std::to_string(y);
    std::string bytes;
    // raw bytes, 4 a pixel; ImageMagick's complaints would land in them, so they go nowhere
    if (RunCommand("(import -window root -crop " + crop + " -depth 8 rgba:- 2>/dev/null)", &bytes) != 0 ||
        bytes.size() != static_cast<size_t>(picture->width) * picture->height * 4)
        return false;
    picture->rgba.assign(bytes.begin(), bytes.end());
    return true;
}
