// A surface's tangent frames are built once and kept until DeformSurface changes a position
// or deformed normal: every light of every frame must still see exactly the bits a fresh
// computation gives.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "model/lighting_data.h"
#include "model/model3ds.h"
#include "tests/model/loaded_stream.h"
#include "tests/support/stream_builder.h"

namespace {

const float Identity[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
const float Turned[12] = {0, -1, 0, 1, 0, 0, 0, 0, 1, 5, 6, 7};  // quarter turn about z, moved
const Vec3 Lights[3] = {{10, -20, 300}, {-3, 4, 0.5f}, {0, 0, 0}};

// A 6 x 5 heightmesh as the writer lays it out, with hills so that no two frames agree.
// Vertex 0 sits at x = -0, which the identity matrix turns into +0.
Bytes HillStream()
{
    const int cols = 6, rows = 5;
    std::vector<Vec3> vertices;
    std::vector<std::pair<float, float>> uvs;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < cols; ++x) {
            float height = static_cast<float>(3.0 * std::sin(x * 0.9) + 2.0 * std::cos(y * 1.3));
            vertices.push_back(Vec3{static_cast<float>(x), static_cast<float>(y), height});
            uvs.push_back({x / 5.0f, y / 4.0f});
        }
    }
    vertices[0].x = -0.0f;
    return WriterLayoutStream(vertices, uvs, GridFaces(cols, rows));
}

// An extended stream of a quad: vertex 0, at the origin, follows two joints half and half;
// the others follow the root joint alone.
Bytes WeightedQuadStream()
{
    std::vector<Vec3> quad = {{0, 0, 0}, {2, 0, 0.5f}, {0, 3, 0}, {2, 3, 1}};
    Bytes triMesh =
        Chunk(0x2100,
              Cat({Chunk(0x2110, VertexData(quad)), Chunk(0x2140, TexCoordData({{0, 0}, {1, 0}, {0, 1}, {1, 1}})),
                   Chunk(0x2120, FaceData({{0, 1, 2}, {1, 3, 2}})),
                   Chunk(0x2180, WeightData({{0, 0.5f}, {1, 0.5f}, {0, 1.0f}})),
                   Chunk(0x2185, RangeData({{0, 2}, {2, 1}, {2, 1}, {2, 1}}))}));
    Bytes object = Chunk(0x2000,
                         Cat({Name("q"), Chunk(0x2189, U32Data({2})), Chunk(0x2190, JointRecordData(0, "root", "")),
                              Chunk(0x2190, JointRecordData(1, "tip", "root")), triMesh}));
    return Extended(object);
}

// The surface's frames and light vectors equal, bit for bit, those computed afresh from
// copies of its current positions and normals, without a surface to cache in.
void ExpectSameBitsAsFresh(const Surface* s, const Vec3& light)
{
    const size_t n = static_cast<size_t>(s->vertexCount);
    std::vector<Vec3> positions(s->positions, s->positions + n);
    const uint8_t* normals = s->deformedNormals ? reinterpret_cast<const uint8_t*>(s->deformedNormals) : s->normals;
    Bytes normalCopy(normals, normals + 12 * n);
    std::vector<TangentFrame> frames(n);
    std::vector<Vec3> vectors(n);
    ComputeTangentLightVectors(s->vertexCount, positions.data(), s->faceCount, s->faces, frames.data(),
                               normalCopy.data(), vectors.data(), light, SurfaceTexCoordPairs(s), nullptr);
    EXPECT_EQ(std::memcmp(s->tangentFrames, frames.data(), sizeof(TangentFrame) * n), 0);
    EXPECT_EQ(std::memcmp(s->lightVectors, vectors.data(), sizeof(Vec3) * n), 0);
}

// Lights the surface once and says whether the frames were built for it: a marker put in
// the first frame's count survives only when the kept frames were used.
bool FramesRebuiltBy(Surface* s, const Vec3& light)
{
    const uint32_t marker = 0xDEADBEEF, count = s->tangentFrames[0].count;
    s->tangentFrames[0].count = marker;
    LightSurface(s, light);
    bool rebuilt = s->tangentFrames[0].count != marker;
    if (!rebuilt)
        s->tangentFrames[0].count = count;
    return rebuilt;
}

