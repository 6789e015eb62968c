#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "model/model_store.h"
#include "tests/support/stream_builder.h"

namespace {

Bytes MeshStream(int vertexCount)
{
    std::vector<Vec3> vertices;
    for (int i = 0; i < vertexCount; ++i)
        vertices.push_back(Vec3{float(i), 0, 0});
    return Standard(VertexObject("heightmesh", vertices));
}

void WriteFile(const std::string& path, const Bytes& bytes)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);
}

int UsedFileEntries()
{
    int used = 0;
    for (const FileEntry& entry : FileTable)
        used += entry.used;
    return used;
}

class ModelStore : public ::testing::Test {
protected:
    std::string directory;
    std::string path;

    void SetUp() override
    {
        char pattern[] = "/tmp/orvanel-model-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory = pattern;
        path = directory + "/mesh.3ds";
        WriteFile(path, MeshStream(3));
    }
    void TearDown() override
    {
        ReleaseAllModels();
        CurrentModelInstance = nullptr;
        std::remove(path.c_str());
        rmdir(directory.c_str());
    }
};

TEST_F(ModelStore, LoadUsesInstanceSlotAndFileEntryZero)
{
    EXPECT_EQ(CurrentModelInstance, nullptr);  // until the first load
    ModelInstance* instance = LoadModelInstance(path.c_str());
    ASSERT_EQ(instance, &ModelInstances[0]);
    EXPECT_EQ(instance->slot, 0);
    EXPECT_EQ(instance->loaded, 1);
    EXPECT_STREQ(instance->path, path.c_str());
    EXPECT_EQ(instance->model, ModelSlots[0].model);
    EXPECT_EQ(ModelSlots[0].used, 1);
    EXPECT_STREQ(ModelSlots[0].name, path.c_str());
    EXPECT_EQ(FileTable[0].used, 1);
    EXPECT_EQ(instance->model->bytes, FileTable[0].bytes);
    EXPECT_EQ(instance->model->length, FileTable[0].size);
    ASSERT_NE(instance->model->firstSurface, nullptr);
    EXPECT_STREQ(instance->model->firstSurface->name, "heightmesh");
    EXPECT_EQ(GetInstanceModel(instance), instance->model);
}

TEST_F(ModelStore, SamePathIsReadOnce)
{
    ModelInstance* first = LoadModelInstance(path.c_str());
    std::remove(path.c_str());  // the second load must not need the disk
    ModelInstance* second = LoadModelInstance(path.c_str());
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(second, &ModelInstances[1]);
    EXPECT_EQ(UsedFileEntries(), 1);
    EXPECT_EQ(second->model->bytes, first->model->bytes);
    EXPECT_NE(second->model, first->model);
    EXPECT_EQ(OpenModelFile(path.c_str()), 0);
}

TEST_F(ModelStore, PathsCompareAsTheFileSystemDoes)
{
    ASSERT_NE(LoadModelInstance(path.c_str()), nullptr);
    std::string upper = directory + "/MESH.3DS";
#ifdef _WIN32
    EXPECT_EQ(OpenModelFile(upper.c_str()), 0);
#else
    // another name on a case-sensitive file system: not the cached file, and not on disk
    EXPECT_EQ(OpenModelFile(upper.c_str()), -1);
    EXPECT_EQ(LoadModelInstance(upper.c_str()), nullptr);
    EXPECT_EQ(UsedFileEntries(), 1);
#endif
}

TEST_F(ModelStore, UnloadedSlotRebuildsFromTheFileTable)
{
    ModelInstance* instance = LoadModelInstance(path.c_str());
    ASSERT_NE(instance, nullptr);
    std::remove(path.c_str());
    UnloadModelSlot(instance->slot);
    EXPECT_EQ(instance->loaded, 0);
    EXPECT_EQ(ModelSlots[0].used, 0);
    EXPECT_EQ(ModelSlots[0].model, nullptr);
    EXPECT_EQ(FileTable[0].used, 1);  // the file stays
    Model* model = GetInstanceModel(instance);
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(instance->loaded, 1);
    EXPECT_EQ(ModelSlots[0].used, 1);
    EXPECT_EQ(model->firstSurface->vertexCount, 3);
    UnloadModelSlot(5);  // an unused slot is left alone
    UnloadModelSlot(-1);
    UnloadModelSlot(ModelSlotCount);
}

