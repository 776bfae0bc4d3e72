#include "results/ResultsFile.h"

#include "host/JsonObjectReader.h"

#include <cmath>
#include <fstream>
#include <set>
#include <sstream>

namespace ketra::results {

using host::Fail;
using host::JsonValue;
using host::ObjectReader;
using host::Quote;
using host::SourcePosition;

const char* CaseKindName(CaseKind kind) {
    switch (kind) {
    case CaseKind::Operating: return "operating";
    case CaseKind::Sustained: return "sustained";
    case CaseKind::Expansion: return "expansion";
    case CaseKind::Occasional: return "occasional";
    case CaseKind::Modal: return "modal";
    case CaseKind::Other: return "other";
    }
    return "other";
}

const LoadCase* Results::Find(const std::string& name) const {
    for (const LoadCase& c : cases)
        if (c.name == name)
            return &c;
    return nullptr;
}

std::string Results::CaseNames() const {
    std::string out;
    for (const LoadCase& c : cases)
        out += (out.empty() ? "" : ", ") + c.name;
    return out;
}

namespace {

// Millimetres in one unit of each accepted length name.
const std::map<std::string, double> kLengths = {
    {"mm", 1.0}, {"cm", 10.0}, {"m", 1000.0}, {"in", 25.4}, {"ft", 304.8}};
const std::set<std::string> kForces = {"N", "kN", "lbf", "kip"};
const std::set<std::string> kMoments = {"N.m", "N.mm", "kN.m", "in.lbf", "ft.lbf"};
const std::set<std::string> kStresses = {"MPa", "kPa", "Pa", "N/mm2", "psi", "ksi"};

std::string Names(const std::set<std::string>& names) {
    std::string out;
    for (const std::string& n : names)
        out += (out.empty() ? "" : ", ") + Quote(n);
    return out;
}

std::string UnitOf(const ObjectReader& units, const std::string& key, const std::set<std::string>& accepted) {
    std::string value = units.String(key, "");
    if (!value.empty() && !accepted.count(value))
        Fail(units.Optional(key)->position, Quote(key) + " must be one of " + Names(accepted) + ", not " + Quote(value));
    return value;
}

ResultUnits ReadUnits(const JsonValue* v, const host::PipingModel& model) {
    ResultUnits u;
    if (!v)
        return u;
    ObjectReader units(*v, "\"units\"", {"length", "rotation", "force", "moment", "stress"});
    std::set<std::string> lengths;
    for (const auto& [name, mm] : kLengths)
        lengths.insert(name);
    u.length = UnitOf(units, "length", lengths);
    u.rotation = UnitOf(units, "rotation", {"deg", "rad"});
    u.force = UnitOf(units, "force", kForces);
    u.moment = UnitOf(units, "moment", kMoments);
    u.stress = UnitOf(units, "stress", kStresses);
    if (!u.length.empty())
        u.lengthToModel = kLengths.at(u.length) / (model.units == host::Units::Inches ? 25.4 : 1.0);
    return u;
}

// The quantity's unit must be named before the first value that needs it.
void NeedUnit(const std::string& unit, const std::string& key, const SourcePosition& p) {
    if (unit.empty())
        Fail(p, "the file gives values that need \"units\": {\"" + key + "\": ...}");
}

class CaseReader {
public:
    CaseReader(const host::PipingModel& model, const ResultUnits& units) : m_model(model), m_units(units) {}

