// Feeds every file of the reader's fuzzing corpus (seeds and every input that once
// failed) through the reader and one frame's work, each from an exactly-sized block.
#include <gtest/gtest.h>

#include <dirent.h>

#include <fstream>
#include <iterator>
#include <string>

#include "tests/model/loaded_stream.h"

namespace {

TEST(Corpus, EveryFileIsReadWithinBounds)
{
    DIR* directory = opendir(MODEL_CORPUS_DIR);
    ASSERT_NE(directory, nullptr) << MODEL_CORPUS_DIR;
    int files = 0;
    while (dirent* entry = readdir(directory)) {
        if (entry->d_name[0] == '.')
            continue;
        const std::string path = std::string(MODEL_CORPUS_DIR) + "/" + entry->d_name;
        SCOPED_TRACE(path);
        std::ifstream file(path, std::ios::binary);
        Bytes contents((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        LoadedStream loaded(contents);
        ExpectFrameWithinBounds(loaded, contents.size());
        ++files;
    }
    closedir(directory);
    EXPECT_GE(files, 4);
}

}  // namespace
