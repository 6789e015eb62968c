// Xvfb is told to write its display number on a pipe (-displayfd) once it
// accepts connections: no guessed numbers, no polling for a socket.
#include "tests/desktop/private_xvfb.h"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

static pid_t ServerPid = 0;
static std::string DisplayName;

// Xvfb writes the number and a newline; a server that has not answered
// within this many milliseconds is taken as not starting.
static const int ServerStartTimeoutMs = 15000;

static void ExecServer(int writeFd)
{
    // the server goes when the test process goes, even after a crash
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    std::string fd = std::to_string(writeFd);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
           "-noreset", static_cast<char*>(nullptr));
    _exit(127);
}

static std::string ReadDisplayNumber(int readFd)
{
    std::string number;
    for (;;) {
        pollfd waiting = {readFd, POLLIN, 0};
        if (poll(&waiting, 1, ServerStartTimeoutMs) <= 0)
            return "";
        char c = 0;
        if (read(readFd, &c, 1) != 1)
            return "";
        if (c == '\n')
            return number;
        number.push_back(c);
    }
}

bool StartPrivateXvfb(std::string* error)
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
        ExecServer(fds[1]);
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

void StopPrivateXvfb()
{
    if (!ServerPid)
        return;
    kill(ServerPid, SIGTERM);
    waitpid(ServerPid, nullptr, 0);
    ServerPid = 0;
    DisplayName.clear();
}

const std::string& PrivateDisplayName()
{
    return DisplayName;
}
