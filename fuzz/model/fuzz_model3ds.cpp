// libFuzzer target for the 3DS chunk reader: read, light one frame, walk the triangles, free.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "model/lighting_data.h"
#include "model/model3ds.h"
#include "model/model_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1 << 20)
        return 0;
    Model model{};
    model.bytes = data;
    model.length = static_cast<int32_t>(size);
    ReadModelChunks(&model);
    const Vec3 light{10.0f, -20.0f, 30.0f};
    float sum = 0;
    for (Surface* surface = model.firstSurface; surface; surface = surface->next) {
        DeformSurface(surface);
        ComputeTangentLightVectors(surface->vertexCount, surface->positions, surface->faceCount, surface->faces,
                                   surface->tangentFrames, surface->normals, surface->lightVectors, light,
                                   SurfaceTexCoordPairs(surface), surface);
        // what drawing does: every triangle index names a position
        for (int32_t i = 0; i < 3 * surface->triangleCount; ++i) {
            sum += surface->positions[surface->triangleIndices[i]].x;
        }
    }
    FreeModel(&model);
    return sum == 12345.0f ? 1 : 0;
}
