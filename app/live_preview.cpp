// The live preview: change detection on a timer, the worker thread, and the hand-over of a
// built mesh to the model store.
//
// Contents: the settings a mesh depends on; the heightmap's copy; the worker; the timer.
#include "app/live_preview.h"

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "image/image_load.h"
#include "mesh/height_mesh.h"
#include "model/model_store.h"
#include "platform/shell.h"
#include "render/view.h"
#include "resources/resource_ids.h"
#include "settings/settings.h"
#include "settings/settings_block.h"

// How often the controls are looked at: about twice a frame at 60 frames a second.
static const unsigned LivePreviewIntervalMs = 8;
// The name the model store keeps the shown mesh under; no file has it.
static const char LivePreviewName[] = "(unsaved preview)";

// ---------------------------------------------------------------------------
// The settings a mesh depends on

// The mesh fields of the settings block.
struct MeshFields {
    int32_t meshMode, maxFaces, splitObjects, solid;
    float maxErrorLevels, solidBase;
};

struct MeshInputs {
    uint32_t heightmap;    // HeightmapLoadCount of the heightmap; 0 for none
    int32_t positions[5];  // stretch, fuzz, height, scale, eliminate
    MeshFields mesh;
};

static MeshFields FieldsOf(const SettingsBlockRecord& block)
{
    return MeshFields{block.meshMode, block.maxFaces,       block.splitObjects,
                      block.solid,    block.maxErrorLevels, block.solidBase};
}

// The other way: the fields into a block for the mesh builder.
static void PutFields(const MeshFields& fields, SettingsBlockRecord* block)
{
    block->meshMode = fields.meshMode;
    block->maxFaces = fields.maxFaces;
    block->splitObjects = fields.splitObjects;
    block->solid = fields.solid;
    block->maxErrorLevels = fields.maxErrorLevels;
    block->solidBase = fields.solidBase;
}

// What the properties window shows now (the loaded settings without one).
static MeshInputs CurrentInputs(WindowHandle properties)
{
    static GenerationSettingsRecord settings;
    static SettingsBlockRecord block;
    settings = GenerationSettings;
    PutFields(FieldsOf(SettingsBlock), &block);
    if (properties)
        ReadPropertiesControls(properties, &settings, &block);
    MeshInputs inputs = {};
    inputs.heightmap = HeightmapImage ? HeightmapLoadCount : 0;
    const int32_t positions[5] = {settings.stretchPosition, settings.fuzzPosition, settings.heightPosition,
                                  settings.scalePosition, settings.eliminateZeroHeight};
    memcpy(inputs.positions, positions, sizeof positions);
    inputs.mesh = FieldsOf(block);
    return inputs;
}

static bool SameInputs(const MeshInputs& a, const MeshInputs& b)
{
    return memcmp(&a, &b, sizeof a) == 0;  // no padding: 32-bit fields only
}

static GenerationSettingsRecord SettingsOf(const MeshInputs& inputs)
{
    GenerationSettingsRecord settings = GenerationSettings;
    settings.stretchPosition = inputs.positions[0];
    settings.fuzzPosition = inputs.positions[1];
    settings.heightPosition = inputs.positions[2];
    settings.scalePosition = inputs.positions[3];
    settings.eliminateZeroHeight = inputs.positions[4];
    return settings;
}

// ---------------------------------------------------------------------------
// The heightmap's copy: the worker reads it while the user may load another

static std::shared_ptr<Image> CopyHeightmap()
{
    const Image* image = HeightmapImage;
    const size_t pixels = static_cast<size_t>(image->width) * static_cast<size_t>(image->height);
    const size_t size = sizeof(Image) + (image->samples ? 2 * pixels : 4 * pixels);
    Image* copy = static_cast<Image*>(malloc(size));
    if (!copy)
        return nullptr;
    memcpy(copy, image, size);
    if (image->samples)
        copy->samples = reinterpret_cast<uint16_t*>(copy->pixels);
    return std::shared_ptr<Image>(copy, FreeImage);
}

// ---------------------------------------------------------------------------
// The worker

struct LiveBuild {
    uint64_t serial;  // the request's number: only the newest is shown
    MeshInputs inputs;
    std::shared_ptr<Image> image;
    MeshPreview preview;  // the result, once done
    const char* failure;  // or why there is none
};

static struct {
    std::mutex lock;
    std::condition_variable wake;
    std::thread worker;
    uint64_t latest;     // the newest request's serial; raised to drop everything older
    bool running;        // the worker thread exists
    bool stopping;       // the worker is asked to end
    bool pending;        // `next` waits to be built
    bool done;           // `finished` waits to be shown
    LiveBuild next;      // the newest request
    LiveBuild finished;  // the newest result
} Worker;

// Puts build (nothing, when null) in the result slot, freeing the bytes of a result never
// shown. The lock is held.
static void ReplaceFinished(const LiveBuild* build)
{
    if (Worker.done)
        free(Worker.finished.preview.bytes);
    Worker.finished = build ? *build : LiveBuild{};
    Worker.done = build != nullptr;
}

static void BuildOne(LiveBuild* build)
{
    SettingsBlockRecord* block = static_cast<SettingsBlockRecord*>(calloc(1, sizeof(SettingsBlockRecord)));
    if (!block) {
        build->failure = "Not enough memory to build the mesh.";
        return;
    }
    PutFields(build->inputs.mesh, block);
    const GenerationParamsRecord params = DeriveGenerationParams(SettingsOf(build->inputs));
    build->failure = BuildMeshPreview(build->image.get(), params, *block, &build->preview);
    free(block);
}

