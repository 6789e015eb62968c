// The status line: the one channel through which the program tells the user
// how an operation went.
#pragma once

#include "platform/platform.h"

// Formats printf-style into 4096 bytes (longer text is cut) and makes it the
// whole text of the window's status line; nothing without a window.
void ReportMessage(WindowHandle window, const char* format, ...) __attribute__((format(printf, 2, 3)));
