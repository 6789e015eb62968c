// An Xvfb server of the test process's own, on a display number the server
// picks itself, so that test processes running side by side never meet.
#pragma once

#include <string>

// Starts Xvfb (1280x1024x24) and points DISPLAY at it. False, with the
// reason in `error`, when Xvfb is missing or does not come up.
bool StartPrivateXvfb(std::string* error);
// Stops the server; nothing when none runs.
void StopPrivateXvfb();
// ":N" of the running server, "" when none.
const std::string& PrivateDisplayName();
