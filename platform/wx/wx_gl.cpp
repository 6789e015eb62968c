// GL on the wxWidgets back end: the preview canvas of a frame control, made
// once with the window in PreviewPixelFormat, and the wxGLContexts drawn into
// it. A context outlives its window only as an empty handle that
// DeleteGLContext frees.
#include <algorithm>

#include "platform/wx/wx_internal.h"

struct PlatformGLContext {
    WindowHandle window;   // window of the canvas, null once it is gone
    int controlId;         // the frame control drawn into
    wxGLCanvas* canvas;    // the canvas, null once the window is gone
    wxGLContext* context;  // the toolkit's context, null once the window is gone
};

static std::vector<PlatformGLContext*> Contexts;
static PlatformGLContext* Current = nullptr;

// ---------------------------------------------------------------------------
// The canvas

static wxGLAttributes CanvasAttributes(const GLPixelFormatRequest& format, int stencilBits)
{
    int channel = std::max(1, std::min(8, format.colorBits / 3));
    wxGLAttributes attributes;
    attributes.PlatformDefaults().RGBA().MinRGBA(channel, channel, channel, 0).Depth(format.depthBits);
    if (stencilBits > 0)
        attributes.Stencil(stencilBits);
    if (format.doubleBuffer)
        attributes.DoubleBuffer();
    attributes.EndList();
    return attributes;
}

// The closest offer, as the desktop's pixel format choice makes it: the
// stencil as asked or the largest smaller one offered (a driver that has 8
// bits answers no to 16), then none, then the driver's default format.
static bool ChooseCanvasAttributes(const GLPixelFormatRequest& format, wxGLAttributes* chosen)
{
    for (int stencilBits = format.stencilBits; stencilBits >= 0; stencilBits /= 2) {
        *chosen = CanvasAttributes(format, stencilBits);
        if (wxGLCanvas::IsDisplaySupported(*chosen))
            return true;
        if (stencilBits == 0)
            break;
    }
    *chosen = wxGLAttributes();
    chosen->Defaults().EndList();
    return wxGLCanvas::IsDisplaySupported(*chosen);
}

wxWindow* CreatePreviewCanvas(wxWindow* parent, int id, const wxPoint& position, const wxSize& size)
{
    wxGLAttributes attributes;
    if (!ChooseCanvasAttributes(PreviewPixelFormat, &attributes)) {
        // no GL on this display: a black frame stands in, and context creation fails
        wxWindow* frame = new wxWindow(parent, id, position, size, wxBORDER_SIMPLE);
        frame->SetBackgroundColour(*wxBLACK);
        return frame;
    }
    wxGLCanvas* canvas = new wxGLCanvas(parent, attributes, id, position, size, wxFULL_REPAINT_ON_RESIZE);
    // the frame timer draws the preview; painting validates the area and tells the window
    canvas->Bind(wxEVT_PAINT, [canvas](wxPaintEvent&) {
        wxPaintDC validate(canvas);
        if (auto* frame = dynamic_cast<wxTopLevelWindow*>(wxGetTopLevelParent(canvas)))
            Paint(frame);
    });
    canvas->Bind(wxEVT_ERASE_BACKGROUND, [](wxEraseEvent&) {});
    return canvas;
}

// ---------------------------------------------------------------------------
// Contexts

static bool IsLiveContext(GLContextHandle context)
{
    return context && std::find(Contexts.begin(), Contexts.end(), context) != Contexts.end();
}

static bool SameFormat(const GLPixelFormatRequest& a, const GLPixelFormatRequest& b)
{
    return a.colorBits == b.colorBits && a.depthBits == b.depthBits && a.stencilBits == b.stencilBits &&
        a.doubleBuffer == b.doubleBuffer;
}

static GLContextHandle CreateGLContextOp(WindowHandle window, int controlId, const GLPixelFormatRequest& format)
{
    WxControl* control = FindWxControl(window, controlId);
    // the canvas's pixel format was fixed when it was made
    if (!control || control->kind != ControlFrame || !SameFormat(format, PreviewPixelFormat))
        return nullptr;
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

static bool MakeGLContextCurrentOp(GLContextHandle context)
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

static void DeleteGLContextOp(GLContextHandle context)
{
    if (!IsLiveContext(context))
        return;
    ReleaseContext(context);
    Contexts.erase(std::find(Contexts.begin(), Contexts.end(), context));
    delete context;
}

static bool SwapGLBuffersOp(GLContextHandle context)
{
    if (!IsLiveContext(context) || !context->canvas || !context->canvas->IsShownOnScreen())
        return false;
    return context->canvas->SwapBuffers();
}

static void* GetGLProcAddressOp(const char* name)
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
        DeleteGLContextOp(Contexts.front());
}

void AddWxGLOps(PlatformOps* ops)
{
    ops->CreateGLContext = CreateGLContextOp;
    ops->MakeGLContextCurrent = MakeGLContextCurrentOp;
    ops->DeleteGLContext = DeleteGLContextOp;
    ops->SwapGLBuffers = SwapGLBuffersOp;
    ops->GetGLProcAddress = GetGLProcAddressOp;
}
