// The geometry math against long double references over random inputs, each result held to
// what its float32 rounding allows.
#include "model/geometry.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>

namespace {

typedef long double Real;
typedef std::array<Real, 3> Ref;

Ref R(const Vec3& v)
{
    return Ref{v.x, v.y, v.z};
}

Ref Combine(Real k, const Ref& a, Real l, const Ref& b)  // k a + l b
{
    return Ref{k * a[0] + l * b[0], k * a[1] + l * b[1], k * a[2] + l * b[2]};
}

Real Dot(const Ref& a, const Ref& b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

Real Length(const Ref& a)
{
    return sqrtl(Dot(a, a));
}

Real Radians(Real degrees)
{
    return degrees * 3.14159265358979323846264338327950288L / 180;
}

// v turned about coordinate axis k (0: x, 1: y, 2: z), right-handed.
Ref Turn(Ref v, int k, Real degrees)
{
    const Real c = cosl(Radians(degrees)), s = sinl(Radians(degrees)), a = v[(k + 1) % 3], b = v[(k + 2) % 3];
    v[(k + 1) % 3] = c * a - s * b;
    v[(k + 2) % 3] = s * a + c * b;
    return v;
}

// The rotation of angles (pitch, yaw, roll): roll about x, then pitch about y, then yaw about z.
Ref Rotate(const Ref& v, Real pitch, Real yaw, Real roll)
{
    return Turn(Turn(Turn(v, 0, roll), 1, pitch), 2, yaw);
}

void ExpectNear(const Ref& v, const Ref& expected, Real scale, Real tolerance = 1e-6L)
{
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(v[k], expected[k], tolerance * scale) << k;
}

TEST(Geometry, VectorsPlanesMatricesAndAnglesMatchLongDouble)
{
    std::mt19937 random(3);
    std::uniform_real_distribution<float> any(-100, 100);
    for (int round = 0; round < 2000; ++round) {
        const Vec3 a{any(random), any(random), any(random)}, b{any(random), any(random), any(random)};
        const Vec3 c{any(random), any(random), any(random)}, angles{any(random), any(random), any(random)};
        Vec3 sum, difference, scaled = a, unit = a, foot, moved, back;
        VecAdd(a, b, sum);
        VecSubtract(a, b, difference);
        VecScale(scaled, c.x);
        EXPECT_TRUE(sum.y == float(Real(a.y) + b.y) && difference.z == float(Real(a.z) - b.z) &&
                    scaled.x == float(Real(a.x) * c.x));
        EXPECT_NEAR(VecDot(a, b), Dot(R(a), R(b)), 1e-6L * (fabsl(a.x * b.x) + fabsl(a.y * b.y) + fabsl(a.z * b.z)));
        EXPECT_NEAR(Normalize(unit), Length(R(a)), 1e-6L * Length(R(a)));
        ExpectNear(R(unit), Combine(1 / Length(R(a)), R(a), 0, R(a)), 1);
        Plane plane;
        PlaneFromPoints(a, b, c, plane);
        const Ref d = Combine(1, R(b), -1, R(a)), e = Combine(1, R(c), -1, R(a));
        const Ref cross = {d[1] * e[2] - d[2] * e[1], d[2] * e[0] - d[0] * e[2], d[0] * e[1] - d[1] * e[0]};
        ExpectNear(R(plane.normal), cross, Length(d) * Length(e));
        EXPECT_NEAR(plane.d, -Dot(R(a), cross), 1e-6L * Length(R(a)) * Length(d) * Length(e));
        ProjectOntoLine(c, a, b, foot);
        ExpectNear(R(foot), Combine(1, R(a), Dot(e, d) / Dot(d, d), d), Length(e) + Length(R(a)));

        float m[12];
        for (int k = 0; k < 3; ++k) {
            const Ref row = Rotate(Ref{Real(k == 0), Real(k == 1), Real(k == 2)}, angles.x, angles.y, angles.z);
            for (int i = 0; i < 3; ++i)
                m[3 * i + k] = float(row[i]);
            m[9 + k] = any(random);
        }
        TransformPoint(m, a, moved);
        ExpectNear(R(moved), Combine(1, Rotate(R(a), angles.x, angles.y, angles.z), 1, Ref{m[9], m[10], m[11]}), 200);
        float inverse[12];
        InvertRigidTransform(m, inverse);
        TransformPoint(inverse, moved, back);
        ExpectNear(R(back), R(a), 200);
        Vec3 axes[3];
        AnglesToAxes(angles, &axes[0], &axes[1], &axes[2]);
        for (int k = 0; k < 3; ++k)  // forward, right and up: the columns, the second one turned round
            ExpectNear(Combine(k == 1 ? -1 : 1, R(axes[k]), 0, {}), Ref{m[k], m[3 + k], m[6 + k]}, 1, 2e-6L);

        // the angles of v look along (-v.y, v.x, -v.z), each negated into (-360, 0]
        Vec3 v{round % 4 == 1 ? 0 : any(random), round % 8 < 2 ? 0 : any(random), any(random)}, found;
        DirectionToAngles(v, found);
        EXPECT_TRUE(found.x <= 0 && found.x > -360 && found.y <= 0 && found.y > -360 && found.z == 0) << round;
        ExpectNear(Rotate(Ref{Length(R(v)), 0, 0}, found.x, found.y, 0), Ref{-v.y, v.x, -v.z}, Length(R(v)), 2e-6L);

        // base + offset (x scale) turned about the origin: the pitch change taken off, the yaw added
        const Vec3 base = {any(random), any(random), any(random)}, offset = {any(random), any(random), any(random)};
        const Vec3 scale = {any(random) / 50, any(random) / 50, any(random) / 50};
        const Vec3 changes = {any(random), any(random), any(random)};
        const Ref q = Combine(1, R(base), 1,
                              round % 2 ? Ref{offset.x * scale.x, offset.y * scale.y, offset.z * scale.z} : R(offset));
        RotateAboutOrigin(base, round % 2 ? &scale : nullptr, changes, offset, found);
        const Real pitch = asinl(q[2] / Length(q)) / Radians(1), yaw = atan2l(q[0], -q[1]) / Radians(1);
        ExpectNear(R(found), Rotate(Ref{Length(q), 0, 0}, pitch - changes.x, yaw + changes.y, 0), Length(q), 2e-6L);
    }
    Vec3 zero{0, 0, 0};
    EXPECT_EQ(Normalize(zero), 0.0f);
    EXPECT_EQ(zero.x, 0.0f);
    // in float32 2^24 + 1 would round back to 2^24, and the sum would be 0
    EXPECT_EQ(VecDot(Vec3{16777216.0f, 1, -16777216.0f}, Vec3{1, 1, 1}), 1.0f);
}

}  // namespace
