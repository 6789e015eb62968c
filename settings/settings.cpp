// The generation settings: the record and its defaults, orvanel.cfg, the
// derivation of the mesh parameters, and filling and reading the controls.
//
// Sections: globals; paths; defaults; the configuration file; derivation;
// the properties window's controls.
#include "settings/settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "platform/shell.h"
#include "settings/settings_block.h"

// ---------------------------------------------------------------------------
// Globals

bool ConfigurationFilesIgnored = false;
GenerationSettingsRecord GenerationSettings;
GenerationParamsRecord GenerationParams = {1.0f, 1, 1.0f, 24.0f, 1};

static const char ConfigurationFileFormat[] = "%s/orvanel.cfg";
static const char FragmentProgramFormat[] = "%s/fp/light_std.fp";
static const char UserConfigurationFolder[] = "/orvanel";
static const char UserConfigurationName[] = "/orvanel.cfg";
// Bytes kept after the record when the file is saved; a longer file keeps only its record.
static const size_t MaxConfigurationFileSize = 1 << 20;

static const int32_t DefaultStretchPosition = 128;
static const int32_t DefaultFuzzPosition = 2;
static const int32_t DefaultHeightPosition = 256;
static const int32_t DefaultScalePosition = 24;

// ---------------------------------------------------------------------------
// Paths

// Formats `format` with ExeDirectory into `path`. A path that does not fit is
// refused (left empty): a cut path would name some other file.
static bool FormExePath(const char* format, char* path, size_t size)
{
    if (size == 0)
        return false;
    path[0] = '\0';
    size_t directoryLength = strnlen(ExeDirectory, ExeDirectorySize);
    if (directoryLength == 0 || directoryLength == ExeDirectorySize)
        return false;  // unknown, or no terminator: not a directory we can name
    int written = snprintf(path, size, format, ExeDirectory);
    if (written < 0 || static_cast<size_t>(written) >= size) {
        memset(path, 0, size);  // no trace of the cut path, in memory or in the file
        return false;
    }
    return true;
}

bool FormConfigurationPath(char* path, size_t size)
{
    return FormExePath(ConfigurationFileFormat, path, size);
}

bool FormDefaultProgramPath(char* path, size_t size)
{
    return FormExePath(FragmentProgramFormat, path, size);
}

// The folder that holds the user's configuration folders; "" when there is none.
static std::string UserConfigurationHome()
{
    const char* home = getenv("XDG_CONFIG_HOME");
    if (home && home[0] == '/')
        return home;
    home = getenv("HOME");
    if (home && home[0] != '\0')
        return std::string(home) + "/.config";
    return "";
}

bool FormUserConfigurationPath(std::string* path)
{
    const std::string home = UserConfigurationHome();
    *path = home.empty() ? "" : home + UserConfigurationFolder + UserConfigurationName;
    return !path->empty();
}

// ---------------------------------------------------------------------------
// Defaults

void SetDefaultSettings()
{
    GenerationSettingsRecord& settings = GenerationSettings;
    settings.backgroundColor[0] = 0.0f;
    settings.backgroundColor[1] = 0.0f;
    settings.backgroundColor[2] = 0.0f;
    settings.backgroundColor[3] = 1.0f;
    // the bytes behind the terminator go to the file too: keep them zero
    memset(settings.fragmentProgramPath, 0, sizeof settings.fragmentProgramPath);
    FormDefaultProgramPath(settings.fragmentProgramPath, sizeof settings.fragmentProgramPath);
    settings.stretchPosition = DefaultStretchPosition;
    settings.fuzzPosition = DefaultFuzzPosition;
    settings.heightPosition = DefaultHeightPosition;
    settings.scalePosition = DefaultScalePosition;
    settings.eliminateZeroHeight = 0;
}

// ---------------------------------------------------------------------------
// The configuration file

// A path field without a terminator would make every reader run past it; it
// is taken as empty rather than cut, since a cut path names another file.
static void ForgetUnterminatedPath(GenerationSettingsRecord& settings)
{
    if (!memchr(settings.fragmentProgramPath, '\0', sizeof settings.fragmentProgramPath))
        memset(settings.fragmentProgramPath, 0, sizeof settings.fragmentProgramPath);
}

