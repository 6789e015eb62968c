// Offscreen OpenGL for the headless back end: a desktop GL context through
// EGL on Mesa's surfaceless platform, drawing into a pbuffer the size of the
// control it was created on. Without a GPU Mesa renders with llvmpipe.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/gl_library.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_internal.h"

// EGL is opened when the first context is made, so that a run which draws
// nothing loads no EGL library; after the table, each name stands for its entry.
// clang-format off
#define HEADLESS_EGL_FUNCTIONS(X) \
    X(eglBindAPI)                 \
    X(eglChooseConfig)            \
    X(eglCreateContext)           \
    X(eglCreatePbufferSurface)    \
    X(eglDestroyContext)          \
    X(eglDestroySurface)          \
    X(eglGetCurrentContext)       \
    X(eglGetDisplay)              \
    X(eglGetProcAddress)          \
    X(eglInitialize)              \
    X(eglMakeCurrent)             \
    X(eglReleaseThread)           \
    X(eglTerminate)
// clang-format on

static struct {
#define HEADLESS_EGL_ENTRY(name) decltype(&::name) name##Entry;
    HEADLESS_EGL_FUNCTIONS(HEADLESS_EGL_ENTRY)
#undef HEADLESS_EGL_ENTRY
} EGLLibrary = {};

#define eglBindAPI EGLLibrary.eglBindAPIEntry
#define eglChooseConfig EGLLibrary.eglChooseConfigEntry
#define eglCreateContext EGLLibrary.eglCreateContextEntry
#define eglCreatePbufferSurface EGLLibrary.eglCreatePbufferSurfaceEntry
#define eglDestroyContext EGLLibrary.eglDestroyContextEntry
#define eglDestroySurface EGLLibrary.eglDestroySurfaceEntry
#define eglGetCurrentContext EGLLibrary.eglGetCurrentContextEntry
#define eglGetDisplay EGLLibrary.eglGetDisplayEntry
#define eglGetProcAddress EGLLibrary.eglGetProcAddressEntry
#define eglInitialize EGLLibrary.eglInitializeEntry
#define eglMakeCurrent EGLLibrary.eglMakeCurrentEntry
#define eglReleaseThread EGLLibrary.eglReleaseThreadEntry
#define eglTerminate EGLLibrary.eglTerminateEntry

// Fills EGLLibrary from GLVND's libEGL; false when it or an entry is missing.
static bool OpenEGLLibrary()
{
    if (EGLLibrary.eglGetProcAddressEntry)
        return true;
    void* library = dlopen("libEGL.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return false;
    bool found = true;
#define HEADLESS_EGL_FETCH(name)                                                                                       \
    EGLLibrary.name##Entry = reinterpret_cast<decltype(EGLLibrary.name##Entry)>(dlsym(library, #name));                \
    found = found && EGLLibrary.name##Entry;
    HEADLESS_EGL_FUNCTIONS(HEADLESS_EGL_FETCH)
#undef HEADLESS_EGL_FETCH
    if (!found) {
        EGLLibrary = {};
        dlclose(library);
    }
    return found;
}

// A context of this back end; the program sees it only as a GLContextHandle.
struct HeadlessGLContext {
    EGLDisplay display;   // the surfaceless display
    EGLConfig config;     // the chosen frame buffer configuration
    EGLContext context;   // the GL context
    EGLSurface surface;   // pbuffer of the control's size
    int width, height;    // pbuffer size in pixels
    WindowHandle window;  // window of the control, null once it is gone
    int controlId;        // the control drawn into
    int swapCount;        // buffer swaps so far
};

static std::vector<HeadlessGLContext*> Contexts;
static EGLDisplay SharedDisplay = EGL_NO_DISPLAY;

static GLContextHandle HandleOf(HeadlessGLContext* context)
{
    return reinterpret_cast<GLContextHandle>(context);
}

// The live context behind a handle, or null.
static HeadlessGLContext* LiveContext(GLContextHandle handle)
{
    for (HeadlessGLContext* context : Contexts)
        if (handle && HandleOf(context) == handle)
            return context;
    return nullptr;
}

static EGLDisplay OpenDisplay()
{
    if (SharedDisplay != EGL_NO_DISPLAY)
        return SharedDisplay;
    if (!OpenEGLLibrary())
        return EGL_NO_DISPLAY;
    EGLDisplay display = EGL_NO_DISPLAY;
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (getPlatformDisplay)
        display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY)
        display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    if (display == EGL_NO_DISPLAY)
        return EGL_NO_DISPLAY;
    EGLint major = 0, minor = 0;
    if (!eglInitialize(display, &major, &minor))
        return EGL_NO_DISPLAY;
    SharedDisplay = display;
    return display;
}

