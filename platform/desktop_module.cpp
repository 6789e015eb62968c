#include "platform/desktop_module.h"

#include <dlfcn.h>

#include <climits>
#include <cstring>

const char DesktopModuleFileName[] = "orvanel-desktop.so";
const char DesktopModuleEntryName[] = "OrvanelDesktopPlatformOps";

bool FindFileBesideExecutable(const char* fileName, std::string* path)
{
    char executable[PATH_MAX];
    if (!GetExecutablePath(executable, sizeof executable))
        return false;
    const char* slash = strrchr(executable, '/');
    if (!slash)
        return false;
    *path = std::string(executable, static_cast<size_t>(slash + 1 - executable)) + fileName;
    return true;
}

static std::string LoaderError(const std::string& path)
{
    const char* error = dlerror();
    return error ? error : path;
}

bool LoadDesktopModule(std::string* reason)
{
    std::string path;
    if (!FindFileBesideExecutable(DesktopModuleFileName, &path)) {
        *reason = "the program cannot find its own folder";
        return false;
    }
    // every symbol is bound now, so a module that does not fit this program
    // fails here, with the loader's reason, and not in the middle of a run
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        *reason = LoaderError(path);
        return false;
    }
    DesktopModuleEntry entry = reinterpret_cast<DesktopModuleEntry>(dlsym(module, DesktopModuleEntryName));
    const PlatformOps* ops = entry ? entry(sizeof(PlatformOps)) : nullptr;
    if (!ops) {
        *reason = entry ? path + ": made for another build of Orvanel" : LoaderError(path);
        dlclose(module);
        return false;
    }
    RegisterPlatform(PlatformDesktop, ops);
    return true;
}