void LoadSettingsBytes(const uint8_t* bytes, size_t size)
{
    // a short record fills the leading fields; the rest is zero
    GenerationSettingsRecord loaded;
    memset(&loaded, 0, sizeof loaded);
    if (size > 0)
        memcpy(&loaded, bytes, size < sizeof loaded ? size : sizeof loaded);
    ForgetUnterminatedPath(loaded);
    GenerationSettings = loaded;
    const size_t tail = size > sizeof loaded ? size - sizeof loaded : 0;
    ParseSettingsBlock(tail ? bytes + sizeof loaded : nullptr, tail, &SettingsBlock);
}

bool LoadSettingsFile(const char* path)
{
    const int descriptor = OpenPlainFile(path);
    if (descriptor < 0)
        return false;
    // the record, then the settings that came later
    std::vector<uint8_t> bytes(sizeof(GenerationSettingsRecord) + MaxConfigurationFileSize);
    long count = ReadUpTo(descriptor, bytes.data(), bytes.size());
    close(descriptor);
    if (count < 0)
        return false;
    LoadSettingsBytes(bytes.data(), static_cast<size_t>(count));
    return true;
}

void LoadSettings()
{
    std::string user;
    char path[ConfigurationPathSize];
    if (ConfigurationFilesIgnored ||
        !((FormUserConfigurationPath(&user) && LoadSettingsFile(user.c_str())) ||
          (FormConfigurationPath(path, sizeof path) && LoadSettingsFile(path)))) {
        SetDefaultSettings();
        SetDefaultSettingsBlock(&SettingsBlock);
    }
}

static bool IsSettingsBlock(const std::string& tail)
{
    return tail.compare(0, sizeof SettingsBlockMark - 1, SettingsBlockMark) == 0;
}

// What follows the record: the settings block, unless the file holds something else there
// (kept as it is), and nothing where a file without a block would get only defaults anyway.
static std::string SettingsTail(const std::string& oldTail)
{
    if (!oldTail.empty() && !IsSettingsBlock(oldTail))
        return oldTail;
    SettingsBlockRecord defaults;
    SetDefaultSettingsBlock(&defaults);
    std::vector<uint8_t> block(SettingsBlockCapacity());
    const size_t size = FormatSettingsBlock(&SettingsBlock, block.data(), block.size());
    std::vector<uint8_t> defaultBlock(SettingsBlockCapacity());
    const size_t defaultSize = FormatSettingsBlock(&defaults, defaultBlock.data(), defaultBlock.size());
    if (oldTail.empty() && size == defaultSize && memcmp(block.data(), defaultBlock.data(), size) == 0)
        return std::string();
    return std::string(reinterpret_cast<const char*>(block.data()), size);
}

// The record followed by the settings block, or by what the file at `path` holds after its
// own record when that is no settings block.
static std::string SettingsFileBytes(const char* path)
{
    std::string bytes(reinterpret_cast<const char*>(&GenerationSettings), sizeof GenerationSettings);
    FileContents file;
    if (ReadWholeFile(path, MaxConfigurationFileSize, &file)) {
        std::string tail;
        if (file.size > sizeof GenerationSettings)
            tail.assign(reinterpret_cast<const char*>(file.bytes) + sizeof GenerationSettings,
                        file.size - sizeof GenerationSettings);
        free(file.bytes);
        return bytes + SettingsTail(tail);
    }
    return bytes + SettingsTail(std::string());
}

