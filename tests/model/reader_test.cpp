#include <gtest/gtest.h>

#include <cstring>

#include "model/lighting_data.h"
#include "model/model3ds.h"
#include "model/model_store.h"
#include "tests/model/loaded_stream.h"
#include "tests/support/stream_builder.h"
#include "tests/support/writer_example.h"

namespace {

const std::vector<Vec3> Triangle = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
const float Identity[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};

void ExpectIdentityAndPositionsOfTheVertices(const Surface* s)
{
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(s->matrix[i], Identity[i]);
    for (int i = 0; i < s->vertexCount; ++i) {
        Vec3 v = ReadVec3At(s->vertices, i);
        EXPECT_TRUE(s->positions[i].x == v.x && s->positions[i].y == v.y && s->positions[i].z == v.z) << i;
    }
}

Bytes Extended130()
{
    std::vector<Vec3> normals = {{0, 0, 1}, {0, 0.6f, 0.8f}, {1, 0, 0}};
    Bytes triMesh = Chunk(0x2100,
                          Cat({Chunk(0x2110, VertexData(Triangle)), Chunk(0x2120, FaceData({{0, 1, 2}})),
                               Chunk(0x2170, Vec3Data(normals))}));
    return Extended(Chunk(0x2000, Cat({Name("a"), triMesh})));
}

Bytes WriterExampleFileBytes()
{
    return Bytes(WriterExampleFile, WriterExampleFile + sizeof(WriterExampleFile));
}

// Two objects with joints and weights, a third that borrows, and keyframer nodes.
Bytes JointStream()
{
    Bytes objectA = Chunk(
        0x2000,
        Cat({Name("a"), Chunk(0x2189, U32Data({2})), Chunk(0x2190, JointRecordData(0, "root", "")),
             Chunk(0x2190, JointRecordData(1, "arm", "root")), Chunk(0x2190, JointRecordData(2, "past the end", "")),
             Chunk(0x2100,
                   Cat({Chunk(0x2110, VertexData(Triangle)), Chunk(0x2140, TexCoordData({{0, 0}, {1, 0}, {0, 1}})),
                        Chunk(0x2120, FaceData({{0, 1, 2}})),
                        Chunk(0x2180, WeightData({{0, 1.0f}, {1, 1.0f}, {5, 1.0f}})),
                        Chunk(0x2185, RangeData({{0, 1}, {1, 2}, {2, 5}}))}))}));
    Bytes objectB = Chunk(0x2000, Cat({Name("b"), Chunk(0x2100, Chunk(0x2110, VertexData(Triangle)))}));
    Bytes objectC = Chunk(
        0x2000, Cat({Name("c"), Chunk(0x2189, U32Data({1})), Chunk(0x2100, Chunk(0x2110, VertexData(Triangle)))}));
    Bytes objectD = Chunk(0x2000, Name("d"));
    Bytes keyframer = Chunk(
        0x3000,
        Chunk(0x3002,
              Cat({Chunk(0x3010, Cat({Name("b"), Bytes(6, 0)})), Chunk(0x3010, Cat({Name("ghost"), Bytes(6, 0)}))})));
    return Cat(
        {ExtendedMark(), Chunk(0x1000, Cat({Chunk(0x0001, Cat({objectA, objectB, objectC, objectD})), keyframer}))});
}

TEST(Reader, ExtendedStreamOf130Bytes)
{
    Bytes stream = Extended130();
    ASSERT_EQ(stream.size(), 130u);
    LoadedStream loaded(stream);
    ASSERT_EQ(loaded.SurfaceCount(), 1);
    Surface* s = loaded.At(0);
    EXPECT_STREQ(s->name, "a");
    EXPECT_EQ(s->name, reinterpret_cast<const char*>(loaded.bytes.get()) + 20);  // a view, not a copy
    EXPECT_EQ(s->vertexCount, 3);
    EXPECT_EQ(s->faceCount, 1);
    EXPECT_EQ(s->normalsFromFile, 1);
    EXPECT_EQ(s->normals, loaded.bytes.get() + 88 + 6);
    Vec3 n = ReadVec3At(s->normals, 1);
    EXPECT_EQ(n.y, 0.6f);
    EXPECT_EQ(n.z, 0.8f);
    ExpectIdentityAndPositionsOfTheVertices(s);
    EXPECT_EQ(s->triangleCount, 1);
    EXPECT_NE(s->tangentFrames, nullptr);
    EXPECT_NE(s->lightVectors, nullptr);
    EXPECT_EQ(s->texCoords, nullptr);
}

TEST(Reader, FileAsTheWriterWritesIt)
{
    LoadedStream loaded(WriterExampleFileBytes());
    ASSERT_EQ(loaded.SurfaceCount(), 1);
    Surface* s = loaded.At(0);
    EXPECT_STREQ(s->name, "heightmesh");
    EXPECT_EQ(s->vertexCount, 4);
    EXPECT_EQ(s->faceCount, 2);
    EXPECT_EQ(s->vertices, loaded.bytes.get() + 51);
    EXPECT_EQ(s->texCoords, loaded.bytes.get() + 105);  // the written count
    EXPECT_EQ(s->texCoords[0], 4);
    float pair[2];
    std::memcpy(pair, SurfaceTexCoordPairs(s) + 3 * sizeof pair, sizeof pair);
    EXPECT_EQ(pair[0], 0.5f);
    EXPECT_EQ(pair[1], 0.5f);
    ExpectIdentityAndPositionsOfTheVertices(s);
    EXPECT_EQ(s->positions[0].x, -48.0f);
    EXPECT_EQ(s->positions[3].z, 40.0f);
    EXPECT_EQ(s->normalsFromFile, 0);
    ASSERT_EQ(s->triangleCount, 2);
    const uint32_t expected[6] = {1, 0, 2, 3, 1, 2};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(s->triangleIndices[i], expected[i]);
    // corner 0 only belongs to the first face: (b - a) x (c - a) of (0,48,20),(-48,48,10),(-48,0,30)
    Vec3 expectedNormal{-480, 960, 2304};
    Normalize(expectedNormal);
    Vec3 n0 = ReadVec3At(s->normals, 0);
    EXPECT_NEAR(n0.x, expectedNormal.x, 1e-6);
    EXPECT_NEAR(n0.y, expectedNormal.y, 1e-6);
    EXPECT_NEAR(n0.z, expectedNormal.z, 1e-6);
    for (int i = 0; i < 4; ++i) {
        Vec3 normal = ReadVec3At(s->normals, i);
        EXPECT_NEAR(Normalize(normal), 1.0f, 1e-6);
    }
}

// Streams and the surfaces the walk finds in them.
struct SurfaceCase {
    const char* what;  // what the stream shows
    Bytes stream;
    int surfaces;
};

TEST(Reader, SurfacesFoundInEachKindOfStream)
{
    Bytes object = VertexObject("x", Triangle);
    Bytes extendedObject = Chunk(0x2000, Cat({Name("y"), Chunk(0x2100, Chunk(0x2110, VertexData(Triangle)))}));
    Bytes nameWithoutNul = Standard({});
    PutU16(nameWithoutNul, 0x4000);
    PutU32(nameWithoutNul, 10);
    nameWithoutNul.push_back('a');
    nameWithoutNul.push_back('b');
    const SurfaceCase cases[] = {
        {"standard ids in a standard stream", Standard(object), 1},
        {"standard ids behind the extended mark are unknown", Cat({ExtendedMark(), Standard(object)}), 0},
        {"extended ids without the mark are unknown", Chunk(0x1000, Chunk(0x0001, extendedObject)), 0},
        {"empty stream", Bytes{}, 0},
        {"main chunk only", Chunk(0x4D4D), 0},
        {"extended mark only", ExtendedMark(), 0},
        {"name without its nul stops the walk", nameWithoutNul, 0},
        {"extended chunks before any object are skipped",
         Cat({ExtendedMark(), Chunk(0x2189, U32Data({3})), Chunk(0x2190, JointRecordData(0, "j", "")),
              Chunk(0x2180, WeightData({{0, 1}}))}),
         0},
        {"trailing bytes shorter than a header are ignored", Cat({WriterExampleFileBytes(), Bytes{0x00, 0x40, 0x05}}),
         1},
    };
    for (const SurfaceCase& c : cases) {
        SCOPED_TRACE(c.what);
        LoadedStream loaded(c.stream);
        EXPECT_EQ(loaded.SurfaceCount(), c.surfaces);
    }
}

TEST(Reader, PlaceholderIdIsVertexNormalsInStandardStreams)
{
    Bytes triMesh = Chunk(
        0x4100, Cat({Chunk(0x4110, VertexData(Triangle)), Chunk(0x9999, Vec3Data({{0, 0, 1}, {0, 0, 1}, {0, 0, 1}}))}));
    LoadedStream loaded(Standard(Chunk(0x4000, Cat({Name("n"), triMesh}))));
    ASSERT_EQ(loaded.SurfaceCount(), 1);
    EXPECT_EQ(loaded.At(0)->normalsFromFile, 1);
}

TEST(Reader, FaceListSubChunksFollowTheLastFace)
{
    Bytes material = Chunk(0x4130, Cat({Name("mat"), U32Data({0x00000001})}));
    Bytes smoothing = Chunk(0x4150, U32Data({1, 1}));
    // a texture list hidden inside the face list is only found when the walk goes on behind the faces
    Bytes texInside = Chunk(0x4140, TexCoordData({{0, 0}, {1, 0}, {0, 1}}));
    Bytes faceList = Chunk(0x4120, Cat({FaceData({{0, 1, 2}, {2, 1, 0}}), material, smoothing, texInside}));
    Bytes matrix = Chunk(0x4160, Bytes(48, 0));
    Bytes triMesh = Chunk(0x4100, Cat({Chunk(0x4110, VertexData(Triangle)), faceList, matrix}));
    LoadedStream loaded(Standard(Chunk(0x4000, Cat({Name("m"), triMesh}))));
    ASSERT_EQ(loaded.SurfaceCount(), 1);
    Surface* s = loaded.At(0);
    EXPECT_EQ(s->faceCount, 2);
    EXPECT_EQ(s->triangleCount, 2);
    ASSERT_NE(s->texCoords, nullptr);
    EXPECT_EQ(s->texCoords[0], 3);
    ExpectIdentityAndPositionsOfTheVertices(s);  // the mesh matrix chunk is skipped
}

TEST(Reader, KeyframerNodesMatchOrAddSurfaces)
{
    LoadedStream loaded(JointStream());
    ASSERT_EQ(loaded.SurfaceCount(), 5);
    const char* names[] = {"a", "b", "c", "d", "ghost"};
    for (int i = 0; i < 5; ++i)
        EXPECT_STREQ(loaded.At(i)->name, names[i]);
    Surface* ghost = loaded.At(4);
    for (const void* array :
         {(const void*)ghost->vertices, (const void*)ghost->positions, (const void*)ghost->triangleIndices,
          (const void*)ghost->normals, (const void*)ghost->tangentFrames, (const void*)ghost->lightVectors,
          (const void*)ghost->joints}) {  // nodes borrow no joints
        EXPECT_EQ(array, nullptr);
    }
    DeformSurface(ghost);  // what a frame does to every surface
    EXPECT_EQ(ghost->positions, nullptr);
}

TEST(Reader, FindSurfaceByNameReturnsTheFirstExactMatch)
{
    LoadedStream loaded(Standard(Cat({VertexObject("twin", Triangle), Chunk(0x4000, Name("twin"))})));
    ASSERT_EQ(loaded.SurfaceCount(), 2);
    EXPECT_EQ(FindSurfaceByName("twin", &loaded.model), loaded.At(0));
    EXPECT_EQ(FindSurfaceByName("TWIN", &loaded.model), nullptr);
    EXPECT_EQ(FindSurfaceByName("twi", &loaded.model), nullptr);
}

TEST(Reader, JointBlocksAreSharedUntilAnObjectBringsItsOwn)
{
    LoadedStream loaded(JointStream());
    Surface *a = loaded.At(0), *b = loaded.At(1), *c = loaded.At(2), *d = loaded.At(3);
    ASSERT_NE(a->joints, nullptr);
    EXPECT_NE(c->joints, a->joints);
    const struct {
        Surface* surface;
        const Joint* joints;
        int count, borrowed;
    } expected[] = {{a, a->joints, 2, 0}, {b, a->joints, 2, 1}, {c, c->joints, 1, 0}, {d, c->joints, 1, 1}};
    for (const auto& e : expected) {
        SCOPED_TRACE(e.surface->name);
        EXPECT_EQ(e.surface->joints, e.joints);
        EXPECT_EQ(e.surface->jointCount, e.count);
        EXPECT_EQ(e.surface->borrowedJoints, e.borrowed);
    }
    // records were copied; the one whose index is past jointCount was ignored
    EXPECT_EQ(a->joints[1].index, 1u);
    EXPECT_STREQ(a->joints[1].name, "arm");
    EXPECT_STREQ(a->joints[1].parentName, "root");
    for (float value : a->joints[1].pose)
        EXPECT_EQ(value, 0.0f);
    // FreeModel (in the destructor) must free each block exactly once: ASan checks it
}

TEST(Reader, WeightsDeformPositionsAndIgnoreBadRecords)
{
    LoadedStream loaded(JointStream());
    Surface* a = loaded.At(0);
    ASSERT_NE(a->weightRanges, nullptr);
    EXPECT_EQ(a->weightCount, 3u);
    // poses are zero after loading, so every weighted vertex sits at the origin
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(a->positions[i].x, 0.0f);
    // pose joint 0 as a translation by (1, 2, 3) and joint 1 as the identity
    const float moved[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 2, 3};
    std::memcpy(a->joints[0].pose, moved, sizeof(moved));
    std::memcpy(a->joints[1].pose, Identity, sizeof(Identity));
    DeformSurface(a);
    ASSERT_NE(a->deformedNormals, nullptr);
    // vertex 0: weight 0 (joint 0); vertex 1: weights 1 (joint 1) and 2 (joint 5, past
    // jointCount: ignored); vertex 2: range 2..7 reaches past weightCount: ignored
    const Vec3 positions[3] = {{1, 2, 3}, {1, 0, 0}, {0, 0, 0}};
    EXPECT_EQ(std::memcmp(a->positions, positions, sizeof(positions)), 0);
    // translation leaves the normal as it was
    Vec3 n = ReadVec3At(a->normals, 0);
    EXPECT_NEAR(a->deformedNormals[0].z, n.z, 1e-6);
    Vec3 deformed = a->deformedNormals[1];
    EXPECT_NEAR(Normalize(deformed), 1.0f, 1e-6);
}

TEST(Reader, ZeroChunkLengthEndsTheWalk)
{
    Bytes broken;
    PutU16(broken, 0x4000);
    PutU32(broken, 0);
    LoadedStream loaded(
        Standard(Cat({VertexObject("kept", Triangle), broken, Name("x"), VertexObject("lost", Triangle)})));
    ASSERT_EQ(loaded.SurfaceCount(), 1);
    EXPECT_STREQ(loaded.At(0)->name, "kept");
    EXPECT_NE(loaded.At(0)->positions, nullptr);
    EXPECT_NE(loaded.At(0)->normals, nullptr);
    EXPECT_NE(loaded.At(0)->triangleIndices, nullptr);
}

TEST(Reader, ChunksBeforeAnySurfaceAreSkipped)
{
    Bytes early = Cat({Chunk(0x4110, VertexData(Triangle)), Chunk(0x4120, FaceData({{0, 1, 2}})),
                       Chunk(0x4140, TexCoordData({{0, 0}})), Chunk(0x9999, Vec3Data(Triangle))});
    LoadedStream loaded(Standard(Cat({early, VertexObject("late", {{5, 5, 5}})})));
    ASSERT_EQ(loaded.SurfaceCount(), 1);
    EXPECT_EQ(loaded.At(0)->vertexCount, 1);
    EXPECT_EQ(loaded.At(0)->faceCount, 0);
    EXPECT_EQ(loaded.At(0)->normalsFromFile, 0);
}

TEST(Reader, CountLargerThanTheDataStopsTheWalk)
{
    Bytes vertexList;
    PutU16(vertexList, 0x4110);
    PutU32(vertexList, 8 + 36);
    vertexList = Cat({vertexList, Counted(100, Vec3Data(Triangle))});  // claims 100 vertices, holds 3
    Bytes bad = Chunk(0x4000, Cat({Name("bad"), Chunk(0x4100, vertexList)}));
    LoadedStream loaded(Standard(Cat({VertexObject("good", Triangle), bad})));
    ASSERT_EQ(loaded.SurfaceCount(), 2);
    EXPECT_EQ(loaded.At(0)->vertexCount, 3);
    EXPECT_EQ(loaded.At(1)->vertices, nullptr);
    EXPECT_EQ(loaded.At(1)->vertexCount, 0);
}

TEST(Reader, TexCoordListWithFewerPairsThanVerticesIsDropped)
{
    Bytes triMesh = Chunk(0x2100,
                          Cat({Chunk(0x2110, VertexData({{0, 0, 0}})), Chunk(0x2140, TexCoordData({{0, 0}, {1, 1}})),
                               Chunk(0x2110, VertexData(Triangle))}));
    LoadedStream loaded(Extended(Chunk(0x2000, Cat({Name("s"), triMesh}))));
    ASSERT_EQ(loaded.SurfaceCount(), 1);
    Surface* s = loaded.At(0);
    EXPECT_EQ(s->vertexCount, 3);
    EXPECT_EQ(s->texCoords, nullptr);
    EXPECT_EQ(SurfaceTexCoordPairs(s), nullptr);
    ASSERT_NE(s->normals, nullptr);  // computed; no faces, so all zero
    EXPECT_EQ(ReadVec3At(s->normals, 2).z, 0.0f);
    // without texture coordinates the light vectors are left as they were
    s->lightVectors[0] = Vec3{7, 7, 7};
    LightSurface(s, Vec3{0, 0, 5});
    EXPECT_EQ(s->lightVectors[0].x, 7.0f);
}

TEST(Reader, FacesWithCornersPastTheVertexListAreLeftOut)
{
    Bytes triMesh =
        Chunk(0x4100,
              Cat({Chunk(0x4110, VertexData(Triangle)), Chunk(0x4140, TexCoordData({{0, 0}, {1, 0}, {0, 1}})),
                   Chunk(0x4120, FaceData({{0, 1, 3}, {0, 1, 2}, {65535, 0, 1}}))}));
    LoadedStream loaded(Standard(Chunk(0x4000, Cat({Name("f"), triMesh}))));
    Surface* s = loaded.At(0);
    ASSERT_EQ(s->triangleCount, 1);
    for (uint32_t i = 0; i < 3; ++i)
        EXPECT_EQ(s->triangleIndices[i], i);
    EXPECT_EQ(ReadVec3At(s->normals, 0).z, 1.0f);
    LightSurface(s, Vec3{0, 0, 5});
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(s->tangentFrames[i].count, 1u);
}

// Every prefix of a stream is read from its own exactly-sized block and used the way a
// frame does.
TEST(Reader, EveryTruncatedPrefixIsReadWithinBounds)
{
    for (const Bytes& stream : {WriterExampleFileBytes(), Extended130(), JointStream()}) {
        for (size_t size = 0; size <= stream.size(); ++size) {
            SCOPED_TRACE(size);
            LoadedStream loaded(Bytes(stream.begin(), stream.begin() + size));
            ExpectFrameWithinBounds(loaded, size);
        }
    }
}

}  // namespace
