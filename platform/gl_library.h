// GL as the program calls it: every gl function below goes through a table
// that OpenGLLibrary fills from the system's GL library when the first
// context is made (CreateGLContext), so that a run which draws nothing loads
// no GL library at all. Include this header in place of <GL/gl.h>; after it,
// each name below stands for its table entry. Extensions are fetched with
// GetGLProcAddress as before.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

// The core GL 1.x functions the program calls.
// clang-format off
#define ORVANEL_GL_FUNCTIONS(X) \
    X(glBegin)                  \
    X(glBindTexture)            \
    X(glBlendFunc)              \
    X(glClear)                  \
    X(glClearColor)             \
    X(glClearDepth)             \
    X(glColor4f)                \
    X(glColorPointer)           \
    X(glDepthFunc)              \
    X(glDisable)                \
    X(glDisableClientState)     \
    X(glDrawElements)           \
    X(glEnable)                 \
    X(glEnableClientState)      \
    X(glEnd)                    \
    X(glFinish)                 \
    X(glFrustum)                \
    X(glGetFloatv)              \
    X(glGetIntegerv)            \
    X(glGetString)              \
    X(glHint)                   \
    X(glLoadIdentity)           \
    X(glMatrixMode)             \
    X(glOrtho)                  \
    X(glPixelStorei)            \
    X(glPolygonMode)            \
    X(glPolygonOffset)          \
    X(glPopMatrix)              \
    X(glPushMatrix)             \
    X(glReadPixels)             \
    X(glRotatef)                \
    X(glScalef)                 \
    X(glShadeModel)             \
    X(glTexCoord2f)             \
    X(glTexCoordPointer)        \
    X(glTexGenfv)               \
    X(glTexGeni)                \
    X(glTexImage2D)             \
    X(glTexParameteri)          \
    X(glTranslatef)             \
    X(glVertex2f)               \
    X(glVertexPointer)          \
    X(glViewport)
// clang-format on

// One entry per function, named after it with "Entry" appended; declared
// before the names below become the entries.
struct GLFunctionTable {
#define ORVANEL_GL_ENTRY(name) decltype(&::name) name##Entry;
    ORVANEL_GL_FUNCTIONS(ORVANEL_GL_ENTRY)
#undef ORVANEL_GL_ENTRY
};

// Null entries until OpenGLLibrary has succeeded.
extern GLFunctionTable GLLibrary;

// Opens the GL library (GLVND's libOpenGL, else libGL) and fills GLLibrary;
// true at once when it is already filled. False, with the table left empty,
// when the library or one of the functions is missing.
bool OpenGLLibrary();

#define glBegin GLLibrary.glBeginEntry
#define glBindTexture GLLibrary.glBindTextureEntry
#define glBlendFunc GLLibrary.glBlendFuncEntry
#define glClear GLLibrary.glClearEntry
#define glClearColor GLLibrary.glClearColorEntry
#define glClearDepth GLLibrary.glClearDepthEntry
#define glColor4f GLLibrary.glColor4fEntry
#define glColorPointer GLLibrary.glColorPointerEntry
#define glDepthFunc GLLibrary.glDepthFuncEntry
#define glDisable GLLibrary.glDisableEntry
#define glDisableClientState GLLibrary.glDisableClientStateEntry
#define glDrawElements GLLibrary.glDrawElementsEntry
#define glEnable GLLibrary.glEnableEntry
#define glEnableClientState GLLibrary.glEnableClientStateEntry
#define glEnd GLLibrary.glEndEntry
#define glFinish GLLibrary.glFinishEntry
#define glFrustum GLLibrary.glFrustumEntry
#define glGetFloatv GLLibrary.glGetFloatvEntry
#define glGetIntegerv GLLibrary.glGetIntegervEntry
#define glGetString GLLibrary.glGetStringEntry
#define glHint GLLibrary.glHintEntry
#define glLoadIdentity GLLibrary.glLoadIdentityEntry
#define glMatrixMode GLLibrary.glMatrixModeEntry
#define glOrtho GLLibrary.glOrthoEntry
#define glPixelStorei GLLibrary.glPixelStoreiEntry
#define glPolygonMode GLLibrary.glPolygonModeEntry
#define glPolygonOffset GLLibrary.glPolygonOffsetEntry
#define glPopMatrix GLLibrary.glPopMatrixEntry
#define glPushMatrix GLLibrary.glPushMatrixEntry
#define glReadPixels GLLibrary.glReadPixelsEntry
#define glRotatef GLLibrary.glRotatefEntry
#define glScalef GLLibrary.glScalefEntry
#define glShadeModel GLLibrary.glShadeModelEntry
#define glTexCoord2f GLLibrary.glTexCoord2fEntry
#define glTexCoordPointer GLLibrary.glTexCoordPointerEntry
#define glTexGenfv GLLibrary.glTexGenfvEntry
#define glTexGeni GLLibrary.glTexGeniEntry
#define glTexImage2D GLLibrary.glTexImage2DEntry
#define glTexParameteri GLLibrary.glTexParameteriEntry
#define glTranslatef GLLibrary.glTranslatefEntry
#define glVertex2f GLLibrary.glVertex2fEntry
#define glVertexPointer GLLibrary.glVertexPointerEntry
#define glViewport GLLibrary.glViewportEntry
