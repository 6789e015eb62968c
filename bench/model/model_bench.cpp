// Load and per-frame costs of the largest heightmesh the 3DS writer can produce:
// a 256 x 128 heightmap at grid step 1 (32,768 vertices, 64,770 faces).
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "model/lighting_data.h"
#include "model/model3ds.h"
#include "model/model_store.h"
#include "tests/support/heightmesh_file.h"

namespace {

const int Columns = 256;
const int Rows = 128;

// The bytes the heightmesh writer produces: Main, Version, Editor, Object "heightmesh",
// TriMesh with vertex list, texture coordinate list and face list, in that order.
Bytes LargestHeightmesh()
{
    HeightmeshShape shape;
    shape.width = Columns;
    shape.height = Rows;
    shape.overallScale = 4;
    shape.red = [](int x, int y) { return (x * 7 + y * 13) % 256; };
    return HeightmeshFileBytes(SampleHeightmesh(shape));
}

// Writes the mesh to a temporary file once; removed at exit.
const std::string& MeshPath()
{
    static std::string path;
    if (path.empty()) {
        path = "/tmp/orvanel-bench-" + std::to_string(getpid()) + ".3ds";
        Bytes bytes = LargestHeightmesh();
        FILE* file = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        std::atexit([] { std::remove(path.c_str()); });
    }
    return path;
}

// Reads the file from disk each time, as after a save: everything released first.
void BM_LoadModelInstanceFromDisk(benchmark::State& state)
{
    const char* path = MeshPath().c_str();
    for (auto _ : state) {
        ModelInstance* instance = LoadModelInstance(path);
        benchmark::DoNotOptimize(instance);
        state.PauseTiming();
        ReleaseAllModels();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadModelInstanceFromDisk)->Unit(benchmark::kMillisecond);

// Builds the model from bytes already in the file table.
void BM_LoadModelInstanceCached(benchmark::State& state)
{
    const char* path = MeshPath().c_str();
    OpenModelFile(path);
    for (auto _ : state) {
        ModelInstance* instance = LoadModelInstance(path);
        benchmark::DoNotOptimize(instance);
        state.PauseTiming();
        UnloadModelSlot(instance->slot);
        state.ResumeTiming();
    }
    ReleaseAllModels();
}
BENCHMARK(BM_LoadModelInstanceCached)->Unit(benchmark::kMillisecond);

void BM_ComputeVertexNormals(benchmark::State& state)
{
    ModelInstance* instance = LoadModelInstance(MeshPath().c_str());
    Surface* s = instance->model->firstSurface;
    std::vector<Vec3> normals(s->vertexCount);
    for (auto _ : state) {
        ComputeVertexNormals(normals.data(), s->vertexCount, s->vertices, s->faceCount, s->faces);
        benchmark::ClobberMemory();
    }
    ReleaseAllModels();
}
BENCHMARK(BM_ComputeVertexNormals)->Unit(benchmark::kMillisecond);

void LightSurface(Surface* s, const Vec3& light)
{
    ComputeTangentLightVectors(s->vertexCount, s->positions, s->faceCount, s->faces, s->tangentFrames, s->normals,
                               s->lightVectors, light, SurfaceTexCoordPairs(s), s);
}

// One frame's work for the surface with one light, the surface unmoved since the last
// frame (the preview's case: the frames are kept); reports the bytes allocated meanwhile.
void BM_FrameDeformAndLight(benchmark::State& state)
{
    ModelInstance* instance = LoadModelInstance(MeshPath().c_str());
    Surface* s = GetInstanceModel(instance)->firstSurface;
    const Vec3 light{10, -20, 300};
    DeformSurface(s);  // a first frame may allocate and builds the frames; later ones must not
    LightSurface(s, light);
    size_t before = mallinfo2().uordblks;
    for (auto _ : state) {
        DeformSurface(s);
        LightSurface(s, light);
        benchmark::ClobberMemory();
    }
    state.counters["bytes_allocated"] = static_cast<double>(mallinfo2().uordblks - before);
    ReleaseAllModels();
}
BENCHMARK(BM_FrameDeformAndLight)->Unit(benchmark::kMillisecond);

// The same frame when the surface moved since the last one (its matrix alternates), so
// that every frame makes new positions and rebuilds the tangent frames.
void BM_FrameDeformAndLightMoved(benchmark::State& state)
{
    ModelInstance* instance = LoadModelInstance(MeshPath().c_str());
    Surface* s = GetInstanceModel(instance)->firstSurface;
    const Vec3 light{10, -20, 300};
    const float identity[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    const float moved[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0.5f, -0.25f, 2};
    DeformSurface(s);
    LightSurface(s, light);
    size_t before = mallinfo2().uordblks;
    bool odd = false;
    for (auto _ : state) {
        odd = !odd;
        std::memcpy(s->matrix, odd ? moved : identity, sizeof(s->matrix));
        DeformSurface(s);
        LightSurface(s, light);
        benchmark::ClobberMemory();
    }
    state.counters["bytes_allocated"] = static_cast<double>(mallinfo2().uordblks - before);
    ReleaseAllModels();
}
BENCHMARK(BM_FrameDeformAndLightMoved)->Unit(benchmark::kMillisecond);

// Lighting for each further light of a frame: the light vectors alone.
void BM_LightVectorsPerLight(benchmark::State& state)
{
    ModelInstance* instance = LoadModelInstance(MeshPath().c_str());
    Surface* s = GetInstanceModel(instance)->firstSurface;
    LightSurface(s, Vec3{10, -20, 300});
    float x = 0;
    for (auto _ : state) {
        x = x < 100 ? x + 1 : 0;
        LightSurface(s, Vec3{x, -20, 300});
        benchmark::ClobberMemory();
    }
    ReleaseAllModels();
}
BENCHMARK(BM_LightVectorsPerLight)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
