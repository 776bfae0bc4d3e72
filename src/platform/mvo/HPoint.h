// HPoint: the point and vector type of the view layer, three single-precision floats.
// Layout is exactly three packed floats so an HPoint array can be handed to the HC_*
// calls that take "const void* points".
#pragma once

#include <cmath>

class HPoint {
public:
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    constexpr HPoint() = default;
    constexpr HPoint(float px, float py, float pz = 0.0f) : x(px), y(py), z(pz) {}

    void Set(float px, float py, float pz = 0.0f) { x = px; y = py; z = pz; }
    void Set(const HPoint& p) { *this = p; }
    void Add(float dx, float dy, float dz = 0.0f) { x += dx; y += dy; z += dz; }

    constexpr HPoint operator+(const HPoint& p) const { return {x + p.x, y + p.y, z + p.z}; }
    constexpr HPoint operator-(const HPoint& p) const { return {x - p.x, y - p.y, z - p.z}; }
    constexpr HPoint operator-() const { return {-x, -y, -z}; }
    constexpr HPoint operator*(float s) const { return {x * s, y * s, z * s}; }
    // Division by zero gives infinities, as float division does; callers check lengths first.
    constexpr HPoint operator/(float s) const { return {x / s, y / s, z / s}; }
    HPoint& operator+=(const HPoint& p) { x += p.x; y += p.y; z += p.z; return *this; }
    HPoint& operator-=(const HPoint& p) { x -= p.x; y -= p.y; z -= p.z; return *this; }
    HPoint& operator*=(float s) { x *= s; y *= s; z *= s; return *this; }
    // Exact comparison; use HPointsNear for a tolerance.
    constexpr bool operator==(const HPoint& p) const { return x == p.x && y == p.y && z == p.z; }
    constexpr bool operator!=(const HPoint& p) const { return !(*this == p); }
};

static_assert(sizeof(HPoint) == 3 * sizeof(float), "HPoint must stay three packed floats");

inline constexpr HPoint operator*(float s, const HPoint& p) { return p * s; }

inline float HDot(const HPoint& a, const HPoint& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline HPoint HCross(const HPoint& a, const HPoint& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float HLength(const HPoint& a) { return std::sqrt(HDot(a, a)); }
// Unit vector along a; the zero vector stays zero.
inline HPoint HNormalized(const HPoint& a)
{
    const float len = HLength(a);
    return len > 0.0f ? a / len : HPoint();
}
inline bool HPointsNear(const HPoint& a, const HPoint& b, float tolerance)
{
    return std::fabs(a.x - b.x) <= tolerance && std::fabs(a.y - b.y) <= tolerance &&
           std::fabs(a.z - b.z) <= tolerance;
}
