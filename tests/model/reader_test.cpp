#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "model/lighting_data.h"
#include "model/model3ds.h"
#include "model/model_store.h"
#include "tests/model/loaded_stream.h"
#include "tests/model/stream_builder.h"
#include "tests/support/writer_example.h"

namespace {

const std::vector<Vec3> Triangle = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};

void ExpectIdentity(const Surface* s) {
  const float identity[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(s->matrix[i], identity[i]);
}

void ExpectPositionsEqualVertices(const Surface* s) {
  for (int i = 0; i < s->vertexCount; ++i) {
    Vec3 v = ReadVec3At(s->vertices, i);
    EXPECT_EQ(s->positions[i].x, v.x);
    EXPECT_EQ(s->positions[i].y, v.y);
    EXPECT_EQ(s->positions[i].z, v.z);
  }
}

Bytes Extended130() {
  std::vector<Vec3> normals = {{0, 0, 1}, {0, 0.6f, 0.8f}, {1, 0, 0}};
  Bytes triMesh = Chunk(0x2100, Cat({Chunk(0x2110, VertexData(Triangle)),
                                     Chunk(0x2120, FaceData({{0, 1, 2}})),
                                     Chunk(0x2170, Vec3Data(normals))}));
  return Cat({ExtendedMark(),
              Chunk(0x1000, Chunk(0x0001, Chunk(0x2000, Cat({Name("a"), triMesh}))))});
}



Bytes WriterExampleFileBytes() { return Bytes(WriterExampleFile, WriterExampleFile + sizeof(WriterExampleFile)); }

// Two objects with joints and weights, a third that borrows, and keyframer nodes.
Bytes JointStream() {
  Bytes objectA = Chunk(0x2000, Cat({Name("a"), Chunk(0x2189, U32Data({2})),
                                     Chunk(0x2190, JointRecordData(0, "root", "")),
                                     Chunk(0x2190, JointRecordData(1, "arm", "root")),
                                     Chunk(0x2190, JointRecordData(2, "past the end", "")),
                                     Chunk(0x2100, Cat({Chunk(0x2110, VertexData(Triangle)),
                                                        Chunk(0x2140, TexCoordData({{0, 0}, {1, 0}, {0, 1}})),
                                                        Chunk(0x2120, FaceData({{0, 1, 2}})),
                                                        Chunk(0x2180, WeightData({{0, 1.0f}, {1, 1.0f}, {5, 1.0f}})),
                                                        Chunk(0x2185, RangeData({{0, 1}, {1, 2}, {2, 5}}))}))}));
  Bytes objectB = Chunk(0x2000, Cat({Name("b"), Chunk(0x2100, Chunk(0x2110, VertexData(Triangle)))}));
  Bytes objectC = Chunk(0x2000, Cat({Name("c"), Chunk(0x2189, U32Data({1})),
                                     Chunk(0x2100, Chunk(0x2110, VertexData(Triangle)))}));
  Bytes objectD = Chunk(0x2000, Cat({Name("d")}));
  Bytes keyframer = Chunk(0x3000, Chunk(0x3002, Cat({Chunk(0x3010, Cat({Name("b"), Bytes(6, 0)})),
                                                     Chunk(0x3010, Cat({Name("ghost"), Bytes(6, 0)}))})));
  return Cat({ExtendedMark(),
              Chunk(0x1000, Cat({Chunk(0x0001, Cat({objectA, objectB, objectC, objectD})), keyframer}))});
}

TEST(Reader, ExtendedStreamOf130Bytes) {
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
  ExpectIdentity(s);
  ExpectPositionsEqualVertices(s);
  EXPECT_EQ(s->triangleCount, 1);
  EXPECT_NE(s->tangentFrames, nullptr);
  EXPECT_NE(s->lightVectors, nullptr);
  EXPECT_EQ(s->texCoords, nullptr);
}

TEST(Reader, FileAsTheWriterWritesIt) {
  LoadedStream loaded(WriterExampleFileBytes());
  ASSERT_EQ(loaded.SurfaceCount(), 1);
  Surface* s = loaded.At(0);
  EXPECT_STREQ(s->name, "heightmesh");
  EXPECT_EQ(s->vertexCount, 4);
  EXPECT_EQ(s->faceCount, 2);
  EXPECT_EQ(s->vertices, loaded.bytes.get() + 51);
  EXPECT_EQ(s->texCoords, loaded.bytes.get() + 105);  // the written count
  EXPECT_EQ(s->texCoords[0], 4);
  float u, v;
  ReadTexCoordAt(s->texCoords, 3, &u, &v);
  EXPECT_EQ(u, 0.5f);
  EXPECT_EQ(v, 0.5f);
  ExpectIdentity(s);
  ExpectPositionsEqualVertices(s);
  EXPECT_EQ(s->positions[0].x, -48.0f);
  EXPECT_EQ(s->positions[3].z, 40.0f);
  EXPECT_EQ(s->normalsFromFile, 0);
  ASSERT_EQ(s->triangleCount, 2);
  const uint32_t expected[6] = {1, 0, 2, 3, 1, 2};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(s->triangleIndices[i], expected[i]);
  // corner 0 only belongs to the first face: (b - a) x (c - a) of (0,48,20),(-48,48,10),(-48,0,30)
  Vec3 expectedNormal{-480, 960, 2304};
  Normalize(expectedNormal);
  Vec3 n0 = ReadVec3At(s->normals, 0);
  EXPECT_NEAR(n0.x, expectedNormal.x, 1e-6);
  EXPECT_NEAR(n0.y, expectedNormal.y, 1e-6);
  EXPECT_NEAR(n0.z, expectedNormal.z, 1e-6);
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(VecLength(ReadVec3At(s->normals, i)), 1.0f, 1e-6);
}

TEST(Reader, StandardAndExtendedIdsBelongToTheirVariant) {
  Bytes object = Chunk(0x4000, Cat({Name("x"), Chunk(0x4100, Chunk(0x4110, VertexData(Triangle)))}));
  LoadedStream standard(Chunk(0x4D4D, Chunk(0x3D3D, object)));
  EXPECT_EQ(standard.SurfaceCount(), 1);
  // the same chunks behind the extended mark are unknown and skipped
  LoadedStream extended(Cat({ExtendedMark(), Chunk(0x4D4D, Chunk(0x3D3D, object))}));
  EXPECT_EQ(extended.SurfaceCount(), 0);
  // extended ids without the mark are unknown too
  Bytes extendedObject = Chunk(0x2000, Cat({Name("y"), Chunk(0x2100, Chunk(0x2110, VertexData(Triangle)))}));
  LoadedStream unmarked(Chunk(0x1000, Chunk(0x0001, extendedObject)));
  EXPECT_EQ(unmarked.SurfaceCount(), 0);
}

TEST(Reader, PlaceholderIdIsVertexNormalsInStandardStreams) {
  Bytes triMesh = Chunk(0x4100, Cat({Chunk(0x4110, VertexData(Triangle)),
                                     Chunk(0x9999, Vec3Data({{0, 0, 1}, {0, 0, 1}, {0, 0, 1}}))}));
  LoadedStream loaded(Chunk(0x4D4D, Chunk(0x3D3D, Chunk(0x4000, Cat({Name("n"), triMesh})))));
  ASSERT_EQ(loaded.SurfaceCount(), 1);
  EXPECT_EQ(loaded.At(0)->normalsFromFile, 1);
}

TEST(Reader, FaceListSubChunksFollowTheLastFace) {
  Bytes material = Chunk(0x4130, Cat({Name("mat"), U32Data({0x00000001})}));
  Bytes smoothing = Chunk(0x4150, U32Data({1, 1}));
  // a texture list hidden inside the face list is only found when the walk goes on behind the faces
  Bytes texInside = Chunk(0x4140, TexCoordData({{0, 0}, {1, 0}, {0, 1}}));
  Bytes faceList = Chunk(0x4120, Cat({FaceData({{0, 1, 2}, {2, 1, 0}}), material, smoothing, texInside}));
  Bytes matrix = Chunk(0x4160, Bytes(48, 0));
  Bytes triMesh = Chunk(0x4100, Cat({Chunk(0x4110, VertexData(Triangle)), faceList, matrix}));
  LoadedStream loaded(Chunk(0x4D4D, Chunk(0x3D3D, Chunk(0x4000, Cat({Name("m"), triMesh})))));
  ASSERT_EQ(loaded.SurfaceCount(), 1);
  Surface* s = loaded.At(0);
  EXPECT_EQ(s->faceCount, 2);
  EXPECT_EQ(s->triangleCount, 2);
  ASSERT_NE(s->texCoords, nullptr);
  EXPECT_EQ(s->texCoords[0], 3);
  ExpectIdentity(s);  // the mesh matrix chunk is skipped
}

TEST(Reader, KeyframerNodesMatchOrAddSurfaces) {
  LoadedStream loaded(JointStream());
  ASSERT_EQ(loaded.SurfaceCount(), 5);
  const char* names[] = {"a", "b", "c", "d", "ghost"};
  for (int i = 0; i < 5; ++i) EXPECT_STREQ(loaded.At(i)->name, names[i]);
  Surface* ghost = loaded.At(4);
  EXPECT_EQ(ghost->vertices, nullptr);
  EXPECT_EQ(ghost->positions, nullptr);
  EXPECT_EQ(ghost->triangleIndices, nullptr);
  EXPECT_EQ(ghost->normals, nullptr);
  EXPECT_EQ(ghost->tangentFrames, nullptr);
  EXPECT_EQ(ghost->lightVectors, nullptr);
  EXPECT_EQ(ghost->joints, nullptr);  // nodes borrow no joints
  DeformSurface(ghost);               // what a frame does to every surface
  EXPECT_EQ(ghost->positions, nullptr);
}

TEST(Reader, FindSurfaceByNameReturnsTheFirstExactMatch) {
  Bytes one = Chunk(0x4000, Cat({Name("twin"), Chunk(0x4100, Chunk(0x4110, VertexData(Triangle)))}));
  Bytes two = Chunk(0x4000, Cat({Name("twin")}));
  LoadedStream loaded(Chunk(0x4D4D, Chunk(0x3D3D, Cat({one, two}))));
  ASSERT_EQ(loaded.SurfaceCount(), 2);
  EXPECT_EQ(FindSurfaceByName("twin", &loaded.model), loaded.At(0));
  EXPECT_EQ(FindSurfaceByName("TWIN", &loaded.model), nullptr);
  EXPECT_EQ(FindSurfaceByName("twi", &loaded.model), nullptr);
}

TEST(Reader, JointBlocksAreSharedUntilAnObjectBringsItsOwn) {
  LoadedStream loaded(JointStream());
  Surface *a = loaded.At(0), *b = loaded.At(1), *c = loaded.At(2), *d = loaded.At(3);
  ASSERT_NE(a->joints, nullptr);
  EXPECT_EQ(a->jointCount, 2);
  EXPECT_EQ(a->borrowedJoints, 0);
  EXPECT_EQ(b->joints, a->joints);
  EXPECT_EQ(b->jointCount, 2);
  EXPECT_EQ(b->borrowedJoints, 1);
  EXPECT_NE(c->joints, a->joints);
  EXPECT_EQ(c->jointCount, 1);
  EXPECT_EQ(c->borrowedJoints, 0);
  EXPECT_EQ(d->joints, c->joints);
  EXPECT_EQ(d->borrowedJoints, 1);
  // records were copied; the one whose index is past jointCount was ignored
  EXPECT_EQ(a->joints[1].index, 1u);
  EXPECT_STREQ(a->joints[1].name, "arm");
  EXPECT_STREQ(a->joints[1].parentName, "root");
  for (float value : a->joints[1].pose) EXPECT_EQ(value, 0.0f);
  // FreeModel (in the destructor) must free each block exactly once: ASan checks it
}

TEST(Reader, WeightsDeformPositionsAndIgnoreBadRecords) {
  LoadedStream loaded(JointStream());
  Surface* a = loaded.At(0);
  ASSERT_NE(a->weightRanges, nullptr);
  EXPECT_EQ(a->weightCount, 3u);
  // poses are zero after loading, so every weighted vertex sits at the origin
  for (int i = 0; i < 3; ++i) EXPECT_EQ(a->positions[i].x, 0.0f);
  // pose joint 0 as a translation by (1, 2, 3) and joint 1 as the identity
  const float moved[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 2, 3};
  const float identity[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  std::memcpy(a->joints[0].pose, moved, sizeof(moved));
  std::memcpy(a->joints[1].pose, identity, sizeof(identity));
  DeformSurface(a);
  ASSERT_NE(a->deformedNormals, nullptr);
  // vertex 0: weight 0 (joint 0, 1.0)
  EXPECT_EQ(a->positions[0].x, 1.0f);
  EXPECT_EQ(a->positions[0].y, 2.0f);
  EXPECT_EQ(a->positions[0].z, 3.0f);
  // vertex 1: weights 1 (joint 1) and 2 (joint 5, past jointCount: ignored)
  EXPECT_EQ(a->positions[1].x, 1.0f);
  EXPECT_EQ(a->positions[1].y, 0.0f);
  // vertex 2: range 2..7 reaches past weightCount: ignored
  EXPECT_EQ(a->positions[2].x, 0.0f);
  EXPECT_EQ(a->positions[2].y, 0.0f);
  // translation leaves the normal as it was
  Vec3 n = ReadVec3At(a->normals, 0);
  EXPECT_NEAR(a->deformedNormals[0].z, n.z, 1e-6);
  EXPECT_NEAR(VecLength(a->deformedNormals[1]), 1.0f, 1e-6);
}

TEST(Reader, ZeroChunkLengthEndsTheWalk) {
  Bytes first = Chunk(0x4000, Cat({Name("kept"), Chunk(0x4100, Chunk(0x4110, VertexData(Triangle)))}));
  Bytes broken;
  PutU16(broken, 0x4000);
  PutU32(broken, 0);
  Bytes after = Chunk(0x4000, Cat({Name("lost"), Chunk(0x4100, Chunk(0x4110, VertexData(Triangle)))}));
  LoadedStream loaded(Chunk(0x4D4D, Chunk(0x3D3D, Cat({first, broken, Name("x"), after}))));
  ASSERT_EQ(loaded.SurfaceCount(), 1);
  EXPECT_STREQ(loaded.At(0)->name, "kept");
  EXPECT_NE(loaded.At(0)->positions, nullptr);
  EXPECT_NE(loaded.At(0)->normals, nullptr);
  EXPECT_NE(loaded.At(0)->triangleIndices, nullptr);
}

TEST(Reader, EmptyOrMainOnlyStreamHasNoSurfaces) {
  LoadedStream empty(Bytes{});
  EXPECT_EQ(empty.SurfaceCount(), 0);
  LoadedStream mainOnly(Chunk(0x4D4D));
  EXPECT_EQ(mainOnly.SurfaceCount(), 0);
  LoadedStream mark(ExtendedMark());
  EXPECT_EQ(mark.SurfaceCount(), 0);
}

TEST(Reader, ChunksBeforeAnySurfaceAreSkipped) {
  Bytes early = Cat({Chunk(0x4110, VertexData(Triangle)), Chunk(0x4120, FaceData({{0, 1, 2}})),
                     Chunk(0x4140, TexCoordData({{0, 0}})), Chunk(0x9999, Vec3Data(Triangle))});
  Bytes object = Chunk(0x4000, Cat({Name("late"), Chunk(0x4100, Chunk(0x4110, VertexData({{5, 5, 5}})))}));
  LoadedStream loaded(Chunk(0x4D4D, Chunk(0x3D3D, Cat({early, object}))));
  ASSERT_EQ(loaded.SurfaceCount(), 1);
  EXPECT_EQ(loaded.At(0)->vertexCount, 1);
  EXPECT_EQ(loaded.At(0)->faceCount, 0);
  EXPECT_EQ(loaded.At(0)->normalsFromFile, 0);
  Bytes extended = Cat({ExtendedMark(), Chunk(0x2189, U32Data({3})),
                        Chunk(0x2190, JointRecordData(0, "j", "")), Chunk(0x2180, WeightData({{0, 1}}))});
  LoadedStream noSurface(extended);
  EXPECT_EQ(noSurface.SurfaceCount(), 0);
}

TEST(Reader, CountLargerThanTheDataStopsTheWalk) {
  Bytes good = Chunk(0x4000, Cat({Name("good"), Chunk(0x4100, Chunk(0x4110, VertexData(Triangle)))}));
  Bytes vertexList;
  PutU16(vertexList, 0x4110);
  PutU32(vertexList, 8 + 36);
  PutU16(vertexList, 100);  // claims 100 vertices, holds 3
  Bytes payload = Vec3Data(Triangle);
  vertexList.insert(vertexList.end(), payload.begin(), payload.end());
  Bytes bad = Chunk(0x4000, Cat({Name("bad"), Chunk(0x4100, vertexList)}));
  LoadedStream loaded(Chunk(0x4D4D, Chunk(0x3D3D, Cat({good, bad}))));
  ASSERT_EQ(loaded.SurfaceCount(), 2);
  EXPECT_EQ(loaded.At(0)->vertexCount, 3);
  EXPECT_EQ(loaded.At(1)->vertices, nullptr);
  EXPECT_EQ(loaded.At(1)->vertexCount, 0);
}

TEST(Reader, NameWithoutNulStopsTheWalk) {
  Bytes stream = Chunk(0x4D4D, Chunk(0x3D3D));
  PutU16(stream, 0x4000);
  PutU32(stream, 10);
  stream.push_back('a');
  stream.push_back('b');
  LoadedStream loaded(stream);
  EXPECT_EQ(loaded.SurfaceCount(), 0);
}

TEST(Reader, TexCoordListWithFewerPairsThanVerticesIsDropped) {
  Bytes triMesh = Chunk(0x2100, Cat({Chunk(0x2110, VertexData({{0, 0, 0}})),
                                     Chunk(0x2140, TexCoordData({{0, 0}, {1, 1}})),
                                     Chunk(0x2110, VertexData(Triangle))}));
  LoadedStream loaded(Cat({ExtendedMark(), Chunk(0x1000, Chunk(0x0001, Chunk(0x2000, Cat({Name("s"), triMesh}))))}));
  ASSERT_EQ(loaded.SurfaceCount(), 1);
  Surface* s = loaded.At(0);
  EXPECT_EQ(s->vertexCount, 3);
  EXPECT_EQ(s->texCoords, nullptr);
  EXPECT_EQ(SurfaceTexCoordPairs(s), nullptr);
  ASSERT_NE(s->normals, nullptr);  // computed; no faces, so all zero
  EXPECT_EQ(ReadVec3At(s->normals, 2).z, 0.0f);
  // without texture coordinates the light vectors are left as they were
  s->lightVectors[0] = Vec3{7, 7, 7};
  ComputeTangentLightVectors(s->vertexCount, s->positions, s->faceCount, s->faces, s->tangentFrames,
                             s->normals, s->lightVectors, Vec3{0, 0, 5}, SurfaceTexCoordPairs(s), s);
  EXPECT_EQ(s->lightVectors[0].x, 7.0f);
}

TEST(Reader, FacesWithCornersPastTheVertexListAreLeftOut) {
  Bytes triMesh = Chunk(0x4100, Cat({Chunk(0x4110, VertexData(Triangle)),
                                     Chunk(0x4140, TexCoordData({{0, 0}, {1, 0}, {0, 1}})),
                                     Chunk(0x4120, FaceData({{0, 1, 3}, {0, 1, 2}, {65535, 0, 1}}))}));
  LoadedStream loaded(Chunk(0x4D4D, Chunk(0x3D3D, Chunk(0x4000, Cat({Name("f"), triMesh})))));
  Surface* s = loaded.At(0);
  ASSERT_EQ(s->triangleCount, 1);
  EXPECT_EQ(s->triangleIndices[0], 0u);
  EXPECT_EQ(s->triangleIndices[1], 1u);
  EXPECT_EQ(s->triangleIndices[2], 2u);
  EXPECT_EQ(ReadVec3At(s->normals, 0).z, 1.0f);
  ComputeTangentLightVectors(s->vertexCount, s->positions, s->faceCount, s->faces, s->tangentFrames,
                             s->normals, s->lightVectors, Vec3{0, 0, 5}, SurfaceTexCoordPairs(s), s);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(s->tangentFrames[i].count, 1u);
}

TEST(Reader, TrailingBytesShorterThanAHeaderAreIgnored) {
  Bytes stream = Cat({WriterExampleFileBytes(), Bytes{0x00, 0x40, 0x05}});
  LoadedStream loaded(stream);
  EXPECT_EQ(loaded.SurfaceCount(), 1);
}

// Reads every prefix of a stream from its own exactly-sized block and uses the result the
// way a frame does, so that AddressSanitizer sees any read past the end.
void ReadEveryPrefix(const Bytes& stream) {
  for (size_t size = 0; size <= stream.size(); ++size) {
    LoadedStream loaded(Bytes(stream.begin(), stream.begin() + size));
    const uint8_t* end = loaded.bytes.get() + size;
    for (Surface* s = loaded.model.firstSurface; s; s = s->next) {
      if (s->vertices) {
        EXPECT_LE(s->vertices + 12 * s->vertexCount, end);
      }
      if (s->faces) {
        EXPECT_LE(s->faces + 8 * s->faceCount, end);
      }
      if (s->name) {
        EXPECT_LT(reinterpret_cast<const uint8_t*>(s->name) + std::strlen(s->name), end);
      }
      DeformSurface(s);
      ComputeTangentLightVectors(s->vertexCount, s->positions, s->faceCount, s->faces,
                                 s->tangentFrames, s->normals, s->lightVectors, Vec3{1, 2, 3},
                                 SurfaceTexCoordPairs(s), s);
      for (int i = 0; i < 3 * s->triangleCount; ++i) {
        EXPECT_LT(s->triangleIndices[i], static_cast<uint32_t>(s->vertexCount));
      }
    }
  }
}

TEST(Reader, EveryTruncatedPrefixIsReadWithinBounds) {
  ReadEveryPrefix(WriterExampleFileBytes());
  ReadEveryPrefix(Extended130());
  ReadEveryPrefix(JointStream());
}

}  // namespace
