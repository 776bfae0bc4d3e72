#include "geometry/CVector3D.h"

#include <cmath>
#include <new>

namespace {

// Truncates towards zero into a 64-bit integer; values beyond its range (or NaN) saturate
// instead of being undefined behaviour.
long long TruncateToInteger(double v)
{
    if (std::isnan(v)) {
        return 0;
    }
    if (v >= 9.2e18) {
        return 9200000000000000000LL;
    }
    if (v <= -9.2e18) {
        return -9200000000000000000LL;
    }
    return static_cast<long long>(v);
}

// Cross product with every component whose magnitude, relative to the product's length, is
// below 1e-6 set to zero, so nearly-axis-aligned frames become exactly axis-aligned.
void CleanCross(const float a[3], const float b[3], float out[3])
{
    float c[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    const float len = std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]);
    for (int i = 0; i < 3; ++i) {
        out[i] = std::fabs(c[i]) / len < 1e-6f ? 0.0f : c[i];
    }
}

float Length(const float v[3])
{
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

// Meeting point of the line through pa along da and the line through pb along db, solved in
// the first usable coordinate projection. Writes pb + t·db to out and returns 0, or returns 1
// (out untouched) when the lines are parallel in every projection.
int LineMeetingPoint(const float pa[3], const float da[3], const float pb[3], const float db[3],
                     float out[3])
{
    const float la = Length(da);
    const float lb = Length(db);
    float t = 0;
    bool found = false;
    // Projections XY, YZ, ZX: (u, v) = axis indices.
    const int axes[3][2] = {{0, 1}, {1, 2}, {2, 0}};
    for (int p = 0; p < 3 && !found; ++p) {
        const int u = axes[p][0];
        const int v = axes[p][1];
        const bool unusable = std::fabs(da[u]) / la < 1e-6f && std::fabs(db[u]) / lb < 1e-6f;
        if (unusable) {
            if (p == 2) {
                return 1;
            }
            continue;
        }
        const float m = da[v] / da[u];
        const float den = db[v] - db[u] * m;
        if (std::fabs(den) / lb >= 1e-6f) {
            t = (m * pb[u] + pa[v] - m * pa[u] - pb[v]) / den;
            found = true;
        } else if (p == 2) {
            return 1;
        }
    }
    if (!found) {
        return 1;
    }
    for (int i = 0; i < 3; ++i) {
        out[i] = pb[i] + t * db[i];
    }
    return 0;
}

} // namespace

float RoundToThousandths(float value)
{
    if (!std::isfinite(value)) {
        return value;
    }
    // Equal to formatting with "%.3f" and parsing the text back, without the text: a float
    // times 1000 is exact in double, printf rounds the exact value to nearest with ties to
    // even, and n / 1000.0 is the double nearest to the decimal n/1000, as strtod gives.
    const double scaled = static_cast<double>(value) * 1000.0;
    const double n = std::nearbyint(scaled);
    return static_cast<float>(n / 1000.0);
}

float VectorRadiansToDegrees(double radians)
{
    const float product = static_cast<float>(radians) * 180.0f;
    return product / kVectorPi;
}

int CalcBendPoints(const float A1[3], float B1[3], const float A2[3], float B2[3], float R,
                   float centre[3], float* tangentLength)
{
    float d1[3];
    float d2[3];
    for (int i = 0; i < 3; ++i) {
        d1[i] = B1[i] - A1[i];
        d2[i] = B2[i] - A2[i];
    }
    const float l1 = Length(d1);
    const float l2 = Length(d2);
    float cosine = (d1[0] * d2[0] + d1[1] * d2[1] + d1[2] * d2[2]) / (l1 * l2);
    // A zero-length element gives NaN here; treat it as collinear (no turn) rather than
    // spreading NaN into the tangent points.
    if (std::isnan(cosine)) {
        cosine = 1.0f;
    }
    cosine = std::fmin(1.0f, std::fmax(-1.0f, cosine));
    const float alpha = std::acos(cosine);
    const float T = R * std::tan(alpha / 2.0f);
    if (tangentLength != nullptr) {
        *tangentLength = T;
    }

    float p1[3];
    float p2[3];
    for (int i = 0; i < 3; ++i) {
        p1[i] = l1 != 0 ? B1[i] - T * d1[i] / l1 : B1[i];
        p2[i] = l2 != 0 ? A2[i] + T * d2[i] / l2 : A2[i];
    }

    float n[3];
    float r1[3];
    float r2[3];
    CleanCross(d1, d2, n);
    CleanCross(n, d1, r1);
    CleanCross(n, d2, r2);

    for (int i = 0; i < 3; ++i) {
        B1[i] = p1[i];
        B2[i] = p2[i];
    }

    // The centre lies where the inward normals at the two tangent points meet. An axis on which
    // one of them has no component gives the meeting parameter directly.
    for (int a = 0; a < 3; ++a) {
        if (std::fabs(r1[a]) < 1e-12f && std::fabs(r2[a]) >= 1e-12f) {
            const float t = (p1[a] - p2[a]) / r2[a];
            for (int i = 0; i < 3; ++i) {
                centre[i] = p2[i] + t * r2[i];
            }
            return 0;
        }
    }
    for (int a = 0; a < 3; ++a) {
        if (std::fabs(r2[a]) < 1e-12f && std::fabs(r1[a]) >= 1e-12f) {
            const float t = (p2[a] - p1[a]) / r1[a];
            for (int i = 0; i < 3; ++i) {
                centre[i] = p1[i] + t * r1[i];
            }
            return 0;
        }
    }
    if (l1 != 0) {
        return LineMeetingPoint(p1, r1, p2, r2, centre);
    }
    if (l2 != 0) {
        return LineMeetingPoint(p2, r2, p1, r1, centre);
    }
    return 1;
}