static bool ChooseConfig(EGLDisplay display, const GLPixelFormatRequest& format, EGLConfig* config)
{
    // 8 bits per color channel; depth and stencil as close to the request as offered
    const EGLint attributes[] = {
        EGL_SURFACE_TYPE,
        EGL_PBUFFER_BIT,
        EGL_RENDERABLE_TYPE,
        EGL_OPENGL_BIT,
        EGL_RED_SIZE,
        8,
        EGL_GREEN_SIZE,
        8,
        EGL_BLUE_SIZE,
        8,
        EGL_DEPTH_SIZE,
        std::min(format.depthBits, 24),
        EGL_STENCIL_SIZE,
        std::min(format.stencilBits, 8),
        EGL_NONE,
    };
    EGLint count = 0;
    return eglChooseConfig(display, attributes, config, 1, &count) && count > 0;
}

static EGLSurface CreateSurface(HeadlessGLContext* context, int width, int height)
{
    const EGLint attributes[] = {EGL_WIDTH, std::max(width, 1), EGL_HEIGHT, std::max(height, 1), EGL_NONE};
    return eglCreatePbufferSurface(context->display, context->config, attributes);
}

static bool ControlSize(WindowHandle window, int controlId, int* width, int* height)
{
    HeadlessControl* control = FindHeadlessControl(window, controlId);
    if (!control)
        return false;
    *width = control->rect.right - control->rect.left;
    *height = control->rect.bottom - control->rect.top;
    return true;
}

static GLContextHandle CreateHeadlessGLContext(WindowHandle window, int controlId, const GLPixelFormatRequest& format)
{
    int width = 0, height = 0;
    if (!ControlSize(window, controlId, &width, &height))
        return nullptr;
    EGLDisplay display = OpenDisplay();
    if (display == EGL_NO_DISPLAY || !eglBindAPI(EGL_OPENGL_API))
        return nullptr;
    HeadlessGLContext* context = new HeadlessGLContext();
    context->display = display;
    context->window = window;
    context->controlId = controlId;
    context->swapCount = 0;
    context->context = EGL_NO_CONTEXT;
    context->surface = EGL_NO_SURFACE;
    if (ChooseConfig(display, format, &context->config))
        context->context = eglCreateContext(display, context->config, EGL_NO_CONTEXT, nullptr);
    if (context->context != EGL_NO_CONTEXT)
        context->surface = CreateSurface(context, width, height);
    if (context->surface == EGL_NO_SURFACE) {
        if (context->context != EGL_NO_CONTEXT)
            eglDestroyContext(display, context->context);
        delete context;
        return nullptr;
    }
    context->width = std::max(width, 1);
    context->height = std::max(height, 1);
    Contexts.push_back(context);
    return HandleOf(context);
}

