// GL contexts of the wxWidgets back end: a wxGLContext on the preview canvas
// of a frame control. A context outlives its window only as an empty handle
// that DeleteGLContext frees.
#include <algorithm>

#include "platform/platform_ops.h"
#include "platform/wx/wx_internal.h"

struct PlatformGLContext {
    WindowHandle window;   // window of the canvas, null once it is gone
    int controlId;         // the frame control drawn into
    wxGLCanvas* canvas;    // the canvas, null once the window is gone
    wxGLContext* context;  // the toolkit's context, null once the window is gone
};

static std::vector<PlatformGLContext*> Contexts;
static PlatformGLContext* Current = nullptr;

static bool IsLiveContext(GLContextHandle context)
{
    return context && std::find(Contexts.begin(), Contexts.end(), context) != Contexts.end();
}

static bool SameFormat(const GLPixelFormatRequest& a, const GLPixelFormatRequest& b)
{
    return a.colorBits == b.colorBits && a.depthBits == b.depthBits && a.stencilBits == b.stencilBits &&
        a.doubleBuffer == b.doubleBuffer;
}

bool HasWxGLContext(WindowHandle window, int controlId)
{
    for (PlatformGLContext* context : Contexts)
        if (context->window == window && context->controlId == controlId)
            return true;
    return false;
}

GLContextHandle CreateWxGLContext(WindowHandle window, int controlId, const GLPixelFormatRequest& format)
{
    WxControl* control = FindWxControl(window, controlId);
    if (!control || control->kind != ControlFrame)
        return nullptr;
    // a canvas's pixel format is fixed when it is made: another request gets a new canvas
    if (!SameFormat(control->glFormat, format) && !HasWxGLContext(window, controlId))
        ReplacePreviewCanvas(window, *control, format);
    wxGLCanvas* canvas = dynamic_cast<wxGLCanvas*>(control->widget);
    if (!canvas)
        return nullptr;
    wxGLContext* glContext = new wxGLContext(canvas);
    if (!glContext->IsOK()) {
        delete glContext;
        return nullptr;
    }
    Contexts.push_back(new PlatformGLContext{window, controlId, canvas, glContext});
    return Contexts.back();
}

// The toolkit can only bind a context to a canvas that is on screen.
static bool CanvasReady(PlatformGLContext* context)
{
    if (!context->canvas)
        return false;
    wxTopLevelWindow* frame = context->window->frame;
    if (!frame->IsShown() && (context->window->source->style & WindowVisible))
        frame->Show();  // it is about to be shown anyway; GL needs it now
    return context->canvas->IsShownOnScreen();
}

bool MakeWxGLContextCurrent(GLContextHandle context)
{
    if (!context) {
        ReleaseNativeGLContext();
        Current = nullptr;
        return true;
    }
    if (!IsLiveContext(context) || !CanvasReady(context))
        return false;
    if (!context->context->SetCurrent(*context->canvas))
        return false;
    Current = context;
    return true;
}

static void ReleaseContext(PlatformGLContext* context)
{
    if (Current == context) {
        ReleaseNativeGLContext();
        Current = nullptr;
    }
    delete context->context;
    context->context = nullptr;
    context->canvas = nullptr;
    context->window = nullptr;
}

void DeleteWxGLContext(GLContextHandle context)
{
    if (!IsLiveContext(context))
        return;
    ReleaseContext(context);
    Contexts.erase(std::find(Contexts.begin(), Contexts.end(), context));
    delete context;
}

bool SwapWxGLBuffers(GLContextHandle context)
{
    if (!IsLiveContext(context) || !context->canvas || !context->canvas->IsShownOnScreen())
        return false;
    return context->canvas->SwapBuffers();
}

void* GetWxGLProcAddress(const char* name)
{
    return name ? NativeGLProcAddress(name) : nullptr;
}

void ForgetWxGLWindow(WindowHandle window)
{
    for (PlatformGLContext* context : Contexts)
        if (context->window == window)
            ReleaseContext(context);
}

void DeleteAllWxGLContexts()
{
    while (!Contexts.empty())
        DeleteWxGLContext(Contexts.front());
}
