#include "geometry/ElementPlacement.h"

#include "geometry/CVector3D.h"
#include "platform/hc/hc.h"

#include <cmath>
#include <numbers>

void RigidTransform::Apply(const double in[3], double out[3]) const
{
    const double x = in[0] * static_cast<double>(m[0]) + in[1] * static_cast<double>(m[4]) +
                     in[2] * static_cast<double>(m[8]) + m[12];
    const double y = in[0] * static_cast<double>(m[1]) + in[1] * static_cast<double>(m[5]) +
                     in[2] * static_cast<double>(m[9]) + m[13];
    const double z = in[0] * static_cast<double>(m[2]) + in[1] * static_cast<double>(m[6]) +
                     in[2] * static_cast<double>(m[10]) + m[14];
    out[0] = x;
    out[1] = y;
    out[2] = z;
}

void RigidTransform::Apply(float* xyz, int count) const
{
    for (int i = 0; i < count; ++i) {
        float* p = xyz + 3 * i;
        // The point is taken as float and each coordinate accumulated in double in the order
        // x·m0 + y·m4 + z·m8 + m12, the order in which the scene graph maps points.
        const double px = p[0];
        const double py = p[1];
        const double pz = p[2];
        const double x = px * m[0] + py * m[4] + pz * m[8] + m[12];
        const double y = px * m[1] + py * m[5] + pz * m[9] + m[13];
        const double z = px * m[2] + py * m[6] + pz * m[10] + m[14];
        p[0] = static_cast<float>(x);
        p[1] = static_cast<float>(y);
        p[2] = static_cast<float>(z);
    }
}

RigidTransform RigidTransform::Then(const RigidTransform& other) const
{
    RigidTransform r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            double s = 0;
            for (int k = 0; k < 4; ++k) {
                s += static_cast<double>(m[i * 4 + k]) * other.m[k * 4 + j];
            }
            r.m[i * 4 + j] = static_cast<float>(s);
        }
    }
    return r;
}

RigidTransform AxisRotation(double x, double y, double z, double degrees)
{
    RigidTransform t;
    const double len = std::sqrt(x * x + y * y + z * z);
    if (!(len > 0)) {
        return t;
    }
    x /= len, y /= len, z /= len;
    const double a = degrees * std::numbers::pi / 180.0;
    const double c = std::cos(a), s = std::sin(a), k = 1 - c;
    // Rodrigues' rotation, transposed for row vectors.
    const double r[9] = {c + x * x * k,     x * y * k + z * s, x * z * k - y * s,
                         x * y * k - z * s, c + y * y * k,     y * z * k + x * s,
                         x * z * k + y * s, y * z * k - x * s, c + z * z * k};
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            t.m[row * 4 + col] = static_cast<float>(r[row * 3 + col]);
        }
    }
    return t;
}

RigidTransform Translation(double x, double y, double z)
{
    RigidTransform t;
    t.m[12] = static_cast<float>(x);
    t.m[13] = static_cast<float>(y);
    t.m[14] = static_cast<float>(z);
    return t;
}

RigidTransform ElementPlacementRotation(const CVector3D& element)
{
    const float theta = element.GetTheta();
    if (theta == 180.0f) {
        return AxisRotation(0, 1, 0, -theta);
    }
    if (element.GetNormalX() != 0 || element.GetNormalY() != 0 || element.GetNormalZ() != 0) {
        return AxisRotation(element.GetNormalX(), element.GetNormalY(), element.GetNormalZ(),
                            -theta);
    }
    return RigidTransform{};
}

RigidTransform ElementPlacement(const CVector3D& element)
{
    return ElementPlacementRotation(element).Then(Translation(
        element.GetFromVectorX(), element.GetFromVectorY(), element.GetFromVectorZ()));
}

void ApplyElementPlacement(const CVector3D& element)
{
    const float theta = element.GetTheta();
    if (theta == 180.0f) {
        HC_Rotate_Object_Offaxis(0, 1, 0, -theta);
    } else if (element.GetNormalX() != 0 || element.GetNormalY() != 0 ||
               element.GetNormalZ() != 0) {
        HC_Rotate_Object_Offaxis(element.GetNormalX(), element.GetNormalY(), element.GetNormalZ(),
                                 -theta);
    }
    HC_Translate_Object(element.GetFromVectorX(), element.GetFromVectorY(),
                        element.GetFromVectorZ());
}
