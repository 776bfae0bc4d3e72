#include "host/ModelWriter.h"

#include <cstdio>
#include <sstream>

namespace ketra::host {

namespace {

std::string Num(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v == 0 ? 0.0 : v);
    return buf;
}

std::string Vector(const Vec3& v) {
    return "[" + Num(v[0]) + ", " + Num(v[1]) + ", " + Num(v[2]) + "]";
}

std::string Quote(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x",
                          static_cast<unsigned>(static_cast<unsigned char>(c)));
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// Writes `items` as a JSON array with one entry a line.
template <class T, class F>
void List(std::ostringstream& out, const char* key, const std::vector<T>& items, F entry) {
    if (items.empty())
        return;
    out << ",\n  \"" << key << "\": [\n";
    for (std::size_t i = 0; i < items.size(); ++i)
        out << "    " << entry(items[i]) << (i + 1 < items.size() ? ",\n" : "\n");
    out << "  ]";
}

std::string Node(int node) {
    return "{ \"node\": " + std::to_string(node) + " }";
}

std::string MaterialJson(const Material& m) {
    std::string s = "{ \"E\": " + Num(m.youngs) + ", \"poisson\": " + Num(m.poisson);
    if (m.expansion)
        s += ", \"expansion\": " + Num(*m.expansion);
    if (!m.expansionTable.empty()) {
        s += ", \"expansion\": [";
        for (std::size_t i = 0; i < m.expansionTable.size(); ++i)
            s += (i ? ", [" : "[") + Num(m.expansionTable[i][0]) + ", " + Num(m.expansionTable[i][1]) + "]";
        s += "]";
    }
    s += ", \"expansionReference\": " + Num(m.expansionReference) + ", \"density\": " + Num(m.density);
    if (m.allowableCold > 0)
        s += ", \"allowableCold\": " + Num(m.allowableCold);
    if (m.allowableHot > 0)
        s += ", \"allowableHot\": " + Num(m.allowableHot);
    return s + ", \"rangeFactor\": " + Num(m.rangeFactor) + " }";
}

// An element's analysis data. What carries forward is written whenever it is set, so that the
// file reads back the same whatever the order of its elements.
std::string AnalysisJson(const Element& e, const std::vector<Material>& materials, int previousMaterial) {
    std::string s;
    if (e.material >= 0 && e.material != previousMaterial)
        s += ", \"material\": " + MaterialJson(materials[static_cast<std::size_t>(e.material)]);
    auto number = [&](const char* key, double v) {
        if (v != 0)
            s += std::string(", \"") + key + "\": " + Num(v);
    };
    number("corrosion", e.corrosion);
    number("millTolerance", e.millTolerance);
    auto list = [&](const char* key, const std::vector<double>& values) {
        s += std::string(", \"") + key + "\": [";
        for (std::size_t i = 0; i < values.size(); ++i)
            s += (i ? ", " : "") + Num(values[i]);
        s += "]";
    };
    if (!e.temperatures.empty())
        list("temperature", e.temperatures);
    else if (e.temperature)
        s += ", \"temperature\": " + Num(*e.temperature);
    if (!e.pressures.empty())
        list("pressure", e.pressures);
    else
        number("pressure", e.pressure);
    number("contents", e.contents);
    if (e.insulation.thickness != 0 || e.insulation.density != 0)
        s += ", \"insulation\": { \"thickness\": " + Num(e.insulation.thickness) + ", \"density\": " +
             Num(e.insulation.density) + " }";
    if (e.weight)
        s += ", \"weight\": " + Num(*e.weight);
    if (e.jointStiffness) {
        const JointStiffness& k = *e.jointStiffness;
        s += ", \"jointStiffness\": { \"axial\": " + Num(k.axial) + ", \"bending\": " + Num(k.bending);
        if (k.lateral > 0)
            s += ", \"lateral\": " + Num(k.lateral);
        if (k.torsion > 0)
            s += ", \"torsion\": " + Num(k.torsion);
        s += " }";
    }
    return s;
}

} // namespace

