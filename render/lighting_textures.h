// The two textures that per-pixel lighting computes once at start-up: a
// normalisation cube map (unit 3 during a light pass) and a 32 x 32 x 32
// distance-attenuation volume (unit 1, bound there for good).
//
// Names come from the image module's counter (TakeTextureId) and are never
// deleted. Made only when FragmentProgramAvailable, since building them needs
// glActiveTextureARB and glTexImage3DEXT.
#pragma once

#include <cstdint>

// Texture side and texel counts of the attenuation volume.
const int AttenuationSize = 32;
const int AttenuationTexelCount = AttenuationSize * AttenuationSize * AttenuationSize;
// Side of each face of the normalisation cube map.
const int NormalizationCubeMapSize = 128;

// Cube map of unit directions; -1 until reserved.
extern int32_t NormalizationCubeMapId;
// The attenuation volume; -1 until reserved.
extern int32_t AttenuationTextureId;
// 255 x the squared, normalised distance from the centre for each texel index of
// one axis (entries 0 and 31 forced to 255).
extern uint8_t AttenuationRamp[AttenuationSize];
// The attenuation texels, r slowest, s fastest; kept for the life of the process.
extern uint8_t AttenuationVolume[AttenuationTexelCount];

// Reserves the two names and builds both textures, once; leaves unit 0 active.
void CreateLightingTextures();

// Test support only: unreserves the names (the tables are rebuilt on the next call).
void ResetLightingTexturesForTests();
