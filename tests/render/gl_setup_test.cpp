// The preview's GL context, status messages, viewport, projection, default
// state and the fragment program, on a real Mesa context.
#include <GL/gl.h>
#include <GL/glext.h>

#include <fstream>

#include "tests/render/render_fixture.h"

namespace {

const char* const SuccessMessage = "OpenGL initialization successful.";
const char* const NoProgramMessage = "Hardware does not support fp1.0, ppl functions unavailable.";

TEST_F(RenderTest, PixelFormatAsksForRgbaDepthStencilDoubleBuffer)
{
    EXPECT_EQ(PreviewPixelFormat.colorBits, 32);
    EXPECT_EQ(PreviewPixelFormat.depthBits, 24);
    EXPECT_EQ(PreviewPixelFormat.stencilBits, 16);
    EXPECT_TRUE(PreviewPixelFormat.doubleBuffer);
}

TEST_F(RenderTest, FirstSetupCreatesContextOnPreviewFrameAndReportsSuccess)
{
    StartPreview();
    EXPECT_EQ(StatusLine(), SuccessMessage);
    EXPECT_TRUE(FragmentProgramAvailable);
    EXPECT_EQ(PreviewWindow, Window());
    EXPECT_EQ(PreviewControlId, 1004);
    ASSERT_NE(PreviewGLContext, nullptr);
    EXPECT_EQ(PreviewGLContext, HeadlessFindGLContext(Window(), 1004));
    EXPECT_GE(MaxTextureUnits, 4);
    EXPECT_NE(StdLightProgramId, 0u);
    EXPECT_NE(GLExtensions.programString, nullptr);
    EXPECT_NE(GLExtensions.bindProgram, nullptr);
    EXPECT_NE(GLExtensions.deletePrograms, nullptr);
    EXPECT_NE(GLExtensions.genPrograms, nullptr);
    EXPECT_NE(GLExtensions.multiTexCoord2i, nullptr);
    EXPECT_NE(GLExtensions.multiTexCoord3f, nullptr);
    EXPECT_NE(GLExtensions.multiTexCoord3fv, nullptr);
    EXPECT_NE(GLExtensions.multiTexCoord2fv, nullptr);
    EXPECT_NE(GLExtensions.activeTexture, nullptr);
    EXPECT_NE(GLExtensions.clientActiveTexture, nullptr);
    EXPECT_NE(GLExtensions.texImage3D, nullptr);
    auto getProgramiv = reinterpret_cast<PFNGLGETPROGRAMIVARBPROC>(GetGLProcAddress("glGetProgramivARB"));
    ASSERT_NE(getProgramiv, nullptr);
    GLint bound = 0;
    getProgramiv(GL_FRAGMENT_PROGRAM_ARB, GL_PROGRAM_BINDING_ARB, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), StdLightProgramId);
}

TEST_F(RenderTest, LaterSetupKeepsContextAndStatusLine)
{
    StartPreview();
    GLContextHandle first = PreviewGLContext;
    SetControlText(Window(), 1008, "unchanged");
    EXPECT_TRUE(SetupPreviewGL(*dialog));
    EXPECT_EQ(PreviewGLContext, first);
    EXPECT_EQ(StatusLine(), "unchanged");
}

TEST_F(RenderTest, ViewportAndProjectionFollowThePreviewFrame)
{
    StartPreview();
    PlatformRect rect;
    ASSERT_TRUE(GetControlRect(Window(), 1004, &rect));
    EXPECT_EQ(ViewportWidth, rect.right - rect.left);
    EXPECT_EQ(ViewportHeight, rect.bottom - rect.top);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], 0);
    EXPECT_EQ(viewport[1], 0);
    EXPECT_EQ(viewport[2], ViewportWidth);
    EXPECT_EQ(viewport[3], ViewportHeight);

    // glFrustum of a 45 degree vertical field of view, near 16, far 32768
    GLfloat m[16];
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    double f = 1.0 / std::tan(22.5 * 3.14159265358979323846 / 180.0);
    double aspect = static_cast<float>(ViewportWidth) / static_cast<float>(ViewportHeight);
    EXPECT_NEAR(m[0], f / aspect, 1e-5);
    EXPECT_NEAR(m[5], f, 1e-5);
    EXPECT_NEAR(m[10], -(32768.0 + 16.0) / (32768.0 - 16.0), 1e-6);
    EXPECT_NEAR(m[11], -1.0, 1e-7);
    EXPECT_NEAR(m[14], -2.0 * 32768.0 * 16.0 / (32768.0 - 16.0), 1e-3);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(m[i], i % 5 == 0 ? 1.0f : 0.0f);
}

