// Geometry math: vectors, planes, 3x4 matrices, Euler angles.
// Every result is computed in double precision and rounded to float32 once, when stored.
#include "model/geometry.h"

#include <cmath>

static double Sine(double degrees)
{
    return std::sin(degrees * DegreesToRadians);
}
static double Cosine(double degrees)
{
    return std::cos(degrees * DegreesToRadians);
}

// Angle of atan2(y, x) in degrees, moved into [0, 360).
static float PositiveDegrees(double y, double x)
{
    float degrees = static_cast<float>(std::atan2(y, x) * RadiansToDegrees);
    if (degrees < 0)
        degrees = static_cast<float>(static_cast<double>(degrees) + 360.0);
    return degrees;
}

// v multiplied component by component with scale, or v itself when there is no scale.
static Vec3 ScaledBy(const Vec3& v, const Vec3* scale)
{
    if (!scale)
        return v;
    return MakeVec3FromDoubles(static_cast<double>(v.x) * scale->x, static_cast<double>(v.y) * scale->y,
                               static_cast<double>(v.z) * scale->z);
}

void PlaneFromPoints(const Vec3& a, const Vec3& b, const Vec3& c, Plane& out)
{
    double e1x = static_cast<double>(b.x) - a.x, e1y = static_cast<double>(b.y) - a.y,
           e1z = static_cast<double>(b.z) - a.z;
    double e2x = static_cast<double>(c.x) - a.x, e2y = static_cast<double>(c.y) - a.y,
           e2z = static_cast<double>(c.z) - a.z;
    out.normal = MakeVec3FromDoubles(e1y * e2z - e1z * e2y, e1z * e2x - e1x * e2z, e1x * e2y - e1y * e2x);
    // d = -a . (b x c), which equals -normal . a
    double bcx = static_cast<double>(b.y) * c.z - static_cast<double>(b.z) * c.y;
    double bcy = static_cast<double>(b.z) * c.x - static_cast<double>(b.x) * c.z;
    double bcz = static_cast<double>(b.x) * c.y - static_cast<double>(b.y) * c.x;
    out.d = static_cast<float>(-(a.x * bcx + a.y * bcy + a.z * bcz));
}

void InvertRigidTransform(const float m[12], float out[12])
{
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column)
            out[row * 3 + column] = m[column * 3 + row];
    }
    for (int k = 0; k < 3; ++k) {
        const float* r = out + k * 3;
        out[9 + k] = static_cast<float>(-(static_cast<double>(m[9]) * r[0] + static_cast<double>(m[10]) * r[1] +
                                          static_cast<double>(m[11]) * r[2]));
    }
}

void ProjectOntoLine(const Vec3& x, const Vec3& a, const Vec3& b, Vec3& out)
{
    Vec3 direction;
    VecSubtract(b, a, direction);
    Normalize(direction);
    double t = direction.x * (static_cast<double>(x.x) - a.x) + direction.y * (static_cast<double>(x.y) - a.y) +
        direction.z * (static_cast<double>(x.z) - a.z);
    out = MakeVec3FromDoubles(a.x + t * direction.x, a.y + t * direction.y, a.z + t * direction.z);
}

void DirectionToAngles(const Vec3& v, Vec3& angles)
{
    float x = -v.x, y = -v.y, z = -v.z;
    float yaw, pitch;
    if (x == 0 && y == 0) {
        yaw = 0;
        pitch = z > 0 ? 90.0f : 270.0f;
    } else {
        if (y == 0) {
            yaw = x > 0 ? 90.0f : 270.0f;
        } else {
            yaw = PositiveDegrees(x, y);
        }
        double across = std::sqrt(static_cast<double>(x) * x + static_cast<double>(y) * y);
        pitch = PositiveDegrees(z, across);
    }
    angles = Vec3{-pitch, -yaw, 0.0f};
}

void AnglesToAxes(const Vec3& angles, Vec3* forward, Vec3* right, Vec3* up)
{
    double sp = Sine(angles.x), cp = Cosine(angles.x);
    double sy = Sine(angles.y), cy = Cosine(angles.y);
    double sr = Sine(angles.z), cr = Cosine(angles.z);
    if (forward)
        *forward = MakeVec3FromDoubles(cp * cy, cp * sy, -sp);
    if (right)
        *right = MakeVec3FromDoubles(cr * sy - sr * sp * cy, -sr * sp * sy - cr * cy, -sr * cp);
    if (up)
        *up = MakeVec3FromDoubles(cr * sp * cy + sr * sy, cr * sp * sy - sr * cy, cr * cp);
}

void RotateAboutOrigin(const Vec3& base, const Vec3* scale, const Vec3& changes, const Vec3& offset, Vec3& out)
{
    Vec3 q;
    VecAdd(base, ScaledBy(offset, scale), q);
    float distance = Normalize(q);
    Vec3 angles;
    DirectionToAngles(q, angles);
    Vec3 turned = MakeVec3FromDoubles(static_cast<double>(angles.x) - changes.x,
                                      static_cast<double>(angles.y) + changes.y, changes.z);
    Vec3 forward;
    AnglesToAxes(turned, &forward, nullptr, nullptr);
    VecScale(forward, distance);
    out = forward;
}
