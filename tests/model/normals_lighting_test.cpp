#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "model/lighting_data.h"
#include "model/model3ds.h"
#include "tests/model/stream_builder.h"

namespace {

// The vertex-by-vertex definition: for each vertex, sum the unit normals of the faces that
// name it (each face once), in face order, then normalise. Faces with a corner past the
// vertex list take no part, as everywhere in the model store.
std::vector<Vec3> QuadraticNormals(const Bytes& vertices, const Bytes& faces, int vertexCount,
                                   int faceCount) {
  std::vector<Vec3> out(vertexCount);
  for (int i = 0; i < vertexCount; ++i) {
    Vec3 n{0, 0, 0};
    for (int f = 0; f < faceCount; ++f) {
      MeshFace face = ReadMeshFaceAt(faces.data(), f);
      if (face.a >= vertexCount || face.b >= vertexCount || face.c >= vertexCount) continue;
      if (face.a != i && face.b != i && face.c != i) continue;
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

TEST(VertexNormals, LinearPassMatchesTheDefinitionBitForBit) {
  std::mt19937 random(1234);
  std::uniform_real_distribution<float> coordinate(-100.0f, 100.0f);
  const int vertexCount = 300;
  std::vector<Vec3> points(vertexCount);
  for (Vec3& p : points) p = Vec3{coordinate(random), coordinate(random), coordinate(random)};
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
  Bytes vertexBytes = Vec3Data(points);
  Bytes faceBytes = FaceData(faces);
  faceBytes.erase(faceBytes.begin(), faceBytes.begin() + 2);  // drop the count
  const int faceCount = static_cast<int>(faces.size());
  std::vector<Vec3> fast(vertexCount);
  ComputeVertexNormals(fast.data(), vertexCount, vertexBytes.data(), faceCount, faceBytes.data());
  std::vector<Vec3> reference = QuadraticNormals(vertexBytes, faceBytes, vertexCount, faceCount);
  EXPECT_EQ(std::memcmp(fast.data(), reference.data(), sizeof(Vec3) * vertexCount), 0);
  for (int i = 250; i < vertexCount; ++i) {
    EXPECT_EQ(fast[i].x, 0.0f);
    EXPECT_EQ(fast[i].y, 0.0f);
    EXPECT_EQ(fast[i].z, 0.0f);
  }
}

TEST(VertexNormals, CounterClockwiseFacesPointOutward) {
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
  int size;
  std::vector<Vec3> positions;
  Bytes uv;
  Bytes faces;
  Bytes normals;
  std::vector<TangentFrame> frames;
  std::vector<Vec3> light;
  int faceCount = 0;

  explicit Grid(int n) : size(n), frames(n * n), light(n * n) {
    std::vector<std::pair<float, float>> pairs;
    std::vector<Vec3> up;
    for (int y = 0; y < n; ++y) {
      for (int x = 0; x < n; ++x) {
        positions.push_back(Vec3{float(x), float(y), 0});
        pairs.push_back({float(x), float(y)});
        up.push_back(Vec3{0, 0, 1});
      }
    }
    std::vector<TestFace> list;
    for (int y = 0; y + 1 < n; ++y) {
      for (int x = 0; x + 1 < n; ++x) {
        uint16_t v = static_cast<uint16_t>(y * n + x);
        list.push_back(TestFace{v, static_cast<uint16_t>(v + 1), static_cast<uint16_t>(v + n)});
        list.push_back(TestFace{static_cast<uint16_t>(v + 1), static_cast<uint16_t>(v + n + 1),
                                static_cast<uint16_t>(v + n)});
      }
    }
    faceCount = static_cast<int>(list.size());
    uv = TexCoordData(pairs);
    uv.erase(uv.begin(), uv.begin() + 2);
    faces = FaceData(list);
    faces.erase(faces.begin(), faces.begin() + 2);
    normals = Vec3Data(up);
  }
};

TEST(TangentFrames, FlatGridHasAxisTangentsAndLightStraightAbove) {
  Grid grid(4);
  ComputeTangentLightVectors(16, grid.positions.data(), grid.faceCount, grid.faces.data(),
                             grid.frames.data(), grid.normals.data(), grid.light.data(),
                             Vec3{2, 1, 7}, grid.uv.data(), nullptr);
  for (int i = 0; i < 16; ++i) {
    EXPECT_NEAR(grid.frames[i].tangent.x, 1, 1e-6);
    EXPECT_NEAR(grid.frames[i].tangent.y, 0, 1e-6);
    EXPECT_NEAR(grid.frames[i].binormal.x, 0, 1e-6);
    EXPECT_NEAR(grid.frames[i].binormal.y, 1, 1e-6);
    EXPECT_EQ(grid.frames[i].normal.z, 1.0f);
  }
  // vertex (2, 1) is index 6; the light is 7 above it
  EXPECT_NEAR(grid.light[6].x, 0, 1e-6);
  EXPECT_NEAR(grid.light[6].y, 0, 1e-6);
  EXPECT_NEAR(grid.light[6].z, 7, 1e-6);
  // vertex (0, 0): light at (+2, +1, +7) in tangent space
  EXPECT_NEAR(grid.light[0].x, 2, 1e-6);
  EXPECT_NEAR(grid.light[0].y, 1, 1e-6);
  // corner counts: vertex 0 is in one face, an inner vertex in six
  EXPECT_EQ(grid.frames[0].count, 1u);
  EXPECT_EQ(grid.frames[5].count, 6u);
}

TEST(TangentFrames, CollinearTextureCoordinatesCountButAddNothing) {
  std::vector<Vec3> p = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  Bytes uv = TexCoordData({{0, 0}, {1, 1}, {2, 2}});
  Bytes faces = FaceData({{0, 1, 2}, {0, 0, 1}});
  Bytes normals = Vec3Data({{0, 0, 1}, {0, 0, 1}, {0, 0, 1}});
  TangentFrame frames[3];
  ComputeTangentFrames(uv.data() + 2, 3, p.data(), 2, faces.data() + 2, frames, normals.data());
  EXPECT_EQ(frames[0].count, 3u);  // a face naming it twice counts twice
  EXPECT_EQ(frames[1].count, 2u);
  EXPECT_EQ(frames[2].count, 1u);
  EXPECT_EQ(frames[2].tangent.x, 0.0f);
  EXPECT_EQ(frames[2].binormal.y, 0.0f);
}

TEST(TangentFrames, ZeroNormalKeepsTheAveragedTangent) {
  std::vector<Vec3> p = {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}};
  Bytes uv = TexCoordData({{0, 0}, {1, 0}, {0, 1}});
  Bytes faces = FaceData({{0, 1, 2}});
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

TEST(TangentFrames, DeformedNormalsReplaceTheGivenOnes) {
  Grid grid(2);
  Surface surface{};
  std::vector<Vec3> deformed(4, Vec3{1, 0, 0});
  surface.deformedNormals = deformed.data();
  ComputeTangentLightVectors(4, grid.positions.data(), grid.faceCount, grid.faces.data(),
                             grid.frames.data(), grid.normals.data(), grid.light.data(),
                             Vec3{0, 0, 3}, grid.uv.data(), &surface);
  EXPECT_EQ(grid.frames[0].normal.x, 1.0f);
  EXPECT_EQ(grid.frames[0].normal.z, 0.0f);
  EXPECT_NEAR(grid.light[0].z, 0, 1e-6);  // L . normal with the deformed normal
}

TEST(TangentFrames, MissingArraysLeaveTheOutputAlone) {
  Grid grid(2);
  grid.light[0] = Vec3{9, 9, 9};
  ComputeTangentLightVectors(4, grid.positions.data(), grid.faceCount, grid.faces.data(), nullptr,
                             grid.normals.data(), grid.light.data(), Vec3{0, 0, 3}, grid.uv.data(),
                             nullptr);
  ComputeTangentLightVectors(4, grid.positions.data(), grid.faceCount, grid.faces.data(),
                             grid.frames.data(), nullptr, grid.light.data(), Vec3{0, 0, 3},
                             grid.uv.data(), nullptr);
  EXPECT_EQ(grid.light[0].x, 9.0f);
}

}  // namespace
