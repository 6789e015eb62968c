// The file buffer: the one input picture file, read whole into memory.
#pragma once

#include <cstdint>

#include "image/bmp.h"

struct FileBuffer {
    uint8_t* bytes;  // the whole file, owned here; null while no file is open
    int32_t length;  // bytes in the file
};

extern FileBuffer TheFileBuffer;

// Reads the file at `path` whole into the buffer, after closing any file it held.
// False (nothing held) when the file cannot be opened or read, is not a plain
// file, or is over 2^31 - 1 bytes.
bool OpenFileBuffer(const char* path);
// Decodes the buffer's bytes. Null for anything but an accepted BMP, and with a
// status-line message when no file is open.
Image* GetBMPFromBuffer();
// Frees the bytes; harmless in any state.
void CloseFileBuffer();
