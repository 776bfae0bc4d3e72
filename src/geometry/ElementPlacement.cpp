#include "geometry/ElementPlacement.h"

#include "geometry/CVector3D.h"
#include "platform/hc/hc.h"

#include <cmath>
#include <numbers>

void RigidTransform::Apply(const double in[3], double out[3]) const
{
    double r[3];
    for (int c = 0; c < 3; ++c) {
        r[c] = in[0] * rotation[0][c] + in[1] * rotation[1][c] + in[2] * rotation[2][c] +
               translation[c];
    }
    out[0] = r[0];
    out[1] = r[1];
    out[2] = r[2];
}

void RigidTransform::Apply(float* xyz, int count) const
{
    for (int i = 0; i < count; ++i) {
        float* p = xyz + 3 * i;
        const double in[3] = {p[0], p[1], p[2]};
        double out[3];
        Apply(in, out);
        p[0] = static_cast<float>(out[0]);
        p[1] = static_cast<float>(out[1]);
        p[2] = static_cast<float>(out[2]);
    }
}

RigidTransform RigidTransform::Then(const RigidTransform& other) const
{
    RigidTransform result;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            result.rotation[r][c] = rotation[r][0] * other.rotation[0][c] +
                                    rotation[r][1] * other.rotation[1][c] +
                                    rotation[r][2] * other.rotation[2][c];
        }
    }
    other.Apply(translation, result.translation);
    return result;
}

void RigidTransform::ToMatrix(float matrix[16]) const
{
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            matrix[r * 4 + c] = static_cast<float>(rotation[r][c]);
        }
        matrix[r * 4 + 3] = 0;
        matrix[12 + r] = static_cast<float>(translation[r]);
    }
    matrix[15] = 1;
}

RigidTransform AxisRotation(double x, double y, double z, double degrees)
{
    RigidTransform t;
    const double len = std::sqrt(x * x + y * y + z * z);
    if (!(len > 0)) {
        return t;
    }
    const double u[3] = {x / len, y / len, z / len};
    const double a = degrees * std::numbers::pi / 180.0;
    const double c = std::cos(a);
    const double s = std::sin(a);
    const double k = 1 - c;
    // Column-vector rotation R (Rodrigues); the row-vector matrix is its transpose.
    const double R[3][3] = {
        {c + u[0] * u[0] * k, u[0] * u[1] * k - u[2] * s, u[0] * u[2] * k + u[1] * s},
        {u[1] * u[0] * k + u[2] * s, c + u[1] * u[1] * k, u[1] * u[2] * k - u[0] * s},
        {u[2] * u[0] * k - u[1] * s, u[2] * u[1] * k + u[0] * s, c + u[2] * u[2] * k}};
    for (int r = 0; r < 3; ++r) {
        for (int col = 0; col < 3; ++col) {
            t.rotation[r][col] = R[col][r];
        }
    }
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
    RigidTransform t = ElementPlacementRotation(element);
    t.translation[0] = element.GetFromVectorX();
    t.translation[1] = element.GetFromVectorY();
    t.translation[2] = element.GetFromVectorZ();
    return t;
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
