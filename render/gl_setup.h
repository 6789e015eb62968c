// The preview's GL context, viewport and projection, the fixed default state,
// the extension entry points that per-pixel lighting needs and the lighting
// fragment program.
//
// Everything runs on the user-interface thread, which also draws the frames,
// so the context is made current once and stays current for the window's life.
//
// Contents: renderer globals; the entry-point table; set-up operations;
// shut-down; test support.
#pragma once

#include <cstdint>

#include "platform/gl_library.h"
#include "platform/platform.h"

// ---------------------------------------------------------------------------
// Renderer globals, owned here

// The window holding the preview frame; set on the first SetupPreviewGL and
// never cleared, so a failed context creation is never attempted again.
// The preview's vertical field of view, in degrees.
const float PreviewFieldOfViewY = 45.0f;

extern WindowHandle PreviewWindow;
// The control of PreviewWindow that the context draws into (the preview frame).
extern int PreviewControlId;
// The rendering context; the close handler releases it (ReleasePreviewGL).
extern GLContextHandle PreviewGLContext;
// Size of the preview in pixels, each at least 1; the 2D overlay uses it too.
extern int32_t ViewportWidth;
extern int32_t ViewportHeight;
// Per-pixel lighting is usable; only ever goes from true to false.
extern bool FragmentProgramAvailable;
// GL_MAX_TEXTURE_UNITS_ARB as the driver reported it (0 before the query).
extern int32_t MaxTextureUnits;
// The compiled lighting fragment program, 0 before it is made.
extern GLuint StdLightProgramId;

// ---------------------------------------------------------------------------
// Extension entry points of per-pixel lighting, fetched in this order by
// LoadGLExtensions (the program is compiled after the first three).
struct GLExtensionEntryPoints {
    PFNGLPROGRAMSTRINGARBPROC programString;              // glProgramStringARB
    PFNGLBINDPROGRAMARBPROC bindProgram;                  // glBindProgramARB
    PFNGLGENPROGRAMSARBPROC genPrograms;                  // glGenProgramsARB
    PFNGLACTIVETEXTUREARBPROC activeTexture;              // glActiveTextureARB
    PFNGLCLIENTACTIVETEXTUREARBPROC clientActiveTexture;  // glClientActiveTextureARB
    PFNGLTEXIMAGE3DEXTPROC texImage3D;                    // glTexImage3DEXT
};
extern GLExtensionEntryPoints GLExtensions;

// ---------------------------------------------------------------------------
// Set-up, called by the main window at start-up and on every resize

// First call: creates the context on the preview frame, makes it current,
// fetches the extensions and tells on the status line whether per-pixel
// lighting is available (the lighting program is the settings' or, when that
// file cannot be read, the one beside the executable; when neither can, the
// status line says so rather than blaming the hardware). Every call: viewport and projection from the
// frame's outer rectangle, then SetDefaultGLState. False when the frame has no
// window or the first call's set-up failed (no message of its own then, and
// per-pixel lighting is off for good).
bool SetupPreviewGL(WindowHandle window);

// Makes the settings' background the clear colour of the current context. Every
// frame does, so a colour chosen in the properties window shows at the next one.
void ApplyBackgroundColor();

// Compiles the ARB fragment program in the file at `path` into a new program
// name stored in *programId. The text is passed up to its first zero byte.
// False when the file cannot be read, is no plain file or is over 1 MiB, or the
// program does not compile (its name then stays allocated). Silent.
bool LoadFragmentProgram(const char* path, GLuint* programId);

// ---------------------------------------------------------------------------
// Shut-down, for the main window's close handler: makes no context current,
// deletes PreviewGLContext and clears it. Harmless when there is none.
void ReleasePreviewGL();

// ---------------------------------------------------------------------------
// Test support only: forgets every renderer global (context released, lists
// freed, lighting texture names unreserved, per-pixel lighting available
// again) so that each test starts from the state of a fresh process. The
// program itself never calls it.
void ResetRendererForTests();
