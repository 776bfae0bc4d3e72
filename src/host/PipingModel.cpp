#include "host/PipingModel.h"

#include "host/JsonObjectReader.h"
#include "host/SymbolScale.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>

namespace ketra::host {

void PipingModel::Reindex() const {
    if (m_indexed == elements.size() && m_indexedData == elements.data())
        return;
    m_atNode.clear();
    m_firstFrom.clear();
    for (std::size_t i = 0; i < elements.size(); ++i) {
        m_atNode[elements[i].from].push_back(i);
        m_atNode[elements[i].to].push_back(i);
        m_firstFrom.emplace(elements[i].from, i);
    }
    m_indexed = elements.size();
    m_indexedData = elements.data();
}

std::vector<const Element*> PipingModel::ElementsAt(int node) const {
    Reindex();
    std::vector<const Element*> out;
    auto it = m_atNode.find(node);
    if (it != m_atNode.end())
        for (std::size_t i : it->second)
            out.push_back(&elements[i]);
    return out;
}

const Element* PipingModel::FirstFrom(int node) const {
    Reindex();
    auto it = m_firstFrom.find(node);
    return it == m_firstFrom.end() ? nullptr : &elements[it->second];
}

namespace {

int DirectionOf(const JsonValue& v) {
    // 1..6, or an axis name: X Y Z are 1 2 3, -X -Y -Z are 4 5 6.
    if (v.type == JsonValue::Type::Number) {
        int d = ObjectReader::IntegerOf(v, "direction");
        if (d < 1 || d > 6)
            Fail(v.position, "\"direction\" must be 1 to 6 or an axis name, not " + std::to_string(d));
        return d;
    }
    if (v.type == JsonValue::Type::String) {
        static const std::map<std::string, int> names = {
            {"X", 1}, {"+X", 1}, {"Y", 2}, {"+Y", 2}, {"Z", 3}, {"+Z", 3},
            {"-X", 4}, {"-Y", 5}, {"-Z", 6}};
        std::string s = v.string;
        for (char& c : s)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        auto it = names.find(s);
        if (it == names.end())
            Fail(v.position, "\"direction\" must be one of X, Y, Z, -X, -Y, -Z, not " + Quote(v.string));
        return it->second;
    }
    Fail(v.position, "\"direction\" must be a number or an axis name");
}

// A support or component stands on a node of an element: the element gives its axis.
void CheckNode(const PipingModel& m, int node, const SourcePosition& p, const std::string& what) {
    if (!m.nodes.count(node))
        Fail(p, what + " stands on node " + std::to_string(node) + ", which no element or \"nodes\" entry defines");
    if (m.ElementsAt(node).empty())
        Fail(p, what + " at node " + std::to_string(node) + " needs an element there");
}

double NonNegative(const ObjectReader& r, const std::string& key, double fallback) {
    double d = r.Number(key, fallback);
    if (d < 0)
        Fail(r.Optional(key)->position, Quote(key) + " must not be negative, not " + ObjectReader::Format(d));
    return d;
}

Material ReadMaterial(const JsonValue& v, double defaultReference) {
    ObjectReader r(v, "a material", {"E", "poisson", "expansion", "expansionReference", "density",
                                     "allowableCold", "allowableHot", "rangeFactor"});
    Material m;
    m.position = v.position;
    m.youngs = r.PositiveNumber("E", 0, true);
    m.poisson = r.Number("poisson", 0.3);
    if (m.poisson < 0 || m.poisson >= 0.5)
        Fail(r.Optional("poisson")->position, "\"poisson\" must lie from 0 to below 0.5, not " + ObjectReader::Format(m.poisson));
    if (const JsonValue* e = r.Optional("expansion")) {
        if (e->type == JsonValue::Type::Number) {
            m.expansion = ObjectReader::NumberOf(*e, "expansion");
        } else if (e->type == JsonValue::Type::Array && !e->items.empty()) {
            for (const JsonValue& row : e->items) {
                if (row.type != JsonValue::Type::Array || row.items.size() != 2)
                    Fail(row.position, "each row of \"expansion\" must be [temperature, mean coefficient]");
                std::array<double, 2> pair{ObjectReader::NumberOf(row.items[0], "expansion"),
                                           ObjectReader::NumberOf(row.items[1], "expansion")};
                if (!m.expansionTable.empty() && !(pair[0] > m.expansionTable.back()[0]))
                    Fail(row.position, "the temperatures of \"expansion\" must rise from row to row");
                m.expansionTable.push_back(pair);
            }
        } else {
            Fail(e->position, "\"expansion\" must be a number or an array of [temperature, mean coefficient] rows");
        }
    }
    m.expansionReference = r.Number("expansionReference", defaultReference);
    m.density = NonNegative(r, "density", 0);
    m.allowableCold = r.PositiveNumber("allowableCold", 0);
    m.allowableHot = r.PositiveNumber("allowableHot", 0);
    m.rangeFactor = r.PositiveNumber("rangeFactor", 1);
    if (m.rangeFactor > 1.2)
        Fail(r.Optional("rangeFactor")->position, "\"rangeFactor\" must not exceed 1.2");
    return m;
}

PipingModel Read(const JsonValue& root) {
    PipingModel m;
    ObjectReader top(root, "the model",
                     {"format", "title", "units", "up", "symbolScale", "origin", "nodes", "elements",
                      "restraints", "hangers", "anchors", "nozzles", "flanges", "tees", "steel",
                      "material", "installedTemperature", "masses", "forces"});
    std::string format = top.String("format", "ketra-model/1");
    if (format != "ketra-model/1")
        Fail(top.Optional("format")->position, "unsupported format " + Quote(format) + " (this program reads \"ketra-model/1\")");
    m.title = top.String("title", "");
    std::string units = top.String("units", "in");
    if (units == "in")
        m.units = Units::Inches;
    else if (units == "mm")
        m.units = Units::Millimetres;
    else
        Fail(top.Optional("units")->position, "\"units\" must be \"in\" or \"mm\", not " + Quote(units));
    std::string up = top.String("up", "z");
    if (up == "z" || up == "Z")
        m.up = UpAxis::Z;
    else if (up == "y" || up == "Y")
        m.up = UpAxis::Y;
    else
        Fail(top.Optional("up")->position, "\"up\" must be \"z\" or \"y\", not " + Quote(up));
    m.symbolScale = top.PositiveNumber("symbolScale", 1.0);
    if (top.Optional("origin"))
        m.origin = top.Vector("origin");
    m.symbolScaleChosen = top.Optional("symbolScale") == nullptr;
    // Analysis data: temperatures in degrees F or C by the unit system.
    const double absoluteZero = m.units == Units::Inches ? -459.67 : -273.15;
    const double roomTemperature = m.units == Units::Inches ? 70 : 21;
    auto temperatureOf = [&](const ObjectReader& r, const std::string& key) {
        double t = r.Number(key, 0);
        if (!(t > absoluteZero))
            Fail(r.Optional(key)->position, Quote(key) + " lies below absolute zero");
        return t;
    };
    if (top.Optional("installedTemperature"))
        m.installedTemperature = temperatureOf(top, "installedTemperature");
    if (const JsonValue* mat = top.Optional("material"))
        m.materials.push_back(ReadMaterial(*mat, roomTemperature));

    // Nodes given by coordinates.
    std::map<int, SourcePosition> nodeDefined;
    ForEachItem(root, "nodes", [&](const JsonValue& v, std::size_t) {
        ObjectReader r(v, "a node", {"id", "at"});
        int id = r.Integer("id", 0, true);
        if (m.nodes.count(id))
            Fail(v.position, "node " + std::to_string(id) + " is given twice");
        m.nodes[id] = r.Vector("at");
        if (!UsableCoordinates(m.nodes[id]))
            Fail(r.Required("at").position, "node " + std::to_string(id) + " lies at " + FormatPoint(m.nodes[id]) +
                                                ", beyond the 1e9 that coordinates may reach");
        nodeDefined[id] = v.position;
    });

    // Elements: each "to" node is its "from" node plus the delta, as piping input is written.
    // Diameter and wall carry forward from the previous element when omitted.
    double lastOd = 0, lastWall = 0;
    Element carried; // the analysis data carried forward from element to element
    std::size_t conditionCount = 1; // operating conditions, from the first list of two or more
    carried.material = m.materials.empty() ? -1 : 0;
    std::set<std::pair<int, int>> pairs;
    ForEachItem(root, "elements", [&](const JsonValue& v, std::size_t index) {
        ObjectReader r(v, "an element", {"from", "to", "delta", "od", "wall", "bend", "reducer",
                                         "rigid", "expansionJoint", "material", "corrosion",
                                         "millTolerance", "temperature", "pressure", "contents",
                                         "insulation", "weight", "jointStiffness"});
        Element e;
        e.material = carried.material;
        e.corrosion = carried.corrosion;
        e.millTolerance = carried.millTolerance;
        e.temperature = carried.temperature;
        e.pressure = carried.pressure;
        e.temperatures = carried.temperatures;
        e.pressures = carried.pressures;
        e.contents = carried.contents;
        e.insulation = carried.insulation;
        e.position = v.position;
        e.from = r.Integer("from", 0, true);
        e.to = r.Integer("to", 0, true);
        if (e.from == e.to)
            Fail(r.Required("to").position, "element runs from node " + std::to_string(e.from) + " to itself");
        if (!pairs.insert({std::min(e.from, e.to), std::max(e.from, e.to)}).second)
            Fail(v.position, "element " + std::to_string(e.from) + "-" + std::to_string(e.to) + " is given twice");
        e.delta = r.Vector("delta");
        double len = std::sqrt(e.delta[0] * e.delta[0] + e.delta[1] * e.delta[1] + e.delta[2] * e.delta[2]);
        if (!(len > 1e-9))
            Fail(r.Required("delta").position, "element " + std::to_string(e.from) + "-" + std::to_string(e.to) + " has zero length");
        e.od = r.PositiveNumber("od", lastOd);
        if (!(e.od > 0))
            Fail(v.position, "the first element needs an outer diameter \"od\"");
        e.wall = r.Number("wall", lastWall);
        if (e.wall < 0 || e.wall * 2 > e.od)
            Fail(r.Optional("wall") ? r.Optional("wall")->position : v.position,
                 "\"wall\" must lie between 0 and half the outer diameter");
        lastOd = e.od;
        lastWall = e.wall;
        if (const JsonValue* b = r.Optional("bend")) {
            ObjectReader br(*b, "a bend", {"radius"});
            e.bendRadius = br.PositiveNumber("radius", 0, true);
        }
        if (const JsonValue* red = r.Optional("reducer")) {
            ObjectReader rr(*red, "a reducer", {"od"});
            e.reducerOd = rr.PositiveNumber("od", 0, true);
            lastOd = *e.reducerOd;
        }
        e.rigid = r.Boolean("rigid", false);
        if (const JsonValue* ej = r.Optional("expansionJoint")) {
            ExpansionJoint j;
            if (ej->type == JsonValue::Type::Boolean) {
                if (ej->boolean)
                    e.expansionJoint = j;
            } else {
                ObjectReader jr(*ej, "an expansion joint",
                                {"convolutions", "rootRadius", "crestRadius", "knuckleRadius",
                                 "firstOffset", "rootPitch", "crestWidth"});
                j.convolutions = jr.Integer("convolutions", 0, true);
                if (j.convolutions < 1 || j.convolutions > 1000)
                    Fail(jr.Required("convolutions").position, "\"convolutions\" must be 1 to 1000");
                j.rootRadius = jr.PositiveNumber("rootRadius", 0, true);
                j.crestRadius = jr.PositiveNumber("crestRadius", 0, true);
                j.knuckleRadius = jr.PositiveNumber("knuckleRadius", 0, true);
                j.firstOffset = jr.Number("firstOffset", 0);
                j.rootPitch = jr.PositiveNumber("rootPitch", 0, true);
                j.crestWidth = jr.PositiveNumber("crestWidth", 0, true);
                if (j.crestRadius <= j.rootRadius)
                    Fail(jr.Required("crestRadius").position, "\"crestRadius\" must exceed \"rootRadius\"");
                e.expansionJoint = j;
            }
        }
        if (e.rigid && e.expansionJoint)
            Fail(v.position, "an element cannot be both rigid and an expansion joint");
        if (const JsonValue* mat = r.Optional("material")) {
            m.materials.push_back(ReadMaterial(*mat, roomTemperature));
            e.material = static_cast<int>(m.materials.size()) - 1;
        }
        e.corrosion = NonNegative(r, "corrosion", e.corrosion);
        if (e.corrosion > 0 && e.wall > 0 && e.corrosion >= e.wall)
            Fail(r.Optional("corrosion") ? r.Optional("corrosion")->position : v.position,
                 "\"corrosion\" must be less than the wall");
        e.millTolerance = NonNegative(r, "millTolerance", e.millTolerance);
        if (e.millTolerance >= 100)
            Fail(r.Optional("millTolerance")->position, "\"millTolerance\" is a percentage of the wall, below 100");
        // "temperature" and "pressure": one value, or a list with one per operating condition.
        auto conditions = [&](const std::string& key, std::vector<double>* list, auto&& check) {
            const JsonValue* given = r.Optional(key);
            if (!given)
                return;
            list->clear();
            if (given->type != JsonValue::Type::Array) {
                list->push_back(check(*given));
                return;
            }
            if (given->items.empty())
                Fail(given->position, Quote(key) + " needs at least one value");
            for (const JsonValue& item : given->items)
                list->push_back(check(item));
            if (list->size() > 1 && conditionCount > 1 && list->size() != conditionCount)
                Fail(given->position, Quote(key) + " gives " + std::to_string(list->size()) +
                                          " operating conditions where an earlier element gives " +
                                          std::to_string(conditionCount));
            if (list->size() > 1)
                conditionCount = list->size();
        };
        std::vector<double> values = e.temperatures;
        conditions("temperature", &values, [&](const JsonValue& item) {
            const double t = ObjectReader::NumberOf(item, "temperature");
            if (!(t > absoluteZero))
                Fail(item.position, "\"temperature\" lies below absolute zero");
            return t;
        });
        if (r.Optional("temperature")) {
            e.temperature = values.front();
            e.temperatures = values.size() > 1 ? values : std::vector<double>{};
        }
        values = e.pressures;
        conditions("pressure", &values, [&](const JsonValue& item) {
            const double p = ObjectReader::NumberOf(item, "pressure");
            if (p < 0)
                Fail(item.position, "\"pressure\" must not be negative, not " + ObjectReader::Format(p));
            return p;
        });
        if (r.Optional("pressure")) {
            e.pressure = values.front();
            e.pressures = values.size() > 1 ? values : std::vector<double>{};
        }
        e.contents = NonNegative(r, "contents", e.contents);
        if (const JsonValue* ins = r.Optional("insulation")) {
            ObjectReader ir(*ins, "insulation", {"thickness", "density"});
            e.insulation.thickness = NonNegative(ir, "thickness", 0);
            e.insulation.density = NonNegative(ir, "density", 0);
        }
        if (const JsonValue* w = r.Optional("weight")) {
            if (!e.rigid)
                Fail(w->position, "\"weight\" is for rigid elements");
            e.weight = NonNegative(r, "weight", 0);
        }
        if (const JsonValue* js = r.Optional("jointStiffness")) {
            if (!e.expansionJoint)
                Fail(js->position, "\"jointStiffness\" is for expansion joints");
            ObjectReader jr(*js, "joint stiffness", {"axial", "lateral", "bending", "torsion"});
            JointStiffness k;
            k.axial = jr.PositiveNumber("axial", 0, true);
            k.bending = jr.PositiveNumber("bending", 0, true);
            k.lateral = jr.PositiveNumber("lateral", 0);
            k.torsion = jr.PositiveNumber("torsion", 0);
            e.jointStiffness = k;
        }
        carried = e;

        auto from = m.nodes.find(e.from);
        if (from == m.nodes.end()) {
            if (index != 0 && !m.elements.empty())
                Fail(r.Required("from").position,
                     "node " + std::to_string(e.from) + " has no coordinates yet: give it in \"nodes\" or start from a known node");
            from = m.nodes.emplace(e.from, Vec3{0, 0, 0}).first;
        }
        Vec3 end{from->second[0] + e.delta[0], from->second[1] + e.delta[1], from->second[2] + e.delta[2]};
        if (!UsableCoordinates(end))
            Fail(r.Required("delta").position, "element " + std::to_string(e.from) + "-" + std::to_string(e.to) +
                                                   " puts node " + std::to_string(e.to) + " at " + FormatPoint(end) +
                                                   ", beyond the 1e9 that coordinates may reach");
        auto to = m.nodes.find(e.to);
        if (to == m.nodes.end()) {
            m.nodes[e.to] = end;
        } else {
            // A closed loop or a node given by coordinates: the delta must agree.
            double d = 0;
            for (int i = 0; i < 3; ++i)
                d = std::max(d, std::fabs(to->second[i] - end[i]));
            double tol = 1e-4 * std::max(1.0, len);
            if (d > tol)
                Fail(r.Required("delta").position,
                     "node " + std::to_string(e.to) + " already lies elsewhere; this delta puts it " +
                         ObjectReader::Format(d) + " away");
        }
        m.elements.push_back(e);
    });

    // A bend sits at the corner where its element meets the next one.
    for (const Element& e : m.elements) {
        if (!e.bendRadius)
            continue;
        if (!m.FirstFrom(e.to))
            Fail(e.position, "the bend at node " + std::to_string(e.to) + " needs an element that starts there");
    }

    ForEachItem(root, "restraints", [&](const JsonValue& v, std::size_t) {
        ObjectReader r(v, "a restraint", {"node", "direction", "cosines", "stiff", "setOff", "rodLength",
                                          "rate", "oneWay"});
        Restraint s;
        s.position = v.position;
        s.node = r.Integer("node", 0, true);
        CheckNode(m, s.node, v.position, "a restraint");
        if (const JsonValue* d = r.Optional("direction"))
            s.direction = DirectionOf(*d);
        if (const JsonValue* c = r.Optional("cosines")) {
            Vec3 cs = ObjectReader::VectorOf(*c, "cosines");
            double n = std::sqrt(cs[0] * cs[0] + cs[1] * cs[1] + cs[2] * cs[2]);
            if (!(n > 1e-6))
                Fail(c->position, "\"cosines\" must not all be zero");
            std::ostringstream text;
            text << cs[0] / n << ", " << cs[1] / n << ", " << cs[2] / n;
            s.cosines = text.str();
        }
        if (s.direction == 0 && s.cosines.empty())
            Fail(v.position, "a restraint needs \"direction\" or \"cosines\"");
        s.stiff = r.Boolean("stiff", false);
        s.setOff = r.Boolean("setOff", false);
        s.rodLength = r.Number("rodLength", 0);
        if (s.rodLength < 0)
            Fail(r.Optional("rodLength")->position, "\"rodLength\" must not be negative");
        if (r.Optional("rate")) {
            s.rate = r.PositiveNumber("rate", 0);
            s.stiff = true;
        }
        s.oneWay = r.Boolean("oneWay", false);
        m.restraints.push_back(s);
    });
    ForEachItem(root, "hangers", [&](const JsonValue& v, std::size_t) {
        ObjectReader r(v, "a hanger", {"node", "kind", "rate", "coldLoad"});
        Hanger h;
        h.position = v.position;
        h.node = r.Integer("node", 0, true);
        CheckNode(m, h.node, v.position, "a hanger");
        std::string kind = r.String("kind", "spring");
        if (kind != "spring" && kind != "can")
            Fail(r.Optional("kind")->position, "\"kind\" must be \"spring\" or \"can\", not " + Quote(kind));
        h.can = kind == "can";
        if (r.Optional("rate"))
            h.rate = r.PositiveNumber("rate", 0);
        if (r.Optional("coldLoad"))
            h.coldLoad = NonNegative(r, "coldLoad", 0);
        m.hangers.push_back(h);
    });
    auto readNodeList = [&](const char* key, const char* what, std::vector<NodeItem>& out) {
        ForEachItem(root, key, [&](const JsonValue& v, std::size_t) {
            ObjectReader r(v, what, {"node"});
            NodeItem n;
            n.position = v.position;
            n.node = r.Integer("node", 0, true);
            CheckNode(m, n.node, v.position, what);
            out.push_back(n);
        });
    };
    readNodeList("anchors", "an anchor", m.anchors);
    readNodeList("nozzles", "a nozzle", m.nozzles);
    readNodeList("flanges", "a flange", m.flanges);
    readNodeList("tees", "a tee", m.tees);
    ForEachItem(root, "masses", [&](const JsonValue& v, std::size_t) {
        ObjectReader r(v, "a point mass", {"node", "mass"});
        PointMass p;
        p.position = v.position;
        p.node = r.Integer("node", 0, true);
        CheckNode(m, p.node, v.position, "a point mass");
        p.mass = r.PositiveNumber("mass", 0, true);
        m.masses.push_back(p);
    });
    ForEachItem(root, "forces", [&](const JsonValue& v, std::size_t) {
        ObjectReader r(v, "a force", {"node", "f", "m"});
        NodalForce f;
        f.position = v.position;
        f.node = r.Integer("node", 0, true);
        CheckNode(m, f.node, v.position, "a force");
        if (!r.Optional("f") && !r.Optional("m"))
            Fail(v.position, "a force needs \"f\" or \"m\"");
        if (r.Optional("f"))
            f.force = r.Vector("f");
        if (r.Optional("m"))
            f.moment = r.Vector("m");
        m.forces.push_back(f);
    });
    for (const NodeItem& t : m.tees)
        if (m.ElementsAt(t.node).size() != 3)
            Fail(t.position, "a tee at node " + std::to_string(t.node) + " needs exactly three elements meeting there");

    ForEachItem(root, "steel", [&](const JsonValue& v, std::size_t) {
        ObjectReader r(v, "a steel member", {"section", "from", "to", "dims", "turn"});
        SteelMember s;
        s.position = v.position;
        std::string section = r.String("section", "");
        static const std::map<std::string, SteelSection> sections = {
            {"channel", SteelSection::Channel}, {"wide-flange", SteelSection::WideFlange},
            {"angle", SteelSection::Angle}, {"tee", SteelSection::Tee}, {"box", SteelSection::Box}};
        auto it = sections.find(section);
        if (it == sections.end())
            Fail(r.Optional("section") ? r.Optional("section")->position : v.position,
                 "\"section\" must be channel, wide-flange, angle, tee or box");
        s.section = it->second;
        s.from = r.Vector("from");
        s.to = r.Vector("to");
        double len = 0;
        for (int i = 0; i < 3; ++i)
            len += (s.to[i] - s.from[i]) * (s.to[i] - s.from[i]);
        if (!(len > 1e-12))
            Fail(v.position, "a steel member has zero length");
        const JsonValue& dims = r.Required("dims");
        std::size_t need = s.section == SteelSection::Box ? 2 : 4;
        if (dims.type != JsonValue::Type::Array || dims.items.size() != need)
            Fail(dims.position, "\"dims\" of a " + section + " must be " + std::to_string(need) + " numbers");
        for (std::size_t i = 0; i < need; ++i) {
            s.dims[i] = ObjectReader::NumberOf(dims.items[i], "dims");
            if (!(s.dims[i] > 0))
                Fail(dims.items[i].position, "\"dims\" must be greater than zero");
        }
        s.turn = r.Number("turn", 0);
        m.steel.push_back(s);
    });
    if (m.elements.empty() && m.steel.empty())
        Fail(root.position, "the model has no elements and no steel");
    if (m.symbolScaleChosen)
        m.symbolScale = ChooseSymbolScale(m);
    return m;
}

} // namespace

bool UsableCoordinates(const Vec3& p) {
    for (double c : p)
        if (!std::isfinite(c) || std::fabs(c) > kMaxCoordinate)
            return false;
    return true;
}

std::string FormatPoint(const Vec3& p) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, "(%g, %g, %g)", p[0], p[1], p[2]);
    return buffer;
}

LoadResult ParsePipingModel(const std::string& text, const std::string& name) {
    LoadResult result;
    result.ok = ReadJsonFile(text, name, result.error, [&](const JsonValue& root) { result.model = Read(root); });
    return result;
}

LoadResult LoadPipingModel(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        LoadResult r;
        r.error = path + ": cannot open the model file";
        return r;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return ParsePipingModel(text.str(), path);
}

} // namespace ketra::host
