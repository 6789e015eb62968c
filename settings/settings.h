// The generation settings record (also the exact content of orvanel.cfg),
// the values derived from it for mesh generation, and the two operations
// that move values between the record and the properties window.
#pragma once

#include <cstdint>

#include "platform/platform.h"

const int FragmentProgramPathSize = 2048;

struct GenerationSettingsRecord {
    float backgroundColor[4];                       // clear colour of the preview: red, green, blue, alpha, 0..1
    char fragmentProgramPath[FragmentProgramPathSize];  // NUL-terminated path of the lighting fragment program
    int32_t stretchPosition;                        // "Texture stretching:" trackbar, 1..1024
    int32_t fuzzPosition;                           // "Grid fuzz" trackbar, 1..6
    int32_t heightPosition;                         // "Height scaling:" trackbar, 1..4096
    int32_t scalePosition;                          // "Overall scale:" trackbar, 4..1024
    int32_t eliminateZeroHeight;                    // the checkbox: 0 off, 1 on
};
static_assert(sizeof(GenerationSettingsRecord) == 2084, "orvanel.cfg is the record's raw 2084 bytes");

struct GenerationParamsRecord {
    float textureScale;           // multiplier of the texture coordinates
    int32_t gridStep;             // pixels between samples, a power of two
    float heightScale;            // world units per unit of red
    float overallScale;           // world units per pixel
    int32_t eliminateZeroHeight;  // non-zero: drop faces lying at height 0
};

// The settings of this run; zero until LoadSettings.
extern GenerationSettingsRecord GenerationSettings;
// What mesh generation reads; derived by ReadPropertiesWindow.
extern GenerationParamsRecord GenerationParams;

void SetDefaultSettings();
void LoadSettings();
void SaveSettings();
void FillPropertiesWindow(WindowHandle window);
void ReadPropertiesWindow(WindowHandle window);
