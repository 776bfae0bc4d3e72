#include "symbols/SymbolGeometry.h"

#include "platform/mvo/HUtility.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>

namespace ketra::symbols {

namespace {

constexpr float kEpsilon = HUtility::EH_Epsilon;
constexpr double kPi = HUtility::PI;

bool IsOneOf(int value, std::initializer_list<int> codes) {
    for (int code : codes) {
        if (value == code) {
            return true;
        }
    }
    return false;
}

HPoint NegateXY(HPoint p) {
    return {-p.x, -p.y, p.z};
}
HPoint NegateY(HPoint p) {
    return {p.x, -p.y, p.z};
}
HPoint NegateZ(HPoint p) {
    return {p.x, p.y, -p.z};
}

// atof on a piece of text: leading blanks skipped, the longest number read, 0 for none.
double ReadNumber(std::string_view text) {
    const std::string copy(text);
    return std::strtod(copy.c_str(), nullptr);
}

void AddPoint(ShellData& shell, const HPoint& p) {
    shell.AddPoint(p.x, p.y, p.z);
}

void AddEdge(ShellData& shell, int a, int b) {
    shell.faces.insert(shell.faces.end(), {2, a, b});
}

} // namespace

HPoint DefaultRestraintDirection(int direction) {
    switch (direction) {
    case 1:
        return {-1, 0, 0};
    case 2:
        return {0, -1, 0};
    case 3:
        return {kEpsilon, 0, 1};
    case 4:
        return {1, 0, 0};
    case 5:
        return {0, 1, 0};
    case 6:
        return {kEpsilon, 0, -1};
    default:
        return {0, 0, 0};
    }
}

HPoint DefaultRodDirection(int direction) {
    switch (direction) {
    case 1:
        return {1, 0, 0};
    case 2:
        return {0, 1, 0};
    case 3:
        return {kEpsilon, 0, 1};
    case 4:
        return {-1, 0, 0};
    case 5:
        return {0, -1, 0};
    case 6:
        return {kEpsilon, 0, -1};
    default:
        return {0, 0, 0};
    }
}

HPoint SignRestraintByType(int type, HPoint d) {
    if (IsOneOf(type, {12, 14, 18, 20, 41, 43, 47, 49, 56, 58})) {
        return NegateXY(d);
    }
    if (IsOneOf(type, {13, 19, 42, 48, 57})) {
        return NegateY(d);
    }
    if (IsOneOf(type, {15, 16, 17, 21, 22, 23, 44, 45, 46, 50, 51, 52, 59, 60, 61})) {
        return NegateZ(d);
    }
    return d;
}

HPoint SignRodByType(int type, HPoint d) {
    if (IsOneOf(type, {26, 28, 29, 31})) {
        return NegateZ(d);
    }
    if (IsOneOf(type, {32, 33, 34})) {
        return NegateXY(d);
    }
    return d;
}

bool ParseCosines(std::string_view text, HPoint& cosines) {
    auto isBlank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    if (text.empty()) {
        return false;
    }
    std::string work(text);
    for (char& c : work) {
        if (c == '(' || c == ')') {
            c = ' ';
        }
    }
    const std::string_view all(work);
    const std::size_t first = all.find(',');
    std::string_view x = all;
    std::string_view y;
    std::string_view z;
    if (first != std::string_view::npos) {
        x = all.substr(0, first);
        const std::size_t second = all.find(',', first + 1);
        if (second == std::string_view::npos) {
            z = all.substr(first + 1);
        } else {
            y = all.substr(first + 1, second - first - 1);
            z = all.substr(second + 1);
        }
    }
    const HPoint parsed(static_cast<float>(ReadNumber(x)), static_cast<float>(ReadNumber(y)),
                        static_cast<float>(ReadNumber(z)));
    if (!std::isfinite(parsed.x) || !std::isfinite(parsed.y) || !std::isfinite(parsed.z)) {
        return false;
    }
    cosines = parsed;
    return true;
}

HPoint SignRestraintCosines(int direction, HPoint c) {
    switch (direction) {
    case 1:
    case 3:
        return NegateXY(c);
    case 4:
    case 5:
    case 6:
        return NegateZ(c);
    default:
        return c;
    }
}

HPoint SignRodCosines(int direction, HPoint c) {
    switch (direction) {
    case 1:
    case 3:
        return NegateZ(c);
    case 4:
    case 5:
    case 6:
        return NegateXY(c);
    default:
        return c;
    }
}

HPoint PointAlong(CVector3D& element, float h, int fromEnd) {
    element.SetHeight(h, fromEnd);
    return {element.GetNewHeightX(), element.GetNewHeightY(), element.GetNewHeightZ()};
}

float SetOffDistance(const HPoint& node, const HPoint& other, float diameter,
                     const HPoint& direction) {
    CVector3D pipe(node.x, node.y, node.z, other.x, other.y, other.z);
    CVector3D restraint(node.x, node.y, node.z, node.x + diameter * direction.x,
                        node.y + diameter * direction.y, node.z + diameter * direction.z);
    const float alpha = pipe ^ &restraint;
    if (alpha < 5.0f || 180.0f - alpha < 5.0f) {
        return 0.0f;
    }
    return static_cast<float>((diameter * 0.5f) / std::sin(alpha * kPi / 180.0));
}

ShellData CoarseRestraint(const HPoint& b, const HPoint& dir, float s, bool stiff) {
    const HPoint u(std::trunc(dir.x), std::trunc(dir.y), std::trunc(dir.z));
    const HPoint w = (dir.y == 0.0f && dir.z == 0.0f) ? HPoint(0, 0, 1) : HPoint(1, 0, 0);
    const float q = s * 0.25f;
    ShellData shell;
    AddPoint(shell, b);
    AddPoint(shell, b + u * s + w * q);
    AddPoint(shell, b + u * s - w * q);
    AddEdge(shell, 0, 1);
    AddEdge(shell, 1, 2);
    AddEdge(shell, 2, 0);
    if (stiff) {
        AddPoint(shell, b + u * s);
        AddPoint(shell, b + u * (1.125f * s) + w * (0.5f * q));
        AddPoint(shell, b + u * (1.25f * s) - w * (0.5f * q));
        AddPoint(shell, b + u * (1.375f * s) + w * (0.5f * q));
        AddPoint(shell, b + u * (1.5f * s) - w * (0.5f * q));
        AddPoint(shell, b + u * (1.625f * s) + w * (0.5f * q));
        for (int i = 3; i < 8; ++i) {
            AddEdge(shell, i, i + 1);
        }
    }
    return shell;
}

std::vector<HPoint> HelixPolylinePoints(const HPoint& start, float length, float coilDiameter,
                                        const HPoint& dir) {
    std::vector<HPoint> points;
    points.reserve(16);
    for (int i = 0; i < 16; ++i) {
        const double a = 0.75 * i;
        const float c = static_cast<float>(std::cos(a) * coilDiameter * 0.5);
        const float n = static_cast<float>(std::sin(a) * coilDiameter * 0.5);
        const float h = static_cast<float>(i) * length / 30.0f;
        if (dir.z != 0.0f) {
            points.emplace_back(start.x + c, start.y + n, start.z + dir.z * h);
        } else if (dir.x != 0.0f) {
            points.emplace_back(start.x + dir.x * h, start.y + c, start.z + n);
        } else {
            points.emplace_back(start.x + c, start.y + dir.y * h, start.z + n);
        }
    }
    return points;
}

bool HelixTube(float height, float coilRadius, int sides, int step, ShellData& shell) {
    shell.Clear();
    if (sides < 1 || sides > 360 || step == 0) {
        return false; // no ring, or a tube angle step of 0 degrees
    }
    const int n = std::abs(720 / step);
    const int m = n + 1;
    const float r = coilRadius / 6.0f;
    const int tubeStep = 360 / sides;
    shell.points.assign(static_cast<std::size_t>(sides + 1) * m * 3, 0.0f);
    float rise = 0.0f;
    // One ring per step up to two full turns; bounding the rings by count (not by angle) keeps
    // a negative step from running forever.
    for (int k = 0; k < m; ++k) {
        const double t = static_cast<double>(k) * step * kPi / 180.0;
        rise += (height / 720.0f) * static_cast<float>(step) * 0.75f;
        for (int j = 0; j <= sides && j * tubeStep < 360; ++j) {
            const double v = static_cast<double>(j * tubeStep) * kPi / 180.0;
            float* p = &shell.points[(static_cast<std::size_t>(k) * sides + j) * 3];
            p[0] = static_cast<float>(std::sin(v) * std::cos(t) * r + coilRadius * std::cos(t));
            p[1] = static_cast<float>(std::sin(v) * std::sin(t) * r + coilRadius * std::sin(t));
            p[2] = static_cast<float>(std::cos(v) * r + rise);
        }
    }
    // Faces between consecutive rings only.
    shell.faces.reserve(static_cast<std::size_t>(n) * sides * 5);
    for (int j = 0; j < n * sides; ++j) {
        if ((j + 1) % sides == 0 && j > 0) {
            shell.faces.insert(shell.faces.end(), {4, j, j + 1 - sides, j + 1, j + sides});
        } else {
            shell.faces.insert(shell.faces.end(), {4, j, j + 1, j + 1 + sides, j + sides});
        }
    }
    return true;
}

ShellData Cone(const HPoint& c, float radius, float height, int n) {
    ShellData shell;
    if (n < 1) {
        return shell;
    }
    for (int i = 0; i < n; ++i) {
        const double a = i * 2.0 * kPi / n;
        shell.AddPoint(static_cast<float>(c.x + radius * std::cos(a)),
                       static_cast<float>(c.y + radius * std::sin(a)), c.z);
    }
    shell.AddPoint(c.x, c.y, c.z + height);
    for (int i = 0; i < n - 1; ++i) {
        shell.faces.insert(shell.faces.end(), {3, i, i + 1, n});
    }
    shell.faces.insert(shell.faces.end(), {3, n - 1, 0, n});
    shell.faces.push_back(n);
    for (int i = n - 1; i >= 0; --i) {
        shell.faces.push_back(i);
    }
    return shell;
}

int PlaneNormalAxis(int plane) {
    switch (plane) {
    case 1:
        return 1;
    case 2:
        return 0;
    default:
        return 2;
    }
}

ShellData Circle(const HPoint& centre, float radius, int plane, int n, bool filled) {
    ShellData shell;
    if (n < 1) {
        return shell;
    }
    std::vector<HPoint> points(static_cast<std::size_t>(n) + 1);
    HUtilityGeometryCreation::GeneratePointsOnCircle(points.data(), centre, radius,
                                                     PlaneNormalAxis(plane), n, false);
    points[n] = centre;
    for (const HPoint& p : points) {
        AddPoint(shell, p);
    }
    for (int i = 0; i < n; ++i) {
        const int next = i == n - 1 ? 0 : i + 1;
        if (filled) {
            shell.faces.insert(shell.faces.end(), {3, n, i, next});
        } else {
            AddEdge(shell, i, next);
        }
    }
    return shell;
}

ShellData Ring(const HPoint& centre, float radius, int plane, int n) {
    ShellData shell;
    if (n < 1) {
        return shell;
    }
    std::vector<HPoint> points(static_cast<std::size_t>(n));
    HUtilityGeometryCreation::GeneratePointsOnCircle(points.data(), centre, radius,
                                                     PlaneNormalAxis(plane), n, false);
    for (const HPoint& p : points) {
        AddPoint(shell, p);
    }
    for (int i = 0; i < n; ++i) {
        AddEdge(shell, i, i == n - 1 ? 0 : i + 1);
    }
    return shell;
}

ShellData Edge(const HPoint& a, const HPoint& b) {
    ShellData shell;
    AddPoint(shell, a);
    AddPoint(shell, b);
    AddEdge(shell, 0, 1);
    return shell;
}

ShellData Box(float w, float d, float h) {
    ShellData shell;
    shell.points = {-w / 2, -d / 2, 0, w / 2, -d / 2, 0, w / 2, d / 2, 0, -w / 2, d / 2, 0,
                    w / 2,  -d / 2, h, w / 2, d / 2,  h, -w / 2, d / 2, h, -w / 2, -d / 2, h};
    shell.faces = {4, 0, 1, 2, 3, 4, 1, 4, 5, 2, 4, 2, 5, 6, 3,
                   4, 0, 7, 4, 1, 4, 3, 6, 7, 0, 4, 7, 6, 5, 4};
    return shell;
}

Profile RigidProfile(const HPoint& p1, const HPoint& p2, float D, bool lineOnly) {
    Profile profile;
    if (lineOnly) {
        profile.points = {p1, p2};
        profile.radii = {0.05f * D};
        return profile;
    }
    CVector3D v(p1.x, p1.y, p1.z, p2.x, p2.y, p2.z);
    const float L = v.GetHeight();
    auto P = [&](float h) { return PointAlong(v, h, 0); };
    auto Q = [&](float h) { return PointAlong(v, h, 1); };
    if (L < 0.5f * D) {
        const HPoint pts[] = {p1, P(0.1f * L), P(0.1f * L), Q(0.1f * L), Q(0.1f * L), p2};
        const float radii[] = {0.61f, 0.61f, 0.85f, 0.85f, 0.61f, 0.61f};
        for (int i = 0; i < 6; ++i) {
            profile.Add(pts[i], radii[i] * D);
        }
    } else if (L < D) {
        const HPoint pts[] = {p1,           P(0.05f * L), P(0.05f * L), P(0.45f * L),
                              P(0.45f * L), Q(0.45f * L), Q(0.45f * L), Q(0.05f * L),
                              Q(0.05f * L), p2};
        const float radii[] = {0.61f, 0.61f, 0.85f, 0.85f, 0.61f,
                               0.61f, 0.85f, 0.85f, 0.61f, 0.61f};
        for (int i = 0; i < 10; ++i) {
            profile.Add(pts[i], radii[i] * D);
        }
    } else {
        profile.Add(p1, 0.625f * D);
        profile.Add(P(L / 2), 0.0f);
        profile.Add(p2, 0.625f * D);
    }
    return profile;
}

Profile BellowsProfile(int n, const HPoint& p1, const HPoint& p2, float r0, float r1, float k,
                       float a, float gRoot, float gCrest) {
    Profile profile;
    if (k <= 0.0f) {
        k = 0.0f;
    }
    const int perConvolution = k == 0.0f ? 4 : 28;
    profile.points.reserve(static_cast<std::size_t>(n) * perConvolution + 2);
    profile.radii.reserve(profile.points.capacity());
    float dx[5];
    float dr[5];
    for (int j = 0; j < 5; ++j) {
        const double theta = (j + 1) * 0.262;
        dx[j] = static_cast<float>(std::sin(theta) * k);
        dr[j] = static_cast<float>((1.0 - std::cos(theta)) * k);
    }
    CVector3D v(p1.x, p1.y, p1.z, p2.x, p2.y, p2.z);
    auto P = [&](float h) { return PointAlong(v, h, 0); };
    profile.Add(p1, r0);
    float pos = a;
    for (int c = 0; c < n; ++c) {
        if (k == 0.0f) {
            profile.Add(P(pos), r0);
            profile.Add(P(pos), r1);
            pos += gCrest;
            profile.Add(P(pos), r1);
            profile.Add(P(pos), r0);
            pos += gRoot;
            continue;
        }
        // Rise from the root to the crest through two knuckles.
        profile.Add(P(pos - k), r0);
        for (int j = 0; j < 5; ++j) {
            profile.Add(P(pos - k + dx[j]), r0 + dr[j]);
        }
        profile.Add(P(pos), r0 + k);
        profile.Add(P(pos), r1 - k);
        for (int j = 4; j >= 0; --j) {
            profile.Add(P(pos + k - dx[j]), r1 - dr[j]);
        }
        profile.Add(P(pos + k), r1);
        pos += gCrest;
        // Fall from the crest back to the root.
        profile.Add(P(pos - k), r1);
        for (int j = 0; j < 5; ++j) {
            profile.Add(P(pos - k + dx[j]), r1 - dr[j]);
        }
        profile.Add(P(pos), r1 - k);
        profile.Add(P(pos), r0 + k);
        for (int j = 4; j >= 0; --j) {
            profile.Add(P(pos + k - dx[j]), r0 + dr[j]);
        }
        profile.Add(P(pos + k), r0);
        pos += gRoot;
    }
    profile.Add(p2, r0);
    return profile;
}

} // namespace ketra::symbols
