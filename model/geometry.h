// Vector, plane, matrix and angle math shared by the model store and the renderer.
//
// Values are stored as float32; every operation computes in double precision and rounds
// once when it stores. Nothing here allocates or keeps state between calls.
//
// Matrix layout (a surface's matrix, a joint's pose): twelve float32 m0..m11; m0..m8 are
// the rows of the 3x3 linear part (m0 m1 m2 is the first row), m9 m10 m11 the translation.
// Angles are a Vec3 read as (pitch, yaw, roll) in degrees.
#pragma once

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
void VecCopy(const Vec3& source, Vec3& destination);
void VecSubtract(const Vec3& a, const Vec3& b, Vec3& out);  // out = a - b
void VecAdd(const Vec3& a, const Vec3& b, Vec3& out);       // out = a + b
void VecScale(Vec3& v, float factor);                        // v = factor * v
float VecDot(const Vec3& a, const Vec3& b);
// out = a x b; out must not be a or b.
void VecCross(const Vec3& a, const Vec3& b, Vec3& out);
float VecLength(const Vec3& v);
// Returns the length of v and scales v to unit length; a zero vector is left unchanged.
float Normalize(Vec3& v);

// normal = (b - a) x (c - a), not normalised; d = -a . (b x c). out must not overlap a, b, c.
void PlaneFromPoints(const Vec3& a, const Vec3& b, const Vec3& c, Plane& out);

// out = linear part of matrix times p, plus the translation; out must not be p.
void TransformPoint(const float matrix[12], const Vec3& p, Vec3& out);
// Inverse of a rigid transform: transposed rotation, translation -R^T t. Only correct when
// the linear part is orthonormal. out must not be matrix.
void InvertRigidTransform(const float matrix[12], float out[12]);

// Foot of the perpendicular from x onto the (unbounded) line through a and b.
void ProjectOntoLine(const Vec3& x, const Vec3& a, const Vec3& b, Vec3& out);

// Angles (pitch, yaw, roll) that look along -v, negated: (-pitch, -yaw, 0). v need not be unit.
void DirectionToAngles(const Vec3& v, Vec3& angles);
// Forward, right and up axes of the angles; any output may be null.
void AnglesToAxes(const Vec3& angles, Vec3* forward, Vec3* right, Vec3* up);
// out = p * scale (component-wise, when scale is given) + offset read in the frame
// (forward, left, up) of the angles.
void OffsetInFrame(const Vec3& p, const Vec3* scale, const Vec3& angles, const Vec3& offset,
                   Vec3& out);
// Turns q = base + offset (offset scaled component-wise when scale is given) about the
// origin by the angle changes (pitch is subtracted, yaw added, roll replaced), keeping |q|.
void RotateAboutOrigin(const Vec3& base, const Vec3* scale, const Vec3& changes,
                       const Vec3& offset, Vec3& out);
