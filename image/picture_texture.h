// Picture textures: the program's texture names and the upload of an Image
// into a mipmapped GL texture.
#pragma once

#include <cstdint>

#include "image/bmp.h"

// Texture names; all come from NextTextureId, which starts at 1. 0 = none yet.
extern uint32_t HeightmapTextureId;
extern uint32_t DecalTextureId;
extern uint32_t NormalTextureId;
extern uint32_t NextTextureId;

// Takes the next texture name.
uint32_t TakeTextureId();

// Uploads the picture into texture `name` with a full mipmap chain; 0 when a
// side is not a power of two (the GL is not touched then) or the upload
// fails. Without a current GL context (batch mode without a preview, a GL
// that could not be set up) there is nothing to upload into: a picture that
// could be a texture gives `name` and the GL is not touched.
uint32_t UploadTexture(const Image* image, uint32_t name);
