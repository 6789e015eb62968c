#include "tests/desktop/program_copy.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

bool MakeProgramCopy(ProgramCopy* copy, std::string* error)
{
    char pattern[] = "/tmp/orvanel-desktop-XXXXXX";
    if (!mkdtemp(pattern)) {
        *error = "cannot make a temporary folder";
        return false;
    }
    copy->dir = pattern;
    copy->pid = 0;
    const std::string runtime = ORVANEL_RUNTIME_DIR;
    const std::string command = "cp '" ORVANEL_EXECUTABLE "' '" + copy->dir + "/orvanel' && cp -R '" + runtime +
        "/orvanel-desktop.so' '" + runtime + "/assets' '" + runtime + "/fp' '" + copy->dir + "/'";
    if (RunCommand(command) != 0) {
        *error = "cannot copy the program from " + runtime;
        return false;
    }
    return true;
}

void RemoveProgramCopy(ProgramCopy* copy)
{
    if (copy->pid)
        WaitForProgramExit(copy, 0);
    if (!copy->dir.empty())
        RunCommand("rm -rf '" + copy->dir + "'");
    copy->dir.clear();
}

bool StartProgram(ProgramCopy* copy, const std::vector<std::string>& arguments)
{
    const std::string program = copy->dir + "/orvanel";
    const std::string output = copy->dir + "/output.txt";
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || chdir(copy->dir.c_str()) != 0)
            _exit(126);
        // the user's own configuration folder is never read or written by a test
        setenv("XDG_CONFIG_HOME", (copy->dir + "/config").c_str(), 1);
        dup2(fd, 1);
        dup2(fd, 2);
        close(fd);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    copy->pid = pid;
    return true;
}

int WaitForProgramExit(ProgramCopy* copy, int timeoutMs)
{
    if (!copy->pid)
        return -1;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    pid_t ended = 0;
    while ((ended = waitpid(copy->pid, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (ended == 0) {
        kill(copy->pid, SIGKILL);
        waitpid(copy->pid, &status, 0);
        copy->pid = 0;
        return -1;
    }
    copy->pid = 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ProgramOutput(const ProgramCopy& copy)
{
    return ReadWholeFile(copy.dir + "/output.txt");
}

int RunCommand(const std::string& command, std::string* output)
{
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return -1;
    char buffer[4096];
    size_t count = 0;
    while ((count = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        if (output)
            output->append(buffer, count);
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

long long FileSize(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
}
