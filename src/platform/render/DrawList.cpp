#include "platform/render/DrawList.h"

#include <algorithm>
#include <cctype>

namespace ketra::render {

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

size_t DrawList::MeshCount() const {
    size_t n = 0;
    for (const Layer& layer : layers) n += layer.meshes.size();
    return n;
}

} // namespace ketra::render
