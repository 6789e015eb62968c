// Batch mode. The same code as the desktop runs on the headless back end:
// the main window exists in memory, its dialogs are answered from here, and
// every text it shows is printed on standard error.
#include "app/batch.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <getopt.h>

#include "app/batch_internal.h"
#include "app/main_dialog.h"
#include "image/image_load.h"
#include "image/png_write.h"
#include "platform/headless/headless.h"
#include "platform/shell.h"
#include "render/gl_setup.h"
#include "resources/resource_ids.h"
#include "resources/resources.h"
#include "settings/settings.h"
#include "settings/settings_block.h"

static const char UsageText[] =
    "Usage:\n"
    "  orvanel [HEIGHTMAP.bmp]                      the desktop program\n"
    "  orvanel --generate HEIGHTMAP.bmp --output MESH.3ds [options]\n"
    "      --texture-stretching N     1..1024, default 128\n"
    "      --grid-fuzz N              1..6,    default 2 (grid step 2^(N-1) pixels)\n"
    "      --height-scaling N         1..4096, default 256 (height = red * N / 256)\n"
    "      --overall-scale N          4..1024, default 24 (world units per pixel)\n"
    "      --eliminate-zero-height    drop triangles lying entirely at height 0\n"
    "      --mesh grid|adaptive       the regular grid (default) or the adaptive mesh\n"
    "      --max-faces N              12.., the adaptive mesh's face budget (default: what the format allows)\n"
    "      --max-error LEVELS         0..255: the adaptive mesh stops refining at this error\n"
    "      --split-objects            a mesh over the 3DS limits as several objects in one .3ds\n"
    "      --solid BASE               close the surface into a solid, its bottom BASE units below\n"
    "      --settings FILE            start from a saved orvanel.cfg instead of the defaults\n"
    "      --decal FILE.bmp           decal texture for the preview image\n"
    "      --normal-map FILE.bmp      normal-map texture for the preview image\n"
    "      --preview IMAGE.png        also render the preview to a PNG\n"
    "      --preview-size WxH         default 800x600\n"
    "      --spin DEG, --tilt DEG     the mouse-drag angles for that preview\n"
    "  HEIGHTMAP may be .bmp or .png; MESH's extension picks the format: .3ds, .obj, .stl,\n"
    "  .ply, .glb, .gltf, .dae, .fbx or .3mf\n"
    "  orvanel --info MESH.3ds                      list the surfaces of any .3ds file\n"
    "  orvanel --help, orvanel --version\n";

// ---------------------------------------------------------------------------
// The command line

int UsageError(const std::string& reason)
{
    fprintf(stderr, "orvanel: %s\nTry 'orvanel --help' for more information.\n", reason.c_str());
    return 2;
}

static bool ParseInteger(const char* text, int minimum, int maximum, int* value)
{
    char* end = nullptr;
    errno = 0;
    long number = strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || number < minimum || number > maximum)
        return false;
    *value = static_cast<int>(number);
    return true;
}

static bool ParseFloat(const char* text, float* value)
{
    char* end = nullptr;
    errno = 0;
    float number = strtof(text, &end);
    if (errno != 0 || end == text || *end != '\0' || number != number || number > 1e9f || number < -1e9f)
        return false;
    *value = number;
    return true;
}

static bool ParseSize(const char* text, int* width, int* height)
{
    const char* x = strchr(text, 'x');
    if (!x)
        return false;
    std::string first(text, x - text);
    return ParseInteger(first.c_str(), 1, 8192, width) && ParseInteger(x + 1, 1, 8192, height);
}

enum OptionKind {
    FlagOption,      // no value: sets `flag`
    PathOption,      // a path, kept as given in `path`
    PositionOption,  // a slider position from minimum to maximum, into `position`
    SizeOption,      // WxH, into the preview size
    AngleOption,     // degrees, into `angle`
    NumberOption,    // a number from minimum to maximum (exclusive of 0 where minimum is -1), into `angle`
};

struct BatchOption {
    const char* name;  // the option without its leading "--"
    OptionKind kind;
    bool BatchOptions::*flag;
    const char* BatchOptions::*path;
    int BatchOptions::*position;
    int minimum;  // the slider's range
    int maximum;
    float BatchOptions::*angle;
};

