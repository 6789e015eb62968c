// Reads .3ds files that assimp wrote and compares what the reader found with an
// independent chunk walk and with assimp's own reading of the same file.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <unistd.h>
#include <vector>

#include "model/model3ds.h"
#include "model/model_store.h"

namespace {

struct ObjectCounts {
    std::string name;
    int vertexCount = -1;
    int faceCount = -1;
};

uint32_t LittleEndian(const std::vector<uint8_t>& b, size_t at, int size)
{
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | b[at + i];
    return value;
}

// A small recursive walk bounded by each chunk's own length, as a second opinion.
void WalkChunks(const std::vector<uint8_t>& b, size_t begin, size_t end, std::vector<ObjectCounts>& objects,
                std::vector<std::string>& nodes)
{
    size_t at = begin;
    while (at + 6 <= end) {
        uint32_t id = LittleEndian(b, at, 2), length = LittleEndian(b, at + 2, 4);
        if (length < 6 || length > end - at)
            return;
        size_t chunkEnd = at + length;
        if (id == 0x4D4D || id == 0x3D3D || id == 0x4100 || id == 0xB000 || id == 0xB002) {
            WalkChunks(b, at + 6, chunkEnd, objects, nodes);
        } else if (id == 0xB010) {
            size_t nameEnd = at + 6;
            while (nameEnd < chunkEnd && b[nameEnd] != 0)
                ++nameEnd;
            nodes.push_back(std::string(b.begin() + at + 6, b.begin() + nameEnd));
        } else if (id == 0x4000) {
            size_t nameEnd = at + 6;
            while (nameEnd < chunkEnd && b[nameEnd] != 0)
                ++nameEnd;
            objects.push_back(ObjectCounts{std::string(b.begin() + at + 6, b.begin() + nameEnd)});
            WalkChunks(b, nameEnd + 1, chunkEnd, objects, nodes);
        } else if (id == 0x4110 && !objects.empty()) {
            objects.back().vertexCount = static_cast<int>(LittleEndian(b, at + 6, 2));
        } else if (id == 0x4120 && !objects.empty()) {
            objects.back().faceCount = static_cast<int>(LittleEndian(b, at + 6, 2));
        }
        at = chunkEnd;
    }
}

std::string RunCommand(const std::string& command)
{
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return output;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0)
        output.append(buffer, got);
    pclose(pipe);
    return output;
}

const char* CubeAndTriangle =
    "o Cube\n"
    "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 1\nv 1 0 1\nv 1 1 1\nv 0 1 1\n"
    "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
    "f 1/1 2/2 3/3 4/4\nf 5/1 6/2 7/3 8/4\nf 1/1 2/2 6/3 5/4\nf 4/4 3/3 7/2 8/1\n"
    "o Tri\n"
    "v 2 0 0\nv 3 0 0\nv 2 1 0\n"
    "f 9 10 11\n"
    "o Strip\n"
    "v 0 0 5\nv 1 0 5\nv 2 0 5\nv 0 1 5\nv 1 1 5\nv 2 1 5\n"
    "f 12 13 16 15\nf 13 14 17 16\n";

TEST(AssimpFiles, ObjectsAndCountsMatchIndependentReadings)
{
    ASSERT_EQ(std::system("command -v assimp > /dev/null 2>&1"), 0)
        << "assimp (Debian package assimp-utils) is needed for this test";
    char pattern[] = "/tmp/orvanel-assimp-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    std::string directory = pattern;
    std::string obj = directory + "/model.obj", exported = directory + "/model.3ds";
    {
        std::ofstream(obj) << CubeAndTriangle;
    }
    ASSERT_EQ(std::system(("assimp export " + obj + " " + exported + " > /dev/null 2>&1").c_str()), 0);

    std::ifstream file(exported, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 6u);
    std::vector<ObjectCounts> expected;
    std::vector<std::string> nodes;
    WalkChunks(bytes, 0, bytes.size(), expected, nodes);
    ASSERT_EQ(expected.size(), 3u);

    ModelInstance* instance = LoadModelInstance(exported.c_str());
    ASSERT_NE(instance, nullptr);
    std::vector<Surface*> meshes;
    for (Surface* s = instance->model->firstSurface; s; s = s->next) {
        if (s->vertices)
            meshes.push_back(s);
    }
    ASSERT_EQ(meshes.size(), expected.size());
    for (size_t i = 0; i < meshes.size(); ++i) {
        EXPECT_EQ(std::string(meshes[i]->name), expected[i].name);
        EXPECT_EQ(meshes[i]->vertexCount, expected[i].vertexCount);
        EXPECT_EQ(meshes[i]->faceCount, expected[i].faceCount);
        EXPECT_EQ(meshes[i]->triangleCount, expected[i].faceCount);
        EXPECT_NE(meshes[i]->normals, nullptr);
    }
    // keyframer nodes that name no object add a surface each, once, after the objects
    std::vector<std::string> names;
    for (const ObjectCounts& object : expected)
        names.push_back(object.name);
    for (const std::string& node : nodes) {
        bool known = false;
        for (const std::string& name : names)
            known = known || name == node;
        if (!known)
            names.push_back(node);
    }
    std::vector<std::string> found;
    for (Surface* s = instance->model->firstSurface; s; s = s->next)
        found.push_back(s->name);
    EXPECT_EQ(found, names);
    EXPECT_GT(nodes.size(), 0u);

    // assimp's own import of the file: the mesh lines "[vertices / bones / faces | ...]"
    std::string info = RunCommand("assimp info " + exported + " 2>&1");
    std::regex meshLine(R"(\n\s+(\d+) \(\d+\): \[(\d+) / \d+ / (\d+) \|)");
    std::vector<int> faceCounts;
    for (std::sregex_iterator it(info.begin(), info.end(), meshLine), end; it != end; ++it) {
        faceCounts.push_back(std::stoi((*it)[3]));
    }
    ASSERT_EQ(faceCounts.size(), meshes.size()) << info;
    for (size_t i = 0; i < meshes.size(); ++i)
        EXPECT_EQ(meshes[i]->faceCount, faceCounts[i]);
    for (size_t i = 0; i < meshes.size(); ++i) {
        EXPECT_NE(info.find(std::string(meshes[i]->name) + " (mesh"), std::string::npos) << info;
    }

    ReleaseAllModels();
    std::remove(obj.c_str());
    std::remove(exported.c_str());
    rmdir(directory.c_str());
}

}  // namespace
