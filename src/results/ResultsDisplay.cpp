#include "results/ResultsDisplay.h"

#include "config/CAppSettings.h"
#include "config/HOpConfig.h"
#include "platform/hc/hc.h"
#include "platform/mvo/HBaseModel.h"
#include "view/HMyBaseView.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace ketra::results {

namespace {

double Dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double Length(const Vec3& a) { return std::sqrt(Dot(a, a)); }

// "r=… g=… b=…" of a settings colour (red in the low byte).
std::string ColourText(unsigned long c) {
    char text[96];
    std::snprintf(text, sizeof text, "r=%.4f g=%.4f b=%.4f", (c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0,
                  ((c >> 16) & 0xFF) / 255.0);
    return text;
}

std::string Number(double v) {
    char text[64];
    const double a = std::fabs(v);
    std::snprintf(text, sizeof text, a != 0 && (a >= 1e6 || a < 1e-2) ? "%.3g" : a >= 100 ? "%.0f" : "%.3g", v);
    return text;
}

// The plot properties' displaced-line "Scale" when the file gives none.
constexpr float kDefaultDisplacedScale = 4.0f;

const char* LengthUnit(const host::PipingModel& m) { return m.units == host::Units::Inches ? "in" : "mm"; }

// The model's largest extent along an axis.
double ModelSize(const host::PipingModel& m) {
    Vec3 lo{1e300, 1e300, 1e300}, hi{-1e300, -1e300, -1e300};
    for (const auto& [node, p] : m.nodes)
        for (int i = 0; i < 3; ++i) {
            lo[i] = std::min(lo[i], p[i]);
            hi[i] = std::max(hi[i], p[i]);
        }
    double size = 0;
    for (int i = 0; i < 3; ++i)
        size = std::max(size, hi[i] - lo[i]);
    return size > 0 ? size : 1;
}

void InsertLine(const Vec3& a, const Vec3& b) {
    const float points[6] = {float(a[0]), float(a[1]), float(a[2]), float(b[0]), float(b[1]), float(b[2])};
    HC_Insert_Polyline(2, points);
}

// Points a page draws each element's displaced centre line with.
constexpr int kPagePoints = 5;

float FourFigures(float v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", double(v));
    return std::strtof(text, nullptr);
}

std::array<float, 3> Rgb(unsigned long c) {
    return {float(c & 0xFF) / 255, float((c >> 8) & 0xFF) / 255, float((c >> 16) & 0xFF) / 255};
}

// The net colour of a channel ("faces", "lines") of the segment, from its "r=… g=… b=…" text.
std::array<float, 3> NetColour(long segment, const char* channel) {
    std::string text(1024, '\0');
    HC_Open_Segment_By_Key(segment);
    HC_Show_One_Net_Color(channel, text.data());
    HC_Close_Segment();
    std::array<float, 3> rgb{0.7f, 0.7f, 0.7f};
    std::string lower(text.c_str());
    for (char& ch : lower)
        ch = char(std::tolower(static_cast<unsigned char>(ch)));
    const char* names[3] = {"r=", "g=", "b="};
    for (int i = 0; i < 3; ++i) {
        const std::size_t at = lower.find(names[i]);
        if (at == std::string::npos)
            return {0.7f, 0.7f, 0.7f};
        rgb[i] = std::clamp(std::strtof(lower.c_str() + at + 2, nullptr), 0.0f, 1.0f);
    }
    return rgb;
}

} // namespace

int StressScale::BandOf(double value) const {
    int band = 0;
    for (int i = 0; i < 6; ++i)
        if (value >= levels[i])
            band = i;
    return band;
}

StressScale StressScale::FromSettings(StressMeasure measure, const std::string& stressUnit) {
    StressScale s;
    if (measure == StressMeasure::Ratio) {
        s.levels = {CAppSettings::StressPctLevel1, CAppSettings::StressPctLevel2, CAppSettings::StressPctLevel3,
                    CAppSettings::StressPctLevel4, CAppSettings::StressPctLevel5, CAppSettings::StressPctLevel6};
        s.colours = {CAppSettings::StressPctColor1, CAppSettings::StressPctColor2, CAppSettings::StressPctColor3,
                     CAppSettings::StressPctColor4, CAppSettings::StressPctColor5, CAppSettings::StressPctColor6};
        s.unit = "%";
    } else {
        s.levels = {CAppSettings::StressActualValue1, CAppSettings::StressActualValue2,
                    CAppSettings::StressActualValue3, CAppSettings::StressActualValue4,
                    CAppSettings::StressActualValue5, CAppSettings::StressActualValue6};
        s.colours = {CAppSettings::StressActualColor1, CAppSettings::StressActualColor2,
                     CAppSettings::StressActualColor3, CAppSettings::StressActualColor4,
                     CAppSettings::StressActualColor5, CAppSettings::StressActualColor6};
        s.unit = stressUnit;
        // The store's default levels are in psi (10,000 to 30,000). A user who never changed
        // them and opens results in another unit gets the same levels in that unit, to three
        // figures, rather than a scale on which every metric stress is in the first band.
        const std::array<double, 6> defaults{10000, 10000, 15000, 20000, 25000, 30000};
        const double perPsi = stressUnit == "MPa" || stressUnit == "N/mm2" ? 1 / 145.0377
                              : stressUnit == "kPa"                        ? 6.894757
                              : stressUnit == "Pa"                         ? 6894.757
                              : stressUnit == "ksi"                        ? 0.001
                                                                           : 1;
        if (perPsi != 1 && s.levels == defaults)
            for (double& level : s.levels) {
                const double v = level * perPsi, step = std::pow(10.0, std::floor(std::log10(v)) - 2);
                level = std::round(v / step) * step;
            }
    }
    return s;
}

double AutoScale(const LoadCase& c, const host::PipingModel& model) {
    const CaseExtremes x = Extremes(c);
    if (!x.movement || *x.movement <= 0)
        return 1;
    return 0.1 * ModelSize(model) / *x.movement;
}

std::vector<Vec3> DisplacedCentreLine(const Vec3& a, const Vec3& b, const NodeMotion& ma, const NodeMotion& mb,
                                      double scale, int points) {
    const Vec3 chord{b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const double length = Length(chord);
    std::vector<Vec3> out;
    if (points < 2 || length <= 0)
        return out;
    const Vec3 e{chord[0] / length, chord[1] / length, chord[2] / length};
    // Axial parts move linearly; the rest bends as a beam: translations and slopes (the end
    // rotation turning the axis, θ × e) at both ends fix the cubic.
    const double axialA = Dot(ma.translation, e), axialB = Dot(mb.translation, e);
    Vec3 sideA, sideB;
    for (int i = 0; i < 3; ++i) {
        sideA[i] = ma.translation[i] - axialA * e[i];
        sideB[i] = mb.translation[i] - axialB * e[i];
    }
    const Vec3 slopeA = Cross(ma.rotation, e), slopeB = Cross(mb.rotation, e);
    for (int k = 0; k < points; ++k) {
        const double s = double(k) / (points - 1), s2 = s * s, s3 = s2 * s;
        const double h1 = 1 - 3 * s2 + 2 * s3, h2 = (s - 2 * s2 + s3) * length;
        const double h3 = 3 * s2 - 2 * s3, h4 = (s3 - s2) * length;
        const double axial = (1 - s) * axialA + s * axialB;
        Vec3 p;
        for (int i = 0; i < 3; ++i) {
            const double side = h1 * sideA[i] + h2 * slopeA[i] + h3 * sideB[i] + h4 * slopeB[i];
            p[i] = a[i] + s * chord[i] + scale * (axial * e[i] + side);
        }
        out.push_back(p);
    }
    return out;
}

double AnimationPeriod(const LoadCase& c) { return c.kind == CaseKind::Modal ? 1.5 : 3.0; }

double AnimationPhase(const LoadCase& c, double seconds) {
    const double period = AnimationPeriod(c);
    const double t = std::fmod(std::max(0.0, seconds), period) / period; // 0..1 within a period
    if (c.kind == CaseKind::Modal)
        return std::sin(2 * M_PI * t);
    // Smooth in and out: rest, full at half a period, rest again.
    return 0.5 - 0.5 * std::cos(2 * M_PI * t);
}

ResultsDisplay::ResultsDisplay(plotter::Plotter& plotter, const host::PipingModel& model, const Results& results)
    : m_plotter(plotter), m_model(model), m_results(results) {}

ResultsDisplay::~ResultsDisplay() { Clear(); }

void ResultsDisplay::Clear() {
    if (m_case) {
        io::SetPageResultsSource({});
        m_plotter.SetExtraInfoLines({});
    }
    std::sort(m_coloured.begin(), m_coloured.end());
    m_coloured.erase(std::unique(m_coloured.begin(), m_coloured.end()), m_coloured.end());
    for (long key : m_coloured) {
        if (HC_Show_Existence_By_Key(key, "self") > 0) {
            HC_Open_Segment_By_Key(key);
            HC_UnSet_Color();
            HC_Close_Segment();
        }
    }
    m_coloured.clear();
    if (m_overlay != -1 && HC_Show_Existence_By_Key(m_overlay, "self") > 0)
        HC_Delete_By_Key(m_overlay);
    m_overlay = -1;
    m_displaced = -1;
    const long legend = m_plotter.View().GetLegendKey();
    if (legend > 0 || legend < -1) {
        HC_Open_Segment_By_Key(legend);
        HC_Flush_Contents(".", "everything");
        HC_Close_Segment();
    }
    m_legend.clear();
    m_case = nullptr;
}

bool ResultsDisplay::Show(const std::string& caseName, const DisplayOptions& options) {
    const LoadCase* c = m_results.Find(caseName);
    if (!c)
        return false;
    Clear();
    m_case = c;
    m_options = options;
    const StressScale scale = StressScale::FromSettings(options.measure, m_results.units.stress);
    if (options.colours)
        Colour(options, scale);
    m_scale = ScaleFor(*c, options);
    if (options.displaced && !c->displacements.empty())
        Displaced(options);
    if (options.loads && !c->supports.empty())
        Loads();
    Legend(options, scale);
    m_plotter.View().SetGeometryChanged();
    // The element information (hover text, Properties) tells this case's values.
    m_plotter.SetExtraInfoLines([this](int from, int to) { return ElementLines(from, to); });
    // A page written from the view carries every case (HIOUtilityHTML).
    io::SetPageResultsSource({[this](io::PageResults& page) { return PreparePage(page); },
                              [this] {
                                  const std::string name = m_case->name;
                                  const DisplayOptions shown = m_options;
                                  Show(name, shown);
                              }});
    return true;
}

bool ResultsDisplay::PreparePage(io::PageResults& page) {
    if (!m_case)
        return false;
    const StressScale scale = StressScale::FromSettings(m_options.measure, m_results.units.stress);
    std::vector<std::map<ElementKey, double>> worst;
    std::map<ElementKey, std::size_t> groups; // what any case colours, numbered in key order
    for (const LoadCase& c : m_results.cases) {
        worst.push_back(m_options.colours ? Worst(c, m_options.measure) : std::map<ElementKey, double>{});
        for (const auto& [key, value] : worst.back())
            groups.emplace(key, 0);
    }
    // The colours as styled, then each group in a colour of its own: every 24-bit value
    // names one group (the channels' bits scrambled, away from black and white).
    for (long segment : m_coloured)
        if (HC_Show_Existence_By_Key(segment, "self") > 0) {
            HC_Open_Segment_By_Key(segment);
            HC_UnSet_Color();
            HC_Close_Segment();
        }
    m_coloured.clear();
    std::vector<std::array<float, 3>> styled;
    for (auto& [key, number] : groups) {
        number = page.idColours.size();
        const std::size_t i = number;
        const std::array<float, 3> id{float(i & 0xFF) / 255, float(((i >> 8) & 0xFF) ^ 0x37) / 255,
                                      float(((i >> 16) & 0xFF) ^ 0x9B) / 255};
        page.idColours.push_back(id);
        const std::vector<long> segments = Segments(key);
        styled.push_back(segments.empty() ? std::array<float, 3>{0.7f, 0.7f, 0.7f} : NetColour(segments.front(), "faces"));
        char text[96];
        std::snprintf(text, sizeof text, "r=%.6f g=%.6f b=%.6f", id[0], id[1], id[2]);
        for (long segment : segments)
            Paint(segment, text);
    }
    // The page draws the legend and the displaced shape itself, for whichever case it shows;
    // support loads belong to one case and stay out.
    const long legend = m_plotter.View().GetLegendKey();
    if (legend > 0 || legend < -1) {
        HC_Open_Segment_By_Key(legend);
        HC_Flush_Contents(".", "everything");
        HC_Close_Segment();
    }
    for (const char* name : {"displaced shape", "forces", "moments"}) {
        HC_Open_Segment_By_Key(Overlay(name));
        HC_Set_Visibility("everything = off");
        HC_Close_Segment();
    }
    page.lineColour = NetColour(m_displaced != -1 ? m_displaced : Overlay("displaced shape"), "lines");
    const NodeMotion still;
    auto motion = [](const LoadCase& c, int node) {
        auto it = c.displacements.find(node);
        return it == c.displacements.end() ? NodeMotion{} : it->second;
    };
    auto flat = [](const std::vector<Vec3>& line) {
        std::vector<float> out;
        for (const Vec3& p : line)
            out.insert(out.end(), {float(p[0]), float(p[1]), float(p[2])});
        return out;
    };
    const bool moving = m_options.displaced;
    if (moving)
        for (const host::Element& e : m_model.elements)
            page.lines.push_back(
                flat(DisplacedCentreLine(m_model.nodes.at(e.from), m_model.nodes.at(e.to), still, still, 0, kPagePoints)));
    for (std::size_t k = 0; k < m_results.cases.size(); ++k) {
        const LoadCase& c = m_results.cases[k];
        if (&c == m_case)
            page.initial = k;
        io::PageState state;
        state.name = c.name;
        state.swing = c.kind == CaseKind::Modal;
        state.period = AnimationPeriod(c);
        const double magnification = ScaleFor(c, m_options);
        for (const LegendLine& line : LegendFor(c, m_options, scale, magnification)) {
            std::optional<std::array<float, 3>> swatch;
            if (line.band >= 0)
                swatch = Rgb(scale.colours[line.band]);
            state.legend.emplace_back(line.text, swatch);
        }
        state.groupColours = styled;
        for (const auto& [key, number] : groups)
            if (auto it = worst[k].find(key); it != worst[k].end())
                state.groupColours[number] = Rgb(scale.colours[scale.BandOf(it->second)]);
        // How far each point moves, to four figures: plenty for a picture, and a third of the
        // text of full coordinates.
        for (std::size_t i = 0; moving && !c.displacements.empty() && i < m_model.elements.size(); ++i) {
            const host::Element& e = m_model.elements[i];
            std::vector<float> line = flat(DisplacedCentreLine(m_model.nodes.at(e.from), m_model.nodes.at(e.to),
                                                               motion(c, e.from), motion(c, e.to), magnification,
                                                               kPagePoints));
            for (std::size_t j = 0; j < line.size(); ++j)
                line[j] = FourFigures(line[j] - page.lines[i][j]);
            state.lines.push_back(std::move(line));
        }
        page.states.push_back(std::move(state));
    }
    return true;
}

double ResultsDisplay::ScaleFor(const LoadCase& c, const DisplayOptions& options) const {
    if (options.scale > 0)
        return options.scale;
    // The plot properties' displaced-line "Scale" once the user has set one; its default (4)
    // would show a plant's millimetres as nothing, so without one the scale is chosen.
    HOpConfig& config = m_plotter.Config();
    const HOpConfig::ReadOnly readOnly(config);
    const float configured = config.GetDisplacedLineScale();
    return configured > 0 && configured != kDefaultDisplacedScale ? configured : AutoScale(c, m_model);
}

long ResultsDisplay::Overlay(const char* name) {
    if (m_overlay == -1) {
        HC_Open_Segment_By_Key(m_plotter.Model().GetModelKey());
        m_overlay = HC_Open_Segment("results");
        HC_Close_Segment();
        HC_Close_Segment();
    }
    HC_Open_Segment_By_Key(m_overlay);
    const long key = HC_Open_Segment(name);
    HC_Close_Segment();
    HC_Close_Segment();
    return key;
}

std::optional<double> ResultsDisplay::Measured(const EndStress& end, StressMeasure measure) {
    if (measure == StressMeasure::Stress)
        return std::fabs(end.stress);
    if (end.ratio)
        return *end.ratio * 100;
    return std::nullopt;
}

std::map<ElementKey, double> ResultsDisplay::Worst(const LoadCase& c, StressMeasure measure) const {
    std::map<ElementKey, double> worst;
    std::map<int, double> atNode; // for the tees
    for (const auto& [key, ends] : c.stresses) {
        std::optional<double> w;
        for (const EndStress& end : ends)
            if (std::optional<double> v = Measured(end, measure))
                w = std::max(w.value_or(*v), *v);
        if (!w)
            continue;
        worst[key] = *w;
        for (int node : {key.from, key.to})
            atNode[node] = std::max(atNode.count(node) ? atNode[node] : *w, *w);
    }
    for (const host::NodeItem& tee : m_model.tees)
        if (auto it = atNode.find(tee.node); it != atNode.end())
            worst[{tee.node, tee.node}] = it->second;
    return worst;
}

std::vector<long> ResultsDisplay::Segments(const ElementKey& key) const {
    if (key.from != key.to)
        return m_plotter.Registry().FindAll(key.from, key.to);
    const std::string path = std::string("/include library/halden/") + plotter::KindSegmentName(plotter::Kind::Tees) +
                             "/" + std::to_string(key.from);
    if (HC_QShow_Existence(path.c_str(), "self") > 0)
        return {HC_Create_Segment(path.c_str())};
    return {};
}

void ResultsDisplay::Paint(long segment, const std::string& colour) {
    HC_Open_Segment_By_Key(segment);
    HC_Set_Color(("faces=(diffuse=" + colour + "),lines=" + colour + ",edges=" + colour).c_str());
    HC_Close_Segment();
    m_coloured.push_back(segment);
}

void ResultsDisplay::Colour(const DisplayOptions& options, const StressScale& scale) {
    for (const auto& [key, value] : Worst(*m_case, options.measure))
        for (long segment : Segments(key))
            Paint(segment, ColourText(scale.colours[scale.BandOf(value)]));
}

void ResultsDisplay::Displaced(const DisplayOptions& options) {
    // The centre lines as drawn, faint, beside the moved ones.
    HC_Open_Segment_By_Key(Overlay("ghost"));
    HC_Set_Color("lines = (r=0.6 g=0.6 b=0.6)");
    HC_Set_Line_Pattern("- -");
    for (const host::Element& e : m_model.elements)
        InsertLine(m_model.nodes.at(e.from), m_model.nodes.at(e.to));
    HC_Close_Segment();

    m_displaced = Overlay("displaced shape");
    HC_Open_Segment_By_Key(m_displaced);
    HC_Style_Segment("/Style Library/Displaced Shapes");
    HC_Close_Segment();
    DisplacedLines(m_scale * options.animation);
}

void ResultsDisplay::DisplacedLines(double scale) {
    const NodeMotion still;
    auto motion = [&](int node) {
        auto it = m_case->displacements.find(node);
        return it == m_case->displacements.end() ? still : it->second;
    };
    HC_Open_Segment_By_Key(m_displaced);
    HC_Flush_Contents(".", "geometry");
    for (const host::Element& e : m_model.elements) {
        std::vector<Vec3> line = DisplacedCentreLine(m_model.nodes.at(e.from), m_model.nodes.at(e.to),
                                                     motion(e.from), motion(e.to), scale, 9);
        std::vector<float> points;
        for (const Vec3& p : line)
            points.insert(points.end(), {float(p[0]), float(p[1]), float(p[2])});
        HC_Insert_Polyline(int(line.size()), points.data());
    }
    HC_Close_Segment();
}

bool ResultsDisplay::SetPhase(double fraction) {
    if (!m_case || m_displaced == -1 || HC_Show_Existence_By_Key(m_displaced, "self") <= 0)
        return false;
    m_options.animation = fraction;
    DisplacedLines(m_scale * fraction);
    m_plotter.View().SetGeometryChanged();
    return true;
}

plotter::InfoLines ResultsDisplay::ElementLines(int from, int to) const {
    plotter::InfoLines lines;
    if (!m_case)
        return lines;
    const ResultUnits& units = m_results.units;
    auto withUnit = [](double v, const std::string& unit) { return Number(v) + (unit.empty() ? "" : " " + unit); };
    auto vector = [&](const Vec3& v, const std::string& unit) {
        return "(" + Number(v[0]) + ", " + Number(v[1]) + ", " + Number(v[2]) + ")" +
               (unit.empty() ? "" : " " + unit);
    };
    auto it = m_case->stresses.find({from, to});
    if (from != to && it != m_case->stresses.end()) {
        const auto& ends = it->second;
        const std::string at[2] = {std::to_string(from), std::to_string(to)};
        std::string stress, allowable, ratio;
        for (int i = 0; i < 2; ++i) {
            const std::string sep = i ? ", " : "";
            stress += sep + at[i] + ": " + withUnit(ends[i].stress, units.stress);
            if (ends[i].allowable)
                allowable += (allowable.empty() ? "" : ", ") + at[i] + ": " + withUnit(*ends[i].allowable, units.stress);
            if (ends[i].ratio)
                ratio += (ratio.empty() ? "" : ", ") + at[i] + ": " + Number(*ends[i].ratio * 100) + " %";
        }
        lines.emplace_back("Code stress", stress);
        if (!allowable.empty())
            lines.emplace_back("Allowable", allowable);
        if (!ratio.empty())
            lines.emplace_back("Stress ratio", ratio);
    }
    if (from == to) {
        auto support = m_case->supports.find(from);
        if (support != m_case->supports.end()) {
            lines.emplace_back("Support force", vector(support->second.force, units.force));
            lines.emplace_back("Support moment", vector(support->second.moment, units.moment));
        }
    }
    for (int node : from == to ? std::vector<int>{from} : std::vector<int>{from, to}) {
        auto d = m_case->displacements.find(node);
        if (d != m_case->displacements.end())
            lines.emplace_back("Movement at " + std::to_string(node), vector(d->second.translation, LengthUnit(m_model)));
    }
    if (!lines.empty())
        lines.insert(lines.begin(), {"Load case", m_case->name + " (" + CaseKindName(m_case->kind) + ")"});
    return lines;
}

void ResultsDisplay::Loads() {
    double largestForce = 0, largestMoment = 0;
    for (const auto& [node, loads] : m_case->supports) {
        largestForce = std::max(largestForce, Length(loads.force));
        largestMoment = std::max(largestMoment, Length(loads.moment));
    }
    const double reach = 0.08 * ModelSize(m_model);
    auto arrows = [&](const char* name, const std::string& colour, bool moment, double largest,
                      const std::string& unit) {
        if (largest <= 0)
            return;
        HC_Open_Segment_By_Key(Overlay(name));
        // The plot properties give an element colour ("faces=(…),lines=…,edges=…"): the
        // arrows take it, and their values its line colour.
        HC_Set_Color(colour.c_str());
        const std::size_t lines = colour.find("lines=");
        if (lines != std::string::npos) {
            const std::string line = colour.substr(lines + 6, colour.find(",edges", lines) - lines - 6);
            HC_Set_Color(("text=" + line).c_str());
        }
        HC_Set_Line_Weight(2);
        HC_Set_Text_Alignment("<*");
        for (const auto& [node, loads] : m_case->supports) {
            const Vec3& v = moment ? loads.moment : loads.force;
            const double size = Length(v);
            if (size <= 0 || !m_model.nodes.count(node))
                continue;
            const Vec3& at = m_model.nodes.at(node);
            const Vec3 d{v[0] / size, v[1] / size, v[2] / size};
            const double length = reach * std::max(0.2, size / largest);
            const Vec3 tip{at[0] + d[0] * length, at[1] + d[1] * length, at[2] + d[2] * length};
            InsertLine(at, tip);
            // Arrowheads: two barbs in a plane holding the arrow; a moment has two heads.
            Vec3 side = Cross(d, std::fabs(d[2]) < 0.9 ? Vec3{0, 0, 1} : Vec3{1, 0, 0});
            const double sideLength = Length(side);
            for (double& x : side)
                x /= sideLength;
            const double head = 0.15 * length;
            for (int h = 0; h < (moment ? 2 : 1); ++h) {
                const double back = head * (1 + h * 0.8);
                const Vec3 base{tip[0] - d[0] * back, tip[1] - d[1] * back, tip[2] - d[2] * back};
                const Vec3 apex{tip[0] - d[0] * head * h * 0.8, tip[1] - d[1] * head * h * 0.8,
                                tip[2] - d[2] * head * h * 0.8};
                for (double sign : {-1.0, 1.0})
                    InsertLine(apex, {base[0] + sign * side[0] * head * 0.5, base[1] + sign * side[1] * head * 0.5,
                                      base[2] + sign * side[2] * head * 0.5});
            }
            HC_Insert_Text(tip[0], tip[1], tip[2], (" " + Number(size) + " " + unit).c_str());
        }
        HC_Close_Segment();
    };
    HOpConfig& config = m_plotter.Config();
    arrows("forces", config.GetForcesColor(), false, largestForce, m_results.units.force);
    arrows("moments", config.GetMomentsColor(), true, largestMoment, m_results.units.moment);
}

std::vector<ResultsDisplay::LegendLine> ResultsDisplay::LegendFor(const LoadCase& c, const DisplayOptions& options,
                                                                   const StressScale& scale, double magnification) const {
    std::vector<LegendLine> out;
    const CaseExtremes x = Extremes(c);
    std::string title = c.name + " (" + CaseKindName(c.kind);
    if (c.frequency)
        title += ", " + Number(*c.frequency) + " Hz";
    out.push_back({title + ")"});
    const bool byRatio = options.measure == StressMeasure::Ratio;
    const std::optional<double> largest = byRatio ? (x.ratio ? std::optional(*x.ratio * 100) : std::nullopt) : x.stress;
    if (options.colours && largest) {
        out.push_back({byRatio ? "Code stress / allowable (%)" : "Code stress (" + scale.unit + ")"});
        for (int band = 5; band >= 0; --band) {
            if (band > 0 && band < 5 && scale.levels[band] >= scale.levels[band + 1])
                continue; // an empty band
            if (band == 5)
                out.push_back({">= " + Number(scale.levels[5]), band});
            else if (band == 0)
                out.push_back({"< " + Number(scale.levels[1]), band});
            else
                out.push_back({Number(scale.levels[band]) + " - " + Number(scale.levels[band + 1]), band});
        }
        const ElementKey at = byRatio ? x.ratioElement : x.stressElement;
        out.push_back({"Largest " + Number(*largest) + " " + scale.unit + " at node " +
                       std::to_string(byRatio ? x.ratioNode : x.stressNode) + " (element " + std::to_string(at.from) +
                       "-" + std::to_string(at.to) + ")"});
    }
    if (options.displaced && x.movement) {
        out.push_back({"Displaced shape x " + Number(magnification) + ", largest movement " + Number(*x.movement) +
                       " " + LengthUnit(m_model) + " at node " + std::to_string(x.movementNode)});
    }
    if (options.loads && !c.supports.empty()) {
        int forceNode = 0, momentNode = 0;
        double force = 0, moment = 0;
        for (const auto& [node, loads] : c.supports) {
            if (Length(loads.force) > force)
                force = Length(loads.force), forceNode = node;
            if (Length(loads.moment) > moment)
                moment = Length(loads.moment), momentNode = node;
        }
        out.push_back({"Support loads: largest force " + Number(force) + " " + m_results.units.force + " at node " +
                       std::to_string(forceNode) + ", moment " + Number(moment) + " " + m_results.units.moment +
                       " at node " + std::to_string(momentNode)});
    }
    return out;
}

void ResultsDisplay::FitLegend() {
    const long legend = m_plotter.View().GetLegendKey();
    if (!m_case || legend == 0 || legend == -1)
        return;
    HC_Open_Segment_By_Key(legend);
    HC_Flush_Contents(".", "everything");
    HC_Close_Segment();
    m_legend.clear();
    Legend(m_options, StressScale::FromSettings(m_options.measure, m_results.units.stress));
    m_plotter.View().SetGeometryChanged();
}

void ResultsDisplay::Legend(const DisplayOptions& options, const StressScale& scale) {
    const long legend = m_plotter.View().GetLegendKey();
    const std::vector<LegendLine> lines = LegendFor(*m_case, options, scale, m_scale);
    for (const LegendLine& line : lines)
        m_legend.push_back(line.text);
    if (legend == 0 || legend == -1)
        return;
    HC_Open_Segment_By_Key(legend);
    // Fixed on the screen: a stretched camera makes its coordinates the window's (-1..1).
    const float eye[3] = {0, 0, 5}, target[3] = {0, 0, 0}, up[3] = {0, 1, 0};
    HC_Set_Camera(eye, target, up, 2.0, 2.0, "stretched");
    HC_Style_Segment("/Style Library/LegendText");
    HC_Set_Visibility("faces = on, text = on, lines = on");
    HC_Set_Rendering_Options("no lighting");
    HC_Set_Text_Alignment("<*");
    // Laid out in pixels of the window it is drawn for (the text keeps its size in pixels), so
    // the panel fits its lines at any window size: about 8 pixels a character, 24 a line.
    int width = 0, height = 0;
    m_plotter.View().GetWindowSizeInPixels(width, height);
    const double px = 2.0 / std::max(width, 1), py = 2.0 / std::max(height, 1);
    const double left = -1 + 12 * px, step = 24 * py, half = 7 * py;
    double y = 1 - 20 * py;
    // A dark panel behind the lines, so that the legend colour reads on any background.
    std::size_t longest = 0;
    for (const std::string& line : m_legend)
        longest = std::max(longest, line.size());
    const float right = float(std::min(0.99, left + (30 + 8.0 * double(longest)) * px));
    const float bottom = float(y - step * (double(m_legend.size()) - 0.4));
    const float top = float(1 - 4 * py), edge = float(-1 + 4 * px);
    const float panel[12] = {edge, bottom, -0.5f, right, bottom, -0.5f, right, top, -0.5f, edge, top, -0.5f};
    HC_Open_Segment("panel");
    HC_Set_Color("faces = (r=0.1 g=0.1 b=0.12)");
    HC_Insert_Polygon(4, panel);
    HC_Close_Segment();
    for (std::size_t i = 0; i < m_legend.size(); ++i, y -= step) {
        double x0 = left;
        if (lines[i].band >= 0) {
            const float box[12] = {float(left), float(y - half), 0, float(left + 14 * px), float(y - half), 0,
                                   float(left + 14 * px), float(y + half), 0, float(left), float(y + half), 0};
            HC_Open_Segment("");
            HC_Set_Color(("faces=" + ColourText(scale.colours[lines[i].band])).c_str());
            HC_Insert_Polygon(4, box);
            HC_Close_Segment();
            x0 += 22 * px;
        }
        HC_Insert_Text(x0, y, 0, m_legend[i].c_str());
    }
    HC_Close_Segment();
}

} // namespace ketra::results
