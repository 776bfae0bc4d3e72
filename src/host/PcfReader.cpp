#include "host/PcfReader.h"

#include "host/PcfModelBuilder.h"
#include "host/PcfText.h"
#include "host/SymbolScale.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

namespace ketra::host {

namespace {

// Keywords read or deliberately ignored; any other keyword is counted as unknown.
const std::set<std::string, std::less<>> kKnownKeywords = {"ISOGEN-FILES",
                                                           "UNITS-BORE",
                                                           "UNITS-CO-ORDS",
                                                           "UNITS-WEIGHT",
                                                           "UNITS-BOLT-DIA",
                                                           "UNITS-BOLT-LENGTH",
                                                           "UNITS-WEIGHT-LENGTH",
                                                           "PIPELINE-REFERENCE",
                                                           "PROJECT-IDENTIFIER",
                                                           "AREA",
                                                           "DATE-DMY",
                                                           "REVISION",
                                                           "PIPING-SPEC",
                                                           "PIPELINE-TYPE",
                                                           "INSULATION-SPEC",
                                                           "TRACING-SPEC",
                                                           "PAINTING-SPEC",
                                                           "SPOOL-IDENTIFIER",
                                                           "SPOOL-PREFIX",
                                                           "START-CO-ORDS",
                                                           "END-CO-ORDS",
                                                           "CONTINUATION",
                                                           "MATERIALS",
                                                           "MATERIAL-IDENTIFIER",
                                                           "ITEM-CODE",
                                                           "ITEM-DESCRIPTION",
                                                           "DESCRIPTION",
                                                           "COMPONENT-IDENTIFIER",
                                                           "FABRICATION-ITEM",
                                                           "ERECTION-ITEM",
                                                           "WEIGHT",
                                                           "TEXT",
                                                           "UNDIMENSIONED",
                                                           "CONNECTION-REFERENCE",
                                                           "CROSS-REFERENCE",
                                                           "SPINDLE-DIRECTION",
                                                           "FLAT-DIRECTION",
                                                           "END-POINT",
                                                           "CENTRE-POINT",
                                                           "CENTER-POINT",
                                                           "BRANCH1-POINT",
                                                           "BRANCH2-POINT",
                                                           "BRANCH3-POINT",
                                                           "CO-ORDS",
                                                           "SKEY",
                                                           "ANGLE",
                                                           "BEND-RADIUS",
                                                           "SUPPORT-DIRECTION",
                                                           "TAP-CONNECTION",
                                                           "TEXT-STRING"};

bool HasNumberSuffix(std::string_view s, std::string_view prefix) {
    if (s.size() <= prefix.size() || s.substr(0, prefix.size()) != prefix)
        return false;
    return std::all_of(s.begin() + prefix.size(), s.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

bool IsKnownKeyword(const std::string& k) {
    return kKnownKeywords.count(k) || HasNumberSuffix(k, "ATTRIBUTE") ||
           HasNumberSuffix(k, "COMPONENT-ATTRIBUTE");
}

bool IsGeometryKeyword(const std::string& k) {
    return k == "END-POINT" || k == "CENTRE-POINT" || k == "CENTER-POINT" || k == "CO-ORDS" ||
           k == "BRANCH1-POINT" || k == "BRANCH2-POINT" || k == "BRANCH3-POINT";
}

// The spellings of length units that exporters write, each with the unit it names (the name
// reports use) and its length in millimetres. Bores are never in metres; co-ordinates never in
// sixteenths of an inch.
struct UnitSpelling {
    std::string_view spelling, unit;
    double millimetres;
    bool bore, coords;
};
constexpr UnitSpelling kUnitSpellings[] = {
    {"MM", "MM", 1.0, true, true},
    {"MILLIMETRE", "MM", 1.0, true, true},
    {"MILLIMETRES", "MM", 1.0, true, true},
    {"MILLIMETER", "MM", 1.0, true, true},
    {"MILLIMETERS", "MM", 1.0, true, true},
    {"INCH", "INCH", 25.4, true, true},
    {"INCHES", "INCH", 25.4, true, true},
    {"IN", "INCH", 25.4, true, true},
    {"INCH-SIXTEENTH", "INCH-SIXTEENTH", 25.4 / 16.0, true, false},
    {"METRE", "METRE", 1000.0, false, true},
    {"METRES", "METRE", 1000.0, false, true},
    {"METER", "METRE", 1000.0, false, true},
    {"METERS", "METRE", 1000.0, false, true},
    {"M", "METRE", 1000.0, false, true},
};

// The unit an upper-case spelling names for a bore or for co-ordinates; null when it names none.
const UnitSpelling* FindUnit(std::string_view spelling, bool bore) {
    for (const UnitSpelling& u : kUnitSpellings)
        if (u.spelling == spelling && (bore ? u.bore : u.coords))
            return &u;
    return nullptr;
}

double MillimetresPerCoordUnit(const std::string& unit) {
    const UnitSpelling* u = FindUnit(unit, false);
    return u ? u->millimetres : 1.0;
}

// How lengths in a co-ordinate unit are written in messages and reports.
std::string UnitSymbol(const std::string& unit) {
    return unit == "INCH" ? "in" : unit == "METRE" ? "m" : "mm";
}

// Outer diameter in millimetres for a nominal bore in millimetres: the standard pipe size
// (ASME B36.10 / EN 10220) when the bore is one, read as DN or as NPS in millimetres.
// Other bores are drawn as the outer diameter.
double OuterDiameterMm(double bore) {
    struct Size {
        double dn, nps, odInches;
    };
    static const Size kSizes[] = {
        {6, 0.125, 0.405}, {8, 0.25, 0.540},  {10, 0.375, 0.675}, {15, 0.5, 0.840},
        {20, 0.75, 1.050}, {25, 1, 1.315},    {32, 1.25, 1.660},  {40, 1.5, 1.900},
        {50, 2, 2.375},    {65, 2.5, 2.875},  {80, 3, 3.500},     {90, 3.5, 4.000},
        {100, 4, 4.500},   {125, 5, 5.563},   {150, 6, 6.625},    {200, 8, 8.625},
        {250, 10, 10.750}, {300, 12, 12.750}, {350, 14, 14},      {400, 16, 16},
        {450, 18, 18},     {500, 20, 20},     {550, 22, 22},      {600, 24, 24},
        {650, 26, 26},     {700, 28, 28},     {750, 30, 30},      {800, 32, 32},
        {850, 34, 34},     {900, 36, 36},     {1000, 40, 40},     {1050, 42, 42},
        {1200, 48, 48}};
    for (const Size& s : kSizes)
        if (std::fabs(bore - s.nps * 25.4) < 0.05 || std::fabs(bore - s.dn) < 0.05)
            return s.odInches * 25.4;
    return bore;
}

std::string Where(const std::string& name, const SourcePosition& p) {
    return name + ":" + std::to_string(p.line) + ":" + std::to_string(p.column) + ": ";
}

// Reads the records of a file into components, keeping units, pipelines and counts.
class RecordReader {
public:
    RecordReader(const std::string& name, PcfReport& report) : m_name(name), m_report(report) {}

    std::vector<PcfComponent> Read(const std::vector<PcfLine>& lines) {
        // Indentation separates sub-records from components only in files that indent.
        for (const PcfLine& l : lines)
            if (IsGeometryKeyword(l.keyword) && l.indent > 0) {
                m_indentedFile = true;
                break;
            }
        bool sawPcfKeyword = false;
        for (const PcfLine& l : lines) {
            if (FindPcfKind(l.keyword) || l.keyword == "PIPELINE-REFERENCE" ||
                l.keyword == "ISOGEN-FILES" || l.keyword == "UNITS-BORE" ||
                l.keyword == "UNITS-CO-ORDS") {
                sawPcfKeyword = true;
                break;
            }
        }
        if (!sawPcfKeyword) {
            SourcePosition p;
            if (!lines.empty())
                p = {lines.front().line, lines.front().keywordColumn};
            throw PcfError{
                p, "not a piping component file (PCF): no pipeline, unit or component keyword"};
        }
        for (const PcfLine& l : lines)
            Line(l);
        Finish();
        return std::move(m_components);
    }

private:
    void Line(const PcfLine& l) {
        const std::string& k = l.keyword;
        if (m_inMaterials) {
            // Bill-of-material data runs to the end, or to the next pipeline's header.
            if (l.indent == 0 &&
                (k == "PIPELINE-REFERENCE" || k == "ISOGEN-FILES" || k.rfind("UNITS-", 0) == 0))
                m_inMaterials = false;
            else
                return;
        }
        if (k == "MATERIALS") {
            Finish();
            m_inMaterials = true;
            return;
        }
        if (k == "PIPELINE-REFERENCE") {
            Finish();
            std::string name = JoinPcfValues(l);
            m_report.pipelines.push_back(name.empty() ? "(unnamed)" : name);
            return;
        }
        if (k == "UNITS-BORE" || k == "UNITS-CO-ORDS") {
            Units(l);
            return;
        }
        const PcfKind* kind = FindPcfKind(k);
        const bool subRecordKeyword = kind || k == "TAP-CONNECTION";
        if (m_current && subRecordKeyword && m_indentedFile && l.indent > m_componentIndent) {
            m_inSubRecord = true; // kept inside its component: its CO-ORDS are not the component's
            m_inTap = k == "TAP-CONNECTION";
            return;
        }
        if (kind) {
            Finish();
            Start(l, *kind);
            return;
        }
        const bool known = IsKnownKeyword(k);
        if (!known) {
            if (m_current && m_indentedFile && l.indent <= m_componentIndent) {
                // An unknown component: its records must not land in the one before.
                Finish();
                m_report.components[k]++;
                m_report.skipped[k]++;
                Warn({l.line, l.keywordColumn}, "unknown component " + k + " skipped");
                m_unknownComponent = true;
                m_componentIndent = l.indent;
                return;
            }
            m_report.unknownKeywords[DecodePcfText(k)]++;
            return;
        }
        if (m_current && m_inTap && k == "CO-ORDS") {
            PcfPoint tap;
            if (ReadPoint(l, &tap))
                m_current->taps.push_back(tap); // where a branch joins the component
            m_inTap = false;
            return;
        }
        if (!m_current || m_inSubRecord)
            return;
        PcfComponent& c = *m_current;
        PcfPoint p;
        if (IsGeometryKeyword(k) && !ReadPoint(l, &p))
            return;
        if (k == "END-POINT") {
            c.ends.push_back(p);
        } else if (k == "CENTRE-POINT" || k == "CENTER-POINT") {
            c.centre = p;
        } else if (k == "BRANCH1-POINT" || k == "BRANCH2-POINT" || k == "BRANCH3-POINT") {
            c.branches.push_back(p);
        } else if (k == "CO-ORDS") {
            c.coords = p;
        } else if (k == "SKEY") {
            c.skey = Upper(JoinPcfValues(l));
        } else if (k == "SUPPORT-DIRECTION") {
            c.supportDirection = Upper(JoinPcfValues(l));
            c.directionPosition = {l.line, l.values.empty() ? l.keywordColumn : l.values[0].column};
        } else if (k == "BEND-RADIUS") {
            double r = 0;
            if (l.values.empty() || !ParsePcfNumber(l.values[0].text, &r) || !(r > 0)) {
                Warn({l.line, l.keywordColumn}, "BEND-RADIUS must be a number greater than zero; "
                                                "the radius comes from the geometry");
                return;
            }
            c.bendRadius = r * m_coordScale;
            c.bendRadiusPosition = {l.line, l.values[0].column};
        } else if (k == "ANGLE") {
            double a = 0;
            if (!l.values.empty() && ParsePcfNumber(l.values[0].text, &a)) {
                c.angle = a;
                c.anglePosition = {l.line, l.values[0].column};
            }
        }
    }

    static std::string Upper(std::string s) {
        for (char& ch : s)
            if (ch >= 'a' && ch <= 'z')
                ch = static_cast<char>(ch - 'a' + 'A');
        return s;
    }

    void Units(const PcfLine& l) {
        const bool bore = l.keyword == "UNITS-BORE";
        if (l.values.empty())
            throw PcfError{{l.line, l.keywordColumn}, l.keyword + " needs a unit (MM or INCH)"};
        const UnitSpelling* unit = FindUnit(Upper(std::string(l.values[0].text)), bore);
        if (!unit)
            throw PcfError{{l.line, l.values[0].column},
                           "unknown " + std::string(bore ? "bore" : "co-ordinate") + " unit \"" +
                               DecodePcfText(l.values[0].text) + "\" (" +
                               (bore ? "MM, INCH or INCH-SIXTEENTH)" : "MM, INCH or METRE)")};
        if (bore) {
            m_boreUnit = unit->unit;
            m_boreMm = unit->millimetres;
        } else {
            m_coordUnit = unit->unit;
            m_coordMm = unit->millimetres;
            UpdateScale();
        }
    }

    void UpdateScale() { m_coordScale = m_modelMm > 0 ? m_coordMm / m_modelMm : 1.0; }

    void Start(const PcfLine& l, const PcfKind& kind) {
        if (m_modelMm == 0) {
            // The first component fixes the model's unit: the co-ordinate unit then in force.
            m_modelMm = m_coordMm;
            m_report.coordUnits = m_coordUnit;
            m_report.boreUnits = m_boreUnit;
            UpdateScale();
        }
        m_current.emplace();
        m_current->keyword = l.keyword;
        m_current->kind = kind;
        m_current->position = {l.line, l.keywordColumn};
        m_componentIndent = l.indent;
        m_report.components[l.keyword]++;
    }

    void Finish() {
        if (m_current)
            m_components.push_back(std::move(*m_current));
        m_current.reset();
        m_inSubRecord = false;
        m_inTap = false;
        m_unknownComponent = false;
    }

    // A point of the current component; false, with the component marked as one that cannot
    // be drawn, when the line holds no point.
    bool ReadPoint(const PcfLine& l, PcfPoint* p) {
        try {
            *p = Point(l, true);
            return true;
        } catch (PcfError& e) {
            if (!m_current->error)
                m_current->error = std::move(e);
            return false;
        }
    }

    PcfPoint Point(const PcfLine& l, bool boreAllowed) {
        PcfPoint p;
        p.position = {l.line, l.keywordColumn};
        if (l.values.size() < 3)
            throw PcfError{p.position, l.keyword + " needs three co-ordinates"};
        for (int i = 0; i < 3; ++i) {
            double v = 0;
            if (!ParsePcfNumber(l.values[i].text, &v))
                throw PcfError{{l.line, l.values[i].column},
                               l.keyword + " co-ordinate \"" + DecodePcfText(l.values[i].text) +
                                   "\" is not a finite number"};
            if (std::fabs(v) > 1e10)
                throw PcfError{{l.line, l.values[i].column},
                               l.keyword + " co-ordinate " + std::string(l.values[i].text) +
                                   " is out of range"};
            p.at[i] = v * m_coordScale;
        }
        double bore = 0;
        // A fourth value is the bore when it is a number; an end-connection type otherwise.
        if (boreAllowed && l.values.size() >= 4 && ParsePcfNumber(l.values[3].text, &bore)) {
            if (bore < 0 || bore > 1e6)
                throw PcfError{{l.line, l.values[3].column},
                               l.keyword + " bore " + std::string(l.values[3].text) +
                                   " is out of range"};
            if (bore > 0)
                p.od = OuterDiameterMm(bore * m_boreMm) / (m_modelMm > 0 ? m_modelMm : m_coordMm);
        }
        return p;
    }

    void Warn(const SourcePosition& p, const std::string& what) {
        m_report.warnings.push_back(Where(m_name, p) + what);
    }

    const std::string& m_name;
    PcfReport& m_report;
    std::vector<PcfComponent> m_components;
    std::optional<PcfComponent> m_current;
    bool m_indentedFile = false;
    bool m_inMaterials = false;
    bool m_inSubRecord = false;
    bool m_inTap = false;
    bool m_unknownComponent = false;
    int m_componentIndent = 0;
    std::string m_boreUnit = "MM", m_coordUnit = "MM";
    double m_boreMm = 1.0, m_coordMm = 1.0;
    double m_modelMm = 0; // fixed by the first component
    double m_coordScale = 1.0;
};

} // namespace

PcfLoadResult ParsePcf(std::string_view text, const std::string& name, const PcfOptions& options) {
    PcfLoadResult result;
    try {
        std::vector<PcfLine> lines = SplitPcfLines(text);
        result.report.lines = lines.empty() ? 0 : lines.back().line;
        RecordReader reader(name, result.report);
        std::vector<PcfComponent> components = reader.Read(lines);
        const double mmPerUnit = MillimetresPerCoordUnit(result.report.coordUnits);
        const std::string unitName = UnitSymbol(result.report.coordUnits);
        result.model = BuildPcfModel(components, options.snapMillimetres / mmPerUnit, name,
                                     unitName, result.report);
        if (result.report.coordUnits == "METRE") {
            // The model format knows inches and millimetres: metres are written as millimetres.
            for (auto& [id, at] : result.model.nodes)
                for (double& v : at)
                    v *= 1000;
            for (Element& e : result.model.elements) {
                for (double& v : e.delta)
                    v *= 1000;
                e.od *= 1000;
                if (e.bendRadius)
                    *e.bendRadius *= 1000;
                if (e.reducerOd)
                    *e.reducerOd *= 1000;
            }
            for (double& v : result.model.origin)
                v *= 1000;
        }
        // Re-centring keeps a plant far from its origin drawable, but a plant wider than the
        // scene's floats can hold (or one scaled there from metres) cannot be drawn.
        for (const Element& e : result.model.elements) {
            const Vec3& from = result.model.nodes.at(e.from);
            const Vec3 end{from[0] + e.delta[0], from[1] + e.delta[1], from[2] + e.delta[2]};
            if (!UsableCoordinates(from) || !UsableCoordinates(end))
                throw PcfError{e.position, "the component reaches " +
                                               FormatPoint(UsableCoordinates(from) ? end : from) +
                                               " from the plant's centre, beyond the 1e9 that coordinates may reach"};
        }
        // PCF has no symbol scale: supports are sized from the pipes, as in a model file
        // that gives none.
        result.model.symbolScale = ChooseSymbolScale(result.model);
        result.model.symbolScaleChosen = true;
        result.ok = true;
    } catch (const PcfError& e) {
        result.error = Where(name, e.position) + e.what;
        result.model = PipingModel{};
    }
    return result;
}

PcfLoadResult LoadPcf(const std::string& path, const PcfOptions& options) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        PcfLoadResult r;
        r.error = path + ": cannot open the model file";
        return r;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return ParsePcf(text.str(), path, options);
}

bool LooksLikePcf(std::string_view text) {
    std::vector<PcfLine> lines =
        SplitPcfLines(text.substr(0, std::min<std::size_t>(text.size(), 4096)));
    int looked = 0;
    for (const PcfLine& l : lines) {
        if (l.keyword.empty() || l.keyword[0] == '{' || l.keyword[0] == '[')
            return false;
        if (FindPcfKind(l.keyword) || l.keyword == "PIPELINE-REFERENCE" ||
            l.keyword == "ISOGEN-FILES" || l.keyword.rfind("UNITS-", 0) == 0 ||
            IsGeometryKeyword(l.keyword))
            return true;
        if (++looked >= 40)
            break;
    }
    return false;
}

namespace {

std::string Number(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3f", v == 0 ? 0.0 : v);
    return buf;
}

void CountLines(std::string& out, const std::map<std::string, int>& counts) {
    std::size_t width = 0;
    for (const auto& [k, n] : counts)
        width = std::max(width, k.size());
    for (const auto& [k, n] : counts) {
        out += "  " + k + std::string(width - k.size() + 2, ' ') + std::to_string(n) + "\n";
    }
}

int Sum(const std::map<std::string, int>& counts) {
    int n = 0;
    for (const auto& [k, v] : counts)
        n += v;
    return n;
}

} // namespace

std::string FormatPcfReport(const PcfReport& r) {
    std::string out;
    out += "format:     PCF, bore " + r.boreUnits + ", co-ordinates " + r.coordUnits + "\n";
    out += "pipelines:  " + std::to_string(r.pipelines.size());
    for (std::size_t i = 0; i < r.pipelines.size(); ++i)
        out += (i == 0 ? ": " : ", ") + r.pipelines[i];
    out += "\n";
    out += "components: " + std::to_string(Sum(r.components)) + "\n";
    CountLines(out, r.components);
    out += "skipped:    " + std::to_string(Sum(r.skipped)) + "\n";
    CountLines(out, r.skipped);
    if (!r.unknownKeywords.empty()) {
        out += "unknown keywords: " + std::to_string(Sum(r.unknownKeywords)) + "\n";
        CountLines(out, r.unknownKeywords);
    }
    if (!r.errors.empty())
        out += "errors:     " + std::to_string(r.errors.size()) + " (components left out)\n";
    if (!r.warnings.empty())
        out += "warnings:   " + std::to_string(r.warnings.size()) + "\n";
    const std::string unit = UnitSymbol(r.coordUnits);
    out += "pipe length: " + Number(r.pipeLength) + " " + unit + "\n";
    if (r.hasBox) {
        out += "bounding box (" + unit + "): (" + Number(r.boxMin[0]) + ", " + Number(r.boxMin[1]) +
               ", " + Number(r.boxMin[2]) + ") to (" + Number(r.boxMax[0]) + ", " +
               Number(r.boxMax[1]) + ", " + Number(r.boxMax[2]) + ")\n";
    }
    return out;
}

std::string FormatPcfWarnings(const PcfReport& report, std::size_t limit) {
    std::string out;
    std::size_t shown = 0;
    for (const auto* list : {&report.errors, &report.warnings})
        for (std::size_t i = 0; i < list->size() && shown < limit; ++i, ++shown)
            out += (*list)[i] + "\n";
    const std::size_t all = report.errors.size() + report.warnings.size();
    if (all > limit)
        out += "... and " + std::to_string(all - limit) + " more warnings\n";
    return out;
}

} // namespace ketra::host
