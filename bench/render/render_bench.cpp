// One preview frame of the largest heightmesh the writer allows (256 x 128 at
// step 1: 32,768 vertices, 64,770 faces) in an 800 x 600 preview, on the
// headless back end (Mesa's llvmpipe without a GPU):
//   FrameLightingData    the per-frame CPU work of per-pixel lighting
//                        (deform, world-to-object, tangent-space light vectors);
//                        the surface does not move, so its tangent frames are kept
//   FallbackColours      the fallback's per-frame CPU lighting
//   WholeFrame/...       BuildFrame, RenderFrame and the swap (which finishes the
//                        GL work); frames per second in items_per_second
// "allocations" counts the program's own malloc/calloc/realloc calls per frame.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <sys/stat.h>

#include "app/main_dialog.h"
#include "image/picture_texture.h"
#include "model/lighting_data.h"
#include "model/model_store.h"
#include "platform/platform_ops.h"
#include "platform/shell.h"
#include "render/fallback_lighting.h"
#include "render/frame.h"
#include "render/gl_setup.h"
#include "render/lighting_textures.h"
#include "settings/settings.h"
#include "tests/support/heightmesh_file.h"

// ---------------------------------------------------------------------------
// Counting the program's allocations (linked with --wrap)

static long AllocationCount = 0;

extern "C" {
void* __real_malloc(size_t size);
void* __real_calloc(size_t count, size_t size);
void* __real_realloc(void* block, size_t size);
void* __wrap_malloc(size_t size)
{
    ++AllocationCount;
    return __real_malloc(size);
}
void* __wrap_calloc(size_t count, size_t size)
{
    ++AllocationCount;
    return __real_calloc(count, size);
}
void* __wrap_realloc(void* block, size_t size)
{
    ++AllocationCount;
    return __real_realloc(block, size);
}
}

// ---------------------------------------------------------------------------
// The preview, set up once

static MainDialog* BenchDialog = nullptr;
static std::string BenchDirectory;

static uint32_t SolidTexture(uint8_t r, uint8_t g, uint8_t b)
{
    uint8_t texels[16 * 4];
    for (int i = 0; i < 16; ++i) {
        texels[i * 4] = r;
        texels[i * 4 + 1] = g;
        texels[i * 4 + 2] = b;
        texels[i * 4 + 3] = 255;
    }
    uint32_t name = TakeTextureId();
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
    return name;
}

// Rolling hills over the whole heightmap, so that every face is lit differently.
static HeightmeshShape LargestShape()
{
    HeightmeshShape shape;
    shape.width = 256;
    shape.height = 128;
    shape.gridStep = 1;
    shape.red = [](int x, int y) {
        return static_cast<int>(127.5 + 60.0 * std::sin(x * 0.07) + 60.0 * std::cos(y * 0.11));
    };
    return shape;
}

// Copies the source tree's fragment program to <directory>/fp/light_std.fp.
static bool LayFragmentProgram(const std::string& directory)
{
    if (mkdir((directory + "/fp").c_str(), 0700) != 0)
        return false;
    std::ifstream source(std::string(ORVANEL_SOURCE_DIR) + "/fp/light_std.fp", std::ios::binary);
    std::ofstream target(directory + "/fp/light_std.fp", std::ios::binary);
    target << source.rdbuf();
    return source.good() && target.good();
}

static bool SetUpPreview()
{
    if (BenchDialog)
        return true;
    char pattern[] = "/tmp/orvanel-bench-XXXXXX";
    if (!mkdtemp(pattern))
        return false;
    BenchDirectory = pattern;
    SetExecutablePathOverride((BenchDirectory + "/orvanel").c_str());
    // start-up sets up GL once, with the program it finds beside the executable
    if (!LayFragmentProgram(BenchDirectory))
        return false;
    BenchDialog = new MainDialog();
    if (!BenchDialog->Create() || !SetControlSize(BenchDialog->Window(), 1004, 800, 600))
        return false;
    GenerationSettings.backgroundColor[3] = 1.0f;
    if (!SetupPreviewGL(BenchDialog->Window()) || !FragmentProgramAvailable)
        return false;
    CreateLightingTextures();  // made at start-up already; kept for a start-up without them
    DecalTextureId = SolidTexture(200, 180, 150);
    NormalTextureId = SolidTexture(128, 128, 255);
    std::string path = BenchDirectory + "/largest.3ds";
    HeightmeshData mesh = SampleHeightmesh(LargestShape());
    if (mesh.positions.size() != 32768 * 3 || mesh.faces.size() != 64770 * 4)
        return false;
    if (!WriteBytesToFile(path, HeightmeshFileBytes(mesh)))
        return false;
    CurrentModelInstance = LoadModelInstance(path.c_str());
    return CurrentModelInstance && GetInstanceModel(CurrentModelInstance);
}

