// The real executable, copied with the files it reads into a folder of the
// test's own: the program writes orvanel.cfg beside itself, and the build's
// own copy must never be touched.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

struct ProgramCopy {
    std::string dir;  // temporary folder holding orvanel, its desktop module, assets/ and fp/
    pid_t pid;        // the running copy, 0 when none
};

// Makes the folder and copies the executable, its desktop module, assets/ and fp/ into it.
bool MakeProgramCopy(ProgramCopy* copy, std::string* error);
// Stops the copy if it still runs, then removes the folder.
void RemoveProgramCopy(ProgramCopy* copy);
// Starts dir/orvanel with the arguments in the folder, standard output and
// error going to dir/output.txt.
bool StartProgram(ProgramCopy* copy, const std::vector<std::string>& arguments);
// Waits for the running copy to end: its exit status, or -1 when it was
// killed by a signal, or when it had not ended after timeoutMs (it is then
// killed).
int WaitForProgramExit(ProgramCopy* copy, int timeoutMs);
// What the program wrote on standard output and error so far.
std::string ProgramOutput(const ProgramCopy& copy);

// Runs a shell command line on $DISPLAY: its exit status, -1 when it did not
// exit normally; its standard output in `output` when given.
int RunCommand(const std::string& command, std::string* output = nullptr);
std::string ReadWholeFile(const std::string& path);
// Size in bytes, -1 when the file does not exist.
long long FileSize(const std::string& path);
