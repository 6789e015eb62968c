// Writing RGBA pixels as a PNG file: the preview image of batch mode and the
// desktop icon. Needs nothing of the program but libpng.
#pragma once

#include <cstdint>

// `rgba` holds width * height pixels of 4 bytes, top row first. False when
// the file cannot be written (a partly written file is removed).
bool WritePNG(const char* path, const uint8_t* rgba, int width, int height);