CVector3D::CVector3D() = default;

CVector3D::CVector3D(float x1, float y1, float z1, float x2, float y2, float z2)
{
    Set(x1, y1, z1, x2, y2, z2);
}

CVector3D::~CVector3D() = default;

void CVector3D::Set(float x1, float y1, float z1, float x2, float y2, float z2)
{
    m_useWeldPoint = 0;
    m_bendNormal[0] = m_bendNormal[1] = m_bendNormal[2] = 0;
    m_from[0] = x1;
    m_from[1] = y1;
    m_from[2] = z1;
    m_to[0] = x2;
    m_to[1] = y2;
    m_to[2] = z2;
    Derive();
}

void CVector3D::Derive()
{
    for (int i = 0; i < 3; ++i) {
        m_direction[i] = m_to[i] - m_from[i];
    }
    m_height = CalcHeight();
    for (int i = 0; i < 3; ++i) {
        m_rotation[i] = CalcDirection(m_to[i] - m_from[i]);
    }
    for (int i = 0; i < 3; ++i) {
        m_weld1[i] = 0;
        m_weld2[i] = 0;
    }
    m_theta = CalcRotation();
}

float CVector3D::CalcHeight() const
{
    const float* end = m_useWeldPoint != 0 ? m_weld1 : m_to;
    const float vx = end[0] - m_from[0];
    const float vy = end[1] - m_from[1];
    const float vz = end[2] - m_from[2];
    const float sum = vx * vx + vy * vy + vz * vz;
    const float len = std::sqrt(sum);
    return RoundToThousandths(len);
}

float CVector3D::CalcDirection(float component) const
{
    if (!(m_height > 0.01)) {
        return 0;
    }
    const long long hk = TruncateToInteger(m_height * 1000);
    const long long uk = TruncateToInteger(component * 1000.0f);
    double q = (static_cast<double>(uk) / 1000) / (static_cast<double>(hk) / 1000);
    if (q > 1) {
        q = 1;
    }
    // The rounding of the height and the truncation of the component can push the quotient a
    // hair below −1 for an element along a negative axis; clamp so the angle is 180, not NaN.
    if (q < -1) {
        q = -1;
    }
    return VectorRadiansToDegrees(static_cast<float>(std::acos(q)));
}

float CVector3D::CalcRotation()
{
    const float dx = m_direction[0];
    const float dy = m_direction[1];
    const float dz = m_direction[2];
    const float L = CalcHeight();
    const float r = L > 0 ? dz / L : 0.0f;
    m_normal[0] = dy;
    m_normal[1] = -dx;
    m_normal[2] = 0;
    float thetaRad;
    if (r == 0) {
        thetaRad = static_cast<float>(std::acos(0.0));
    } else {
        const float horizontal = std::sqrt(dx * dx + dy * dy);
        const float full = std::sqrt(dx * dx + dy * dy + dz * dz);
        const float quotient = (horizontal / full) / r;
        thetaRad = static_cast<float>(std::atan(static_cast<double>(quotient)));
    }
    if (dz < 0) {
        thetaRad = thetaRad + kVectorPi;
    }
    return VectorRadiansToDegrees(thetaRad);
}

void CVector3D::SetFromX(float v)
{
    m_from[0] = v;
    m_height = CalcHeight();
}

void CVector3D::SetFromY(float v)
{
    m_from[1] = v;
    m_height = CalcHeight();
}

void CVector3D::SetFromZ(float v)
{
    m_from[2] = v;
    m_height = CalcHeight();
}

void CVector3D::SetToX(float v)
{
    m_to[0] = v;
    m_height = CalcHeight();
}

void CVector3D::SetToY(float v)
{
    m_to[1] = v;
    m_height = CalcHeight();
}

void CVector3D::SetToZ(float v)
{
    m_to[2] = v;
    m_height = CalcHeight();
}

void CVector3D::SetHeight(float h, int fromEnd)
{
    const double k = m_height == 0 ? 1.0 : 1.0 / m_height;
    for (int i = 0; i < 3; ++i) {
        const float d = m_to[i] - m_from[i];
        const double step = static_cast<double>(d) * h * k;
        m_newHeight[i] = static_cast<float>(fromEnd == 0 ? m_from[i] + step : m_to[i] - step);
    }
}

