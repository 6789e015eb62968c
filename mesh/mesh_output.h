// Where a generated mesh goes: the Save As dialog with every format the program writes, and
// the safe save of a .3ds file's objects or of any other format's export. Every outcome is
// told on the window's status line.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mesh/triangle_mesh.h"
#include "platform/platform.h"

// Shows the Save As dialog owned by window, one filter per format with .3ds first and the
// default, into path (size bytes); it starts in the folder last saved to and proposes the
// heightmap's name as a .3ds file. False on a cancel.
bool AskMeshSavePath(WindowHandle window, char* path, size_t size);

// True when path names a .3ds file: the extension .3ds, none, or one no exporter knows.
bool IsThreeDSPath(const char* path);

// Writes the bytes safely (the old file stays until the new one is complete) and says
// "Successfully saved '%s'." or "Could not save '%s'.".
bool SaveMeshBytes(WindowHandle window, const char* path, const uint8_t* bytes, size_t size);

// Exports mesh in the format path's extension names and saves it; an export of a million
// faces or more tells its progress at most once per quarter.
bool ExportMeshFile(WindowHandle window, const char* path, const TriangleMesh& mesh);

// The model the preview shows for the file just written, where it cannot read that file
// (another format) or should not draw it whole: .3ds bytes (malloc'd; owned here until
// taken), the faces they hold and the faces written. A newer one replaces an older.
void StashWrittenPreview(uint8_t* bytes, size_t size, int64_t shownFaces, int64_t writtenFaces);
// Hands over the stashed bytes (the caller frees them); false when none are stashed.
bool TakeWrittenPreview(uint8_t** bytes, size_t* size, int64_t* shownFaces, int64_t* writtenFaces);