static SceneEntity FrameEntity()
{
    SceneEntity entity = {};
    entity.position = FrameEntityPosition;
    entity.angles[0] = ViewTilt + FrameTiltOffset;
    entity.angles[1] = ViewSpin + FrameSpinOffset;
    entity.active = 1;
    entity.surfaces = GetInstanceModel(CurrentModelInstance)->firstSurface;
    entity.decalTexture = DecalTextureId;
    entity.normalTexture = NormalTextureId;
    return entity;
}

// ---------------------------------------------------------------------------
// Benchmarks

static void FrameLightingData(benchmark::State& state)
{
    if (!SetUpPreview()) {
        state.SkipWithError("preview set-up failed");
        return;
    }
    SceneEntity entity = FrameEntity();
    Surface* surface = entity.surfaces;
    long allocations = AllocationCount;
    for (auto _ : state) {
        DeformSurface(surface);
        float worldToObject[12];
        EntityWorldToObject(entity, worldToObject);
        Vec3 lightObject;
        TransformPoint(worldToObject, FrameLightPosition, lightObject);
        ComputeTangentLightVectors(surface->vertexCount, surface->positions, surface->faceCount, surface->faces,
                                   surface->tangentFrames, surface->normals, surface->lightVectors, lightObject,
                                   SurfaceTexCoordPairs(surface), surface);
        benchmark::DoNotOptimize(surface->lightVectors[0]);
    }
    state.counters["allocations"] =
        benchmark::Counter(static_cast<double>(AllocationCount - allocations), benchmark::Counter::kAvgIterations);
}
BENCHMARK(FrameLightingData)->Unit(benchmark::kMillisecond);

static void FallbackColors(benchmark::State& state)
{
    if (!SetUpPreview()) {
        state.SkipWithError("preview set-up failed");
        return;
    }
    SceneEntity entity = FrameEntity();
    SceneLight light = {};
    light.color[0] = light.color[1] = light.color[2] = 1.0f;
    light.radius = FrameLightRadius;
    AddLight(&light);
    ComputeFallbackColors(entity, entity.surfaces);  // the one allocation of the colours
    long allocations = AllocationCount;
    for (auto _ : state) {
        ComputeFallbackColors(entity, entity.surfaces);
        benchmark::DoNotOptimize(entity.surfaces->vertexColors[0]);
    }
    state.counters["allocations"] =
        benchmark::Counter(static_cast<double>(AllocationCount - allocations), benchmark::Counter::kAvgIterations);
    FreeLightList(LightList);
    LightList = nullptr;
}
BENCHMARK(FallbackColors)->Unit(benchmark::kMillisecond);

// state.range(0): 1 per-pixel lighting, 0 the fallback.
static void WholeFrame(benchmark::State& state)
{
    if (!SetUpPreview()) {
        state.SkipWithError("preview set-up failed");
        return;
    }
    bool perPixel = FragmentProgramAvailable;
    FragmentProgramAvailable = state.range(0) != 0;
    FrameTimerProc(nullptr, 0, FrameTimerId, 0);  // warm: first-use allocations happen here
    long allocations = AllocationCount;
    for (auto _ : state) {
        BuildFrame();
        SwapGLBuffers(PreviewGLContext);  // finishes the frame's GL work
    }
    state.counters["allocations"] =
        benchmark::Counter(static_cast<double>(AllocationCount - allocations), benchmark::Counter::kAvgIterations);
    state.SetItemsProcessed(state.iterations());
    FragmentProgramAvailable = perPixel;
}
BENCHMARK(WholeFrame)->Arg(1)->Arg(0)->ArgName("perPixel")->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    ReleaseAllModels();
    ReleasePreviewGL();
    delete BenchDialog;
    if (!BenchDirectory.empty() && std::system(("rm -rf '" + BenchDirectory + "'").c_str()) != 0)
        fprintf(stderr, "could not remove %s\n", BenchDirectory.c_str());
    return 0;
}
