// GL contexts on the preview canvas: real pixels read back from the context
// and from a screenshot of the Xvfb screen taken by ImageMagick.
#include <GL/gl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/xvfb_display.h"
#include "tests/wx/wx_test_support.h"

bool TakeScreenshot(Screenshot* shot, std::string* error)
{
    char path[] = "/tmp/orvanel_wx_shotXXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) {
        *error = "cannot make a temporary file";
        return false;
    }
    close(fd);
    int status = RunOnDisplay(std::string("import -window root -depth 8 ppm:") + path);
    std::ifstream file(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    unlink(path);
    if (status != 0) {
        *error = "ImageMagick's import failed or is missing";
        return false;
    }
    int maximum = 0, consumed = 0;
    if (sscanf(bytes.c_str(), "P6 %d %d %d%n", &shot->width, &shot->height, &maximum, &consumed) != 3 ||
        maximum != 255) {
        *error = "the screenshot is not an 8-bit PPM";
        return false;
    }
    size_t start = static_cast<size_t>(consumed) + 1;  // one whitespace byte ends the header
    size_t need = static_cast<size_t>(shot->width) * shot->height * 3;
    if (need > bytes.size() - start) {
        *error = "the screenshot is truncated";
        return false;
    }
    shot->rgb.assign(bytes.begin() + start, bytes.begin() + start + need);
    return true;
}

static wxColour PixelAt(const Screenshot& shot, wxPoint point)
{
    const unsigned char* rgb = shot.rgb.data() + 3 * (static_cast<size_t>(point.y) * shot.width + point.x);
    return wxColour(rgb[0], rgb[1], rgb[2]);
}

// A current context on the main window's preview frame, its viewport the whole frame.
static GLContextHandle CurrentPreviewContext(WindowHandle window, PlatformRect* rect)
{
    GLContextHandle context = CreateGLContext(window, PreviewFrameControl, PreviewPixelFormat);
    EXPECT_NE(context, nullptr);
    EXPECT_TRUE(context && MakeGLContextCurrent(context));
    EXPECT_TRUE(GetControlRect(window, PreviewFrameControl, rect));
    glViewport(0, 0, rect->right - rect->left, rect->bottom - rect->top);
    return context;
}