static bool SaveSettingsTo(const char* path, const std::string& bytes)
{
    return WriteFileReplacing(path, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// Makes the user's configuration folder (private to the user, as the folder
// convention asks) and the folder holding it; false when either is missing after.
static bool MakeUserConfigurationFolder(const std::string& path)
{
    const std::string folder = path.substr(0, path.size() - (sizeof UserConfigurationName - 1));
    const std::string home = folder.substr(0, folder.size() - (sizeof UserConfigurationFolder - 1));
    for (const std::string& level : {home, folder})
        if (mkdir(level.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    return true;
}

static void ReportUnsavedSettings(const char* path, int error)
{
    char text[PATH_MAX + 256];
    snprintf(text, sizeof text, "Could not save the settings to '%s': %s.", path, strerror(error));
    if (MainWindow)
        SetControlText(MainWindow, StatusLineControl, text);
}

bool SaveSettings()
{
    if (ConfigurationFilesIgnored)
        return true;
    std::string user;
    const bool userKnown = FormUserConfigurationPath(&user);
    struct stat info;
    if (userKnown && lstat(user.c_str(), &info) == 0) {
        if (SaveSettingsTo(user.c_str(), SettingsFileBytes(user.c_str())))
            return true;
        ReportUnsavedSettings(user.c_str(), errno);
        return false;
    }
    char path[ConfigurationPathSize];
    const bool formed = FormConfigurationPath(path, sizeof path);
    // the tail of the file beside the executable moves with the record
    const std::string bytes = SettingsFileBytes(formed ? path : nullptr);
    if (formed && SaveSettingsTo(path, bytes))
        return true;
    if (!userKnown) {
        // an executable's folder that is unknown or too long names no file
        ReportUnsavedSettings(formed ? path : "orvanel.cfg", formed ? errno : ENAMETOOLONG);
        return false;
    }
    if (MakeUserConfigurationFolder(user) && SaveSettingsTo(user.c_str(), bytes))
        return true;
    ReportUnsavedSettings(user.c_str(), errno);
    return false;
}

// ---------------------------------------------------------------------------
// Derivation

// The position a trackbar of `range` shows for a stored value.
static int ClampToTrackbarRange(const TrackbarRange& range, int32_t position)
{
    if (position < range.minimum)
        return range.minimum;
    if (position > range.maximum)
        return range.maximum;
    return position;
}

GenerationParamsRecord DeriveGenerationParams(const GenerationSettingsRecord& settings)
{
    // from the positions the trackbars show, so a stored value out of range
    // can never make an oversized shift or an odd scale
    int stretch = ClampToTrackbarRange(StretchTrackbarRange, settings.stretchPosition);
    int fuzz = ClampToTrackbarRange(FuzzTrackbarRange, settings.fuzzPosition);
    int height = ClampToTrackbarRange(HeightTrackbarRange, settings.heightPosition);
    int scale = ClampToTrackbarRange(ScaleTrackbarRange, settings.scalePosition);
    GenerationParamsRecord params;
    params.textureScale = static_cast<float>(stretch) * 0.0078125f;
    params.gridStep = 1 << (fuzz - 1);
    params.heightScale = static_cast<float>(height) * 0.00390625f;
    params.overallScale = static_cast<float>(scale);
    params.eliminateZeroHeight = settings.eliminateZeroHeight ? 1 : 0;
    return params;
}

// ---------------------------------------------------------------------------
// The properties window's controls

static void FillTrackbar(WindowHandle window, const TrackbarRange& range, int32_t position)
{
    SetTrackbarRange(window, range.controlId, range.minimum, range.maximum);
    // the control shows a stored value out of range at the nearer end
    SetTrackbarPosition(window, range.controlId, ClampToTrackbarRange(range, position));
}

static void SetNumberText(WindowHandle window, int controlId, const char* format, double value)
{
    char text[64];
    snprintf(text, sizeof text, format, value);
    SetControlText(window, controlId, text);
}

static void FillMeshControls(WindowHandle window, const SettingsBlockRecord& block)
{
    SetCheckState(window, AdaptiveCheckboxControl, block.meshMode == AdaptiveMeshMode ? 1 : 0);
    SetNumberText(window, MaxFacesEditControl, "%.0f", block.maxFaces);
    SetNumberText(window, MaxErrorEditControl, "%g", block.maxErrorLevels);
    SetCheckState(window, SplitObjectsCheckboxControl, block.splitObjects ? 1 : 0);
    SetCheckState(window, SolidCheckboxControl, block.solid ? 1 : 0);
    SetNumberText(window, SolidBaseEditControl, "%g", block.solidBase);
}

// The number an edit control holds, when it is one within [minimum, maximum]; else `current`.
static double ReadNumberText(WindowHandle window, int controlId, double minimum, double maximum, double current)
{
    char text[64] = "";
    GetControlText(window, controlId, text, sizeof text);
    char* end = nullptr;
    const double value = strtod(text, &end);
    if (end == text || *end != '\0' || !(value >= minimum && value <= maximum))
        return current;
    return value;
}

static void ReadMeshControls(WindowHandle window, SettingsBlockRecord* block)
{
    block->meshMode = GetCheckState(window, AdaptiveCheckboxControl) ? AdaptiveMeshMode : GridMeshMode;
    block->maxFaces = static_cast<int32_t>(ReadNumberText(window, MaxFacesEditControl, 0, INT32_MAX, block->maxFaces));
    block->maxErrorLevels =
        static_cast<float>(ReadNumberText(window, MaxErrorEditControl, 0, 255, block->maxErrorLevels));
    block->splitObjects = GetCheckState(window, SplitObjectsCheckboxControl) ? 1 : 0;
    block->solid = GetCheckState(window, SolidCheckboxControl) ? 1 : 0;
    const double base = ReadNumberText(window, SolidBaseEditControl, 0, 1e6, block->solidBase);
    block->solidBase = base > 0 ? static_cast<float>(base) : block->solidBase;
}

void ShowTrackbarValues(WindowHandle window)
{
    if (!window)
        return;
    GenerationSettingsRecord shown = GenerationSettings;
    shown.stretchPosition = GetTrackbarPosition(window, StretchTrackbarControl);
    shown.fuzzPosition = GetTrackbarPosition(window, FuzzTrackbarControl);
    shown.heightPosition = GetTrackbarPosition(window, HeightTrackbarControl);
    shown.scalePosition = GetTrackbarPosition(window, ScaleTrackbarControl);
    const GenerationParamsRecord params = DeriveGenerationParams(shown);
    char text[64];
    snprintf(text, sizeof text, "repeat \xC3\x97%g", params.textureScale);
    SetControlText(window, StretchValueControl, text);
    snprintf(text, sizeof text, "step %d px", static_cast<int>(params.gridStep));
    SetControlText(window, FuzzValueControl, text);
    snprintf(text, sizeof text, "height \xC3\x97%g", params.heightScale);
    SetControlText(window, HeightValueControl, text);
    snprintf(text, sizeof text, "%g units/px", params.overallScale);
    SetControlText(window, ScaleValueControl, text);
}

void FillPropertiesWindow(WindowHandle window)
{
    if (!window)
        return;
    const GenerationSettingsRecord& settings = GenerationSettings;
    FillTrackbar(window, StretchTrackbarRange, settings.stretchPosition);
    FillTrackbar(window, FuzzTrackbarRange, settings.fuzzPosition);
    FillTrackbar(window, HeightTrackbarRange, settings.heightPosition);
    FillTrackbar(window, ScaleTrackbarRange, settings.scalePosition);
    SetCheckState(window, EliminateCheckboxControl, settings.eliminateZeroHeight ? 1 : 0);
    FillMeshControls(window, SettingsBlock);
    ShowTrackbarValues(window);
}

void ReadPropertiesWindow(WindowHandle window)
{
    // without the window there is nothing to read back, and saving would
    // only overwrite the file with what was loaded
    if (!window)
        return;
    ReadPropertiesControls(window, &GenerationSettings, &SettingsBlock);
    GenerationParams = DeriveGenerationParams(GenerationSettings);
    SaveSettings();
}

void ReadPropertiesControls(WindowHandle window, GenerationSettingsRecord* settings, SettingsBlockRecord* block)
{
    settings->stretchPosition = GetTrackbarPosition(window, StretchTrackbarControl);
    settings->fuzzPosition = GetTrackbarPosition(window, FuzzTrackbarControl);
    settings->heightPosition = GetTrackbarPosition(window, HeightTrackbarControl);
    settings->scalePosition = GetTrackbarPosition(window, ScaleTrackbarControl);
    settings->eliminateZeroHeight = GetCheckState(window, EliminateCheckboxControl) ? 1 : 0;
    ReadMeshControls(window, block);
}
