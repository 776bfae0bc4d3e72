// Helpers shared by the PCF reader's tests: reading a text, finding nodes by their position in
// the file's co-ordinates, and the geometry of what was read.
#pragma once

#include "host/PcfReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <set>
#include <string>

namespace ketra::host::test {

inline PcfLoadResult Read(const std::string& text) {
    PcfLoadResult r = ParsePcf(text, "t.pcf");
    EXPECT_TRUE(r.ok) << r.error;
    return r;
}

inline std::string ErrorOf(const std::string& text) {
    PcfLoadResult r = ParsePcf(text, "t.pcf");
    EXPECT_FALSE(r.ok) << text;
    EXPECT_TRUE(r.model.elements.empty()); // nothing is kept from a file that fails
    return r.error;
}

inline Vec3 FileAt(const PipingModel& m, int node) {
    const Vec3& p = m.nodes.at(node);
    return {p[0] + m.origin[0], p[1] + m.origin[1], p[2] + m.origin[2]};
}

// The node at a position in the file's co-ordinates; 0 when none lies within `tolerance`.
inline int NodeAt(const PipingModel& m, const Vec3& at, double tolerance = 1e-6) {
    for (const auto& [id, p] : m.nodes) {
        Vec3 f = FileAt(m, id);
        if (std::fabs(f[0] - at[0]) <= tolerance && std::fabs(f[1] - at[1]) <= tolerance &&
            std::fabs(f[2] - at[2]) <= tolerance)
            return id;
    }
    return 0;
}

inline const Element* ElementBetween(const PipingModel& m, int a, int b) {
    for (const Element& e : m.elements)
        if ((e.from == a && e.to == b) || (e.from == b && e.to == a))
            return &e;
    return nullptr;
}

inline double Length(const Vec3& v) {
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

// Degrees between an element and the next, as a bend turns.
inline double Deflection(const Element& in, const Element& out) {
    const Vec3 &a = in.delta, &b = out.delta;
    double c = (a[0] * b[0] + a[1] * b[1] + a[2] * b[2]) / (Length(a) * Length(b));
    return std::acos(std::max(-1.0, std::min(1.0, c))) * 180 / 3.14159265358979323846;
}

// How many separate pieces the elements form.
inline int ConnectedPieces(const PipingModel& m) {
    std::map<int, int> parent;
    std::function<int(int)> find = [&](int x) {
        auto it = parent.find(x);
        if (it == parent.end() || it->second == x)
            return parent[x] = x;
        return it->second = find(it->second);
    };
    for (const Element& e : m.elements)
        parent[find(e.from)] = find(e.to);
    std::set<int> roots;
    for (const Element& e : m.elements)
        roots.insert(find(e.from));
    return static_cast<int>(roots.size());
}

} // namespace ketra::host::test
