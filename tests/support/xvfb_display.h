// An Xvfb server of the test process's own, started once on a free display
// number that the server picks itself and gone with the process, and
// screenshots of it taken with ImageMagick.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Starts Xvfb (a screen of 1280 x 1024 pixels, 24 bits) and points
// DISPLAY at it, for this process and the commands it runs; false, with the
// reason in `error`, when Xvfb is missing or does not come up.
bool StartXvfb(std::string* error);

struct Picture {
    int width = 0, height = 0;  // pixels
    std::vector<uint8_t> rgba;  // 4 bytes a pixel, top row first
};

// What the screen shows in a rectangle.
bool TakeScreenshot(Picture* picture, int x, int y, int width, int height);
