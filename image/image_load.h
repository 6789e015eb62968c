// Turning paths into the program's three pictures (heightmap, decal texture,
// normal-map texture), picture textures, and the status line.
#pragma once

#include <cstdint>

#include "image/bmp.h"
#include "platform/platform.h"

enum ImageLoadModes { Heightmap = 0, Decal = 1, NormalMap = 2 };

// What LoadImageFile makes of the next file; Heightmap except while a texture command runs.
extern int ImageLoadMode;
// The current heightmap, owned here; null when none.
extern Image* HeightmapImage;
// Texture names; all come from NextTextureId, which starts at 1. 0 = none yet.
extern uint32_t HeightmapTextureId;
extern uint32_t DecalTextureId;
extern uint32_t NormalTextureId;
extern uint32_t NextTextureId;

// Takes the next texture name.
uint32_t TakeTextureId();

// Formats printf-style into 4096 bytes (longer text is cut) and makes it the
// whole text of the window's status line.
void ReportMessage(WindowHandle window, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Loads `path` as the picture ImageLoadMode names; tells the outcome on the
// window's status line.
void LoadImageFile(WindowHandle window, const char* path);
// The three Load menu commands of the main window.
void OnLoadHeightmap();
void OnLoadDecalTexture();
void OnLoadNormalTexture();

// Uploads the picture into texture `name` with a full mipmap chain; 0 when a
// side is not a power of two (the GL is not touched then).
uint32_t UploadTexture(const Image* image, uint32_t name);
// Fills the decal and normal-map textures from assets/ beside the executable, silently.
void LoadDefaultTextures();
