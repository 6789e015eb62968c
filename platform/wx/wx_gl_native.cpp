// The operating system's GL binding under wxGLCanvas: entry points by name and
// releasing the current context, which wxWidgets does not offer. Kept apart
// from the wx sources so that the binding's headers meet no toolkit header.
#include <wx/platform.h>
#include <wx/setup.h>

#if defined(_WIN32)
#include <windows.h>
#elif defined(__APPLE__)
#include <OpenGL/OpenGL.h>
#include <dlfcn.h>
#elif wxUSE_GLCANVAS_EGL
#include <EGL/egl.h>
#else
#include <GL/glx.h>
#endif

void* NativeGLProcAddress(const char* name)
{
#if defined(_WIN32)
    // core 1.1 functions are not returned by wglGetProcAddress; they live in the DLL
    PROC proc = wglGetProcAddress(name);
    if (!proc)
        proc = GetProcAddress(GetModuleHandleA("opengl32.dll"), name);
    return reinterpret_cast<void*>(proc);
#elif defined(__APPLE__)
    return dlsym(RTLD_DEFAULT, name);
#elif wxUSE_GLCANVAS_EGL
    return reinterpret_cast<void*>(eglGetProcAddress(name));
#else
    return reinterpret_cast<void*>(glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name)));
#endif
}

void ReleaseNativeGLContext()
{
#if defined(_WIN32)
    wglMakeCurrent(nullptr, nullptr);
#elif defined(__APPLE__)
    CGLSetCurrentContext(nullptr);
#elif wxUSE_GLCANVAS_EGL
    EGLDisplay display = eglGetCurrentDisplay();
    if (display != EGL_NO_DISPLAY)
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
#else
    if (Display* display = glXGetCurrentDisplay())
        glXMakeCurrent(display, None, nullptr);
#endif
}