static void ClearTo(float red, float green, float blue)
{
    glClearColor(red, green, blue, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

TEST_F(WxWindowTest, ContextOnThePreviewCanvasHasTheRequestedFormatAndClears)
{
    PlatformRect rect;
    GLContextHandle context = CurrentPreviewContext(window, &rect);
    ASSERT_NE(context, nullptr);
    GLint depth = 0, stencil = 0, red = 0;
    GLboolean doubled = GL_FALSE;
    glGetIntegerv(GL_DEPTH_BITS, &depth);
    glGetIntegerv(GL_STENCIL_BITS, &stencil);
    glGetIntegerv(GL_RED_BITS, &red);
    glGetBooleanv(GL_DOUBLEBUFFER, &doubled);
    EXPECT_GE(depth, 24);
    EXPECT_GE(stencil, 8);
    EXPECT_EQ(red, 8);
    EXPECT_EQ(doubled, GL_TRUE);
    EXPECT_NE(GetGLProcAddress("glActiveTextureARB"), nullptr);
    EXPECT_NE(GetGLProcAddress("glProgramStringARB"), nullptr);

    ClearTo(0.0f, 1.0f, 0.0f);
    unsigned char pixel[4] = {};
    glReadPixels((rect.right - rect.left) / 2, (rect.bottom - rect.top) / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(pixel[0], 0);
    EXPECT_EQ(pixel[1], 255);
    EXPECT_EQ(pixel[2], 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_TRUE(SwapGLBuffers(context));

    EXPECT_TRUE(MakeGLContextCurrent(nullptr));
    DeleteGLContext(context);
}

TEST_F(WxWindowTest, ScreenshotShowsTheWindowWithItsPreview)
{
    PlatformRect rect;
    GLContextHandle context = CurrentPreviewContext(window, &rect);
    ASSERT_NE(context, nullptr);
    PumpWxEvents(200);  // let the window map and paint
    ClearTo(1.0f, 0.0f, 1.0f);
    ASSERT_TRUE(SwapGLBuffers(context));
    glFinish();

    wxPoint origin = WxPanelOf(window)->ClientToScreen(wxPoint(0, 0));
    wxPoint inside = origin + wxPoint((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    wxPoint panel = origin + wxPoint(rect.left + 2, rect.top - 3);  // between the label and the frame
    Screenshot shot;
    std::string error;
    ASSERT_TRUE(TakeScreenshot(&shot, &error)) << error;
    EXPECT_EQ(shot.width, 1280);
    EXPECT_EQ(shot.height, 1024);
    EXPECT_EQ(PixelAt(shot, inside), wxColour(255, 0, 255));
    EXPECT_EQ(PixelAt(shot, origin + wxPoint(rect.left + 1, rect.top + 1)), wxColour(255, 0, 255));
    // the panel around the preview shows the toolkit's window background, not the preview
    EXPECT_NE(PixelAt(shot, panel), wxColour(255, 0, 255));
    EXPECT_EQ(PixelAt(shot, panel), PixelAt(shot, panel + wxPoint(1, 0)));

    MakeGLContextCurrent(nullptr);
    DeleteGLContext(context);
}

TEST_F(WxTest, ContextsNeedAFrameControlAndDieWithTheirWindow)
{
    RecordingDialog* dialog = new RecordingDialog();
    ASSERT_TRUE(dialog->Create());
    EXPECT_EQ(CreateGLContext(dialog->Window(), GenerateButtonControl, PreviewPixelFormat), nullptr);
    EXPECT_EQ(CreateGLContext(dialog->Window(), 4242, PreviewPixelFormat), nullptr);
    EXPECT_EQ(CreateGLContext(nullptr, PreviewFrameControl, PreviewPixelFormat), nullptr);

    GLContextHandle context = CreateGLContext(dialog->Window(), PreviewFrameControl, PreviewPixelFormat);
    ASSERT_NE(context, nullptr);
    ASSERT_TRUE(MakeGLContextCurrent(context));
    // destroying the window releases the context; the handle stays until deleted
    delete dialog;
    EXPECT_FALSE(MakeGLContextCurrent(context));
    EXPECT_FALSE(SwapGLBuffers(context));
    DeleteGLContext(context);
}

TEST_F(WxWindowTest, CanvasIsMadeOnceInThePreviewFormatAndKeepsIt)
{
    wxWindow* canvas = WxControlOf(window, PreviewFrameControl);
    GLContextHandle context = CreateGLContext(window, PreviewFrameControl, PreviewPixelFormat);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(WxControlOf(window, PreviewFrameControl), canvas);
    const GLPixelFormatRequest noStencil = {24, 16, 0, true};
    EXPECT_EQ(CreateGLContext(window, PreviewFrameControl, noStencil), nullptr);
    EXPECT_EQ(WxControlOf(window, PreviewFrameControl), canvas);
    DeleteGLContext(context);
}

// The shell makes its context current during OnInitDialog, before the window is shown.
class InitGLDialog : public RecordingDialog {
public:
    bool OnInitDialog() override
    {
        context = CreateGLContext(Window(), PreviewFrameControl, PreviewPixelFormat);
        current = context && MakeGLContextCurrent(context);
        if (current) {
            ClearTo(0.0f, 0.0f, 1.0f);
            glReadPixels(4, 4, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
        }
        return true;
    }
    GLContextHandle context = nullptr;  // made on the preview frame
    bool current = false;               // MakeGLContextCurrent succeeded
    unsigned char pixel[4] = {};        // read back after the clear
};

TEST_F(WxTest, ContextWorksDuringOnInitDialog)
{
    InitGLDialog dialog;
    ASSERT_TRUE(dialog.Create());
    ASSERT_NE(dialog.context, nullptr);
    EXPECT_TRUE(dialog.current);
    EXPECT_EQ(dialog.pixel[0], 0);
    EXPECT_EQ(dialog.pixel[1], 0);
    EXPECT_EQ(dialog.pixel[2], 255);
    EXPECT_TRUE(IsPlatformWindowVisible(dialog.Window()));
    MakeGLContextCurrent(nullptr);
    DeleteGLContext(dialog.context);
}
