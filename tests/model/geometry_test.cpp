#include "model/geometry.h"

#include <gtest/gtest.h>

namespace {

void ExpectVec(const Vec3& v, float x, float y, float z)
{
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.z, z);
}

void ExpectVecNear(const Vec3& v, float x, float y, float z)
{
    EXPECT_NEAR(v.x, x, 1e-5);
    EXPECT_NEAR(v.y, y, 1e-5);
    EXPECT_NEAR(v.z, z, 1e-5);
}

// Rows (0 -1 0), (1 0 0), (0 0 1): a quarter turn about z, then translation (10, 20, 30).
const float QuarterTurn[12] = {0, -1, 0, 1, 0, 0, 0, 0, 1, 10, 20, 30};

TEST(Geometry, ConversionConstantsAreExact)
{
    EXPECT_EQ(DegreesToRadians, 0.017453292519943295);
    EXPECT_EQ(RadiansToDegrees, 57.2957763671875f);
}

TEST(Geometry, CopyAddSubtractScale)
{
    Vec3 a{5, 7, 9}, b{1, 2, 3}, out{};
    VecSubtract(a, b, out);
    ExpectVec(out, 4, 5, 6);
    VecSubtract(b, a, out);
    ExpectVec(out, -4, -5, -6);
    VecAdd(a, b, out);
    ExpectVec(out, 6, 9, 12);
    VecAdd(a, b, a);  // output may be an input
    ExpectVec(a, 6, 9, 12);
    VecScale(b, -2);
    ExpectVec(b, -2, -4, -6);
}

TEST(Geometry, DotComputesInDouble)
{
    EXPECT_FLOAT_EQ(VecDot(Vec3{1, 2, 3}, Vec3{4, 5, 6}), 32);
    // in float32, 2^24 + 1 rounds back to 2^24 and the sum would be 0
    EXPECT_EQ(VecDot(Vec3{16777216.0f, 1, -16777216.0f}, Vec3{1, 1, 1}), 1.0f);
}

TEST(Geometry, NormalizeZeroAndThreeFourFive)
{
    Vec3 zero{0, 0, 0};
    EXPECT_EQ(Normalize(zero), 0.0f);
    ExpectVec(zero, 0, 0, 0);
    Vec3 v{3, 4, 0};
    EXPECT_FLOAT_EQ(Normalize(v), 5);
    ExpectVec(v, 0.6f, 0.8f, 0);
    Vec3 huge{1e30f, 0, 0};
    EXPECT_FLOAT_EQ(Normalize(huge), 1e30f);
    ExpectVec(huge, 1, 0, 0);
}

TEST(Geometry, PlaneFromPointsNormalFollowsCornerOrder)
{
    Plane plane{};
    PlaneFromPoints(Vec3{0, 0, 0}, Vec3{1, 0, 0}, Vec3{0, 1, 0}, plane);
    ExpectVec(plane.normal, 0, 0, 1);
    EXPECT_FLOAT_EQ(plane.d, 0);
    PlaneFromPoints(Vec3{0, 0, 0}, Vec3{0, 1, 0}, Vec3{1, 0, 0}, plane);
    ExpectVec(plane.normal, 0, 0, -1);
    // not normalised, and d places the plane at z = 2
    PlaneFromPoints(Vec3{0, 0, 2}, Vec3{2, 0, 2}, Vec3{0, 3, 2}, plane);
    ExpectVec(plane.normal, 0, 0, 6);
    EXPECT_FLOAT_EQ(plane.d, -12);
    EXPECT_FLOAT_EQ(VecDot(plane.normal, Vec3{5, 7, 2}) + plane.d, 0);
}

