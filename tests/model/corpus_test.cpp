// Feeds every file of the reader's fuzzing corpus (seeds and every input that once
// failed) through the reader and one frame's work, each from an exactly-sized block.
#include <gtest/gtest.h>

#include <dirent.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "model/lighting_data.h"
#include "model/model3ds.h"
#include "model/model_store.h"

namespace {

std::vector<std::string> CorpusFiles() {
  std::vector<std::string> files;
  DIR* directory = opendir(MODEL_CORPUS_DIR);
  if (!directory) return files;
  while (dirent* entry = readdir(directory)) {
    if (entry->d_name[0] != '.') files.push_back(std::string(MODEL_CORPUS_DIR) + "/" + entry->d_name);
  }
  closedir(directory);
  return files;
}

TEST(Corpus, EveryFileIsReadWithinBounds) {
  std::vector<std::string> files = CorpusFiles();
  ASSERT_GE(files.size(), 4u) << MODEL_CORPUS_DIR;
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    std::ifstream file(path, std::ios::binary);
    std::vector<uint8_t> contents((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[contents.size() + (contents.empty() ? 1 : 0)]);
    if (!contents.empty()) std::memcpy(bytes.get(), contents.data(), contents.size());
    Model model{};
    model.bytes = bytes.get();
    model.length = static_cast<int32_t>(contents.size());
    ASSERT_TRUE(ReadModelChunks(&model));
    for (Surface* s = model.firstSurface; s; s = s->next) {
      DeformSurface(s);
      ComputeTangentLightVectors(s->vertexCount, s->positions, s->faceCount, s->faces,
                                 s->tangentFrames, s->normals, s->lightVectors, Vec3{3, -2, 1},
                                 SurfaceTexCoordPairs(s), s);
      for (int i = 0; i < 3 * s->triangleCount; ++i) {
        ASSERT_LT(s->triangleIndices[i], static_cast<uint32_t>(s->vertexCount));
      }
    }
    FreeModel(&model);
  }
}

}  // namespace
