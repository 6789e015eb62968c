// Xvfb started with -displayfd, so that parallel test processes never fight
// over a display number; the server dies with the test process.
#include "tests/support/xvfb_display.h"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

static pid_t ServerPid = 0;
static std::string DisplayName;

static void RunServer(int writeFd)
{
    // the server goes when the test process goes, even after a crash
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    std::string fd = std::to_string(writeFd);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset",
           static_cast<char*>(nullptr));
    _exit(127);
}

static std::string ReadDisplayNumber(int readFd)
{
    std::string number;
    for (;;) {
        pollfd waiting = {readFd, POLLIN, 0};
        if (poll(&waiting, 1, 15000) <= 0)
            return "";
        char c = 0;
        if (read(readFd, &c, 1) != 1)
            return "";
        if (c == '\n')
            return number;
        number.push_back(c);
    }
}

bool StartXvfb(std::string* error)
{
    if (ServerPid)
        return true;
    int fds[2];
    if (pipe(fds) != 0) {
        *error = "cannot make a pipe";
        return false;
    }
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        RunServer(fds[1]);
    }
    close(fds[1]);
    std::string number = pid > 0 ? ReadDisplayNumber(fds[0]) : "";
    close(fds[0]);
    if (number.empty()) {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        *error = "Xvfb did not start (is the xvfb package installed?)";
        return false;
    }
    ServerPid = pid;
    DisplayName = ":" + number;
    setenv("DISPLAY", DisplayName.c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    return true;
}

void StopXvfb()
{
    if (!ServerPid)
        return;
    kill(ServerPid, SIGTERM);
    waitpid(ServerPid, nullptr, 0);
    ServerPid = 0;
    DisplayName.clear();
}

const std::string& XvfbDisplayName()
{
    return DisplayName;
}

int RunOnDisplay(const std::string& command)
{
    std::string line = "DISPLAY=" + DisplayName + " " + command;
    int status = system(line.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
