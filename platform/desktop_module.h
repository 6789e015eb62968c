// The desktop back end (wxWidgets, and GTK under it) lives in a module beside
// the executable, loaded only when the desktop program runs: batch mode,
// --info, --help and --version never load the toolkit's libraries.
#pragma once

#include <cstddef>
#include <string>

#include "platform/platform_ops.h"

// The module's file name; it lies in the executable's folder.
extern const char DesktopModuleFileName[];

// The one function the module exports, under DesktopModuleEntryName: its
// operations table, or null when `opsSize` is not the size of its own table
// (a module of another build of the program).
typedef const PlatformOps* (*DesktopModuleEntry)(size_t opsSize);
extern const char DesktopModuleEntryName[];

// The executable's folder and fileName, where the program's modules lie; false when the
// executable's own path is unknown.
bool FindFileBesideExecutable(const char* fileName, std::string* path);

// Loads the module and registers its back end for
// SelectPlatform(PlatformDesktop). False when the module is missing or
// cannot be loaded, with the loader's reason in `reason`. A loaded module
// stays for the life of the process.
bool LoadDesktopModule(std::string* reason);