static bool MakeHeadlessGLContextCurrent(GLContextHandle handle)
{
    HeadlessGLContext* context = LiveContext(handle);
    if (!handle) {
        if (SharedDisplay == EGL_NO_DISPLAY)
            return true;
        return eglMakeCurrent(SharedDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }
    if (!context)
        return false;
    return eglMakeCurrent(context->display, context->surface, context->surface, context->context);
}

static void DeleteHeadlessGLContext(GLContextHandle handle)
{
    HeadlessGLContext* context = LiveContext(handle);
    if (!context)
        return;
    if (eglGetCurrentContext() == context->context)
        eglMakeCurrent(context->display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroySurface(context->display, context->surface);
    eglDestroyContext(context->display, context->context);
    Contexts.erase(std::find(Contexts.begin(), Contexts.end(), context));
    delete context;
}

static bool SwapHeadlessGLBuffers(GLContextHandle handle)
{
    HeadlessGLContext* context = LiveContext(handle);
    if (!context)
        return false;
    // a pbuffer has one buffer: finishing the frame makes it readable
    if (eglGetCurrentContext() == context->context)
        glFinish();
    ++context->swapCount;
    return true;
}

static void* GetHeadlessGLProcAddress(const char* name)
{
    return EGLLibrary.eglGetProcAddressEntry ? reinterpret_cast<void*>(eglGetProcAddress(name)) : nullptr;
}

void AddHeadlessGLOps(PlatformOps* ops)
{
    ops->CreateGLContext = CreateHeadlessGLContext;
    ops->MakeGLContextCurrent = MakeHeadlessGLContextCurrent;
    ops->DeleteGLContext = DeleteHeadlessGLContext;
    ops->SwapGLBuffers = SwapHeadlessGLBuffers;
    ops->GetGLProcAddress = GetHeadlessGLProcAddress;
}

void ResizeHeadlessGLSurface(WindowHandle window, int controlId, int width, int height)
{
    for (HeadlessGLContext* context : Contexts) {
        if (context->window != window || context->controlId != controlId)
            continue;
        EGLSurface surface = CreateSurface(context, width, height);
        if (surface == EGL_NO_SURFACE)
            continue;
        bool current = eglGetCurrentContext() == context->context;
        if (current)
            eglMakeCurrent(context->display, surface, surface, context->context);
        eglDestroySurface(context->display, context->surface);
        context->surface = surface;
        context->width = std::max(width, 1);
        context->height = std::max(height, 1);
    }
}

void ForgetHeadlessGLWindow(WindowHandle window)
{
    for (HeadlessGLContext* context : Contexts)
        if (context->window == window)
            context->window = nullptr;
}

bool HeadlessReadPixels(GLContextHandle handle, std::vector<uint8_t>* rgba, int* width, int* height)
{
    HeadlessGLContext* context = LiveContext(handle);
    if (!context || !rgba)
        return false;
    if (eglGetCurrentContext() != context->context && !MakeHeadlessGLContextCurrent(handle))
        return false;
    size_t rowBytes = static_cast<size_t>(context->width) * 4;
    std::vector<uint8_t> bottomUp(rowBytes * context->height);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, context->width, context->height, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    rgba->resize(bottomUp.size());
    for (int row = 0; row < context->height; ++row)
        memcpy(rgba->data() + row * rowBytes, bottomUp.data() + (context->height - 1 - row) * rowBytes, rowBytes);
    *width = context->width;
    *height = context->height;
    return true;
}

GLContextHandle HeadlessFindGLContext(WindowHandle window, int controlId)
{
    for (HeadlessGLContext* context : Contexts)
        if (context->window == window && context->controlId == controlId)
            return HandleOf(context);
    return nullptr;
}

int HeadlessSwapCount(GLContextHandle handle)
{
    HeadlessGLContext* context = LiveContext(handle);
    return context ? context->swapCount : 0;
}

void HeadlessReleaseGL()
{
    if (SharedDisplay == EGL_NO_DISPLAY || !Contexts.empty())
        return;
    eglMakeCurrent(SharedDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglTerminate(SharedDisplay);
    eglReleaseThread();
    SharedDisplay = EGL_NO_DISPLAY;
}
