// An Xvfb server of the suite's own: started once per test process on a free
// display number that the server picks itself, stopped at the end.
#pragma once

#include <string>

// Starts Xvfb (1280x1024x24) and points DISPLAY at it. False, with the reason
// in `error`, when Xvfb is missing or does not come up.
bool StartXvfb(std::string* error);
void StopXvfb();
// ":N" of the running server, "" when none.
const std::string& XvfbDisplayName();
// Runs a command line through /bin/sh with DISPLAY set; returns its exit status.
int RunOnDisplay(const std::string& command);
