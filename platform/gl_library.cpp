#include "platform/gl_library.h"

#include <dlfcn.h>

GLFunctionTable GLLibrary = {};

// Each entry from the library; false at the first one missing.
static bool FillTable(void* library, GLFunctionTable* table)
{
    bool found = true;
#define ORVANEL_GL_FETCH(name)                                                                                         \
    table->name##Entry = reinterpret_cast<decltype(table->name##Entry)>(dlsym(library, #name));                        \
    found = found && table->name##Entry;
    ORVANEL_GL_FUNCTIONS(ORVANEL_GL_FETCH)
#undef ORVANEL_GL_FETCH
    return found;
}

bool OpenGLLibrary()
{
    if (GLLibrary.glBeginEntry)
        return true;
    // GLVND's GL without the window-system part; older systems have only libGL
    void* library = dlopen("libOpenGL.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!library)
        library = dlopen("libGL.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return false;
    GLFunctionTable table = {};
    if (!FillTable(library, &table)) {
        dlclose(library);
        return false;
    }
    GLLibrary = table;
    return true;
}
