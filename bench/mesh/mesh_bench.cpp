// LivePreviewMesh: the live preview's rebuild after a changed setting, without a file.
// GenerateLargestMesh: Generate on the largest mesh the 3DS format holds (256 x 128 at step 1: 32768 vertices,
// 64770 faces), with the Save As dialog already answered: reading the properties window
// back, sampling, assembling, the safe save, and loading the file back into the model
// store until the model is ready to draw.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "app/main_dialog.h"
#include "image/image_load.h"
#include "mesh/height_mesh.h"
#include "model/model_store.h"
#include "platform/headless/headless.h"
#include "platform/platform_ops.h"
#include "platform/shell.h"
#include "resources/resource_ids.h"
#include "settings/properties_window.h"
#include "settings/settings.h"
#include "settings/settings_block.h"

namespace {

Image* MakeHeightmap(int width, int height)
{
    Image* image = static_cast<Image*>(std::calloc(1, sizeof(Image) + 4 * static_cast<size_t>(width) * height));
    image->width = width;
    image->height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* pixel = image->pixels + 4 * (static_cast<size_t>(y) * width + x);
            pixel[0] = static_cast<uint8_t>((x * x + y * 3) & 255);
            pixel[3] = 255;
        }
    return image;
}

// parent: the folder the mesh is saved in; its file system decides what the flush costs.
void GenerateLargestMesh(benchmark::State& state, const char* parent)
{
    std::string pattern = std::string(parent) + "/orvanel-bench-XXXXXX";
    char* folder = &pattern[0];
    if (!mkdtemp(folder)) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::string exe = std::string(folder) + "/orvanel";
    const std::string output = std::string(folder) + "/largest.3ds";
    SetExecutablePathOverride(exe.c_str());
    ResetHeadlessPlatform();
    MainDialog* dialog = new MainDialog();
    dialog->Create();
    if (!PropertiesWindow)
        PropertiesWindow = CreatePropertiesWindow(dialog->Window());
    WindowHandle properties = PropertiesWindow;
    HeadlessMoveTrackbar(properties, StretchTrackbarControl, 128);
    HeadlessMoveTrackbar(properties, FuzzTrackbarControl, 1);
    HeadlessMoveTrackbar(properties, HeightTrackbarControl, 256);
    HeadlessMoveTrackbar(properties, ScaleTrackbarControl, 24);
    SetCheckState(properties, EliminateCheckboxControl, 0);
    FreeImage(HeightmapImage);
    HeightmapImage = MakeHeightmap(256, 128);

    for (auto _ : state) {
        QueueFileDialogAnswer(output.c_str());
        OnGenerate();
        Model* model = GetInstanceModel(CurrentModelInstance);
        if (!model || !model->firstSurface || model->firstSurface->faceCount != 64770) {
            state.SkipWithError("the mesh was not loaded back");
            break;
        }
        benchmark::DoNotOptimize(model);
    }

    ReleaseAllModels();
    CurrentModelInstance = nullptr;
    FreeImage(HeightmapImage);
    HeightmapImage = nullptr;
    delete dialog;
    SetExecutablePathOverride(nullptr);
    ResetHeadlessPlatform();
    const std::string command = "rm -rf '" + std::string(folder) + "'";
    if (std::system(command.c_str()) != 0)
        state.SkipWithError("could not remove the temporary folder");
}

// Saved to a disk (the file is flushed before it replaces the old one) and to memory (tmpfs),
// which leaves the computing alone.
BENCHMARK_CAPTURE(GenerateLargestMesh, disk, "/var/tmp")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(GenerateLargestMesh, tmpfs, "/dev/shm")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

// The live preview's work from a changed setting to a model ready to draw: the mesh built in
// memory, its .3ds bytes, and the model store's model of them (the frame itself is
// bench/render's). The sample's size at step 2, and the largest grid at step 1.
void LivePreviewMesh(benchmark::State& state)
{
    Image* image = MakeHeightmap(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    SetDefaultSettings();
    SetDefaultSettingsBlock(&SettingsBlock);
    GenerationSettings.fuzzPosition = static_cast<int32_t>(state.range(2));
    const GenerationParamsRecord params = DeriveGenerationParams(GenerationSettings);
    for (auto _ : state) {
        MeshPreview preview = {};
        if (BuildMeshPreview(image, params, SettingsBlock, &preview) ||
            !AddModelFileBytes("(unsaved preview)", preview.bytes, preview.size) ||
            !GetInstanceModel(LoadModelInstance("(unsaved preview)"))) {
            state.SkipWithError("the preview could not be built");
            break;
        }
        ReleaseAllModels();
    }
    FreeImage(image);
}
BENCHMARK(LivePreviewMesh)
    ->Args({256, 256, 2})
    ->Args({256, 128, 1})
    ->ArgNames({"width", "height", "fuzz"})
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