void ExpectPositionsOfTheMatrix(const Surface* s)
{
    for (int i = 0; i < s->vertexCount; ++i) {
        Vec3 expected;
        TransformPoint(s->matrix, ReadVec3At(s->vertices, i), expected);
        EXPECT_EQ(std::memcmp(&s->positions[i], &expected, sizeof(Vec3)), 0) << "vertex " << i;
    }
}

TEST(TangentFrameCache, EveryLightOfEveryFrameGetsTheBitsOfAFreshComputation)
{
    LoadedStream loaded(HillStream());
    Surface* s = loaded.At(0);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->vertexCount, 30);
    EXPECT_EQ(s->tangentFramesValid, 0);  // nothing built at load
    for (int frame = 0; frame < 3; ++frame) {
        DeformSurface(s);
        for (const Vec3& light : Lights) {
            LightSurface(s, light);
            EXPECT_EQ(s->tangentFramesValid, 1);
            ExpectSameBitsAsFresh(s, light);
        }
    }
}

TEST(TangentFrameCache, FramesAreBuiltOnceUntilPositionsChange)
{
    LoadedStream loaded(HillStream());
    Surface* s = loaded.At(0);
    DeformSurface(s);
    EXPECT_TRUE(FramesRebuiltBy(s, Lights[0]));
    DeformSurface(s);  // same matrix, no weights: nothing moves
    EXPECT_EQ(s->tangentFramesValid, 1);
    EXPECT_FALSE(FramesRebuiltBy(s, Lights[1]));
    EXPECT_FALSE(FramesRebuiltBy(s, Lights[2]));
    ExpectSameBitsAsFresh(s, Lights[2]);

    std::memcpy(s->matrix, Turned, sizeof(Turned));
    DeformSurface(s);
    EXPECT_EQ(s->tangentFramesValid, 0);
    EXPECT_TRUE(FramesRebuiltBy(s, Lights[0]));
    ExpectSameBitsAsFresh(s, Lights[0]);
    EXPECT_FALSE(FramesRebuiltBy(s, Lights[1]));
    ExpectSameBitsAsFresh(s, Lights[1]);

    std::memcpy(s->matrix, Identity, sizeof(Identity));
    DeformSurface(s);
    EXPECT_TRUE(FramesRebuiltBy(s, Lights[1]));
    ExpectSameBitsAsFresh(s, Lights[1]);

    s->tangentFramesValid = 0;  // the way for anyone who writes the arrays by other means
    EXPECT_TRUE(FramesRebuiltBy(s, Lights[1]));
}

TEST(TangentFrameCache, AMatrixThatMovesNothingKeepsTheFrames)
{
    LoadedStream loaded(HillStream());
    Surface* s = loaded.At(0);
    LightSurface(s, Lights[0]);
    std::vector<Vec3> before(s->positions, s->positions + s->vertexCount);
    s->matrix[1] = -0.0f;  // other bytes, same positions
    DeformSurface(s);
    ASSERT_EQ(std::memcmp(before.data(), s->positions, sizeof(Vec3) * before.size()), 0);
    EXPECT_EQ(s->tangentFramesValid, 1);
    EXPECT_FALSE(FramesRebuiltBy(s, Lights[1]));
    ExpectSameBitsAsFresh(s, Lights[1]);
}

TEST(TangentFrameCache, SkippedDeformKeepsThePositionsTheMatrixMakes)
{
    LoadedStream loaded(HillStream());
    Surface* s = loaded.At(0);
    ASSERT_TRUE(std::signbit(ReadVec3At(s->vertices, 0).x));
    ExpectPositionsOfTheMatrix(s);  // -0 came out as +0
    EXPECT_FALSE(std::signbit(s->positions[0].x));
    for (const float* matrix : {Identity, Turned, Turned, Identity}) {
        std::memcpy(s->matrix, matrix, sizeof(Identity));
        DeformSurface(s);
        ExpectPositionsOfTheMatrix(s);
    }
}

