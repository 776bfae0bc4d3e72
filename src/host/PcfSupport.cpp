#include "host/PcfModelBuilder.h"

#include "host/PcfVector.h"

#include <map>
#include <sstream>

namespace ketra::host {

namespace {

// As the JSON reader writes normalised cosines, so that a converted model reads back the same.
std::string Cosines(const Vec3& v) {
    std::ostringstream text;
    text << v[0] + 0.0 << ", " << v[1] + 0.0 << ", " << v[2] + 0.0; // no "-0"
    return text.str();
}

} // namespace

void AddPcfSupport(PipingModel& m, const PcfComponent& c, int node, const Vec3& axis,
                   std::string* warning) {
    using pcf::Norm;
    using pcf::Unit;
    const std::string& k = c.skey;
    auto starts = [&](const char* p) { return k.rfind(p, 0) == 0; };
    if (starts("AN")) {
        m.anchors.push_back({node, c.position});
        return;
    }
    if (starts("CAN") || starts("SPCN")) {
        m.hangers.push_back({node, true, c.position, {}, {}});
        return;
    }
    if (starts("HG") || starts("HANG") || starts("HGR") || starts("SPR") || starts("VSH") ||
        starts("CSH") || starts("RH")) {
        m.hangers.push_back({node, false, c.position, {}, {}});
        return;
    }
    Restraint r;
    r.node = node;
    r.position = c.position;
    static const std::map<std::string, int> kDirections = {
        {"EAST", 1}, {"E", 1}, {"NORTH", 2}, {"N", 2}, {"UP", 3},   {"U", 3},
        {"WEST", 4}, {"W", 4}, {"SOUTH", 5}, {"S", 5}, {"DOWN", 6}, {"D", 6}};
    auto it = kDirections.find(c.supportDirection);
    if (it != kDirections.end()) {
        r.direction = it->second;
    } else {
        if (!c.supportDirection.empty())
            *warning = "SUPPORT-DIRECTION " + c.supportDirection +
                       " is not UP, DOWN, NORTH, SOUTH, EAST or WEST; drawn by its SKEY";
        if (starts("LIM") || starts("STOP") || starts("AXL")) {
            r.cosines = Cosines(axis); // along the pipe
        } else if (starts("GU") || starts("GDE")) {
            Vec3 side{-axis[1], axis[0], 0}; // across the pipe, level
            if (Norm(side) < 1e-6)
                side = {1, 0, 0};
            r.cosines = Cosines(Unit(side));
        } else {
            r.direction = 3; // a resting support carries the pipe from below
        }
    }
    m.restraints.push_back(r);
}

} // namespace ketra::host
