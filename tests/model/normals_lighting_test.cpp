#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "model/lighting_data.h"
#include "model/model3ds.h"
#include "tests/support/stream_builder.h"

namespace {

void ExpectNear(const Vec3& v, const Vec3& expected)
{
    EXPECT_NEAR(v.x, expected.x, 1e-6);
    EXPECT_NEAR(v.y, expected.y, 1e-6);
    EXPECT_NEAR(v.z, expected.z, 1e-6);
}

// The vertex-by-vertex definition: for each vertex, sum the unit normals of the faces that
// name it (each face once), in face order, then normalise. Faces with a corner past the
// vertex list take no part, as everywhere in the model store.
std::vector<Vec3> QuadraticNormals(const Bytes& vertices, const Bytes& faces, int vertexCount, int faceCount)
{
    std::vector<Vec3> out(vertexCount);
    for (int i = 0; i < vertexCount; ++i) {
        Vec3 n{0, 0, 0};
        for (int f = 0; f < faceCount; ++f) {
            MeshFace face = ReadMeshFaceAt(faces.data(), f);
            if (face.a >= vertexCount || face.b >= vertexCount || face.c >= vertexCount)
                continue;
            if (face.a != i && face.b != i && face.c != i)
                continue;
            Plane plane;
            PlaneFromPoints(ReadVec3At(vertices.data(), face.a), ReadVec3At(vertices.data(), face.b),
                            ReadVec3At(vertices.data(), face.c), plane);
            Normalize(plane.normal);
            VecAdd(n, plane.normal, n);
        }
        Normalize(n);
        out[i] = n;
    }
    return out;
}

TEST(VertexNormals, LinearPassMatchesTheDefinitionBitForBit)
{
    std::mt19937 random(1234);
    std::uniform_real_distribution<float> coordinate(-100.0f, 100.0f);
    const int vertexCount = 300;
    std::vector<Vec3> points(vertexCount);
    for (Vec3& p : points)
        p = Vec3{coordinate(random), coordinate(random), coordinate(random)};
    points[5] = points[6];  // shared by position only
    std::vector<TestFace> faces;
    std::uniform_int_distribution<int> corner(0, 249);  // vertices 250.. are unused
    for (int f = 0; f < 2000; ++f) {
        faces.push_back(TestFace{static_cast<uint16_t>(corner(random)), static_cast<uint16_t>(corner(random)),
                                 static_cast<uint16_t>(corner(random))});
    }
    faces.push_back(TestFace{7, 7, 8});      // repeated corner
    faces.push_back(TestFace{9, 9, 9});      // all corners alike
    faces.push_back(TestFace{5, 6, 10});     // zero area: two corners at one position
    faces.push_back(TestFace{11, 400, 12});  // corner past the vertex list
    Bytes vertexBytes = Vec3Data(points), faceBytes = Uncounted(FaceData(faces));
    const int faceCount = static_cast<int>(faces.size());
    std::vector<Vec3> fast(vertexCount);
    ComputeVertexNormals(fast.data(), vertexCount, vertexBytes.data(), faceCount, faceBytes.data());
    std::vector<Vec3> reference = QuadraticNormals(vertexBytes, faceBytes, vertexCount, faceCount);
    EXPECT_EQ(std::memcmp(fast.data(), reference.data(), sizeof(Vec3) * vertexCount), 0);
    for (int i = 250; i < vertexCount; ++i)
        EXPECT_TRUE(fast[i].x == 0 && fast[i].y == 0 && fast[i].z == 0) << i;
}

TEST(VertexNormals, CounterClockwiseFacesPointOutward)
{
    Bytes vertices = Vec3Data({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {5, 5, 5}});
    Bytes faces = FaceData({{0, 1, 2}});
    Vec3 out[4];
    ComputeVertexNormals(out, 4, vertices.data(), 1, faces.data() + 2);
    EXPECT_EQ(out[0].z, 1.0f);
    EXPECT_EQ(out[2].z, 1.0f);
    EXPECT_EQ(out[3].x, 0.0f);  // used by no face
    EXPECT_EQ(out[3].z, 0.0f);
}

// A flat n x n grid in the x-y plane with u = x and v = y, two faces per cell.
struct Grid {
    std::vector<Vec3> positions;
    Bytes uv, faces, normals;
    std::vector<TangentFrame> frames;
    std::vector<Vec3> light;
    int faceCount;

