#include "platform/render/DrawList.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace ketra::render {

size_t MeshBytes(const Mesh& mesh) {
    const size_t words = mesh.normals.capacity() + mesh.colors.capacity() + mesh.edgeColors.capacity() +
                         mesh.markerVertices.capacity();
    return sizeof(Mesh) + mesh.positions.capacity() * sizeof(float) + words * sizeof(std::uint32_t) +
           mesh.triangles.CapacityBytes() + mesh.edges.CapacityBytes();
}

std::uint32_t PackNormal(float x, float y, float z) {
    auto c = [](float v) {
        const int i = static_cast<int>(std::lround(std::clamp(v, -1.0f, 1.0f) * 511.0f));
        return static_cast<std::uint32_t>(i) & 0x3FFu;
    };
    return c(x) | c(y) << 10 | c(z) << 20;
}

std::array<float, 3> UnpackNormal(std::uint32_t packed) {
    auto c = [&](int shift) {
        int v = static_cast<int>((packed >> shift) & 0x3FFu);
        if (v & 0x200) v -= 0x400;
        return std::max(static_cast<float>(v) / 511.0f, -1.0f);
    };
    return {c(0), c(10), c(20)};
}

// ---- Patterns and symbols ----

LinePattern PatternFromName(const std::string& raw) {
    // Inner blanks matter ("- -" is not "--"); outer ones do not.
    std::string name;
    for (char c : raw) name.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    while (!name.empty() && name.front() == ' ') name.erase(name.begin());
    while (!name.empty() && name.back() == ' ') name.pop_back();
    // Masks run from bit 0 along the line; each bit covers `scale` pixels.
    if (name == "---" || name == "solid" || name.empty()) return {0xFFFF, 1};
    if (name == "----") return {0x00FF, 2};       // long dashes
    if (name == "- -" || name == "dashed") return {0x0F0F, 1.5f};
    if (name == "-.-.") return {0x27FF, 1};        // dash, gap, dot, gap
    if (name == "-..." || name == "-...-...") return {0x2AFF, 1};  // dash, three dots
    if (name == "...." || name == "dotted" || name == "...") return {0x3333, 1};
    if (name == "-- --" || name == "--  --") return {0x3F3F, 1.5f};
    if (name == "center") return {0x18FF, 2};      // long dash, short dash
    if (name == "phantom") return {0x66FF, 2};     // long dash, two short dashes
    if (name == "(----)") return {0x00FF, 2};      // long dashes drawn from both ends
    return {0xFFFF, 1};
}

int MarkerSymbolFromName(const std::string& raw) {
    std::string name;
    for (char c : raw)
        if (c != ' ') name.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    if (name == "(.)") return kMarkerCircleDot;
    if (name == "+" || name == "(+)") return kMarkerPlus;
    if (name == ".") return kMarkerDot;
    if (name == "x" || name == "(x)") return kMarkerCross;
    if (name == "*") return kMarkerStar;
    if (name == "o" || name == "()") return kMarkerCircle;
    if (name == "(*)" || name == "@") return kMarkerFilledCircle;
    if (name == "[]") return kMarkerSquare;
    if (name == "<>") return kMarkerDiamond;
    return kMarkerCircleDot;
}

void Layer::AddBounds(double px, double py, double pz) {
    if (!hasBounds) {
        boundsMin = boundsMax = {px, py, pz};
        hasBounds = true;
        return;
    }
    boundsMin = {std::min(boundsMin[0], px), std::min(boundsMin[1], py), std::min(boundsMin[2], pz)};
    boundsMax = {std::max(boundsMax[0], px), std::max(boundsMax[1], py), std::max(boundsMax[2], pz)};
}

bool IsCutAway(const std::vector<ClipPlane>& planes, double x, double y, double z) {
    // Groups: cut when every plane of the group is positive.
    std::vector<std::pair<int, bool>> groups;  // group, all positive so far
    for (const ClipPlane& p : planes) {
        const bool positive = p.Side(x, y, z) > 0;
        if (p.group == 0) {
            if (positive) return true;
            continue;
        }
        auto found = std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.first == p.group; });
        if (found == groups.end())
            groups.emplace_back(p.group, positive);
        else
            found->second = found->second && positive;
    }
    return std::any_of(groups.begin(), groups.end(), [](const auto& g) { return g.second; });
}

// ---- Glyphs ----

bool DecodeGlyph(const std::vector<signed char>& bytes, GlyphShape& out) {
    out = GlyphShape();
    auto fail = [&out] {
        out = GlyphShape();
        return false;
    };
    const size_t n = bytes.size();
    if (n < 4 || bytes[0] <= 0) return fail();
    out.size = bytes[0];
    const float originX = bytes[1], originY = bytes[2];
    size_t i = 3;
    for (;;) {
        if (i >= n) return fail();  // no terminating 0
        int count = bytes[i++];
        if (count == 0) break;
        GlyphFigure figure;
        if (count == -1) {
            figure.filled = true;
            if (i >= n) return fail();
            count = bytes[i++];
        }
        if (count <= 0 || (figure.filled && count < 3) || i + 2 * static_cast<size_t>(count) > n) return fail();
        for (int k = 0; k < count; ++k, i += 2) {
            figure.points.push_back(bytes[i] - originX);
            figure.points.push_back(bytes[i + 1] - originY);
        }
        out.figures.push_back(std::move(figure));
    }
    if (out.figures.empty()) return fail();
    return true;
}

size_t DrawList::MeshCount() const {
    size_t n = 0;
    for (const Layer& layer : layers) n += layer.meshes.size();
    return n;
}

} // namespace ketra::render
