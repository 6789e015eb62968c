// The preview's GL context and the extensions of per-pixel lighting.
//
// Sections: globals; fragment program; extensions; default state and
// projection; SetupPreviewGL; shut-down and test support.
#include "render/gl_setup.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "image/report_message.h"
#include "platform/file_io.h"
#include "render/lighting_textures.h"
#include "render/scene.h"
#include "resources/resource_ids.h"
#include "settings/settings.h"

// ---------------------------------------------------------------------------
// Globals

WindowHandle PreviewWindow = nullptr;
int PreviewControlId = 0;
GLContextHandle PreviewGLContext = nullptr;
int32_t ViewportWidth = 1;
int32_t ViewportHeight = 1;
bool FragmentProgramAvailable = true;
int32_t MaxTextureUnits = 1;
GLuint StdLightProgramId = 0;
GLExtensionEntryPoints GLExtensions = {};

// A program file larger than this is no lighting program; it is refused unread.
static const size_t MaxProgramFileSize = 1 << 20;
// The lighting program that could be read from neither place, for the status line;
// "" when it was read.
static char UnreadableProgramPath[FragmentProgramPathSize];

// ---------------------------------------------------------------------------
// Fragment program

// Compiles the text of a program file (up to its first zero byte) into a new program name.
static bool CompileFragmentProgram(const FileContents& file, GLuint* programId)
{
    const char* text = reinterpret_cast<const char*>(file.bytes);
    GLExtensions.genPrograms(1, programId);
    GLExtensions.bindProgram(GL_FRAGMENT_PROGRAM_ARB, *programId);
    // an embedded zero byte ends the program text
    GLExtensions.programString(GL_FRAGMENT_PROGRAM_ARB, GL_PROGRAM_FORMAT_ASCII_ARB, static_cast<GLsizei>(strlen(text)),
                               text);
    GLint errorPosition = 0;
    glGetIntegerv(GL_PROGRAM_ERROR_POSITION_ARB, &errorPosition);
    return errorPosition == -1;
}

bool LoadFragmentProgram(const char* path, GLuint* programId)
{
    FileContents file;
    if (!ReadWholeFile(path, MaxProgramFileSize, &file))
        return false;
    const bool compiled = CompileFragmentProgram(file, programId);
    free(file.bytes);
    return compiled;
}

// The program the settings name or, when that file cannot be read (the program's
// folder was moved since the settings were saved), the one beside the executable; the
// stored path stays as it is. When neither can be read, UnreadableProgramPath names
// the one beside the executable (the stored one where that has no name).
static bool LoadLightingProgram()
{
    const char* stored = GenerationSettings.fragmentProgramPath;
    char beside[FragmentProgramPathSize];
    const bool besideNamed = FormDefaultProgramPath(beside, sizeof beside);
    FileContents file;
    if (!ReadWholeFile(stored, MaxProgramFileSize, &file) &&
        (!besideNamed || !ReadWholeFile(beside, MaxProgramFileSize, &file))) {
        snprintf(UnreadableProgramPath, sizeof UnreadableProgramPath, "%s", besideNamed ? beside : stored);
        return false;
    }
    const bool compiled = CompileFragmentProgram(file, &StdLightProgramId);
    free(file.bytes);
    return compiled;
}

// ---------------------------------------------------------------------------
// Extensions

// Fetches one entry point into `slot`; false when the driver has none.
template <typename Function>
static bool FetchEntryPoint(const char* name, Function* slot)
{
    *slot = reinterpret_cast<Function>(GetGLProcAddress(name));
    return *slot != nullptr;
}

// The entry points and the program, in their fixed order; false at the first
// one missing.
static bool FetchLightingEntryPoints()
{
    GLExtensionEntryPoints& e = GLExtensions;
    return FetchEntryPoint("glProgramStringARB", &e.programString) &&
        FetchEntryPoint("glBindProgramARB", &e.bindProgram) && FetchEntryPoint("glGenProgramsARB", &e.genPrograms) &&
        LoadLightingProgram() && FetchEntryPoint("glActiveTextureARB", &e.activeTexture) &&
        FetchEntryPoint("glClientActiveTextureARB", &e.clientActiveTexture) &&
        FetchEntryPoint("glTexImage3DEXT", &e.texImage3D);
}

