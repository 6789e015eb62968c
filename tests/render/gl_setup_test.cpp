// The preview's GL context, status messages, viewport, projection, default
// state and the fragment program, on a real Mesa context.
#include <GL/gl.h>
#include <GL/glext.h>
#include <sys/stat.h>
#include <unistd.h>

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
    const void* entryPoints[] = {reinterpret_cast<const void*>(GLExtensions.programString),
                                 reinterpret_cast<const void*>(GLExtensions.bindProgram),
                                 reinterpret_cast<const void*>(GLExtensions.genPrograms),
                                 reinterpret_cast<const void*>(GLExtensions.activeTexture),
                                 reinterpret_cast<const void*>(GLExtensions.clientActiveTexture),
                                 reinterpret_cast<const void*>(GLExtensions.texImage3D)};
    for (size_t i = 0; i < sizeof entryPoints / sizeof entryPoints[0]; ++i)
        EXPECT_NE(entryPoints[i], nullptr) << "entry point " << i;
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
    EXPECT_TRUE(SetupPreviewGL(Window()));
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

// A zero-sized frame still gets a one-pixel viewport, of aspect 1.
TEST_F(RenderTest, ResizedFrameGetsNewViewportAndAspect)
{
    StartPreview();
    const int sizes[][4] = {{800, 600, 800, 600}, {0, 0, 1, 1}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(std::to_string(size[0]) + "x" + std::to_string(size[1]));
        ASSERT_TRUE(SetControlSize(Window(), 1004, size[0], size[1]));
        EXPECT_TRUE(SetupPreviewGL(Window()));
        EXPECT_EQ(ViewportWidth, size[2]);
        EXPECT_EQ(ViewportHeight, size[3]);
        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ(viewport[2], size[2]);
        EXPECT_EQ(viewport[3], size[3]);
        GLfloat m[16];
        glGetFloatv(GL_PROJECTION_MATRIX, m);
        EXPECT_NEAR(m[5] / m[0], static_cast<double>(size[2]) / size[3], 1e-5);
    }
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

// The properties window changes the colour without touching the GL.
TEST_F(RenderTest, EachFrameClearsWithTheCurrentBackgroundColor)
{
    StartPreview();
    GenerationSettings.backgroundColor[0] = 1.0f;
    GenerationSettings.backgroundColor[1] = 0.0f;
    GenerationSettings.backgroundColor[2] = 0.5f;
    Picture picture = DrawFrame();
    ASSERT_GT(picture.width, 0);
    const uint8_t* p = picture.At(picture.width / 2, picture.height / 2);
    EXPECT_EQ(p[0], 255);
    EXPECT_EQ(p[1], 0);
    EXPECT_NEAR(p[2], 128, 1);
}

TEST_F(RenderTest, WindowWithoutPreviewFrameChangesNothing)
{
    EXPECT_FALSE(SetupPreviewGL(nullptr));
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
    // a resize after shut-down makes no GL call without a context
    EXPECT_FALSE(SetupPreviewGL(Window()));
    EXPECT_EQ(PreviewGLContext, nullptr);
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

TEST_F(FragmentProgramTest, CompilesOnlyWholeGoodPrograms)
{
    StartPreview();
    const std::string zero(1, '\0');
    const std::pair<std::string, bool> programs[] = {
        {ReadSourceFile(std::string(ORVANEL_SOURCE_DIR) + "/fp/light_std.fp"), true},
        {MinimalProgram, true},  // the last line, without a line break, is passed whole
        // an embedded zero byte ends the text
        {std::string(MinimalProgram) + zero + "garbage that does not parse", true},
        {"!!ARBfp1.0\n" + zero + "MOV result.color, fragment.color;\nEND\n", false},
        {"", false},
        {"!!ARBfp1.0\nMOV result.color, nothing;\nEND\n", false},
    };
    for (const auto& program : programs) {
        SCOPED_TRACE(program.first.substr(0, 40));
        EXPECT_EQ(Compile(program.first), program.second);
    }
    std::ofstream(exeDir + "/big.fp", std::ios::binary) << MinimalProgram << zero << std::string(1 << 20, ' ');
    for (const char* unread : {"/no-such.fp", "/big.fp"}) {  // missing, and over 1 MiB
        GLuint program = 12345;
        EXPECT_FALSE(LoadFragmentProgram((exeDir + unread).c_str(), &program)) << unread;
        EXPECT_EQ(program, 12345u);  // no name is taken for a file that is not read
    }
}

// A missing, empty or broken program file: the fallback, with its message.
class UnusableProgramTest : public RenderTest, public ::testing::WithParamInterface<ProgramFile> {
protected:
    UnusableProgramTest()
    {
        programFile = GetParam();
    }
};

INSTANTIATE_TEST_SUITE_P(Files, UnusableProgramTest,
                         ::testing::Values(ProgramFile::Missing, ProgramFile::Empty, ProgramFile::Broken));

TEST_P(UnusableProgramTest, FallsBackWithMessageAndStaysOff)
{
    StartPreview();
    if (GetParam() == ProgramFile::Missing)
        EXPECT_EQ(StatusLine(), "Could not read the lighting program '" + ProgramPath() + "'.");
    else
        EXPECT_EQ(StatusLine(), NoProgramMessage);
    EXPECT_FALSE(FragmentProgramAvailable);
    EXPECT_NE(PreviewGLContext, nullptr);  // the fallback still draws
    if (GetParam() == ProgramFile::Missing) {
        // the entry points after the program are not fetched
        EXPECT_NE(GLExtensions.genPrograms, nullptr);
        EXPECT_EQ(GLExtensions.activeTexture, nullptr);
        EXPECT_EQ(GLExtensions.texImage3D, nullptr);
    }
    // per-pixel lighting never comes back, also when a later set-up would find a good program
    std::ofstream(ProgramPath(), std::ios::binary) << MinimalProgram;
    EXPECT_TRUE(SetupPreviewGL(Window()));
    EXPECT_FALSE(FragmentProgramAvailable);
}

// A stored program that cannot be read (its folder moved, or a pipe that would never
// end) gives way to the one beside the executable; the stored path stays.
TEST_F(RenderTest, StoredProgramThatCannotBeReadGivesWayToTheOneBesideTheExecutable)
{
    StartMainWindow();
    const std::string pipe = exeDir + "/pipe.fp";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    alarm(20);  // a read that waits on the pipe ends the test
    for (const std::string& stored : {std::string("/moved/fp/light_std.fp"), pipe}) {
        ResetRendererForTests();
        snprintf(GenerationSettings.fragmentProgramPath, FragmentProgramPathSize, "%s", stored.c_str());
        ASSERT_TRUE(SetupPreviewGL(Window()));
        EXPECT_EQ(StatusLine(), "OpenGL initialization successful.") << stored;
        EXPECT_EQ(stored, GenerationSettings.fragmentProgramPath);
    }
    alarm(0);
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
