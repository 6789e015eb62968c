// Vector, plane, matrix and angle math shared by the model store and the renderer.
//
// Values are stored as float32; every operation computes in double precision and rounds
// once when it stores. Nothing here allocates or keeps state between calls.
//
// Matrix layout (a surface's matrix, a joint's pose): twelve float32 m0..m11; m0..m8 are
// the rows of the 3x3 linear part (m0 m1 m2 is the first row), m9 m10 m11 the translation.
// Angles are a Vec3 read as (pitch, yaw, roll) in degrees.
#pragma once

#include <cmath>

// Degrees to radians (pi / 180), applied in double precision.
constexpr double DegreesToRadians = 0.017453292519943295;
// Radians to degrees: 180 / pi rounded to float32.
constexpr float RadiansToDegrees = 57.2957763671875f;

struct Vec3 {
    float x;  // first component
    float y;  // second component
    float z;  // third component
};

struct Plane {
    Vec3 normal;  // plane normal, not necessarily unit length
    float d;      // offset: a point p lies on the plane when normal . p + d == 0
};

// Outputs may be the same object as an input unless a comment says otherwise.
// The small per-vertex operations are defined inline at the end of this header:
//   VecSubtract(a, b, out): out = a - b;
//   VecAdd(a, b, out): out = a + b; VecScale(v, factor): v = factor * v;
//   VecDot(a, b);
//   Normalize(v): returns the length of v and scales v to unit length; a zero vector is
//   left unchanged;
//   TransformPoint(matrix, p, out): out = linear part of matrix times p, plus the
//   translation; out must not be p.

// normal = (b - a) x (c - a), not normalised; d = -a . (b x c). out must not overlap a, b, c.
void PlaneFromPoints(const Vec3& a, const Vec3& b, const Vec3& c, Plane& out);

// Inverse of a rigid transform: transposed rotation, translation -R^T t. Only correct when
// the linear part is orthonormal. out must not be matrix.
void InvertRigidTransform(const float matrix[12], float out[12]);

// Foot of the perpendicular from x onto the (unbounded) line through a and b.
void ProjectOntoLine(const Vec3& x, const Vec3& a, const Vec3& b, Vec3& out);

// Angles (pitch, yaw, roll) that look along -v, negated: (-pitch, -yaw, 0). v need not be unit.
void DirectionToAngles(const Vec3& v, Vec3& angles);
// Forward, right and up axes of the angles; any output may be null.
void AnglesToAxes(const Vec3& angles, Vec3* forward, Vec3* right, Vec3* up);
// Turns q = base + offset (offset scaled component-wise when scale is given) about the
// origin by the angle changes (pitch is subtracted, yaw added, roll replaced), keeping |q|.
void RotateAboutOrigin(const Vec3& base, const Vec3* scale, const Vec3& changes, const Vec3& offset, Vec3& out);

// ---- small operations, inline because per-vertex loops call them many times per frame

inline Vec3 MakeVec3FromDoubles(double x, double y, double z)
{
    return Vec3{static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

// A single sum, difference or product of two float32 values is exact in double, so rounding
// it to float32 gives the same bits as the float32 operation: these three stay in float32,
// which lets the compiler use packed instructions.
inline void VecSubtract(const Vec3& a, const Vec3& b, Vec3& out)
{
    out = Vec3{a.x - b.x, a.y - b.y, a.z - b.z};
}

inline void VecAdd(const Vec3& a, const Vec3& b, Vec3& out)
{
    out = Vec3{a.x + b.x, a.y + b.y, a.z + b.z};
}

inline void VecScale(Vec3& v, float factor)
{
    v = Vec3{v.x * factor, v.y * factor, v.z * factor};
}

inline float VecDot(const Vec3& a, const Vec3& b)
{
    return static_cast<float>(static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y +
                              static_cast<double>(a.z) * b.z);
}

inline float Normalize(Vec3& v)
{
    double x = v.x, y = v.y, z = v.z;
    double length = std::sqrt(x * x + y * y + z * z);
    if (length != 0) {
        double inverse = 1.0 / length;
        v = MakeVec3FromDoubles(x * inverse, y * inverse, z * inverse);
    }
    return static_cast<float>(length);
}

inline void TransformPoint(const float m[12], const Vec3& p, Vec3& out)
{
    double x = p.x, y = p.y, z = p.z;
    out = MakeVec3FromDoubles(m[0] * x + m[1] * y + m[2] * z + m[9], m[3] * x + m[4] * y + m[5] * z + m[10],
                              m[6] * x + m[7] * y + m[8] * z + m[11]);
}