static const BatchOption BatchOptionTable[] = {
    {"help", FlagOption, &BatchOptions::help, nullptr, nullptr, 0, 0, nullptr},
    {"version", FlagOption, &BatchOptions::version, nullptr, nullptr, 0, 0, nullptr},
    {"eliminate-zero-height", FlagOption, &BatchOptions::eliminate, nullptr, nullptr, 0, 0, nullptr},
    {"generate", PathOption, nullptr, &BatchOptions::heightmap, nullptr, 0, 0, nullptr},
    {"output", PathOption, nullptr, &BatchOptions::output, nullptr, 0, 0, nullptr},
    {"info", PathOption, nullptr, &BatchOptions::info, nullptr, 0, 0, nullptr},
    {"settings", PathOption, nullptr, &BatchOptions::settingsFile, nullptr, 0, 0, nullptr},
    {"decal", PathOption, nullptr, &BatchOptions::decal, nullptr, 0, 0, nullptr},
    {"normal-map", PathOption, nullptr, &BatchOptions::normalMap, nullptr, 0, 0, nullptr},
    {"preview", PathOption, nullptr, &BatchOptions::preview, nullptr, 0, 0, nullptr},
    {"texture-stretching", PositionOption, nullptr, nullptr, &BatchOptions::stretch, 1, 1024, nullptr},
    {"grid-fuzz", PositionOption, nullptr, nullptr, &BatchOptions::fuzz, 1, 6, nullptr},
    {"height-scaling", PositionOption, nullptr, nullptr, &BatchOptions::height, 1, 4096, nullptr},
    {"overall-scale", PositionOption, nullptr, nullptr, &BatchOptions::scale, 4, 1024, nullptr},
    {"preview-size", SizeOption, nullptr, nullptr, nullptr, 0, 0, nullptr},
    {"spin", AngleOption, nullptr, nullptr, nullptr, 0, 0, &BatchOptions::spin},
    {"tilt", AngleOption, nullptr, nullptr, nullptr, 0, 0, &BatchOptions::tilt},
    {"mesh", PathOption, nullptr, &BatchOptions::mesh, nullptr, 0, 0, nullptr},
    {"max-faces", PositionOption, nullptr, nullptr, &BatchOptions::maxFaces, 12, INT_MAX, nullptr},
    {"max-error", NumberOption, nullptr, nullptr, nullptr, 0, 255, &BatchOptions::maxError},
    {"split-objects", FlagOption, &BatchOptions::splitObjects, nullptr, nullptr, 0, 0, nullptr},
    {"solid", NumberOption, nullptr, nullptr, nullptr, -1, 1000000, &BatchOptions::solidBase},
};
static const size_t BatchOptionCount = sizeof BatchOptionTable / sizeof BatchOptionTable[0];

// A number within the option's range; a minimum of -1 stands for "above 0".
static int ParseNumberOption(const BatchOption& option, const char* value, float* number)
{
    const bool aboveZero = option.minimum < 0;
    if (ParseFloat(value, number) && *number <= option.maximum &&
        (aboveZero ? *number > 0.0f : *number >= option.minimum))
        return 0;
    const std::string range = aboveZero
        ? "above 0 and up to " + std::to_string(option.maximum)
        : "from " + std::to_string(option.minimum) + " to " + std::to_string(option.maximum);
    return UsageError(std::string("'") + value + "' is not a number " + range + " for --" + option.name);
}

// One option with its value (null for a flag); returns 0 or the usage status.
static int ApplyOption(const BatchOption& option, const char* value, BatchOptions* options)
{
    const std::string name = std::string("--") + option.name;
    if (option.kind == FlagOption) {
        options->*option.flag = true;
        return 0;
    }
    if (!value || value[0] == '\0')
        return UsageError("option '" + name + "' needs a value");
    switch (option.kind) {
    case PathOption:
        options->*option.path = value;
        return 0;
    case PositionOption:
        if (!ParseInteger(value, option.minimum, option.maximum, &(options->*option.position)))
            return UsageError(std::string("'") + value + "' is not a whole number from " +
                              std::to_string(option.minimum) + " to " + std::to_string(option.maximum) + " for " +
                              name);
        return 0;
    case SizeOption:
        if (!ParseSize(value, &options->previewWidth, &options->previewHeight))
            return UsageError(std::string("'") + value + "' is not a size like 800x600 (1 to 8192 each)");
        return 0;
    case NumberOption:
        return ParseNumberOption(option, value, &(options->*option.angle));
    default:
        if (!ParseFloat(value, &(options->*option.angle)))
            return UsageError(std::string("'") + value + "' is not a number of degrees for " + name);
        return 0;
    }
}