    explicit Grid(int n) : frames(n * n), light(n * n), faceCount(2 * (n - 1) * (n - 1))
    {
        std::vector<std::pair<float, float>> pairs;
        for (int y = 0; y < n; ++y) {
            for (int x = 0; x < n; ++x) {
                positions.push_back(Vec3{float(x), float(y), 0});
                pairs.push_back({float(x), float(y)});
            }
        }
        uv = Uncounted(TexCoordData(pairs));
        faces = Uncounted(FaceData(GridFaces(n, n)));
        normals = Vec3Data(std::vector<Vec3>(n * n, Vec3{0, 0, 1}));
    }
};

// The frame definition step by step, with ProjectOntoLine, for a bit-for-bit comparison.
void ReferenceFrames(const Bytes& uv, const std::vector<Vec3>& p, const Bytes& faces, int faceCount,
                     const Bytes& normals, std::vector<TangentFrame>& frames)
{
    for (TangentFrame& frame : frames)
        frame = TangentFrame{0, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
    auto pair = [&](int i) {
        float value[2];
        std::memcpy(value, uv.data() + 8 * i, 8);
        return std::make_pair(value[0], value[1]);
    };
    for (int f = 0; f < faceCount; ++f) {
        MeshFace face = ReadMeshFaceAt(faces.data(), f);
        Vec3 e1, e2;
        VecSubtract(p[face.b], p[face.a], e1);
        VecSubtract(p[face.c], p[face.a], e2);
        float du1 = pair(face.b).first - pair(face.a).first, dv1 = pair(face.b).second - pair(face.a).second;
        float du2 = pair(face.c).first - pair(face.a).first, dv2 = pair(face.c).second - pair(face.a).second;
        float d = static_cast<float>(double(du1) * dv2 - double(dv1) * du2);
        if (d != 0) {
            double r = static_cast<float>(1.0 / d);
            Vec3 t{float((double(e1.x) * dv2 - double(dv1) * e2.x) * r),
                   float((double(e1.y) * dv2 - double(dv1) * e2.y) * r),
                   float((double(e1.z) * dv2 - double(dv1) * e2.z) * r)};
            Vec3 s{float((double(du1) * e2.x - double(e1.x) * du2) * r),
                   float((double(du1) * e2.y - double(e1.y) * du2) * r),
                   float((double(du1) * e2.z - double(e1.z) * du2) * r)};
            for (int corner : {face.a, face.b, face.c}) {
                VecAdd(frames[corner].tangent, t, frames[corner].tangent);
                VecAdd(frames[corner].binormal, s, frames[corner].binormal);
            }
        }
        for (int corner : {face.a, face.b, face.c})
            ++frames[corner].count;
    }
    for (size_t i = 0; i < frames.size(); ++i) {
        TangentFrame& frame = frames[i];
        Vec3 n = ReadVec3At(normals.data(), static_cast<int>(i)), minus{-n.x, -n.y, -n.z}, along;
        if (frame.count > 0) {
            VecScale(frame.tangent, static_cast<float>(1.0 / frame.count));
            VecScale(frame.binormal, static_cast<float>(1.0 / frame.count));
        }
        Normalize(frame.tangent);
        Normalize(frame.binormal);
        frame.normal = n;
        ProjectOntoLine(frame.tangent, n, minus, along);
        VecSubtract(frame.tangent, along, frame.tangent);
        Normalize(frame.tangent);
        ProjectOntoLine(frame.binormal, n, minus, along);
        VecSubtract(frame.binormal, along, frame.binormal);
        Normalize(frame.binormal);
    }
}

TEST(TangentFrames, MatchTheStepByStepDefinitionBitForBit)
{
    std::mt19937 random(99);
    std::uniform_real_distribution<float> value(-10.0f, 10.0f);
    const int vertexCount = 200;
    std::vector<Vec3> p(vertexCount), n(vertexCount);
    std::vector<std::pair<float, float>> pairs;
    for (int i = 0; i < vertexCount; ++i) {
        p[i] = Vec3{value(random), value(random), value(random)};
        n[i] = Vec3{value(random), value(random), value(random)};
        Normalize(n[i]);
        pairs.push_back({value(random), value(random)});
    }
    n[3] = Vec3{0, 0, 0};
    std::vector<TestFace> list;
    std::uniform_int_distribution<int> corner(0, 180);
    for (int f = 0; f < 500; ++f) {
        list.push_back(TestFace{uint16_t(corner(random)), uint16_t(corner(random)), uint16_t(corner(random))});
    }
    Bytes uv = Uncounted(TexCoordData(pairs)), faces = Uncounted(FaceData(list)), normals = Vec3Data(n);
    std::vector<TangentFrame> fast(vertexCount), reference(vertexCount);
    ComputeTangentFrames(uv.data(), vertexCount, p.data(), 500, faces.data(), fast.data(), normals.data());
    ReferenceFrames(uv, p, faces, 500, normals, reference);
    for (int i = 0; i < vertexCount; ++i) {
        ASSERT_EQ(std::memcmp(&fast[i], &reference[i], sizeof(TangentFrame)), 0) << "vertex " << i;
    }
}

TEST(TangentFrames, FlatGridHasAxisTangentsAndLightStraightAbove)
{
    Grid grid(4);
    ComputeTangentLightVectors(16, grid.positions.data(), grid.faceCount, grid.faces.data(), grid.frames.data(),
                               grid.normals.data(), grid.light.data(), Vec3{2, 1, 7}, grid.uv.data(), nullptr);
    for (const TangentFrame& frame : grid.frames) {
        ExpectNear(frame.tangent, {1, 0, 0});
        ExpectNear(frame.binormal, {0, 1, 0});
        EXPECT_EQ(frame.normal.z, 1.0f);
    }
    ExpectNear(grid.light[6], {0, 0, 7});  // vertex (2, 1): the light is 7 above it
    ExpectNear(grid.light[0], {2, 1, 7});  // vertex (0, 0): (+2, +1, +7) in tangent space
    // corner counts: vertex 0 is in one face, an inner vertex in six
    EXPECT_EQ(grid.frames[0].count, 1u);
    EXPECT_EQ(grid.frames[5].count, 6u);
}

TEST(TangentFrames, CollinearTextureCoordinatesCountButAddNothing)
{
    std::vector<Vec3> p = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    Bytes uv = TexCoordData({{0, 0}, {1, 1}, {2, 2}}), faces = FaceData({{0, 1, 2}, {0, 0, 1}});
    Bytes normals = Vec3Data({{0, 0, 1}, {0, 0, 1}, {0, 0, 1}});
    TangentFrame frames[3];
    ComputeTangentFrames(uv.data() + 2, 3, p.data(), 2, faces.data() + 2, frames, normals.data());
    EXPECT_EQ(frames[0].count, 3u);  // a face naming it twice counts twice
    EXPECT_EQ(frames[1].count, 2u);
    EXPECT_EQ(frames[2].count, 1u);
    EXPECT_EQ(frames[2].tangent.x, 0.0f);
    EXPECT_EQ(frames[2].binormal.y, 0.0f);
}

TEST(TangentFrames, ZeroNormalKeepsTheAveragedTangent)
{
    std::vector<Vec3> p = {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}};
    Bytes uv = TexCoordData({{0, 0}, {1, 0}, {0, 1}}), faces = FaceData({{0, 1, 2}});
    Bytes normals = Vec3Data({{0, 0, 0}, {1, 0, 0}, {0, 0, 1}});
    TangentFrame frames[3];
    ComputeTangentFrames(uv.data() + 2, 3, p.data(), 1, faces.data() + 2, frames, normals.data());
    EXPECT_FLOAT_EQ(frames[0].tangent.x, 1);
    EXPECT_FLOAT_EQ(frames[0].binormal.y, 1);
    // a normal along the tangent removes it entirely
    EXPECT_EQ(frames[1].tangent.x, 0.0f);
    EXPECT_FLOAT_EQ(frames[1].binormal.y, 1);
    EXPECT_EQ(frames[1].normal.x, 1.0f);
}

TEST(TangentFrames, DeformedNormalsReplaceTheGivenOnes)
{
    Grid grid(2);
    Surface surface{};
    std::vector<Vec3> deformed(4, Vec3{1, 0, 0});
    surface.deformedNormals = deformed.data();
    ComputeTangentLightVectors(4, grid.positions.data(), grid.faceCount, grid.faces.data(), grid.frames.data(),
                               grid.normals.data(), grid.light.data(), Vec3{0, 0, 3}, grid.uv.data(), &surface);
    EXPECT_EQ(grid.frames[0].normal.x, 1.0f);
    EXPECT_EQ(grid.frames[0].normal.z, 0.0f);
    EXPECT_NEAR(grid.light[0].z, 0, 1e-6);  // L . normal with the deformed normal
}

TEST(TangentFrames, MissingArraysLeaveTheOutputAlone)
{
    Grid grid(2);
    grid.light[0] = Vec3{9, 9, 9};
    ComputeTangentLightVectors(4, grid.positions.data(), grid.faceCount, grid.faces.data(), nullptr,
                               grid.normals.data(), grid.light.data(), Vec3{0, 0, 3}, grid.uv.data(), nullptr);
    ComputeTangentLightVectors(4, grid.positions.data(), grid.faceCount, grid.faces.data(), grid.frames.data(), nullptr,
                               grid.light.data(), Vec3{0, 0, 3}, grid.uv.data(), nullptr);
    EXPECT_EQ(grid.light[0].x, 9.0f);
}

}  // namespace