    LoadCase Read(const JsonValue& v) {
        ObjectReader r(v, "a load case",
                       {"name", "kind", "frequency", "displacements", "forces", "stresses", "supports"});
        LoadCase c;
        const JsonValue& name = r.Required("name");
        c.name = r.String("name", "");
        if (c.name.empty())
            Fail(name.position, "a load case's \"name\" must not be empty");
        c.kind = KindOf(r.Required("kind"));
        if (c.kind == CaseKind::Modal) {
            c.frequency = r.PositiveNumber("frequency", 0, true);
        } else if (const JsonValue* f = r.Optional("frequency")) {
            Fail(f->position, "\"frequency\" belongs to modal cases; " + Quote(c.name) + " is " + CaseKindName(c.kind));
        }
        host::ForEachItem(v, "displacements", [&](const JsonValue& item, std::size_t) { Displacement(c, item); });
        host::ForEachItem(v, "forces", [&](const JsonValue& item, std::size_t) { Forces(c, item); });
        host::ForEachItem(v, "stresses", [&](const JsonValue& item, std::size_t) { Stresses(c, item); });
        host::ForEachItem(v, "supports", [&](const JsonValue& item, std::size_t) { Support(c, item); });
        return c;
    }

private:
    static CaseKind KindOf(const JsonValue& v) {
        static const std::map<std::string, CaseKind> kinds = {
            {"operating", CaseKind::Operating}, {"sustained", CaseKind::Sustained},
            {"expansion", CaseKind::Expansion}, {"occasional", CaseKind::Occasional},
            {"modal", CaseKind::Modal},         {"other", CaseKind::Other}};
        auto it = v.type == JsonValue::Type::String ? kinds.find(v.string) : kinds.end();
        if (it == kinds.end())
            Fail(v.position, "\"kind\" must be \"operating\", \"sustained\", \"expansion\", \"occasional\", "
                             "\"modal\" or \"other\"");
        return it->second;
    }

    int Node(const ObjectReader& r) const {
        const JsonValue& v = r.Required("node");
        int node = ObjectReader::IntegerOf(v, "node");
        if (!m_model.nodes.count(node))
            Fail(v.position, "node " + std::to_string(node) + " is not in the model");
        return node;
    }

    ElementKey Element(const ObjectReader& r) const {
        const JsonValue& v = r.Required("element");
        if (v.type != JsonValue::Type::Array || v.items.size() != 2)
            Fail(v.position, "\"element\" must be [from, to]");
        ElementKey key{ObjectReader::IntegerOf(v.items[0], "element"), ObjectReader::IntegerOf(v.items[1], "element")};
        bool reversed = false;
        for (const host::Element* e : m_model.ElementsAt(key.from)) {
            if (e->from == key.from && e->to == key.to)
                return key;
            reversed = reversed || (e->from == key.to && e->to == key.from);
        }
        std::string pair = std::to_string(key.from) + "-" + std::to_string(key.to);
        if (reversed)
            Fail(v.position, "element " + pair + " is written the other way round: the model has " +
                                 std::to_string(key.to) + "-" + std::to_string(key.from));
        Fail(v.position, "element " + pair + " is not in the model");
    }

    Vec3 Scaled(const ObjectReader& r, const std::string& key, const std::string& unit, const std::string& unitKey,
                double factor) const {
        const JsonValue* v = r.Optional(key);
        if (!v)
            return {};
        NeedUnit(unit, unitKey, v->position);
        Vec3 out = ObjectReader::VectorOf(*v, key);
        for (double& x : out)
            x *= factor;
        return out;
    }

    void Displacement(LoadCase& c, const JsonValue& v) {
        ObjectReader r(v, "a displacement", {"node", "d", "r"});
        int node = Node(r);
        NodeMotion m;
        m.translation = Scaled(r, "d", m_units.length, "length", m_units.lengthToModel);
        m.rotation = Scaled(r, "r", m_units.rotation, "rotation", m_units.rotation == "deg" ? M_PI / 180.0 : 1.0);
        if (!c.displacements.emplace(node, m).second)
            Fail(v.position, "node " + std::to_string(node) + " is given twice in the displacements of " + Quote(c.name));
    }

    EndLoads Loads(const JsonValue& v, const std::string& what) const {
        ObjectReader r(v, what, {"f", "m"});
        return {Scaled(r, "f", m_units.force, "force", 1.0), Scaled(r, "m", m_units.moment, "moment", 1.0)};
    }

    void Forces(LoadCase& c, const JsonValue& v) {
        ObjectReader r(v, "an element's forces", {"element", "start", "end"});
        ElementKey key = Element(r);
        std::array<EndLoads, 2> ends{Loads(r.Required("start"), "\"start\""), Loads(r.Required("end"), "\"end\"")};
        if (!c.forces.emplace(key, ends).second)
            Fail(v.position, "element " + std::to_string(key.from) + "-" + std::to_string(key.to) +
                                 " is given twice in the forces of " + Quote(c.name));
    }