static void WorkerLoop()
{
    std::unique_lock<std::mutex> held(Worker.lock);
    for (;;) {
        Worker.wake.wait(held, [] { return Worker.pending || Worker.stopping; });
        if (Worker.stopping)
            return;
        LiveBuild build = Worker.next;
        Worker.pending = false;
        Worker.next.image.reset();
        held.unlock();
        BuildOne(&build);
        build.image.reset();
        held.lock();
        if (Worker.pending || build.serial != Worker.latest) {  // a newer change came in: out of date
            free(build.preview.bytes);
            continue;
        }
        ReplaceFinished(&build);
    }
}

static void RequestBuild(const MeshInputs& inputs)
{
    std::shared_ptr<Image> image = CopyHeightmap();
    std::lock_guard<std::mutex> held(Worker.lock);
    Worker.next = LiveBuild{++Worker.latest, inputs, image, MeshPreview{},
                            image ? nullptr : "Not enough memory to build the mesh."};
    Worker.pending = image != nullptr;
    if (!image)  // told at once
        ReplaceFinished(&Worker.next);
    if (!Worker.running) {
        Worker.running = true;
        Worker.stopping = false;
        Worker.worker = std::thread(WorkerLoop);
    }
    Worker.wake.notify_one();
}

static bool TakeFinished(LiveBuild* build)
{
    std::lock_guard<std::mutex> held(Worker.lock);
    if (!Worker.done)
        return false;
    *build = Worker.finished;
    Worker.finished = LiveBuild{};
    Worker.done = false;
    return true;
}

// ---------------------------------------------------------------------------
// The timer

static WindowHandle LiveWindow = nullptr;
static MeshInputs Requested;      // what was last asked for
static bool ShowingLive;          // the preview holds a mesh of ours, not a file
static uint32_t FramedHeightmap;  // the heightmap whose mesh the view was last framed to

static void SetDetail(const char* format, long long a, long long b, double error, bool adaptive)
{
    char text[256];
    int used = snprintf(text, sizeof text, format, a, b);
    if (adaptive && used > 0 && static_cast<size_t>(used) < sizeof text)
        snprintf(text + used, sizeof text - used, ", largest error %.3f levels", error);
    SetControlText(LiveWindow, StatusDetailControl, text);
}

static void ShowBuild(LiveBuild* build)
{
    if (build->failure) {
        char text[256];
        snprintf(text, sizeof text, "Preview%s: %s", ShowingLive ? " (the last mesh that fitted)" : "", build->failure);
        SetControlText(LiveWindow, StatusDetailControl, text);
        return;
    }
    if (CurrentModelInstance)
        UnloadModelSlot(CurrentModelInstance->slot);
    CurrentModelInstance = nullptr;
    ReleaseAllModels();
    if (!AddModelFileBytes(LivePreviewName, build->preview.bytes, build->preview.size))
        return;
    CurrentModelInstance = LoadModelInstance(LivePreviewName);
    ShowingLive = CurrentModelInstance != nullptr;
    // the instance may be the one shown before: the frame is told; a new heightmap is framed
    PreviewOutOfDate = true;
    if (ShowingLive && build->inputs.heightmap != FramedHeightmap) {
        FitViewToModel(GetInstanceModel(CurrentModelInstance));
        FramedHeightmap = build->inputs.heightmap;
    }
    if (build->preview.shownFaces < build->preview.faceCount)
        SetDetail("Unsaved preview: %lld vertices, %lld faces (drawn simplified)", build->preview.vertexCount,
                  build->preview.faceCount, build->preview.maxErrorLevels, build->preview.adaptive);
    else
        SetDetail("Unsaved preview: %lld vertices, %lld faces", build->preview.vertexCount, build->preview.faceCount,
                  build->preview.maxErrorLevels, build->preview.adaptive);
}

static void LivePreviewTimerProc(WindowHandle, unsigned, uintptr_t, uint32_t)
{
    LiveBuild build;
    if (TakeFinished(&build))
        ShowBuild(&build);
    const MeshInputs inputs = CurrentInputs(PropertiesWindow);
    if (SameInputs(inputs, Requested))
        return;
    Requested = inputs;
    ShowTrackbarValues(PropertiesWindow);
    if (inputs.heightmap != 0) {
        RequestBuild(inputs);
        SetControlText(LiveWindow, StatusDetailControl, "Building the preview...");
    }
}

void StartLivePreview(WindowHandle window)
{
    LiveWindow = window;
    Requested = MeshInputs{};
    ShowingLive = false;
    FramedHeightmap = 0;
    SetWindowTimer(window, LivePreviewTimerId, LivePreviewIntervalMs, LivePreviewTimerProc);
}

void KeepWrittenFileOnShow()
{
    Requested = CurrentInputs(PropertiesWindow);
    ShowingLive = false;
    {
        std::lock_guard<std::mutex> held(Worker.lock);
        ++Worker.latest;  // a build under way is dropped when it ends
        Worker.pending = false;
        ReplaceFinished(nullptr);
    }
}

void StopLivePreview()
{
    {
        std::lock_guard<std::mutex> held(Worker.lock);
        Worker.stopping = true;
    }
    Worker.wake.notify_one();
    if (Worker.running)
        Worker.worker.join();
    Worker.running = false;
    Worker.pending = false;
    Worker.next = LiveBuild{};
    ReplaceFinished(nullptr);
    LiveWindow = nullptr;
}
