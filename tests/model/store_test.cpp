// The model store over files on disk: the file table, slots and instances; and files that
// assimp wrote, read through it.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <tuple>

#include "model/model_store.h"
#include "tests/support/heightmesh_file.h"

namespace {

// The writer's file of a grid of cols x 2 points.
Bytes MeshFile(int cols)
{
    HeightmeshShape shape;
    shape.width = cols;
    shape.height = 2;
    return HeightmeshFileBytes(SampleHeightmesh(shape));
}

int UsedFileEntries()
{
    int used = 0;
    for (const FileEntry& entry : FileTable)
        used += entry.used;
    return used;
}

int VertexCount(ModelInstance* instance)
{
    Model* model = GetInstanceModel(instance);
    return model && model->firstSurface ? model->firstSurface->vertexCount : -1;
}

TEST(ModelStore, InstancesShareCachedFilesAndRebuildUnloadedModels)
{
    TempFolder folder;
    const std::string path = folder.File("mesh.3ds");
    ASSERT_TRUE(WriteFileBytes(path, MeshFile(2)));
    ModelInstance* first = LoadModelInstance(path.c_str());
    ASSERT_EQ(first, &ModelInstances[0]);
    EXPECT_TRUE(first->slot == 0 && first->loaded && ModelSlots[0].used && first->model == ModelSlots[0].model);
    EXPECT_TRUE(first->path == path && ModelSlots[0].name == path && first->model->bytes == FileTable[0].bytes);
    std::remove(path.c_str());  // a second load of the path needs no disk
    ModelInstance* second = LoadModelInstance(path.c_str());
    ASSERT_EQ(second, &ModelInstances[1]);
    EXPECT_TRUE(VertexCount(second) == 4 && second->model->bytes == first->model->bytes &&
                second->model != first->model);
    EXPECT_EQ(OpenModelFile(path.c_str()), 0);
    EXPECT_EQ(LoadModelInstance(folder.File("MESH.3DS").c_str()), nullptr);  // another file here, and not on disk
    ASSERT_TRUE(WriteFileBytes(path, MeshFile(4)));
    UnloadModelSlot(0);
    EXPECT_TRUE(!first->loaded && !first->model && !ModelSlots[0].used && !ModelSlots[0].model);
    EXPECT_EQ(VertexCount(first), 4);  // from the cached bytes
    EXPECT_TRUE(first->loaded && ModelSlots[0].used && UsedFileEntries() == 1);
    ReleaseAllModels();
    EXPECT_TRUE(!first->loaded && !second->loaded && !ModelSlots[0].used && UsedFileEntries() == 0);
    EXPECT_EQ(VertexCount(first), 8);  // read again
    ReleaseAllModels();
    std::remove(path.c_str());
    EXPECT_EQ(GetInstanceModel(first), nullptr);
    EXPECT_EQ(GetInstanceModel(first), nullptr);  // tried again
    EXPECT_TRUE(!ModelSlots[0].used && !ModelSlots[0].model && !GetInstanceModel(nullptr));
    for (int slot : {5, -1, ModelSlotCount})
        UnloadModelSlot(slot);  // left alone
}

TEST(ModelStore, FullTablesMissingFilesAndLongPathsGiveNull)
{
    TempFolder folder;
    const std::string path = folder.File("mesh.3ds");
    ASSERT_TRUE(WriteFileBytes(path, MeshFile(2)));
    for (int i = 0; i < ModelSlotCount; ++i)
        ASSERT_EQ(LoadModelInstance(path.c_str()), &ModelInstances[i]);
    EXPECT_EQ(LoadModelInstance(path.c_str()), nullptr);
    UnloadModelSlot(100);
    EXPECT_EQ(LoadModelInstance(path.c_str()), &ModelInstances[100]);
    ReleaseAllModels();
    std::string spelling = folder.path + "/";  // spellings of one file fill the file table
    for (int i = 0; i < FileTableSize; ++i, spelling += "./")
        ASSERT_NE(LoadModelInstance((spelling + "mesh.3ds").c_str()), nullptr) << i;
    EXPECT_EQ(LoadModelInstance((spelling + "mesh.3ds").c_str()), nullptr);
    EXPECT_TRUE(!ModelSlots[FileTableSize].used && !ModelSlots[FileTableSize].model);
    EXPECT_NE(LoadModelInstance(path.c_str()), nullptr);  // a path in the table still loads
    ReleaseAllModels();
    EXPECT_EQ(LoadModelInstance(folder.File("absent.3ds").c_str()), nullptr);
    EXPECT_EQ(LoadModelInstance(nullptr), nullptr);
    EXPECT_TRUE(UsedFileEntries() == 0 && !ModelSlots[0].used);
    // a path that does not fit an instance is refused, never cut
    for (size_t length : {size_t(1024), size_t(1023)}) {
        std::string padded = folder.path;
        while (padded.size() + 11 <= length)
            padded += "/.";
        padded += std::string(length - padded.size() - 9, '/') + "/mesh.3ds";
        ModelInstance* instance = LoadModelInstance(padded.c_str());
        EXPECT_EQ(instance ? instance->path : "", length < 1024 ? padded : "") << length;
    }
    ReleaseAllModels();
}

// assimp (assimp-utils) writes the file; each object comes back with the positions and the
// number of triangles the OBJ text gave it.
TEST(AssimpFiles, ObjectsWrittenByAssimpReadBackWithTheirPositionsAndTriangles)
{
    TempFolder folder;
    std::string output;
    ASSERT_TRUE(WriteFileText(folder.File("model.obj"),
                              "o Quads\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 1\n"
                              "v 1 0 1\nf 1 2 3 4\nf 1 2 6 5\no Tri\nv 2 0 0\nv 3 0 0\n"
                              "v 2.5 1 0.25\nf 7 8 9\n"));
    ASSERT_EQ(RunCommand("assimp export " + folder.File("model.obj") + " " + folder.File("model.3ds"), &output), 0)
        << output;
    ModelInstance* instance = LoadModelInstance(folder.File("model.3ds").c_str());
    ASSERT_NE(instance, nullptr);
    typedef std::set<std::tuple<float, float, float>> Points;
    const Points quads = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}};
    const Points tri = {{2, 0, 0}, {3, 0, 0}, {2.5f, 1, 0.25f}};
    std::vector<std::tuple<std::string, Points, int>> found;
    for (const Surface* s = instance->model->firstSurface; s; s = s->next) {
        Points positions;
        for (int i = 0; i < s->vertexCount; ++i)
            positions.insert({s->positions[i].x, s->positions[i].y, s->positions[i].z});
        if (s->vertices)  // assimp adds to the names
            found.emplace_back(std::string(s->name).substr(0, s->name[0] == 'Q' ? 5 : 3), positions, s->triangleCount);
    }
    EXPECT_EQ(found, (std::vector<std::tuple<std::string, Points, int>>{{"Quads", quads, 4}, {"Tri", tri, 1}}));
    ReleaseAllModels();
}

}  // namespace
