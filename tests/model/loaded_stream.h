// A stream held in its own exactly-sized heap block, and the model read from it.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "model/model3ds.h"
#include "model/model_store.h"
#include "tests/model/stream_builder.h"

struct LoadedStream {
  std::unique_ptr<uint8_t[]> bytes;  // the stream, which must outlive the model
  Model model{};                     // read from bytes, freed on destruction

  explicit LoadedStream(const Bytes& stream) : bytes(new uint8_t[stream.size() ? stream.size() : 1]) {
    if (!stream.empty()) std::memcpy(bytes.get(), stream.data(), stream.size());
    model.bytes = bytes.get();
    model.length = static_cast<int32_t>(stream.size());
    EXPECT_TRUE(ReadModelChunks(&model));
  }
  ~LoadedStream() { FreeModel(&model); }
  LoadedStream(const LoadedStream&) = delete;
  LoadedStream& operator=(const LoadedStream&) = delete;

  int SurfaceCount() const {
    int count = 0;
    for (Surface* s = model.firstSurface; s; s = s->next) ++count;
    return count;
  }
  Surface* At(int index) const {
    Surface* s = model.firstSurface;
    while (s && index-- > 0) s = s->next;
    return s;
  }
};
