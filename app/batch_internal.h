// What the files of batch mode share: the options of one run, the usage message, the output
// checks (batch_outputs.cpp) and --info (batch_info.cpp).
#pragma once

#include <string>

struct BatchOptions {
    const char* heightmap = nullptr;     // --generate
    const char* output = nullptr;        // --output
    const char* info = nullptr;          // --info
    const char* settingsFile = nullptr;  // --settings
    const char* decal = nullptr;         // --decal
    const char* normalMap = nullptr;     // --normal-map
    const char* preview = nullptr;       // --preview
    int previewWidth = 800;              // --preview-size
    int previewHeight = 600;
    float spin = 0.0f;  // --spin
    float tilt = 0.0f;  // --tilt
    int stretch = -1;   // slider positions; -1 = from the settings
    int fuzz = -1;
    int height = -1;
    int scale = -1;
    bool eliminate = false;      // --eliminate-zero-height
    const char* mesh = nullptr;  // --mesh grid|adaptive
    int maxFaces = -1;           // --max-faces; -1 = from the settings
    float maxError = -1.0f;      // --max-error; below 0 = from the settings
    bool splitObjects = false;   // --split-objects
    float solidBase = 0.0f;      // --solid BASE; 0 = from the settings
    bool help = false;
    bool version = false;
};

// Prints the reason and the hint to --help on standard error; returns the usage status.
int UsageError(const std::string& reason);

// 0, or the usage status when an output is also an input or another output.
int RefuseSharedOutputs(const BatchOptions& options);
// The output's path as the messages name it.
std::string OutputPath(const char* path);
// False, with the message, when an output cannot be replaced.
bool OutputsCanBeWritten(const std::string& output, const char* preview);

// Lists the surfaces of a .3ds file; returns the exit status.
int PrintModelInfo(const char* path);
