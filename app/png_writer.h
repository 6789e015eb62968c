// Writing the preview's pixels as a PNG file.
#pragma once

#include <cstdint>

// `rgba` holds width * height pixels of 4 bytes, top row first. False when
// the file cannot be written.
bool WritePNG(const char* path, const uint8_t* rgba, int width, int height);
