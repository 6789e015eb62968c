// The 3DS reader and the surfaces it prepares: what it finds in each kind of stream, the
// writer's files over random heightmeshes, lighting after each change, every truncated prefix
// and the fuzzing corpus; the model store over files on disk, assimp's files among them.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>
#include <set>
#include <tuple>

#include "model/lighting_data.h"
#include "model/model_store.h"
#include "tests/support/heightmesh_file.h"

namespace {

const std::vector<float> Triangle = {0, 0, 0, 1, 0, 0, 0, 1, 0};
const uint16_t Ext = 0x2000;  // the extended stream's ids are the standard ones less this

Bytes Standard(const Bytes& objects)
{
    return Chunk(0x4D4D, Chunk(0x3D3D, objects));
}

Bytes Extended(const Bytes& objects)
{
    return Cat({U16s({0x1337}), Chunk(0x1000, Chunk(0x0001, objects))});
}

Bytes MeshObject(const std::string& name, const Bytes& lists, uint16_t less = 0)
{
    return Chunk(0x4000 - less, Cat({Name(name), Chunk(0x4100 - less, lists)}));
}

// A counted list: vertices (0x4110, 12-byte records), faces (0x4120) or pairs (0x4140, 8 bytes).
Bytes List(uint16_t id, const Bytes& records)
{
    return Chunk(id, Counted(records.size() / (id % 0x100 == 0x10 ? 12 : 8), records));
}

Bytes JointRecord(uint32_t index, const std::string& name, const std::string& parent)
{
    Bytes names(112);
    std::copy(name.begin(), name.end(), names.begin());
    std::copy(parent.begin(), parent.end(), names.begin() + 80);
    return Chunk(0x2190, Cat({U32s({index}), names}));
}

// Object a: joints 0 and 1 (a record past the count is ignored; joint 1's names fill their
// fields); vertex 0 follows half of joint 0 and a quarter of joint 1, vertex 1 a joint past
// the count, vertex 2 a range past the weights. b borrows a's joints, c has its own, d borrows
// c's; keyframer nodes name b and a ghost.
Bytes JointStream()
{
    const Bytes weights = Cat({U32s({3, 0, 0}), Floats({0.5f}), Bytes(12), U32s({0, 1}), Floats({0.25f}), Bytes(12),
                               U32s({0, 5}), Floats({1}), Bytes(12)});
    const Bytes a =
        Chunk(Ext,
              Cat({Name("a"), Chunk(0x2189, U32s({2})), JointRecord(0, "root", ""),
                   JointRecord(1, std::string(80, 'a'), std::string(32, 'r')), JointRecord(2, "past the end", ""),
                   Chunk(0x2100,
                         Cat({List(0x2110, Floats(Triangle)), List(0x2140, Floats({0, 0, 1, 0, 0, 1})),
                              List(0x2120, U16s({0, 1, 2, 0})), Chunk(0x2180, weights),
                              Chunk(0x2185, U32s({0, 2, 2, 1, 1, 5}))}))}));
    const Bytes c =
        Chunk(Ext, Cat({Name("c"), Chunk(0x2189, U32s({1})), Chunk(0x2100, List(0x2110, Floats(Triangle)))}));
    const Bytes nodes = Chunk(
        0x3000,
        Chunk(0x3002, Cat({Chunk(0x3010, Cat({Name("b"), Bytes(6)})), Chunk(0x3010, Cat({Name("ghost"), Bytes(6)}))})));
    const Bytes b = MeshObject("b", List(0x2110, Floats(Triangle)), Ext);
    return Cat({U16s({0x1337}), Chunk(0x1000, Cat({Chunk(0x0001, Cat({a, b, c, Chunk(Ext, Name("d"))})), nodes}))});
}

Bytes WriterFile(int width, int height, bool flat = false, const std::vector<uint16_t>& extraFaces = {})
{
    HeightmeshShape shape;
    shape.width = width;
    shape.height = height;
    shape.overallScale = 1.0f + (width * 7 + height) % 31;
    shape.red = [flat](int x, int y) { return flat ? 0 : (x * 73 + y * 151) % 7 * 40; };
    return HeightmeshFileBytes(SampleHeightmesh(shape), extraFaces);
}

// The stream in its own exactly-sized block, so that AddressSanitizer sees a read past its end.
struct LoadedStream {
    std::unique_ptr<uint8_t[]> bytes;
    Model model{};
    explicit LoadedStream(const Bytes& stream) : bytes(new uint8_t[stream.size()])
    {
        std::copy(stream.begin(), stream.end(), bytes.get());
        model = Model{bytes.get(), static_cast<int32_t>(stream.size()), nullptr};
        EXPECT_TRUE(ReadModelChunks(&model));
    }
    ~LoadedStream()
    {
        FreeModel(&model);
    }
};

void LightSurface(Surface* s, const Vec3& light)
{
    ComputeTangentLightVectors(s->vertexCount, s->positions, s->faceCount, s->faces, s->tangentFrames, s->normals,
                               s->lightVectors, light, SurfaceTexCoordPairs(s), s);
}

// Each surface as name:vertices/triangles, N: normals from the stream, t: texture
// coordinates, jK: K joints (b: borrowed).
std::string Summary(const Model& model)
{
    std::string out;
    for (const Surface* s = model.firstSurface; s; s = s->next) {
        out += (out.empty() ? "" : " ") + std::string(s->name) + ":" + std::to_string(s->vertexCount) + "/" +
            std::to_string(s->triangleCount) + (s->normalsFromFile ? " N" : "") + (s->texCoords ? " t" : "");
        if (s->jointCount)
            out += " j" + std::to_string(s->jointCount) + (s->borrowedJoints ? "b" : "");
    }
    return out;
}

const Bytes WithNormals = Extended(MeshObject("a",
                                              Cat({List(0x2110, Floats(Triangle)), List(0x2120, U16s({0, 1, 2, 0})),
                                                   Chunk(0x2170, Floats({0, 0, 1, 0, 0.6f, 0.8f, 1, 0, 0}))}),
                                              Ext));

TEST(Reader, FindsTheSurfacesOfEachKindOfStream)
{
    const Bytes x = MeshObject("x", List(0x4110, Floats(Triangle))), mark = U16s({0x1337});
    const struct {
        const char* what;
        Bytes stream;
        const char* surfaces;
    } cases[] = {
        {"standard", Standard(x), "x:3/0"},
        {"standard ids behind the extended mark", Cat({mark, Standard(x)}), ""},
        {"extended ids without the mark", Chunk(0x1000, Chunk(1, MeshObject("y", List(0x2110, Floats(Triangle)), Ext))),
         ""},
        {"empty", Bytes(), ""},
        {"main chunk alone", Chunk(0x4D4D), ""},
        {"mark alone", mark, ""},
        {"name without its NUL", Cat({Standard({}), U16s({0x4000}), U32s({10}), Bytes{'a', 'b'}}), ""},
        {"zero chunk length", Standard(Cat({x, U16s({0x4000}), U32s({0}), MeshObject("lost", {})})), "x:3/0"},
        {"count past the data", Standard(Cat({x, MeshObject("bad", Chunk(0x4110, Counted(9, Floats(Triangle))))})),
         "x:3/0 bad:0/0"},
        {"lists before any object",
         Standard(Cat({List(0x4110, Floats(Triangle)), List(0x4120, U16s({0, 1, 2, 0})), List(0x4140, Floats({0, 0})),
                       Chunk(0x9999, Floats(Triangle)), MeshObject("late", List(0x4110, Floats({5, 5, 5})))})),
         "late:1/0"},
        {"extended chunks before any object", Cat({mark, Chunk(0x2189, U32s({3})), JointRecord(0, "j", "")}), ""},
        {"trailing bytes shorter than a header", Cat({WriterFile(2, 2), Bytes{0x00, 0x40, 0x05}}), "heightmesh:4/2 t"},
        {"the standard placeholder id holds normals",
         Standard(MeshObject("n", Cat({List(0x4110, Floats(Triangle)), Chunk(0x9999, Floats(Triangle))}))), "n:3/0 N"},
        {"face list sub-chunks, then a list hidden in them",
         Standard(MeshObject("m",
                             Cat({List(0x4110, Floats(Triangle)),
                                  Chunk(0x4120,
                                        Cat({Counted(2, U16s({0, 1, 2, 0, 2, 1, 0, 0})), Chunk(0x4130, Name("mat")),
                                             List(0x4140, Floats(Triangle))})),
                                  Chunk(0x4160, Bytes(48))}))),
         "m:3/2 t"},
        {"fewer pairs than the last vertex list",
         Extended(MeshObject(
             "s", Cat({List(0x2110, Floats({0, 0, 0})), List(0x2140, Floats({0, 0})), List(0x2110, Floats(Triangle))}),
             Ext)),
         "s:3/0"},
        {"joint counts out of range",
         Extended(Cat({Chunk(Ext, Cat({Name("big"), Chunk(0x2189, U32s({65536}))})),
                       Chunk(Ext, Cat({Name("max"), Chunk(0x2189, U32s({65535}))}))})),
         "big:0/0 max:0/0 j65535"},
        {"extended with normals", WithNormals, "a:3/1 N"},
        {"joints, borrowed joints and keyframer nodes", JointStream(),
         "a:3/1 t j2 b:3/0 j2b c:3/0 j1 d:0/0 j1b ghost:0/0"},
    };
    for (const auto& c : cases) {
        LoadedStream loaded(c.stream);
        EXPECT_EQ(Summary(loaded.model), c.surfaces) << c.what;
    }
    LoadedStream twins(Standard(Cat({x, Chunk(0x4000, Name("x"))})));
    EXPECT_EQ(FindSurfaceByName("x", &twins.model), twins.model.firstSurface);
    EXPECT_EQ(FindSurfaceByName("X", &twins.model), nullptr);
    LoadedStream normals(WithNormals), joints(JointStream());
    EXPECT_EQ(ReadVec3At(normals.model.firstSurface->normals, 1).y, 0.6f);
    const Joint& arm = joints.model.firstSurface->joints[1];
    // names that fill their fields end one byte short
    EXPECT_TRUE(arm.index == 1 && arm.name == std::string(79, 'a') && arm.parentName == std::string(31, 'r'));
}

TEST(Reader, WritersFilesReadBackAsViewsWithTheDefinedNormalsAndLitFromEachVertex)
{
    std::mt19937 random(5);
    for (int round = 0; round < 12; ++round) {
        const int width = 2 << random() % 4, height = 2 << random() % 4, n = width * height;
        // faces with a corner past the vertex list, and with a corner named twice
        const std::vector<uint16_t> extra = {0, 1, uint16_t(n), 0, 65535, 2, 3, 7, 1, 1, uint16_t(n - 1), 0};
        const Bytes file = WriterFile(width, height, round % 3 == 0, extra);
        const int f = 2 * (width - 1) * (height - 1) + 3;
        LoadedStream loaded(file);
        Surface* s = loaded.model.firstSurface;
        ASSERT_EQ(Summary(loaded.model), "heightmesh:" + std::to_string(n) + "/" + std::to_string(f - 2) + " t");
        EXPECT_TRUE(s->name == (char*)&loaded.bytes[26] && s->vertices == &loaded.bytes[51] &&
                    SurfaceTexCoordPairs(s) == &loaded.bytes[59 + 12 * n] && s->faces == &loaded.bytes[67 + 20 * n]);
        for (int i = 0; i < 3 * n; ++i)
            ASSERT_EQ((&s->positions->x)[i], GetFloat(&file[51 + 4 * i])) << i;  // -0 comes out as +0
        std::vector<uint32_t> kept;
        for (int i = 0; i < f; ++i) {
            const MeshFace face = ReadMeshFaceAt(s->faces, i);
            if (std::max({face.a, face.b, face.c}) < n)
                kept.insert(kept.end(), {face.a, face.b, face.c});
        }
        EXPECT_EQ(std::vector<uint32_t>(s->triangleIndices, s->triangleIndices + 3 * s->triangleCount), kept);
        // the normalised sum of the unit normals of the faces that name the vertex, face by face
        for (int i = 0; i < n; ++i) {
            Vec3 sum{0, 0, 0};
            for (int t = 0; t < 3 * s->triangleCount; t += 3) {
                const uint32_t* c = s->triangleIndices + t;
                Plane plane;
                PlaneFromPoints(ReadVec3At(s->vertices, c[0]), ReadVec3At(s->vertices, c[1]),
                                ReadVec3At(s->vertices, c[2]), plane);
                Normalize(plane.normal);
                if (c[0] == uint32_t(i) || c[1] == uint32_t(i) || c[2] == uint32_t(i))
                    VecAdd(sum, plane.normal, sum);
            }
            Normalize(sum);
            ASSERT_EQ(std::memcmp(&sum, s->normals + 12 * i, 12), 0) << i;
        }
        // a flat grid's tangent frames are +X, -Y (where v grows) and +Z
        const Vec3 light{float(random() % 200) - 100, float(random() % 200) - 100, float(random() % 100)};
        LightSurface(s, light);
        for (int i = 0; round % 3 == 0 && i < n; ++i) {
            const Vec3 p = s->positions[i], out = s->lightVectors[i];
            EXPECT_NEAR(out.x, light.x - p.x, 1e-3);
            EXPECT_NEAR(out.y, p.y - light.y, 1e-3);
            EXPECT_NEAR(out.z, light.z - p.z, 1e-3);
        }
    }
}

// The frames a surface keeps between lights: after each change every light sees the bits of a
// computation from copies of the arrays, made without a surface to keep frames in; the frames
// count their corners, and their tangents and binormals are unit and square to the normal.
TEST(Reader, EachLightAfterEachChangeSeesTheBitsOfAFreshComputation)
{
    LoadedStream hills(WriterFile(8, 4)), joints(JointStream());
    Surface *h = hills.model.firstSurface, *j = joints.model.firstSurface;
    const float identity[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}, turned[12] = {0, -1, 0, 1, 0, 0, 0, 0, 1, 5, 6, 7};
    const float tilted[12] = {1, 0, 0, 0, 0.6f, -0.8f, 0, 0.8f, 0.6f, 0, 0, 1};
    const std::function<void()> changes[] = {
        [] {},
        [&] { std::memcpy(h->matrix, turned, 48); },
        [&] { std::memcpy(h->matrix, identity, 48); },
        [&] { h->matrix[1] = -0.0f; },  // other bits, the same positions
        [&] { std::memcpy(j->joints[0].pose, identity, 48); },
        [&] { std::memcpy(j->joints[1].pose, tilted, 48); },  // vertex 0 moves
        [&] {  // the tilt gave vertex 0 the normal of 0.5 (0, 0, 1) + 0.25 (0, -0.8, 0.6)
            EXPECT_NEAR(j->deformedNormals[0].y, -0.2 / std::hypot(0.2, 0.65), 1e-7);
            std::memcpy(j->joints[1].pose, turned, 36);  // only its normal turns
        },
    };
    std::vector<uint32_t> corners(h->vertexCount);
    for (int i = 0; i < 3 * h->triangleCount; ++i)
        ++corners[h->triangleIndices[i]];
    for (const auto& change : changes) {
        change();
        for (Surface* s : {h, j})
            for (const Vec3& light : {Vec3{10, -20, 300}, Vec3{-3, 4, 0.5f}}) {
                DeformSurface(s);
                LightSurface(s, light);
                const size_t n = s->vertexCount;
                const std::vector<Vec3> positions(s->positions, s->positions + n);
                const uint8_t* normals = s->deformedNormals ? (const uint8_t*)s->deformedNormals : s->normals;
                const Bytes normalCopy(normals, normals + 12 * n);
                std::vector<TangentFrame> frames(n);
                std::vector<Vec3> vectors(n);
                ComputeTangentLightVectors(s->vertexCount, positions.data(), s->faceCount, s->faces, frames.data(),
                                           normalCopy.data(), vectors.data(), light, SurfaceTexCoordPairs(s), nullptr);
                EXPECT_EQ(std::memcmp(s->tangentFrames, frames.data(), sizeof(TangentFrame) * n), 0);
                EXPECT_EQ(std::memcmp(s->lightVectors, vectors.data(), sizeof(Vec3) * n), 0);
            }
        for (int i = 0; i < h->vertexCount; ++i) {
            TangentFrame f = h->tangentFrames[i];
            EXPECT_TRUE(f.count == corners[i] && std::memcmp(&f.normal, h->normals + 12 * i, 12) == 0) << i;
            EXPECT_NEAR(VecDot(f.tangent, f.normal), 0, 1e-6);
            EXPECT_NEAR(VecDot(f.binormal, f.normal), 0, 1e-6);
            EXPECT_NEAR(Normalize(f.tangent) * Normalize(f.binormal), 1, 1e-6);
        }
        Vec3 expected;
        TransformPoint(h->matrix, ReadVec3At(h->vertices, 1), expected);
        EXPECT_EQ(std::memcmp(&h->positions[1], &expected, sizeof(Vec3)), 0);
    }
    // vertex 0, at the origin with normal +z, follows half of joint 0 (the identity) and a quarter
    // of joint 1 (now turned about z, moved by +z); the other vertices keep no weight
    const Vec3 positions[3] = {{0, 0, 0.25f}, {0, 0, 0}, {0, 0, 0}};
    EXPECT_EQ(std::memcmp(j->positions, positions, sizeof positions), 0);
    EXPECT_EQ(j->deformedNormals[0].z, 1.0f);
}

// Reads the stream from an exactly-sized block and does a frame's work on what was found.
void ExpectReadWithinBounds(const Bytes& stream)
{
    LoadedStream loaded(stream);
    const uint8_t* end = loaded.bytes.get() + stream.size();
    for (Surface* s = loaded.model.firstSurface; s; s = s->next) {
        EXPECT_TRUE(!s->vertices || s->vertices + 12 * s->vertexCount <= end);
        EXPECT_TRUE(!s->faces || s->faces + 8 * s->faceCount <= end);
        EXPECT_LT((const uint8_t*)s->name + std::strlen(s->name), end);
        DeformSurface(s);
        LightSurface(s, Vec3{1, 2, 3});
        for (int i = 0; i < 3 * s->triangleCount; ++i)
            ASSERT_LT(s->triangleIndices[i], uint32_t(s->vertexCount));
    }
}

TEST(Reader, EveryTruncatedPrefixIsReadWithinBounds)
{
    for (const Bytes& stream : {WriterFile(2, 2), WithNormals, JointStream()}) {
        for (size_t size = 0; size <= stream.size(); ++size) {
            SCOPED_TRACE(size);
            ExpectReadWithinBounds(Bytes(stream.begin(), stream.begin() + size));
        }
    }
}

// The fuzzer's corpus: its seeds and every input that once failed.
TEST(Reader, EveryFileOfTheFuzzingCorpusIsReadWithinBounds)
{
    DIR* directory = opendir(MODEL_CORPUS_DIR);
    ASSERT_NE(directory, nullptr) << MODEL_CORPUS_DIR;
    int files = 0;
    while (dirent* entry = readdir(directory)) {
        if (entry->d_name[0] == '.')
            continue;
        SCOPED_TRACE(entry->d_name);
        ExpectReadWithinBounds(ReadFileBytes(std::string(MODEL_CORPUS_DIR) + "/" + entry->d_name));
        ++files;
    }
    closedir(directory);
    EXPECT_GE(files, 40);
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

// Instances share cached files and rebuild unloaded models; full tables, missing files and
// paths too long for an instance give null.
TEST(ModelStore, InstancesShareCachedFilesAndRebuildUnloadedModels)
{
    TempFolder folder;
    const std::string path = folder.File("mesh.3ds");
    ASSERT_TRUE(WriteFileBytes(path, WriterFile(2, 2)));
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
    ASSERT_TRUE(WriteFileBytes(path, WriterFile(4, 2)));
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
    ASSERT_TRUE(WriteFileBytes(path, WriterFile(2, 2)));
    for (int i = 0; i < ModelSlotCount; ++i)
        ASSERT_EQ(LoadModelInstance(path.c_str()), &ModelInstances[i]);
    EXPECT_EQ(LoadModelInstance(path.c_str()), nullptr);  // every slot used
    ReleaseAllModels();
    std::string spelling = folder.path + "/";
    for (int i = 0; i < FileTableSize; ++i, spelling += "./")
        ASSERT_NE(LoadModelInstance((spelling + "mesh.3ds").c_str()), nullptr);
    EXPECT_EQ(LoadModelInstance((spelling + "mesh.3ds").c_str()), nullptr);  // every file entry used
    EXPECT_FALSE(ModelSlots[FileTableSize].used);
    ReleaseAllModels();
    EXPECT_EQ(LoadModelInstance(folder.File("absent.3ds").c_str()), nullptr);
    EXPECT_EQ(LoadModelInstance(nullptr), nullptr);
    EXPECT_TRUE(UsedFileEntries() == 0 && !ModelSlots[0].used);
    for (size_t length : {size_t(4096), size_t(4095)}) {  // refused, never cut
        std::string padded = folder.path;
        while (padded.size() + 11 <= length)
            padded += "/.";
        padded += std::string(length - padded.size() - 9, '/') + "/mesh.3ds";
        ModelInstance* instance = LoadModelInstance(padded.c_str());
        EXPECT_EQ(instance ? instance->path : "", length < 4096 ? padded : "") << length;
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