    EndStress Stress(const JsonValue& v, const std::string& what) const {
        ObjectReader r(v, what, {"stress", "allowable", "ratio"});
        EndStress s;
        NeedUnit(m_units.stress, "stress", r.Required("stress").position);
        s.stress = r.Number("stress", 0, true);
        if (r.Optional("allowable"))
            s.allowable = r.PositiveNumber("allowable", 0);
        if (const JsonValue* ratio = r.Optional("ratio")) {
            s.ratio = ObjectReader::NumberOf(*ratio, "ratio");
            if (*s.ratio < 0)
                Fail(ratio->position, "\"ratio\" must not be negative");
        } else if (s.allowable) {
            s.ratio = std::fabs(s.stress) / *s.allowable;
        }
        return s;
    }

    void Stresses(LoadCase& c, const JsonValue& v) {
        ObjectReader r(v, "an element's stresses", {"element", "start", "end"});
        ElementKey key = Element(r);
        std::array<EndStress, 2> ends{Stress(r.Required("start"), "\"start\""), Stress(r.Required("end"), "\"end\"")};
        if (!c.stresses.emplace(key, ends).second)
            Fail(v.position, "element " + std::to_string(key.from) + "-" + std::to_string(key.to) +
                                 " is given twice in the stresses of " + Quote(c.name));
    }

    void Support(LoadCase& c, const JsonValue& v) {
        ObjectReader r(v, "a support load", {"node", "f", "m"});
        int node = Node(r);
        EndLoads loads{Scaled(r, "f", m_units.force, "force", 1.0), Scaled(r, "m", m_units.moment, "moment", 1.0)};
        if (!c.supports.emplace(node, loads).second)
            Fail(v.position, "node " + std::to_string(node) + " is given twice in the support loads of " + Quote(c.name));
    }

    const host::PipingModel& m_model;
    const ResultUnits& m_units;
};

Results Read(const JsonValue& root, const host::PipingModel& model) {
    ObjectReader top(root, "the results", {"format", "program", "model", "units", "cases"});
    const JsonValue& format = top.Required("format");
    if (top.String("format", "") != "ketra-results/1")
        Fail(format.position, "unsupported format (this program reads \"ketra-results/1\")");
    Results out;
    out.program = top.String("program", "");
    out.model = top.String("model", "");
    out.units = ReadUnits(top.Optional("units"), model);
    const JsonValue& cases = top.Required("cases");
    if (cases.type != JsonValue::Type::Array || cases.items.empty())
        Fail(cases.position, "\"cases\" must be an array of at least one load case");
    CaseReader reader(model, out.units);
    for (const JsonValue& item : cases.items) {
        LoadCase c = reader.Read(item);
        if (out.Find(c.name))
            Fail(item.position, "the case " + Quote(c.name) + " is given twice");
        out.cases.push_back(std::move(c));
    }
    return out;
}

} // namespace

ResultsLoad ParseResults(const std::string& text, const std::string& name, const host::PipingModel& model) {
    ResultsLoad result;
    result.ok = host::ReadJsonFile(text, name, result.error,
                                   [&](const JsonValue& root) { result.results = Read(root, model); });
    return result;
}

ResultsLoad LoadResults(const std::string& path, const host::PipingModel& model) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ResultsLoad r;
        r.error = path + ": cannot open the results file";
        return r;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return ParseResults(text.str(), path, model);
}

CaseExtremes Extremes(const LoadCase& c) {
    CaseExtremes x;
    for (const auto& [key, ends] : c.stresses) {
        for (int i = 0; i < 2; ++i) {
            const int node = i == 0 ? key.from : key.to;
            if (ends[i].ratio && (!x.ratio || *ends[i].ratio > *x.ratio)) {
                x.ratio = ends[i].ratio;
                x.ratioElement = key;
                x.ratioNode = node;
            }
            const double s = std::fabs(ends[i].stress);
            if (!x.stress || s > *x.stress) {
                x.stress = s;
                x.stressElement = key;
                x.stressNode = node;
            }
        }
    }
    for (const auto& [node, motion] : c.displacements) {
        const Vec3& d = motion.translation;
        const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        if (!x.movement || length > *x.movement) {
            x.movement = length;
            x.movementNode = node;
        }
    }
    return x;
}

} // namespace ketra::results