// A word the option parser takes: a long option, "--" or -h. Anything else
// (a stray file name, other short options) is an unexpected argument.
static bool IsOptionWord(const char* word)
{
    return strncmp(word, "--", 2) == 0 || strcmp(word, "-h") == 0;
}

// The option's name as written: the word up to its '=', if it has one.
static std::string WrittenName(const char* word)
{
    const char* equals = strchr(word, '=');
    return equals ? std::string(word, equals - word) : std::string(word);
}

// getopt_long takes --option value, --option=value and "--" (the end of the
// options). It would also take a unique abbreviation; only whole names are options here.
static int ParseBatchOptions(int argc, char** argv, BatchOptions* options)
{
    struct option longOptions[BatchOptionCount + 1] = {};
    for (size_t i = 0; i < BatchOptionCount; ++i)
        longOptions[i] = {BatchOptionTable[i].name,
                          BatchOptionTable[i].kind == FlagOption ? no_argument : required_argument, nullptr, 0};
    opterr = 0;  // the messages are the program's own
    optind = 0;  // a fresh scan
    int next = 1;
    while (next < argc && IsOptionWord(argv[next])) {
        int index = -1;
        // '+': stop at the first word that is no option; ':': report a missing value as ':'
        const int code = getopt_long(argc, argv, "+:h", longOptions, &index);
        const char* word = argv[next];
        next = optind;
        if (code == -1)
            break;
        if (code == 'h') {
            options->help = true;
            continue;
        }
        if (code == ':')
            return UsageError("option '" + WrittenName(word) + "' needs a value");
        if (code != 0 || index < 0 || WrittenName(word) != std::string("--") + BatchOptionTable[index].name)
            return UsageError(std::string("unknown option '") + word + "'");
        const int status = ApplyOption(BatchOptionTable[index], optarg, options);
        if (status != 0)
            return status;
    }
    if (next < argc)
        return UsageError(std::string("unexpected argument '") + argv[next] + "'");
    if (options->help || options->version)
        return 0;
    if (options->info && options->heightmap)
        return UsageError("--info and --generate cannot be combined");
    if (options->info)
        return 0;
    if (!options->heightmap)
        return UsageError("nothing to do: give --generate HEIGHTMAP.bmp --output MESH.3ds, or --info MESH.3ds");
    if (!options->output)
        return UsageError("--generate needs --output MESH.3ds");
    if (options->mesh && strcmp(options->mesh, "grid") != 0 && strcmp(options->mesh, "adaptive") != 0)
        return UsageError(std::string("'") + options->mesh + "' is not a mesh mode: give grid or adaptive");
    return RefuseSharedOutputs(*options);
}

bool IsBatchCommandLine(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (strncmp(argv[i], "--", 2) == 0 || strcmp(argv[i], "-h") == 0)
            return true;
    return false;
}

// ---------------------------------------------------------------------------
// --generate (--info lies in batch_info.cpp, the checks of the outputs in batch_outputs.cpp)

static void EchoText(WindowHandle, int controlId, const char* text)
{
    if (controlId == StatusLineControl || controlId == -1)
        fprintf(stderr, "%s\n", text);
}

