#include "host/PcfModelBuilder.h"

#include <map>

namespace ketra::host {

namespace {

const std::map<std::string, PcfKind, std::less<>> kKinds = {
    {"PIPE", {PcfShape::Linear}},
    {"PIPE-FIXED", {PcfShape::Linear}},
    {"PIPE-BLOCK-FIXED", {PcfShape::Linear}},
    {"PIPE-BLOCK-VARIABLE", {PcfShape::Linear}},
    {"CAP", {PcfShape::Linear}},
    {"REDUCER-CONCENTRIC", {PcfShape::Linear}},
    {"REDUCER-ECCENTRIC", {PcfShape::Linear}},
    {"COUPLING", {PcfShape::Linear, true}},
    {"UNION", {PcfShape::Linear, true}},
    {"FLANGE", {PcfShape::Linear, true}},
    {"FLANGE-BLIND", {PcfShape::Linear, true}},
    {"FLANGE-REDUCING-CONCENTRIC", {PcfShape::Linear, true}},
    {"FLANGE-REDUCING-ECCENTRIC", {PcfShape::Linear, true}},
    {"LAPJOINT-STUBEND", {PcfShape::Linear, true}},
    {"LAPJOINT-RINGLOOSE", {PcfShape::Linear, true}},
    {"GASKET", {PcfShape::Linear, true}},
    {"VALVE", {PcfShape::Linear, true}},
    {"FILTER", {PcfShape::Linear, true}},
    {"TRAP", {PcfShape::Linear, true}},
    {"INSTRUMENT", {PcfShape::Linear, true}},
    {"INSTRUMENT-DIAL", {PcfShape::Linear, true}},
    {"MISC-COMPONENT", {PcfShape::Linear, true}},
    {"VALVE-ANGLE", {PcfShape::Angle, true}},
    {"INSTRUMENT-ANGLE", {PcfShape::Angle, true}},
    {"ELBOW", {PcfShape::Bend}},
    {"BEND", {PcfShape::Bend}},
    {"ELBOW-REDUCING", {PcfShape::Bend}},
    {"BEND-TEED", {PcfShape::Bend}},
    {"ELBOW-TEED", {PcfShape::Bend}},
    {"TEE", {PcfShape::Branching, false, true}},
    {"TEE-STUB", {PcfShape::Branching, false, true}},
    {"CROSS", {PcfShape::Branching}},
    {"Y-PIECE-FITTING", {PcfShape::Branching}},
    {"VALVE-3WAY", {PcfShape::Branching, true}},
    {"VALVE-MULTIWAY", {PcfShape::Branching, true}},
    {"INSTRUMENT-3WAY", {PcfShape::Branching, true}},
    {"OLET", {PcfShape::Olet}},
    {"TEE-SET-ON", {PcfShape::Olet}},
    {"SUPPORT", {PcfShape::Support}},
    {"WELD", {PcfShape::Weld}},
    {"BOLT", {PcfShape::Annotation}},
    {"FLOW-ARROW", {PcfShape::Annotation}},
    {"MESSAGE-CIRCLE", {PcfShape::Annotation}},
    {"MESSAGE-SQUARE", {PcfShape::Annotation}},
    {"MESSAGE-TRIANGLE", {PcfShape::Annotation}},
    {"END-POSITION-NULL", {PcfShape::Annotation}},
    {"END-POSITION-CLOSED", {PcfShape::Annotation}},
    {"END-POSITION-OPEN", {PcfShape::Annotation}},
    {"END-POSITION-FLANGED", {PcfShape::Annotation}},
    {"END-CONNECTION-PIPELINE", {PcfShape::Annotation}},
    {"END-CONNECTION-EQUIPMENT", {PcfShape::Annotation}},
    {"END-CONNECTION-BLANK", {PcfShape::Annotation}},
};

} // namespace

const PcfKind* FindPcfKind(const std::string& keyword) {
    auto it = kKinds.find(keyword);
    return it == kKinds.end() ? nullptr : &it->second;
}

} // namespace ketra::host
