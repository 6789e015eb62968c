// Writing a mesh in each export format against writing the largest .3ds today, side by side,
// each file saved safely to tmpfs (so the disk's flush does not hide the computing).
//
// 3DS: the largest mesh the format holds (256 x 128 points, grid step 1: 32768 vertices, 64770
// faces) through Write3DS with the Save As dialog answered (assembly and safe save; the caller
// reloads the preview), and through its assembly (the dialog cancelled) plus one safe
// save of the same bytes. Exports: the 256 x 256 grid at step 1 (65536 vertices, 130050
// faces), with texture coordinates as Generate makes them, assembled and saved safely.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "mesh/export_formats.h"
#include "mesh/split_objects.h"
#include "mesh/write3ds.h"
#include "model/model_store.h"
#include "platform/file_io.h"
#include "platform/headless/headless.h"

static std::string BenchFolder()
{
    static std::string folder;
    if (folder.empty()) {
        char pattern[] = "/dev/shm/orvanel-export-bench-XXXXXX";
        if (mkdtemp(pattern))
            folder = pattern;
    }
    return folder;
}

// The grid as Generate samples it: centred, Y down the picture, heights from a pattern.
static bool MakeBenchGrid(TriangleMesh* mesh, int cols, int rows)
{
    if (!AllocateTriangleMesh(mesh, int64_t(cols) * rows, 2 * int64_t(cols - 1) * (rows - 1), true, false,
                              "heightmesh"))
        return false;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < cols; ++x) {
            const size_t v = size_t(y) * cols + x;
            mesh->positions[3 * v] = float((x - cols / 2) * 24.0);
            mesh->positions[3 * v + 1] = float(-((y - rows / 2) * 24.0));
            mesh->positions[3 * v + 2] = float(((x * x + y * 3) & 255) * 1.0);
            mesh->texCoords[2 * v] = float(double(x) / cols);
            mesh->texCoords[2 * v + 1] = float(double(y) / rows);
        }
    uint32_t* face = mesh->faces;
    for (int y = 0; y + 1 < rows; ++y)
        for (int x = 0; x + 1 < cols; ++x) {
            const uint32_t a = uint32_t(y * cols + x), b = a + 1, c = a + uint32_t(cols), d = c + 1;
            const uint32_t cell[6] = {c, b, a, d, b, c};
            for (uint32_t corner : cell)
                *face++ = corner;
        }
    return true;
}

static std::vector<MeshFace> ShortFaces(const TriangleMesh& mesh)
{
    std::vector<MeshFace> faces(static_cast<size_t>(mesh.faceCount));
    for (size_t f = 0; f < faces.size(); ++f)
        faces[f] =
            MeshFace{uint16_t(mesh.faces[3 * f]), uint16_t(mesh.faces[3 * f + 1]), uint16_t(mesh.faces[3 * f + 2]), 0};
    return faces;
}

static void WriteLargest3DS(benchmark::State& state, bool answered)
{
    TriangleMesh mesh = {};
    if (BenchFolder().empty() || !MakeBenchGrid(&mesh, 256, 128)) {
        state.SkipWithError("no mesh or folder");
        return;
    }
    const std::vector<MeshFace> faces = ShortFaces(mesh);
    const std::string path = BenchFolder() + "/largest.3ds";
    uint8_t* bytes = nullptr;
    size_t size = 0;
    AssembleObjects3DS(&mesh, 1, &bytes, &size);
    ResetHeadlessPlatform();
    for (auto _ : state) {
        if (answered)
            QueueFileDialogAnswer(path.c_str());
        Write3DS(nullptr, int32_t(mesh.vertexCount), mesh.positions, mesh.texCoords, int32_t(mesh.faceCount),
                 faces.data(), nullptr);
        // with the dialog cancelled Write3DS stops after the assembly: the save it would make
        if (!answered && !WriteFileReplacing(path.c_str(), bytes, size))
            state.SkipWithError("could not save");
    }
    state.counters["bytes"] = double(size);
    std::free(bytes);
    ReleaseAllModels();
    CurrentModelInstance = nullptr;
    ResetHeadlessPlatform();
    FreeTriangleMesh(&mesh);
}
BENCHMARK_CAPTURE(WriteLargest3DS, full_with_dialog, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(WriteLargest3DS, assemble_and_save, false)->Unit(benchmark::kMillisecond)->UseRealTime();

struct SaveTarget {
    std::string path;
    size_t size;
};

static bool SaveExport(const uint8_t* bytes, size_t size, void* context)
{
    SaveTarget* target = static_cast<SaveTarget*>(context);
    target->size = size;
    return WriteFileReplacing(target->path.c_str(), bytes, size);
}

static void ExportGrid(benchmark::State& state, ExportFormat format)
{
    TriangleMesh mesh = {};
    if (BenchFolder().empty() || !MakeBenchGrid(&mesh, 256, 256)) {
        state.SkipWithError("no mesh or folder");
        return;
    }
    SaveTarget target = {BenchFolder() + "/grid" + GetExportFormatInfo(format).extension, 0};
    const ExportRequest request = {format, SaveExport, &target, nullptr, nullptr};
    for (auto _ : state)
        if (ExportMesh(mesh, request, nullptr, 0) != ExportSaved)
            state.SkipWithError("export failed");
    state.counters["bytes"] = double(target.size);
    FreeTriangleMesh(&mesh);
}
BENCHMARK_CAPTURE(ExportGrid, glb, ExportFormatGlb)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(ExportGrid, obj, ExportFormatObj)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(ExportGrid, stl, ExportFormatStl)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(ExportGrid, ply, ExportFormatPly)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(ExportGrid, gltf, ExportFormatGltf)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(ExportGrid, 3mf, ExportFormat3mf)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(ExportGrid, dae, ExportFormatDae)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(ExportGrid, fbx, ExportFormatFbx)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const std::string command = "rm -rf '" + BenchFolder() + "'";
    return BenchFolder().empty() || std::system(command.c_str()) == 0 ? 0 : 1;
}