void CVector3D::SplitVector(int count)
{
    const int n = count < 2 ? 2 : count;
    m_split.reset();
    m_splitCount = 0;
    std::unique_ptr<HPoint[]> points(new (std::nothrow) HPoint[static_cast<size_t>(n)]);
    if (!points) {
        return;
    }
    const float factor = 1.0f / static_cast<float>(n - 1);
    float d[3];
    for (int k = 0; k < 3; ++k) {
        d[k] = m_to[k] - m_from[k];
    }
    for (int i = 0; i < n; ++i) {
        const float t = static_cast<float>(i) * factor;
        points[i].x = m_from[0] + d[0] * t;
        points[i].y = m_from[1] + d[1] * t;
        points[i].z = m_from[2] + d[2] * t;
    }
    // The ends are the element's own points, not the result of the rounded factor.
    points[0].x = m_from[0];
    points[0].y = m_from[1];
    points[0].z = m_from[2];
    points[n - 1].x = m_to[0];
    points[n - 1].y = m_to[1];
    points[n - 1].z = m_to[2];
    m_split = std::move(points);
    m_splitCount = n;
}

HPoint CVector3D::GetSplitVector(int i) const
{
    if (i < 0 || i >= m_splitCount || !m_split) {
        return HPoint(0, 0, 0);
    }
    return m_split[i];
}

float CVector3D::GetRotation(int axis) const
{
    if (axis < 1 || axis > 3) {
        return -1.0f;
    }
    return m_rotation[axis - 1];
}

float CVector3D::operator^(CVector3D* other) const
{
    if (other == nullptr) {
        return 0;
    }
    float a[3];
    float b[3];
    for (int i = 0; i < 3; ++i) {
        a[i] = m_to[i] - m_from[i];
        b[i] = other->m_to[i] - other->m_from[i];
    }
    const float la = Length(a);
    const float lb = Length(b);
    for (int i = 0; i < 3; ++i) {
        if (la > 0) {
            a[i] /= la;
        }
        if (lb > 0) {
            b[i] /= lb;
        }
    }
    float k = a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
    k = std::fmin(1.0f, std::fmax(-1.0f, k));
    return VectorRadiansToDegrees(std::acos(k));
}

float CVector3D::operator%(CVector3D* other) const
{
    if (other == nullptr) {
        return VectorRadiansToDegrees(std::acos(0.0));
    }
    float a[3];
    float b[3];
    for (int i = 0; i < 3; ++i) {
        a[i] = std::fabs(m_normal[i]) < 0.001f ? 0.0f : m_normal[i];
        b[i] = std::fabs(other->m_normal[i]) < 0.001f ? 0.0f : other->m_normal[i];
    }
    const float dot = a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
    float den = Length(a) * Length(b);
    if (dot > den) {
        den = dot;
    }
    if (den == 0 || den < 0.0001f) {
        return VectorRadiansToDegrees(std::acos(0.0));
    }
    return VectorRadiansToDegrees(std::acos(dot / den));
}

float CVector3D::GetBendRotation(CVector3D* next, float bendRadius, float matrix[4][4])
{
    if (next == nullptr || matrix == nullptr) {
        return 0;
    }
    const double Z[3] = {0, 0, 1};
    double d1[3];
    double d2[3];
    for (int i = 0; i < 3; ++i) {
        d1[i] = static_cast<double>(m_to[i]) - m_from[i];
        d2[i] = static_cast<double>(next->m_to[i]) - next->m_from[i];
    }
    const double n[3] = {d1[1] * d2[2] - d1[2] * d2[1], d1[2] * d2[0] - d1[0] * d2[2],
                         d1[0] * d2[1] - d1[1] * d2[0]};
    const double e[3] = {d1[1] * n[2] - d1[2] * n[1], d1[2] * n[0] - d1[0] * n[2],
                         d1[0] * n[1] - d1[1] * n[0]};
    const double* rows[3] = {e, d1, n};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            matrix[r][c] = static_cast<float>(rows[r][c]);
        }
        matrix[r][3] = 0;
    }
    matrix[3][0] = matrix[3][1] = matrix[3][2] = 0;
    matrix[3][3] = 1;
    for (int r = 0; r < 3; ++r) {
        const float len = Length(matrix[r]);
        if (len != 0) {
            for (int c = 0; c < 3; ++c) {
                matrix[r][c] /= len;
            }
        }
    }

    float b1[3] = {m_to[0], m_to[1], m_to[2]};
    float b2[3] = {next->m_to[0], next->m_to[1], next->m_to[2]};
    CalcBendPoints(m_from, b1, next->m_from, b2, bendRadius, m_bendCentre);
    for (int i = 0; i < 3; ++i) {
        m_weld1[i] = b1[i];
        m_weld2[i] = b2[i];
        m_bendNormal[i] = static_cast<float>(e[i]);
    }

    const double nLen = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    const double phi = std::acos((n[0] * Z[0] + n[1] * Z[1] + n[2] * Z[2]) / (nLen * 1.0));

    m_useWeldPoint = 1;
    m_height = CalcHeight();
    m_useWeldPoint = 0;
    return VectorRadiansToDegrees(phi);
}
