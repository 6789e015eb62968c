// Shared between the headless back end's window and GL halves.
#pragma once

#include "platform/platform.h"

GLContextHandle CreateHeadlessGLContext(WindowHandle window, int controlId, const GLPixelFormatRequest& format);
bool MakeHeadlessGLContextCurrent(GLContextHandle context);
void DeleteHeadlessGLContext(GLContextHandle context);
bool SwapHeadlessGLBuffers(GLContextHandle context);
void* GetHeadlessGLProcAddress(const char* name);

// The control under a context changed size: its offscreen surface follows.
void ResizeHeadlessGLSurface(WindowHandle window, int controlId, int width, int height);
// The window is going away: contexts on it keep drawing but lose their control.
void ForgetHeadlessGLWindow(WindowHandle window);
