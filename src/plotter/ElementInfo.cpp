#include "plotter/ElementInfo.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ketra::plotter {
namespace {

constexpr double kPi = 3.14159265358979323846;
const char* const kDash = "\u2013";  // en dash between node numbers
const char* const kDot = " \u00B7 ";

double Norm(const host::Vec3& v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

// Where a node lies in the plant: its co-ordinates plus the model's origin.
std::string NodePlace(const host::PipingModel& model, int node) {
    const auto found = model.nodes.find(node);
    if (found == model.nodes.end())
        return "not in the model";
    host::Vec3 p = found->second;
    for (int i = 0; i < 3; ++i)
        p[i] += model.origin[i];
    return "(" + FormatNumber(p[0]) + ", " + FormatNumber(p[1]) + ", " + FormatNumber(p[2]) + ") " +
           UnitName(model.units);
}

std::string SourceLine(const host::SourcePosition& position) {
    return "line " + std::to_string(position.line) + ", column " + std::to_string(position.column);
}

// The angle in degrees through which a bend ending at `e.to` turns onto the element that
// starts there; 0 when none continues from it.
double BendAngle(const host::PipingModel& model, const host::Element& e) {
    const host::Element* next = model.FirstFrom(e.to);
    if (!next)
        return 0;
    const double a = Norm(e.delta), b = Norm(next->delta);
    if (a == 0 || b == 0)
        return 0;
    double c = (e.delta[0] * next->delta[0] + e.delta[1] * next->delta[1] + e.delta[2] * next->delta[2]) / (a * b);
    c = std::clamp(c, -1.0, 1.0);
    return std::acos(c) * 180 / kPi;
}

// The diameter of the pipe a support stands on: the first element at its node.
void AddPipeAt(const host::PipingModel& model, int node, ElementInfo& info) {
    const std::vector<const host::Element*> at = model.ElementsAt(node);
    if (!at.empty())
        info.lines.emplace_back("Pipe OD", FormatLength(at.front()->od, model.units));
}

ElementInfo AtNode(const char* kind, int node) {
    ElementInfo info;
    info.kind = kind;
    info.from = info.to = node;
    return info;
}

void Finish(const host::PipingModel& model, ElementInfo& info, const host::SourcePosition& position) {
    if (info.hoverLines == 0)
        info.hoverLines = info.lines.size();
    if (info.from > 0)
        info.lines.emplace_back(info.from == info.to ? "Position" : "From position", NodePlace(model, info.from));
    if (info.to > 0 && info.to != info.from)
        info.lines.emplace_back("To position", NodePlace(model, info.to));
    info.lines.emplace_back("Model line", SourceLine(position));
}

const char* DirectionName(int direction) {
    static const char* const kNames[] = {"X", "Y", "Z", "-X", "-Y", "-Z"};
    return direction >= 1 && direction <= 6 ? kNames[direction - 1] : "none";
}

const char* SectionName(host::SteelSection section) {
    switch (section) {
    case host::SteelSection::Channel: return "Channel";
    case host::SteelSection::WideFlange: return "Wide flange";
    case host::SteelSection::Angle: return "Angle";
    case host::SteelSection::Tee: return "Tee";
    case host::SteelSection::Box: return "Box";
    }
    return "Section";
}

} // namespace

const char* UnitName(host::Units units) { return units == host::Units::Inches ? "in" : "mm"; }

std::string UnitsText(host::Units units, const std::string& fileCoordUnits, const std::string& fileBoreUnits) {
    std::string text = std::string("Units: ") + UnitName(units);
    if (fileCoordUnits.empty())
        return text;
    text += " (file: " + fileCoordUnits;
    if (!fileBoreUnits.empty())
        text += ", bore " + fileBoreUnits;
    return text + ")";
}

std::string FormatNumber(double value) {
    if (!std::isfinite(value))
        return "-";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.3f", value);
    std::string text = buffer;
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.')
        text.pop_back();
    return text == "-0" ? "0" : text;
}

std::string FormatLength(double value, host::Units units) { return FormatNumber(value) + " " + UnitName(units); }

ElementInfo DescribeElement(const host::PipingModel& model, const host::Element& e) {
    ElementInfo info;
    info.from = e.from;
    info.to = e.to;
    info.kind = e.bendRadius ? "Bend"
                : e.rigid ? "Rigid"
                : e.expansionJoint ? "Expansion joint"
                : e.reducerOd ? "Reducer"
                : "Pipe";
    const host::Units u = model.units;
    info.lines.emplace_back("OD", FormatLength(e.od, u));
    if (e.reducerOd)
        info.lines.emplace_back("OD at " + std::to_string(e.to), FormatLength(*e.reducerOd, u));
    info.lines.emplace_back("Wall", e.wall > 0 ? FormatLength(e.wall, u) : "not given");
    info.lines.emplace_back("Length", FormatLength(Norm(e.delta), u));
    if (e.bendRadius) {
        info.lines.emplace_back("Bend radius", FormatLength(*e.bendRadius, u));
        info.lines.emplace_back("Angle", FormatNumber(BendAngle(model, e)) + "\u00B0");
    }
    info.hoverLines = info.lines.size();
    info.lines.emplace_back("Delta", "(" + FormatNumber(e.delta[0]) + ", " + FormatNumber(e.delta[1]) + ", " +
                                         FormatNumber(e.delta[2]) + ") " + UnitName(u));
    if (e.expansionJoint) {
        const host::ExpansionJoint& j = *e.expansionJoint;
        if (j.convolutions == 0) {
            info.lines.emplace_back("Bellows", "plain");
        } else {
            info.lines.emplace_back("Convolutions", std::to_string(j.convolutions));
            info.lines.emplace_back("Root radius", FormatLength(j.rootRadius, u));
            info.lines.emplace_back("Crest radius", FormatLength(j.crestRadius, u));
            info.lines.emplace_back("Knuckle radius", FormatLength(j.knuckleRadius, u));
            info.lines.emplace_back("First offset", FormatLength(j.firstOffset, u));
            info.lines.emplace_back("Root pitch", FormatLength(j.rootPitch, u));
            info.lines.emplace_back("Crest width", FormatLength(j.crestWidth, u));
        }
    }
    Finish(model, info, e.position);
    return info;
}

ElementInfo DescribeRestraint(const host::PipingModel& model, const host::Restraint& r) {
    ElementInfo info = AtNode(r.rodLength > 0 ? "Rod restraint" : "Restraint", r.node);
    info.lines.emplace_back("Direction", r.cosines.empty() ? DirectionName(r.direction) : "cosines (" + r.cosines + ")");
    info.lines.emplace_back("Type", r.stiff ? "spring" : "rigid");
    if (r.rodLength > 0)
        info.lines.emplace_back("Rod length", FormatLength(r.rodLength, model.units));
    info.hoverLines = info.lines.size();
    if (r.setOff)
        info.lines.emplace_back("Set off", "from the pipe surface");
    AddPipeAt(model, r.node, info);
    Finish(model, info, r.position);
    return info;
}

ElementInfo DescribeHanger(const host::PipingModel& model, const host::Hanger& h) {
    ElementInfo info = AtNode(h.can ? "Can support" : "Spring hanger", h.node);
    info.lines.emplace_back("Stands", h.can ? "below the pipe" : "above the pipe");
    AddPipeAt(model, h.node, info);
    Finish(model, info, h.position);
    return info;
}

ElementInfo DescribeNodeItem(const host::PipingModel& model, const host::NodeItem& item, const char* kind) {
    ElementInfo info = AtNode(kind, item.node);
    AddPipeAt(model, item.node, info);
    Finish(model, info, item.position);
    return info;
}

ElementInfo DescribeSteel(const host::PipingModel& model, const host::SteelMember& s, int number) {
    ElementInfo info;
    info.kind = "Steel member " + std::to_string(number);
    const host::Units u = model.units;
    info.lines.emplace_back("Section", SectionName(s.section));
    host::Vec3 d{s.to[0] - s.from[0], s.to[1] - s.from[1], s.to[2] - s.from[2]};
    info.lines.emplace_back("Length", FormatLength(Norm(d), u));
    info.hoverLines = info.lines.size();
    const int dims = s.section == host::SteelSection::Box ? 2 : 4;
    for (int i = 0; i < dims; ++i)
        info.lines.emplace_back("s" + std::to_string(i + 1), FormatLength(s.dims[static_cast<std::size_t>(i)], u));
    info.lines.emplace_back("Turn", FormatNumber(s.turn) + "\u00B0");
    auto place = [&](const host::Vec3& p) {
        return "(" + FormatNumber(p[0] + model.origin[0]) + ", " + FormatNumber(p[1] + model.origin[1]) + ", " +
               FormatNumber(p[2] + model.origin[2]) + ") " + UnitName(u);
    };
    info.lines.emplace_back("From position", place(s.from));
    info.lines.emplace_back("To position", place(s.to));
    info.lines.emplace_back("Model line", SourceLine(s.position));
    return info;
}

void AppendExtraLines(ElementInfo& info, const ExtraInfoLines& provider) {
    info.extra = provider ? provider(info.from, info.to) : InfoLines{};
}

std::string InfoTitle(const ElementInfo& info) {
    std::string title = info.kind;
    if (info.from > 0 && info.to > 0 && info.from != info.to)
        title += " " + std::to_string(info.from) + kDash + std::to_string(info.to);
    else if (info.from > 0)
        title += " at node " + std::to_string(info.from);
    return title;
}

std::string HoverText(const ElementInfo& info) {
    std::string text = InfoTitle(info);
    const std::size_t shown = std::min(info.hoverLines, info.lines.size());
    for (std::size_t i = 0; i < shown; ++i)
        text += kDot + info.lines[i].first + " " + info.lines[i].second;
    for (const InfoLine& line : info.extra)
        text += kDot + line.first + " " + line.second;
    return text;
}

std::string PanelText(const ElementInfo& info) {
    std::string text;
    for (const InfoLines* lines : {&info.lines, &info.extra})
        for (const InfoLine& line : *lines)
            text += line.first + ": " + line.second + "\n";
    return text;
}

} // namespace ketra::plotter
