// Small vector arithmetic on Vec3 for the PCF reader's geometry, in double precision.
#pragma once

#include "host/PipingModel.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace ketra::host::pcf {

inline constexpr double kPi = 3.14159265358979323846;

inline Vec3 Sub(const Vec3& a, const Vec3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
inline Vec3 Add(const Vec3& a, const Vec3& b) {
    return {a[0] + b[0], a[1] + b[1], a[2] + b[2]};
}
inline Vec3 Mul(const Vec3& a, double k) {
    return {a[0] * k, a[1] * k, a[2] * k};
}
inline double Dot(const Vec3& a, const Vec3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
inline double Norm(const Vec3& a) {
    return std::sqrt(Dot(a, a));
}
inline Vec3 Unit(const Vec3& a) {
    double n = Norm(a);
    return n > 0 ? Mul(a, 1 / n) : Vec3{0, 0, 0};
}

// Distance from p to the line through a and b, and where along a→b its foot lies (0..1 inside).
inline double LineDistance(const Vec3& p, const Vec3& a, const Vec3& b, double* along) {
    Vec3 ab = Sub(b, a);
    double len2 = Dot(ab, ab);
    double t = len2 > 0 ? Dot(Sub(p, a), ab) / len2 : 0;
    if (along)
        *along = t;
    return Norm(Sub(p, Add(a, Mul(ab, t))));
}

// A number with a fixed count of decimals, for messages.
inline std::string Fixed(double v, int decimals = 2) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

} // namespace ketra::host::pcf