std::string WriteModelJson(const PipingModel& m) {
    std::ostringstream out;
    out << "{\n  \"format\": \"ketra-model/1\"";
    if (!m.title.empty())
        out << ",\n  \"title\": " << Quote(m.title);
    out << ",\n  \"units\": \"" << (m.units == Units::Inches ? "in" : "mm") << "\"";
    out << ",\n  \"up\": \"" << (m.up == UpAxis::Z ? "z" : "y") << "\"";
    if (m.symbolScale != 1.0)
        out << ",\n  \"symbolScale\": " << Num(m.symbolScale);
    if (m.origin != Vec3{0, 0, 0})
        out << ",\n  \"origin\": " << Vector(m.origin);
    if (m.installedTemperature)
        out << ",\n  \"installedTemperature\": " << Num(*m.installedTemperature);
    if (!m.nodes.empty()) {
        out << ",\n  \"nodes\": [\n";
        std::size_t i = 0;
        for (const auto& [id, at] : m.nodes)
            out << "    { \"id\": " << id << ", \"at\": " << Vector(at) << " }"
                << (++i < m.nodes.size() ? ",\n" : "\n");
        out << "  ]";
    }
    // Wall thickness carries forward when omitted, so it is written for every element once
    // any element has one.
    bool walls = false;
    for (const Element& e : m.elements)
        walls = walls || e.wall != 0;
    int previousMaterial = -1;
    List(out, "elements", m.elements, [&](const Element& e) {
        std::string s = "{ \"from\": " + std::to_string(e.from) +
                        ", \"to\": " + std::to_string(e.to) + ", \"delta\": " + Vector(e.delta) +
                        ", \"od\": " + Num(e.od);
        if (walls)
            s += ", \"wall\": " + Num(e.wall);
        if (e.bendRadius)
            s += ", \"bend\": { \"radius\": " + Num(*e.bendRadius) + " }";
        if (e.reducerOd)
            s += ", \"reducer\": { \"od\": " + Num(*e.reducerOd) + " }";
        if (e.rigid)
            s += ", \"rigid\": true";
        if (e.expansionJoint) {
            const ExpansionJoint& j = *e.expansionJoint;
            if (j.convolutions == 0)
                s += ", \"expansionJoint\": true";
            else
                s += ", \"expansionJoint\": { \"convolutions\": " + std::to_string(j.convolutions) +
                     ", \"rootRadius\": " + Num(j.rootRadius) +
                     ", \"crestRadius\": " + Num(j.crestRadius) +
                     ", \"knuckleRadius\": " + Num(j.knuckleRadius) +
                     ", \"firstOffset\": " + Num(j.firstOffset) +
                     ", \"rootPitch\": " + Num(j.rootPitch) +
                     ", \"crestWidth\": " + Num(j.crestWidth) + " }";
        }
        s += AnalysisJson(e, m.materials, previousMaterial);
        previousMaterial = e.material;
        return s + " }";
    });
    List(out, "restraints", m.restraints, [](const Restraint& r) {
        std::string s = "{ \"node\": " + std::to_string(r.node);
        if (r.direction)
            s += ", \"direction\": " + std::to_string(r.direction);
        if (!r.cosines.empty())
            s += ", \"cosines\": [" + r.cosines + "]";
        if (r.stiff)
            s += ", \"stiff\": true";
        if (r.setOff)
            s += ", \"setOff\": true";
        if (r.rodLength > 0)
            s += ", \"rodLength\": " + Num(r.rodLength);
        if (r.rate)
            s += ", \"rate\": " + Num(*r.rate);
        if (r.oneWay)
            s += ", \"oneWay\": true";
        return s + " }";
    });
    List(out, "hangers", m.hangers, [](const Hanger& h) {
        std::string s = "{ \"node\": " + std::to_string(h.node) + ", \"kind\": \"" + (h.can ? "can" : "spring") + "\"";
        if (h.rate)
            s += ", \"rate\": " + Num(*h.rate);
        if (h.coldLoad)
            s += ", \"coldLoad\": " + Num(*h.coldLoad);
        return s + " }";
    });
    List(out, "masses", m.masses, [](const PointMass& p) {
        return "{ \"node\": " + std::to_string(p.node) + ", \"mass\": " + Num(p.mass) + " }";
    });
    List(out, "forces", m.forces, [](const NodalForce& f) {
        return "{ \"node\": " + std::to_string(f.node) + ", \"f\": " + Vector(f.force) + ", \"m\": " + Vector(f.moment) + " }";
    });
    List(out, "anchors", m.anchors, [](const NodeItem& n) { return Node(n.node); });
    List(out, "nozzles", m.nozzles, [](const NodeItem& n) { return Node(n.node); });
    List(out, "flanges", m.flanges, [](const NodeItem& n) { return Node(n.node); });
    List(out, "tees", m.tees, [](const NodeItem& n) { return Node(n.node); });
    static const char* kSections[] = {"channel", "wide-flange", "angle", "tee", "box"};
    List(out, "steel", m.steel, [](const SteelMember& s) {
        std::string dims = "[" + Num(s.dims[0]) + ", " + Num(s.dims[1]);
        if (s.section != SteelSection::Box)
            dims += ", " + Num(s.dims[2]) + ", " + Num(s.dims[3]);
        return "{ \"section\": \"" + std::string(kSections[static_cast<int>(s.section)]) +
               "\", \"from\": " + Vector(s.from) + ", \"to\": " + Vector(s.to) +
               ", \"dims\": " + dims + "], \"turn\": " + Num(s.turn) + " }";
    });
    out << "\n}\n";
    return out.str();
}

} // namespace ketra::host
