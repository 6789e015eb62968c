// A stream held in its own exactly-sized heap block, and the model read from it.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "model/lighting_data.h"
#include "model/model3ds.h"
#include "model/model_store.h"
#include "tests/support/stream_builder.h"

struct LoadedStream {
    std::unique_ptr<uint8_t[]> bytes;  // the stream, which must outlive the model
    Model model{};                     // read from bytes, freed on destruction

    explicit LoadedStream(const Bytes& stream) : bytes(new uint8_t[stream.size() ? stream.size() : 1])
    {
        if (!stream.empty())
            std::memcpy(bytes.get(), stream.data(), stream.size());
        model.bytes = bytes.get();
        model.length = static_cast<int32_t>(stream.size());
        EXPECT_TRUE(ReadModelChunks(&model));
    }
    ~LoadedStream()
    {
        FreeModel(&model);
    }
    LoadedStream(const LoadedStream&) = delete;
    LoadedStream& operator=(const LoadedStream&) = delete;

    int SurfaceCount() const
    {
        int count = 0;
        for (Surface* s = model.firstSurface; s; s = s->next)
            ++count;
        return count;
    }
    Surface* At(int index) const
    {
        Surface* s = model.firstSurface;
        while (s && index-- > 0)
            s = s->next;
        return s;
    }
};

// One light's work of a frame, with the surface's own arrays, as the renderer does it.
inline void LightSurface(Surface* s, const Vec3& light)
{
    ComputeTangentLightVectors(s->vertexCount, s->positions, s->faceCount, s->faces, s->tangentFrames, s->normals,
                               s->lightVectors, light, SurfaceTexCoordPairs(s), s);
}

// Does a frame's work on every surface of a stream of `size` bytes and checks that what
// the reader pointed at lies inside it; AddressSanitizer sees any read past the end.
inline void ExpectFrameWithinBounds(const LoadedStream& loaded, size_t size)
{
    const uint8_t* end = loaded.bytes.get() + size;
    for (Surface* s = loaded.model.firstSurface; s; s = s->next) {
        EXPECT_TRUE(!s->vertices || s->vertices + 12 * s->vertexCount <= end) << s->vertexCount;
        EXPECT_TRUE(!s->faces || s->faces + 8 * s->faceCount <= end) << s->faceCount;
        EXPECT_TRUE(!s->name || reinterpret_cast<const uint8_t*>(s->name) + std::strlen(s->name) < end);
        DeformSurface(s);
        LightSurface(s, Vec3{1, 2, 3});
        for (int i = 0; i < 3 * s->triangleCount; ++i) {
            ASSERT_LT(s->triangleIndices[i], static_cast<uint32_t>(s->vertexCount));
        }
    }
}