TEST_F(RenderTest, ResizedFrameGetsNewViewportAndAspect)
{
    StartPreview();
    ASSERT_TRUE(SetControlSize(Window(), 1004, 800, 600));
    EXPECT_TRUE(SetupPreviewGL(*dialog));
    EXPECT_EQ(ViewportWidth, 800);
    EXPECT_EQ(ViewportHeight, 600);
    GLfloat m[16];
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    EXPECT_NEAR(m[5] / m[0], 800.0 / 600.0, 1e-5);
}

TEST_F(RenderTest, ZeroSizedFrameGetsOnePixelViewport)
{
    StartPreview();
    ASSERT_TRUE(SetControlSize(Window(), 1004, 0, 0));
    EXPECT_TRUE(SetupPreviewGL(*dialog));
    EXPECT_EQ(ViewportWidth, 1);
    EXPECT_EQ(ViewportHeight, 1);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 1);
    EXPECT_EQ(viewport[3], 1);
    GLfloat m[16];
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    EXPECT_NEAR(m[0], m[5], 1e-6);  // aspect 1
}

TEST_F(RenderTest, DefaultStateAfterSetup)
{
    StartPreview(0.25f, 0.5f, 0.75f);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    GLint value = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &value);
    EXPECT_EQ(value, GL_LEQUAL);
    glGetIntegerv(GL_SHADE_MODEL, &value);
    EXPECT_EQ(value, GL_SMOOTH);
    glGetIntegerv(GL_PERSPECTIVE_CORRECTION_HINT, &value);
    EXPECT_EQ(value, GL_NICEST);
    GLfloat depth = 0.0f;
    glGetFloatv(GL_DEPTH_CLEAR_VALUE, &depth);
    EXPECT_EQ(depth, 1.0f);
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0], 0.25f);
    EXPECT_EQ(clear[1], 0.5f);
    EXPECT_EQ(clear[2], 0.75f);
    EXPECT_EQ(clear[3], 1.0f);
}

TEST_F(RenderTest, ResizeReappliesBackgroundColour)
{
    StartPreview();
    GenerationSettings.backgroundColor[0] = 1.0f;
    GenerationSettings.backgroundColor[1] = 0.0f;
    GenerationSettings.backgroundColor[2] = 0.5f;
    EXPECT_TRUE(SetupPreviewGL(*dialog));
    Picture picture = DrawFrame();
    ASSERT_GT(picture.width, 0);
    const uint8_t* p = picture.At(picture.width / 2, picture.height / 2);
    EXPECT_EQ(p[0], 255);
    EXPECT_EQ(p[1], 0);
    EXPECT_NEAR(p[2], 128, 1);
}

TEST_F(RenderTest, WindowWithoutPreviewFrameChangesNothing)
{
    MainDialog notCreated;  // its window does not exist
    EXPECT_FALSE(SetupPreviewGL(notCreated));
    EXPECT_EQ(PreviewWindow, nullptr);
    EXPECT_EQ(PreviewGLContext, nullptr);
    EXPECT_TRUE(FragmentProgramAvailable);
}

TEST_F(RenderTest, ReleaseDeletesTheContext)
{
    StartPreview();
    ASSERT_NE(HeadlessFindGLContext(Window(), 1004), nullptr);
    ReleasePreviewGL();
    EXPECT_EQ(PreviewGLContext, nullptr);
    EXPECT_EQ(HeadlessFindGLContext(Window(), 1004), nullptr);
    ReleasePreviewGL();  // harmless twice
    // later resizes keep working on the window without drawing anywhere
    EXPECT_TRUE(SetupPreviewGL(*dialog));
}