TEST(TangentFrameCache, JointPosesThatMoveVerticesRebuildTheFrames)
{
    LoadedStream loaded(WeightedQuadStream());
    Surface* s = loaded.At(0);
    ASSERT_NE(s, nullptr);
    ASSERT_NE(s->weightRanges, nullptr);
    ASSERT_NE(SurfaceTexCoordPairs(s), nullptr);
    const float bent[12] = {1, 0, 0, 0, 0.6f, -0.8f, 0, 0.8f, 0.6f, 0, 0, 1};
    std::memcpy(s->joints[0].pose, Identity, sizeof(Identity));
    std::memcpy(s->joints[1].pose, bent, sizeof(bent));
    DeformSurface(s);
    ASSERT_NE(s->deformedNormals, nullptr);
    EXPECT_TRUE(FramesRebuiltBy(s, Lights[0]));
    ExpectSameBitsAsFresh(s, Lights[0]);
    EXPECT_EQ(std::memcmp(&s->tangentFrames[0].normal, &s->deformedNormals[0], sizeof(Vec3)), 0);

    DeformSurface(s);  // the same poses move nothing
    EXPECT_FALSE(FramesRebuiltBy(s, Lights[1]));
    ExpectSameBitsAsFresh(s, Lights[1]);

    s->joints[1].pose[11] = 4;  // the tip joint moves up, and vertex 0 with it
    DeformSurface(s);
    EXPECT_EQ(s->tangentFramesValid, 0);
    EXPECT_TRUE(FramesRebuiltBy(s, Lights[1]));
    ExpectSameBitsAsFresh(s, Lights[1]);

    // turning the tip about the origin leaves vertex 0 where it is but turns its normal
    std::vector<Vec3> positions(s->positions, s->positions + s->vertexCount);
    const Vec3 normal = s->deformedNormals[0];
    const float turnedTip[12] = {0.6f, -0.8f, 0, 0.8f, 0.6f, 0, 0, 0, 1, 0, 0, 4};
    std::memcpy(s->joints[1].pose, turnedTip, sizeof(turnedTip));
    DeformSurface(s);
    ASSERT_EQ(std::memcmp(positions.data(), s->positions, sizeof(Vec3) * positions.size()), 0);
    ASSERT_NE(std::memcmp(&normal, &s->deformedNormals[0], sizeof(Vec3)), 0);
    EXPECT_TRUE(FramesRebuiltBy(s, Lights[2]));
    ExpectSameBitsAsFresh(s, Lights[2]);
}

TEST(TangentFrameCache, OtherArraysNeitherUseNorSpoilTheKeptFrames)
{
    LoadedStream loaded(HillStream());
    Surface* s = loaded.At(0);
    LightSurface(s, Lights[0]);
    ASSERT_EQ(s->tangentFramesValid, 1);
    const size_t n = static_cast<size_t>(s->vertexCount);
    std::vector<TangentFrame> kept(s->tangentFrames, s->tangentFrames + n);

    // frames of the caller's own: built there, the surface's frames untouched
    std::vector<TangentFrame> frames(n);
    std::vector<Vec3> out(n);
    ComputeTangentLightVectors(s->vertexCount, s->positions, s->faceCount, s->faces, frames.data(), s->normals,
                               out.data(), Lights[1], SurfaceTexCoordPairs(s), s);
    EXPECT_EQ(frames[7].count, kept[7].count);
    EXPECT_EQ(s->tangentFramesValid, 1);
    EXPECT_EQ(std::memcmp(kept.data(), s->tangentFrames, sizeof(TangentFrame) * n), 0);

    // other positions built into the surface's frames: the kept frames are gone, and so is the flag
    std::vector<Vec3> raised(s->positions, s->positions + n);
    raised[7].z += 10;
    ComputeTangentLightVectors(s->vertexCount, raised.data(), s->faceCount, s->faces, s->tangentFrames, s->normals,
                               out.data(), Lights[1], SurfaceTexCoordPairs(s), s);
    EXPECT_NE(std::memcmp(kept.data(), s->tangentFrames, sizeof(TangentFrame) * n), 0);
    EXPECT_EQ(s->tangentFramesValid, 0);
    LightSurface(s, Lights[1]);
    EXPECT_EQ(s->tangentFramesValid, 1);
    ExpectSameBitsAsFresh(s, Lights[1]);
}

}  // namespace