// Reads the extension string (a message and false when there is none), then fetches the entry points and compiles the
// program named by the settings. A shortfall (under 4 texture units, a missing entry point, a program that is missing
// or does not compile) only turns per-pixel lighting off and still returns true.
static bool LoadGLExtensions(WindowHandle window)
{
    const GLubyte* extensions = glGetString(GL_EXTENSIONS);
    if (!extensions || extensions[0] == '\0') {
        ReportMessage(window, "Unable to obtain GL extension list.");
        return false;
    }
    // availability is judged by the entry points and the program alone, not by
    // searching the extension string
    if (!FragmentProgramAvailable)
        return true;
    GLint units = 0;
    glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &units);
    MaxTextureUnits = units;
    if (MaxTextureUnits < 4 || !FetchLightingEntryPoints())
        FragmentProgramAvailable = false;  // the context still serves the fallback drawing
    return true;
}

// ---------------------------------------------------------------------------
// Default state and projection

// glFrustum for a vertical field of view in degrees and an aspect ratio.
static void SetPerspective(float fieldOfViewY, float aspect, float zNear, float zFar)
{
    const double pi = 3.14159265358979323846;
    double top = zNear * std::tan(fieldOfViewY * pi / 360.0);
    glFrustum(-top * aspect, top * aspect, -top, top, zNear, zFar);
}

void ApplyBackgroundColor()
{
    const float* background = GenerationSettings.backgroundColor;
    glClearColor(background[0], background[1], background[2], background[3]);
}

// Texturing on unit 0, the settings' background as clear colour, depth test
// with GL_LEQUAL (so that additive light passes draw over their first pass at
// equal depth), smooth shading, nicest perspective correction. Always true.
static bool SetDefaultGLState()
{
    glEnable(GL_TEXTURE_2D);
    ApplyBackgroundColor();
    glClearDepth(1.0);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    return true;
}

// ---------------------------------------------------------------------------
// SetupPreviewGL

// Context, entry points and the status message; false at the first failure.
static bool CreatePreviewContext(WindowHandle window)
{
    PreviewGLContext = CreateGLContext(PreviewWindow, PreviewControlId, PreviewPixelFormat);
    if (!PreviewGLContext || !MakeGLContextCurrent(PreviewGLContext) || !LoadGLExtensions(window))
        return false;
    if (FragmentProgramAvailable)
        ReportMessage(window, "OpenGL initialization successful.");
    else if (UnreadableProgramPath[0] != '\0')
        ReportMessage(window, "Could not read the lighting program '%s'.", UnreadableProgramPath);
    else
        ReportMessage(window, "Hardware does not support fp1.0, ppl functions unavailable.");
    return true;
}

bool SetupPreviewGL(WindowHandle window)
{
    if (!window || !HasControl(window, PreviewFrameControl))
        return false;
    if (!PreviewWindow) {
        // remembered before anything can fail, so a failure is never retried
        PreviewWindow = window;
        PreviewControlId = PreviewFrameControl;
        if (!CreatePreviewContext(window)) {
            // nothing may call an entry point that was never fetched
            FragmentProgramAvailable = false;
            return false;
        }
    }
    if (!PreviewGLContext)
        return false;  // a failed first set-up, or the window has shut down
    PlatformRect rect = {0, 0, 0, 0};
    GetControlRect(PreviewWindow, PreviewControlId, &rect);
    ViewportWidth = rect.right - rect.left < 1 ? 1 : rect.right - rect.left;
    ViewportHeight = rect.bottom - rect.top < 1 ? 1 : rect.bottom - rect.top;
    glViewport(0, 0, ViewportWidth, ViewportHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    SetPerspective(PreviewFieldOfViewY, static_cast<float>(ViewportWidth) / static_cast<float>(ViewportHeight), 16.0f,
                   32768.0f);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    return SetDefaultGLState();
}

// ---------------------------------------------------------------------------
// Shut-down and test support

void ReleasePreviewGL()
{
    if (!PreviewGLContext)
        return;
    MakeGLContextCurrent(nullptr);
    DeleteGLContext(PreviewGLContext);
    PreviewGLContext = nullptr;
}

void ResetRendererForTests()
{
    DrawEntityList(EntityList, true, false);
    EntityList = nullptr;
    FreeLightList(LightList);
    LightList = nullptr;
    ReleasePreviewGL();
    PreviewWindow = nullptr;
    PreviewControlId = 0;
    ViewportWidth = 1;
    ViewportHeight = 1;
    FragmentProgramAvailable = true;
    MaxTextureUnits = 1;
    StdLightProgramId = 0;
    UnreadableProgramPath[0] = '\0';
    GLExtensions = GLExtensionEntryPoints();
    ResetLightingTexturesForTests();
}
