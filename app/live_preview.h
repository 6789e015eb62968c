// The live preview: while the desktop program runs, the preview shows the mesh Generate
// would write with the settings the properties window shows, built in memory whenever the
// heightmap or a generation setting changes. Nothing is written and orvanel.cfg is not
// touched; Generate still writes the file and the preview then shows the file read back.
//
// A build runs on a worker thread, one at a time; a change made meanwhile is built next and
// the older result is dropped, so at most two meshes are alive: the one shown and the one
// being built. The counts (or the limit message Generate would show) go beside the status
// line, whose texts stay as they are.
#pragma once

#include "platform/platform.h"

// Starts looking for changes (a timer on window) and shows the first mesh.
void StartLivePreview(WindowHandle window);

// The file just written is on show: nothing is rebuilt until something changes again.
void KeepWrittenFileOnShow();

// Waits for a running build and drops what it made; the timer goes with the window.
void StopLivePreview();
