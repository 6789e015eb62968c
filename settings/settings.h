// The generation settings record (also the exact content of orvanel.cfg),
// the values derived from it for mesh generation, and the two operations
// that move values between the record and the properties window.
//
// orvanel.cfg lives beside the executable, or in the user's configuration
// folder ($XDG_CONFIG_HOME/orvanel/, by default ~/.config/orvanel/) where the
// program's folder cannot be written; the user's file, once it exists, is the
// one read and written. A file that cannot be read gives the defaults; one that
// cannot be saved anywhere is said on the main window's status line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "resources/resource_ids.h"

const int FragmentProgramPathSize = 2048;
// The configuration file's path ("%s/orvanel.cfg") is formed in a buffer of this size.
const size_t ConfigurationPathSize = 1024;

struct GenerationSettingsRecord {
    float backgroundColor[4];                           // clear colour of the preview: red, green, blue, alpha, 0..1
    char fragmentProgramPath[FragmentProgramPathSize];  // NUL-terminated path of the lighting fragment program
    int32_t stretchPosition;                            // texture stretching trackbar, 1..1024
    int32_t fuzzPosition;                               // grid fuzz trackbar, 1..6
    int32_t heightPosition;                             // height scaling trackbar, 1..4096
    int32_t scalePosition;                              // overall scale trackbar, 4..1024
    int32_t eliminateZeroHeight;                        // the checkbox: 0 off, 1 on
};
static_assert(sizeof(GenerationSettingsRecord) == 2084, "orvanel.cfg is the record's raw 2084 bytes");
// The file has no header: each field sits where the file format puts it.
static_assert(offsetof(GenerationSettingsRecord, backgroundColor) == 0, "colour at 0");
static_assert(offsetof(GenerationSettingsRecord, fragmentProgramPath) == 16, "program path at 16");
static_assert(offsetof(GenerationSettingsRecord, stretchPosition) == 2064, "stretch position at 2064");
static_assert(offsetof(GenerationSettingsRecord, fuzzPosition) == 2068, "fuzz position at 2068");
static_assert(offsetof(GenerationSettingsRecord, heightPosition) == 2072, "height position at 2072");
static_assert(offsetof(GenerationSettingsRecord, scalePosition) == 2076, "scale position at 2076");
static_assert(offsetof(GenerationSettingsRecord, eliminateZeroHeight) == 2080, "flag at 2080");
static_assert(sizeof(float) == 4, "colour components are IEEE single precision");

struct GenerationParamsRecord {
    float textureScale;           // multiplier of the texture coordinates
    int32_t gridStep;             // pixels between samples, a power of two
    float heightScale;            // world units per unit of red
    float overallScale;           // world units per pixel
    int32_t eliminateZeroHeight;  // non-zero: drop faces lying at height 0
};

// The trackbars' ranges, set on every fill of the properties window.
struct TrackbarRange {
    int controlId;  // trackbar control of the properties window
    int minimum;    // lowest position
    int maximum;    // highest position
};
const TrackbarRange StretchTrackbarRange = {StretchTrackbarControl, 1, 1024};
const TrackbarRange FuzzTrackbarRange = {FuzzTrackbarControl, 1, 6};
const TrackbarRange HeightTrackbarRange = {HeightTrackbarControl, 1, 4096};
const TrackbarRange ScaleTrackbarRange = {ScaleTrackbarControl, 4, 1024};

// Batch mode's switch: LoadSettings gives the defaults and SaveSettings writes
// nothing, so that no configuration file of the desktop program is ever read or
// written.
extern bool ConfigurationFilesIgnored;

// The settings of this run; zero until LoadSettings.
extern GenerationSettingsRecord GenerationSettings;
// What mesh generation reads; derived by ReadPropertiesWindow.
extern GenerationParamsRecord GenerationParams;

// Colour (0, 0, 0, 1), the program path beside ExeDirectory, positions 128,
// 2, 256, 24, flag 0. An ExeDirectory too long for the path field leaves the
// path empty rather than naming a cut, different file.
void SetDefaultSettings();
// Fills GenerationSettings from the first 2084 bytes of (bytes, size) as they
// lie in orvanel.cfg: a shorter record leaves the rest zero, and a program path
// without a terminator in its field is taken as empty. Any bytes give a record.
// The bytes after the record fill SettingsBlock (the defaults without a block).
void LoadSettingsBytes(const uint8_t* bytes, size_t size);
// Reads up to 2084 bytes of a settings file into GenerationSettings
// (LoadSettingsBytes), as LoadSettings does with orvanel.cfg. False (nothing
// changed) when the file cannot be opened or read or is no plain file (a pipe
// is never waited on).
bool LoadSettingsFile(const char* path);
// Fills GenerationSettings from the first 2084 bytes of the user's orvanel.cfg
// when it can be read, else of the one beside the executable; a short file
// leaves the rest zero. Neither readable, or a path too long for its buffer,
// gives the defaults. A program path without a terminator in its field is taken
// as empty. Only the defaults while ConfigurationFilesIgnored.
void LoadSettings();
// Saves the record as the first 2084 bytes of orvanel.cfg, keeping any bytes
// after them, by the replacing save (through a link to the file it names): into
// the user's file when it exists, else beside the executable, else into a new
// user's file. False, with a status-line message naming the last place tried
// and why, when it could be saved nowhere. Nothing while ConfigurationFilesIgnored.
bool SaveSettings();
// The user's orvanel.cfg: "$XDG_CONFIG_HOME/orvanel/orvanel.cfg", with
// "$HOME/.config" where XDG_CONFIG_HOME is unset or not absolute; false (and "")
// without either.
bool FormUserConfigurationPath(std::string* path);
// "%s/fp/light_std.fp" from ExeDirectory: the lighting program the build lays
// beside the executable. False (and "") when it does not fit into `size` bytes.
bool FormDefaultProgramPath(char* path, size_t size);
// Shows beside each trackbar the value its position gives, in its units: "repeat ×1",
// "step 2 px", "height ×1", "24 units/px".
void ShowTrackbarValues(WindowHandle window);
// Sets the trackbars' ranges and positions and the checkbox from GenerationSettings.
void FillPropertiesWindow(WindowHandle window);
// Reads the controls into GenerationSettings, derives GenerationParams and
// saves. Does nothing without a window.
void ReadPropertiesWindow(WindowHandle window);

// What the properties window's controls show, into the generation fields of settings and
// the mesh fields of block; nothing is saved.
struct SettingsBlockRecord;
void ReadPropertiesControls(WindowHandle window, GenerationSettingsRecord* settings, SettingsBlockRecord* block);

// "%s/orvanel.cfg" from ExeDirectory; false (and "") when it does not fit into `size` bytes.
bool FormConfigurationPath(char* path, size_t size);
// The mesh parameters for the positions the trackbars show for `settings`.
GenerationParamsRecord DeriveGenerationParams(const GenerationSettingsRecord& settings);
