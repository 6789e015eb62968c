// Writing RGBA pixels as a PNG file: the preview image of batch mode and the
// desktop icon. Needs nothing of the program but libpng.
#pragma once

#include <cstdint>

// `rgba` holds width * height pixels of 4 bytes, top row first. The file is
// replaced safely (WriteFileReplacing): false when it cannot be written, and
// an existing file at `path` is then left as it was.
bool WritePNG(const char* path, const uint8_t* rgba, int width, int height);