static void ApplySliderOptions(const BatchOptions& options)
{
    if (options.stretch >= 0)
        GenerationSettings.stretchPosition = options.stretch;
    if (options.fuzz >= 0)
        GenerationSettings.fuzzPosition = options.fuzz;
    if (options.height >= 0)
        GenerationSettings.heightPosition = options.height;
    if (options.scale >= 0)
        GenerationSettings.scalePosition = options.scale;
    if (options.eliminate)
        GenerationSettings.eliminateZeroHeight = 1;
    if (options.mesh)
        SettingsBlock.meshMode = strcmp(options.mesh, "adaptive") == 0 ? AdaptiveMeshMode : GridMeshMode;
    if (options.maxFaces > 0)
        SettingsBlock.maxFaces = options.maxFaces;
    if (options.maxError >= 0.0f)
        SettingsBlock.maxErrorLevels = options.maxError;
    if (options.splitObjects)
        SettingsBlock.splitObjects = 1;
    if (options.solidBase > 0.0f) {
        SettingsBlock.solid = 1;
        SettingsBlock.solidBase = options.solidBase;
    }
}

static bool LoadTexture(int mode, const char* path)
{
    ImageLoadMode = mode;
    const bool loaded = LoadImageFile(MainWindow, path);
    ImageLoadMode = Heightmap;
    return loaded;
}

static bool RenderPreview(MainDialog& dialog, const BatchOptions& options)
{
    const PlatformRect margins = PreviewFrameMargins(dialog.Window());
    HeadlessResizeClient(dialog.Window(), options.previewWidth + margins.right, options.previewHeight + margins.bottom);
    ViewSpin = options.spin;
    ViewTilt = options.tilt;
    TickHeadlessTimers(1);
    std::vector<uint8_t> pixels;
    int width = 0, height = 0;
    if (!PreviewGLContext || !HeadlessReadPixels(PreviewGLContext, &pixels, &width, &height)) {
        fprintf(stderr, "orvanel: no OpenGL context to render the preview\n");
        return false;
    }
    if (!WritePNG(options.preview, pixels.data(), width, height)) {
        fprintf(stderr, "Could not save '%s'.\n", options.preview);
        return false;
    }
    fprintf(stderr, "Successfully saved '%s'.\n", options.preview);
    return true;
}

static bool GenerateWith(MainDialog& dialog, const BatchOptions& options)
{
    SetDefaultSettingsBlock(&SettingsBlock);
    if (!options.settingsFile)
        SetDefaultSettings();
    else if (!LoadSettingsFile(options.settingsFile)) {
        fprintf(stderr, "Could not open '%s'.\n", options.settingsFile);
        return false;
    }
    ApplySliderOptions(options);
    GenerationParams = DeriveGenerationParams(GenerationSettings);
    HeightmapAnySize = SettingsBlock.meshMode == AdaptiveMeshMode;
    if (!LoadImageFile(dialog.Window(), options.heightmap))
        return false;
    if (options.decal && !LoadTexture(Decal, options.decal))
        return false;
    if (options.normalMap && !LoadTexture(NormalMap, options.normalMap))
        return false;
    const std::string output = OutputPath(options.output);
    if (!OutputsCanBeWritten(output, options.preview))
        return false;
    QueueFileDialogAnswer(output.c_str());
    if (!OnGenerate())
        return false;
    return !options.preview || RenderPreview(dialog, options);
}

static int RunGenerate(const BatchOptions& options)
{
    SetHeadlessTextObserver(EchoText);
    // Batch mode reads only the settings file it is given and saves none, on any
    // path: start-up takes the defaults, generation reads the options, and
    // shut-down has no window to read back.
    ConfigurationFilesIgnored = true;
    MainDialog dialog;
    // GL is set up only to draw the preview image
    dialog.drawsPreview = options.preview != nullptr;
    dialog.showsLivePreview = false;
    dialog.steersView = false;
    bool created = dialog.Create();
    PropertiesWindow = nullptr;
    bool succeeded = created && GenerateWith(dialog, options);
    dialog.OnClose();
    HeadlessReleaseGL();
    SetHeadlessTextObserver(nullptr);
    return succeeded ? 0 : 1;
}

int RunBatch(int argc, char** argv)
{
    BatchOptions options;
    int status = ParseBatchOptions(argc, argv, &options);
    if (status != 0)
        return status;
    if (options.help) {
        fputs(UsageText, stdout);
        return 0;
    }
    if (options.version) {
        puts(ReleaseLine);
        return 0;
    }
    if (options.info)
        return PrintModelInfo(options.info);
    return RunGenerate(options);
}