TEST_F(ModelStore, ReleaseAllRereadsFromDiskOrGivesNull)
{
    ModelInstance* instance = LoadModelInstance(path.c_str());
    ASSERT_NE(instance, nullptr);
    WriteFile(path, MeshStream(5));
    EXPECT_EQ(GetInstanceModel(instance)->firstSurface->vertexCount, 3);  // still the cached bytes
    ReleaseAllModels();
    EXPECT_EQ(instance->loaded, 0);
    EXPECT_EQ(UsedFileEntries(), 0);
    EXPECT_EQ(ModelSlots[0].used, 0);
    Model* model = GetInstanceModel(instance);
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->firstSurface->vertexCount, 5);
    ReleaseAllModels();
    std::remove(path.c_str());
    EXPECT_EQ(GetInstanceModel(instance), nullptr);
    EXPECT_EQ(GetInstanceModel(instance), nullptr);
    EXPECT_EQ(ModelSlots[0].used, 0);
    EXPECT_EQ(ModelSlots[0].model, nullptr);
    EXPECT_EQ(GetInstanceModel(nullptr), nullptr);
}

TEST_F(ModelStore, WriterSequenceReplacesTheModel)
{
    CurrentModelInstance = LoadModelInstance(path.c_str());
    ASSERT_NE(CurrentModelInstance, nullptr);
    WriteFile(path, MeshStream(7));
    UnloadModelSlot(CurrentModelInstance->slot);
    ReleaseAllModels();
    CurrentModelInstance = LoadModelInstance(path.c_str());
    ASSERT_EQ(CurrentModelInstance, &ModelInstances[0]);
    EXPECT_EQ(GetInstanceModel(CurrentModelInstance)->firstSurface->vertexCount, 7);
}

TEST_F(ModelStore, AllSlotsUsedGivesNull)
{
    for (int i = 0; i < ModelSlotCount; ++i)
        ASSERT_EQ(LoadModelInstance(path.c_str()), &ModelInstances[i]);
    EXPECT_EQ(LoadModelInstance(path.c_str()), nullptr);
    UnloadModelSlot(100);
    EXPECT_EQ(LoadModelInstance(path.c_str()), &ModelInstances[100]);
}

TEST_F(ModelStore, AllFileEntriesUsedGivesNullAndLeavesTheSlotFree)
{
    // 128 different spellings of one file fill the table
    std::string prefix = directory + "/";
    for (int i = 0; i < FileTableSize; ++i) {
        ASSERT_NE(LoadModelInstance((prefix + "mesh.3ds").c_str()), nullptr) << i;
        prefix += "./";
    }
    EXPECT_EQ(UsedFileEntries(), FileTableSize);
    EXPECT_EQ(LoadModelInstance((prefix + "mesh.3ds").c_str()), nullptr);
    EXPECT_EQ(ModelSlots[FileTableSize].used, 0);
    EXPECT_EQ(ModelSlots[FileTableSize].model, nullptr);
    EXPECT_EQ(OpenModelFile((prefix + "mesh.3ds").c_str()), -1);
    // a path already in the table still loads
    EXPECT_NE(LoadModelInstance(path.c_str()), nullptr);
}

TEST_F(ModelStore, MissingFileGivesNull)
{
    EXPECT_EQ(LoadModelInstance((directory + "/absent.3ds").c_str()), nullptr);
    EXPECT_EQ(ModelSlots[0].used, 0);
    EXPECT_EQ(UsedFileEntries(), 0);
    EXPECT_EQ(LoadModelInstance(nullptr), nullptr);
}

TEST_F(ModelStore, PathOf4096BytesIsRefusedNotCut)
{
    // pad with "./" to reach the length wanted; the file name stays the same
    auto padded = [&](size_t length) {
        std::string tail = "/mesh.3ds";
        std::string p = directory;
        while (p.size() + tail.size() + 2 <= length)
            p += "/.";
        if (p.size() + tail.size() < length)
            p += "/";
        p += tail;
        return p;
    };
    std::string fits = padded(4095), tooLong = padded(4096);
    ASSERT_EQ(fits.size(), 4095u);
    ASSERT_EQ(tooLong.size(), 4096u);
    EXPECT_EQ(LoadModelInstance(tooLong.c_str()), nullptr);
    EXPECT_EQ(UsedFileEntries(), 0);
    ModelInstance* instance = LoadModelInstance(fits.c_str());
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(std::string(instance->path), fits);
}

TEST_F(ModelStore, FreeModelLeavesTheModelEmpty)
{
    ModelInstance* instance = LoadModelInstance(path.c_str());
    ASSERT_NE(instance, nullptr);
    Model copy = *instance->model;
    FreeModel(&copy);
    EXPECT_EQ(copy.firstSurface, nullptr);
    FreeModel(&copy);                         // a model without surfaces is left as it is
    instance->model->firstSurface = nullptr;  // already freed through the copy
}

}  // namespace
