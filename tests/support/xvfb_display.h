// An Xvfb server of the suite's own, started once per test process on a free
// display number that the server picks itself, and screenshots of it taken
// with ImageMagick.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

const int ScreenWidth = 1280, ScreenHeight = 1024;

// Starts Xvfb (a screen of ScreenWidth x ScreenHeight, 24 bits) and points
// DISPLAY at it, for this process and the commands it runs; false, with the
// reason in `error`, when Xvfb is missing or does not come up.
bool StartXvfb(std::string* error);
void StopXvfb();

struct Picture {
    int width = 0, height = 0;  // pixels
    std::vector<uint8_t> rgba;  // 4 bytes a pixel, top row first
};

// What the screen shows in the rectangle (the whole screen when width is 0).
bool TakeScreenshot(Picture* picture, int x = 0, int y = 0, int width = 0, int height = 0);
