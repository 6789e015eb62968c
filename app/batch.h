// Batch mode: the desktop's load, generate, write and reload path with no
// window, for scripts and machines without a display.
#pragma once

// True when the arguments ask for batch mode (any option starting with "--").
bool IsBatchCommandLine(int argc, char** argv);
// Runs batch mode; returns the exit status: 0 success, 1 the work failed,
// 2 a usage error.
int RunBatch(int argc, char** argv);
