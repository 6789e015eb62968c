// The heightmap named on the command line.
#pragma once

#include <cstddef>

// The desktop rule for a raw command line (without the program's name): a
// path in double quotes at its very start, up to the next quote, the end of
// the string or size - 1 characters. Anything else names no file. Returns
// whether a path was taken into `path`.
bool TakeQuotedCommandLinePath(const char* commandLine, char* path, size_t size);

// Where the shell has already split the arguments and removed the quotes
// (Linux, macOS), the first argument is the path. False when there is none or
// it does not fit: a cut path would name another file.
bool TakeArgumentPath(int argc, char** argv, char* path, size_t size);
