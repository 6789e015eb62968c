// The few values of the program's shell that the subsystems read. The main
// window (app/) sets them while it exists and clears them when it ends, so that
// nothing below app/ needs to know the window object.
#pragma once

#include <cstddef>

#include "platform/platform.h"

const size_t ExeDirectorySize = 2048;

// The main window; null before it is created and after it has ended.
extern WindowHandle MainWindow;
// The modeless properties window; null until the main window creates it, and in
// batch mode, which never reads it back (reading it back saves orvanel.cfg).
extern WindowHandle PropertiesWindow;
// The executable's directory without a trailing separator; "" when unknown.
extern char ExeDirectory[ExeDirectorySize];
// Accumulated drag angles in degrees: vertical drag tilts, horizontal drag spins.
extern float ViewTilt;
extern float ViewSpin;
// The desktop's view: ViewZoom divides the standard distance to the model (1
// keeps it), ViewPanX and ViewPanY move the model right and down in world units.
extern float ViewZoom;
extern float ViewPanX;
extern float ViewPanY;
// Set by whatever changes the preview's picture in a way the frame loop cannot
// see by itself (a texture uploaded, a window exposed); the next frame tick
// draws and clears it.
extern bool PreviewOutOfDate;