// Writes `bytes` as a program file and compiles it on the preview's context.
class FragmentProgramTest : public RenderTest {
protected:
    bool Compile(const std::string& bytes)
    {
        std::string path = exeDir + "/candidate.fp";
        std::ofstream(path, std::ios::binary) << bytes;
        GLuint program = 0;
        bool compiled = LoadFragmentProgram(path.c_str(), &program);
        EXPECT_NE(program, 0u);
        DrainGLErrors();
        return compiled;
    }
};

const char* const MinimalProgram = "!!ARBfp1.0\nMOV result.color, fragment.color;\nEND";

TEST_F(FragmentProgramTest, ShippedProgramCompiles)
{
    StartPreview();
    EXPECT_TRUE(Compile(ReadSourceFile(std::string(ORVANEL_SOURCE_DIR) + "/fp/light_std.fp")));
}

TEST_F(FragmentProgramTest, LastLineWithoutLineBreakIsPassedWhole)
{
    StartPreview();
    EXPECT_TRUE(Compile(MinimalProgram));
}

TEST_F(FragmentProgramTest, EmbeddedZeroByteEndsTheText)
{
    StartPreview();
    EXPECT_TRUE(Compile(std::string(MinimalProgram) + std::string(1, '\0') + "garbage that does not parse"));
    EXPECT_FALSE(Compile(std::string("!!ARBfp1.0\n") + std::string(1, '\0') + "MOV result.color, fragment.color;\nEND\n"));
}

TEST_F(FragmentProgramTest, EmptyOrBrokenOrMissingFileFails)
{
    StartPreview();
    EXPECT_FALSE(Compile(""));
    EXPECT_FALSE(Compile("!!ARBfp1.0\nMOV result.color, nothing;\nEND\n"));
    GLuint program = 12345;
    EXPECT_FALSE(LoadFragmentProgram((exeDir + "/no-such.fp").c_str(), &program));
    EXPECT_EQ(program, 12345u);  // no name is taken for a file that is not there
}

class MissingProgramTest : public RenderTest {
protected:
    MissingProgramTest() { programFile = ProgramFile::Missing; }
};

TEST_F(MissingProgramTest, FallsBackWithMessage)
{
    StartPreview();
    EXPECT_EQ(StatusLine(), NoProgramMessage);
    EXPECT_FALSE(FragmentProgramAvailable);
    EXPECT_NE(PreviewGLContext, nullptr);  // the fallback still draws
    // the entry points after the program are not fetched
    EXPECT_NE(GLExtensions.genPrograms, nullptr);
    EXPECT_EQ(GLExtensions.multiTexCoord2i, nullptr);
    EXPECT_EQ(GLExtensions.texImage3D, nullptr);
}

class EmptyProgramTest : public RenderTest {
protected:
    EmptyProgramTest() { programFile = ProgramFile::Empty; }
};

TEST_F(EmptyProgramTest, FallsBackWithMessage)
{
    StartPreview();
    EXPECT_EQ(StatusLine(), NoProgramMessage);
    EXPECT_FALSE(FragmentProgramAvailable);
}

class BrokenProgramTest : public RenderTest {
protected:
    BrokenProgramTest() { programFile = ProgramFile::Broken; }
};

TEST_F(BrokenProgramTest, FallsBackWithMessageAndStaysOff)
{
    StartPreview();
    EXPECT_EQ(StatusLine(), NoProgramMessage);
    EXPECT_FALSE(FragmentProgramAvailable);
    // per-pixel lighting never comes back, also when a later set-up would find a good program
    std::ofstream(ProgramPath(), std::ios::binary) << MinimalProgram;
    EXPECT_TRUE(SetupPreviewGL(*dialog));
    EXPECT_FALSE(FragmentProgramAvailable);
}

TEST_F(RenderTest, ResetForTestsRestoresFreshState)
{
    StartPreview();
    ResetRendererForTests();
    EXPECT_EQ(PreviewWindow, nullptr);
    EXPECT_EQ(PreviewGLContext, nullptr);
    EXPECT_TRUE(FragmentProgramAvailable);
    EXPECT_EQ(StdLightProgramId, 0u);
    EXPECT_EQ(NormalizationCubeMapId, -1);
    EXPECT_EQ(AttenuationTextureId, -1);
    EXPECT_EQ(ViewportWidth, 1);
    EXPECT_EQ(GLExtensions.activeTexture, nullptr);
}

}  // namespace