TEST(Geometry, TransformPointUsesRowsThenTranslation)
{
    const float identity[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    Vec3 out{};
    TransformPoint(identity, Vec3{1.5f, -2, 3}, out);
    ExpectVec(out, 1.5f, -2, 3);
    TransformPoint(QuarterTurn, Vec3{1, 2, 3}, out);
    ExpectVec(out, 8, 21, 33);
}

TEST(Geometry, InvertRigidTransformTransposesRotation)
{
    float inverse[12];
    InvertRigidTransform(QuarterTurn, inverse);
    const float expected[12] = {0, 1, 0, -1, 0, 0, 0, 0, 1, -20, 10, -30};
    for (int i = 0; i < 12; ++i)
        EXPECT_FLOAT_EQ(inverse[i], expected[i]) << i;
    Vec3 moved{}, back{};
    TransformPoint(QuarterTurn, Vec3{1, 2, 3}, moved);
    TransformPoint(inverse, moved, back);
    ExpectVec(back, 1, 2, 3);
}

TEST(Geometry, ProjectOntoLineIsNotLimitedToTheSegment)
{
    Vec3 out{};
    ProjectOntoLine(Vec3{2, 3, 0}, Vec3{0, 0, 0}, Vec3{1, 0, 0}, out);
    ExpectVec(out, 2, 0, 0);
    ProjectOntoLine(Vec3{-3, 5, 0}, Vec3{0, 0, 0}, Vec3{1, 0, 0}, out);
    ExpectVec(out, -3, 0, 0);
    ProjectOntoLine(Vec3{5, 5, 5}, Vec3{0, 1, 0}, Vec3{0, 1, 1}, out);
    ExpectVec(out, 0, 1, 5);
    // the part of x along n, with a = n and b = -n
    Vec3 x{1, 2, 3};
    ProjectOntoLine(x, Vec3{0, 0, 2}, Vec3{0, 0, -2}, x);
    ExpectVecNear(x, 0, 0, 3);
}

TEST(Geometry, DirectionToAnglesNegatesPitchAndYaw)
{
    const struct {
        Vec3 direction, angles;
    } cases[] = {{{0, 0, -1}, {-90, 0, 0}}, {{0, 0, 1}, {-270, 0, 0}},    {{-1, 0, 0}, {0, -90, 0}},
                 {{1, 0, 0}, {0, -270, 0}}, {{0, 1, 0}, {0, -180, 0}},    {{-1, -1, 0}, {0, -45, 0}},
                 {{1, 1, 0}, {0, -225, 0}}, {{-2, 0, -2}, {-45, -90, 0}}, {{0, -3, 3}, {-315, 0, 0}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.direction.x << ", " << c.direction.y << ", " << c.direction.z);
        Vec3 angles{};
        DirectionToAngles(c.direction, angles);
        ExpectVec(angles, c.angles.x, c.angles.y, c.angles.z);
    }
}

TEST(Geometry, AnglesToAxes)
{
    Vec3 forward{}, right{}, up{};
    AnglesToAxes(Vec3{0, 0, 0}, &forward, &right, &up);
    ExpectVec(forward, 1, 0, 0);
    ExpectVec(right, 0, -1, 0);
    ExpectVec(up, 0, 0, 1);
    AnglesToAxes(Vec3{0, 90, 0}, &forward, &right, &up);
    ExpectVecNear(forward, 0, 1, 0);
    ExpectVecNear(right, 1, 0, 0);
    ExpectVecNear(up, 0, 0, 1);
    AnglesToAxes(Vec3{90, 0, 0}, &forward, nullptr, &up);
    ExpectVecNear(forward, 0, 0, -1);
    ExpectVecNear(up, 1, 0, 0);
    AnglesToAxes(Vec3{0, 0, 90}, nullptr, &right, nullptr);
    ExpectVecNear(right, 0, 0, -1);
}

TEST(Geometry, RotateAboutOriginKeepsDistance)
{
    Vec3 out{};
    RotateAboutOrigin(Vec3{0, 0, 0}, nullptr, Vec3{0, 0, 0}, Vec3{-1, 0, 0}, out);
    ExpectVecNear(out, 0, -1, 0);
    RotateAboutOrigin(Vec3{0, 0, 0}, nullptr, Vec3{0, 90, 0}, Vec3{-2, 0, 0}, out);
    ExpectVecNear(out, 2, 0, 0);
    Vec3 scale{3, 1, 1};
    RotateAboutOrigin(Vec3{0, 0, 0}, &scale, Vec3{0, 0, 45}, Vec3{-1, 0, 0}, out);
    ExpectVecNear(out, 0, -3, 0);
    RotateAboutOrigin(Vec3{-1, 0, 0}, nullptr, Vec3{-90, 0, 0}, Vec3{0, 0, 0}, out);
    ExpectVecNear(out, 0, 0, -1);
}

}  // namespace
