#include "plotter/Plotter.h"

#include "config/CAppSettings.h"
#include "config/HOpConfig.h"
#include "config/StyleLibrary.h"
#include "geometry/CVector3D.h"
#include "geometry/HCreateBend.h"
#include "geometry/HCreateCylinder.h"
#include "geometry/HCreateStructure.h"
#include "platform/hc/hc.h"
#include "platform/mvo/HBaseModel.h"
#include "platform/mvo/HObjectManager.h"
#include "platform/mvo/HSelectionSet.h"
#include "platform/mvo/HUtility.h"
#include "symbols/HCreatePlotSymbols.h"
#include "view/HMyBaseView.h"
#include "view/window/CHoopsViewEx.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

namespace ketra::plotter {

namespace {

const char* const kLibrary = "/include library/halden";

struct KindInfo {
    Kind kind;
    const char* segment;
    const char* style;
};
const KindInfo kKinds[] = {
    {Kind::Pipes, "pipes", "/Style Library/Pipes"},
    {Kind::Bends, "bends", "/Style Library/Bends"},
    {Kind::Restraints, "restraints", "/Style Library/Restraints"},
    {Kind::Hangers, "hangers", "/Style Library/Hangers"},
    {Kind::Anchors, "anchors", "/Style Library/Anchors"},
    {Kind::Rigids, "rigids", "/Style Library/Rigids"},
    {Kind::Structures, "structures", "/Style Library/Structure"},
    {Kind::ExpansionJoints, "expansion joints", "/Style Library/Expansion Joints"},
    {Kind::Tees, "tees", "/Style Library/Tees"},
};

const KindInfo& Info(Kind kind) {
    for (const KindInfo& k : kKinds)
        if (k.kind == kind)
            return k;
    return kKinds[0];
}

std::string KindPath(Kind kind) { return std::string(kLibrary) + "/" + Info(kind).segment; }

float F(double v) { return static_cast<float>(v); }

} // namespace

const char* KindSegmentName(Kind kind) { return Info(kind).segment; }
const char* KindStyleName(Kind kind) { return Info(kind).style; }

bool ParseKind(const std::string& text, Kind* kind) {
    std::string s;
    for (char c : text)
        s += (c == '-' || c == '_') ? ' ' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const KindInfo& k : kKinds)
        if (s == k.segment) {
            *kind = k.kind;
            return true;
        }
    return false;
}

struct Plotter::Impl {
    HBaseModel model;
    std::unique_ptr<HMyBaseView> view;
    HOpConfig config;
    PlotOptions options;
    bool started = false;
    // What each drawn segment (by original key) shows of the model.
    enum class Source { Element, Restraint, Hanger, Anchor, Nozzle, Flange, Tee, Steel };
    struct Item {
        Source source;
        std::size_t index;
    };
    std::unique_ptr<host::PipingModel> drawn;
    std::map<long, Item> items;
    ExtraInfoLines extraLines;
};

Plotter::Plotter() : m_impl(std::make_unique<Impl>()) {}

Plotter::~Plotter() {
    // The view refers to the model; it goes first. The drawn library goes with the plotter,
    // so a later plotter in the same process starts from an empty one.
    m_impl->view.reset();
    if (m_impl->started && HC_QShow_Existence(kLibrary, "self") > 0)
        HC_Delete_Segment(kLibrary);
}

bool Plotter::Start(const PlotOptions& options, std::string* error) {
    if (m_impl->started) {
        if (error)
            *error = "the plotter has already started";
        return false;
    }
    m_impl->options = options;
    if (options.facets < 3 || options.facets > 360) {
        if (error)
            *error = "facets must be 3 to 360";
        return false;
    }
    // Start-up as a host does it: settings, plot properties, view, Init, styles.
    CAppSettings::InitSettings();
    m_impl->config.SetConfigType(options.configType);
    if (!options.configFile.empty()) {
        std::wstring wide(options.configFile.begin(), options.configFile.end());
        m_impl->config.SetConfigFile(wide.c_str());
    }
    m_impl->model.Init();
    m_impl->view = std::make_unique<HMyBaseView>(&m_impl->model, nullptr, nullptr, nullptr, 0, 0);
    m_impl->view->Init();
    StyleLibrary::ViewTargets targets;
    targets.cuttingPlaneSegment = m_impl->view->GetCuttingPlanesKey();
    StyleLibrary::ResetAllColors(m_impl->config, targets);
    // A pick selects an element: the segment that holds the picked geometry, drawn in the
    // settings store's selection colours.
    if (HSelectionSet* selection = m_impl->view->GetSelection()) {
        selection->SetSelectionLevel(HSelectLevelSegment);
        const std::string faces = HOpConfig::FormatColor(CAppSettings::PolygonSelectionColor);
        const std::string lines = HOpConfig::FormatColor(CAppSettings::LineSelectionColor);
        const std::string markers = HOpConfig::FormatColor(CAppSettings::MarkerSelectionColor);
        const std::string highlight = "faces=(" + faces + "), edges=(" + lines + "), lines=(" +
                                      lines + "), text=(" + lines + "), markers=(" + markers + ")";
        selection->SetHighlightColor(highlight.c_str());
    }
    m_impl->started = true;
    return true;
}

HMyBaseView& Plotter::View() { return *m_impl->view; }
HBaseModel& Plotter::Model() { return m_impl->model; }
HOpConfig& Plotter::Config() { return m_impl->config; }

void Plotter::SetVisible(Kind kind, bool visible) {
    std::string path = KindPath(kind);
    HC_Open_Segment(path.c_str());
    if (visible) {
        if (HC_Show_Existence("visibility") > 0)
            HC_UnSet_Visibility();
    } else {
        HC_Set_Visibility("everything=off");
    }
    HC_Close_Segment();
}

bool Plotter::IsVisible(Kind kind) const {
    std::string path = KindPath(kind);
    return HC_QShow_Existence(path.c_str(), "visibility") == 0;
}

namespace {

// Draws elements one by one into their own segments and registers them.
class ModelDrawer {
public:
    ModelDrawer(const host::PipingModel& model, HMyBaseView& view, HElementCollection& registry,
                PlotStats& stats, int facets)
        : m_model(model), m_view(view), m_registry(registry), m_stats(stats), m_facets(facets) {}

    void Element(const host::Element& e) {
        const host::Vec3& a = m_model.nodes.at(e.from);
        const host::Vec3& b = m_model.nodes.at(e.to);
        double trim = StartTrim(e);
        const double r = e.od / 2;
        if (e.bendRadius) {
            const host::Element* next = NextOf(e);
            const host::Vec3& c = m_model.nodes.at(next->to);
            Open(Kind::Bends, e.from, e.to, Info(Kind::Bends).style);
            HCreateBend bend(&m_view, 0, 1);
            bend.InsertBend(F(a[0]), F(a[1]), F(a[2]), F(b[0]), F(b[1]), F(b[2]), F(b[0]), F(b[1]),
                            F(b[2]), F(c[0]), F(c[1]), F(c[2]), F(r), F(*e.bendRadius), F(trim));
            Close();
            return;
        }
        host::Vec3 s = a;
        double len = Length(e.delta);
        // A run no longer than the bend's tangent is all bend: nothing straight is left to
        // draw (drawn whole, it would cut across the bend). Its segment stays, empty.
        if (trim > 0 && trim >= len * (1 - 1e-6)) {
            const Kind kind = e.rigid ? Kind::Rigids : e.expansionJoint ? Kind::ExpansionJoints : Kind::Pipes;
            Open(kind, e.from, e.to, Info(kind).style);
            Close();
            return;
        }
        if (trim > 0 && trim < len)
            for (int i = 0; i < 3; ++i)
                s[i] = a[i] + e.delta[i] * trim / len;
        if (e.rigid) {
            Open(Kind::Rigids, e.from, e.to, Info(Kind::Rigids).style);
            HCreatePlotSymbols symbols(&m_view, 0, 1);
            symbols.InsertRigid(F(s[0]), F(s[1]), F(s[2]), F(b[0]), F(b[1]), F(b[2]), F(e.od), 0);
            Close();
        } else if (e.expansionJoint) {
            Open(Kind::ExpansionJoints, e.from, e.to, Info(Kind::ExpansionJoints).style);
            HCreatePlotSymbols symbols(&m_view, 0, 1);
            const host::ExpansionJoint& j = *e.expansionJoint;
            if (j.convolutions > 0)
                symbols.InsertPVExpJoint(j.convolutions, F(s[0]), F(s[1]), F(s[2]), F(b[0]), F(b[1]),
                                         F(b[2]), F(j.rootRadius), F(j.crestRadius), F(j.knuckleRadius),
                                         F(j.firstOffset), F(j.rootPitch), F(j.crestWidth));
            else
                symbols.InsertExpansionJoint(F(s[0]), F(s[1]), F(s[2]), F(b[0]), F(b[1]), F(b[2]), F(e.od));
            Close();
        } else {
            Open(Kind::Pipes, e.from, e.to, Info(Kind::Pipes).style);
            HCreateCylinder cylinder(&m_view, 0, 1);
            float top = e.reducerOd ? F(*e.reducerOd / 2) : 0.0f;
            // Lids at both ends: a free end (a nozzle, a drain) looks closed, and lids are
            // hidden inside joints anyway.
            cylinder.InsertCylinder(F(s[0]), F(s[1]), F(s[2]), F(b[0]), F(b[1]), F(b[2]), F(r), m_facets,
                                    0.0f, top, 6, 0, 0.0f, 360.0f);
            Close();
        }
    }

    void Restraint(const host::Restraint& rs) {
        const host::Element* e = m_model.ElementsAt(rs.node).front();
        const host::Vec3& a = m_model.nodes.at(rs.node);
        const host::Vec3& b = m_model.nodes.at(e->from == rs.node ? e->to : e->from);
        Open(Kind::Restraints, rs.node, rs.node, Info(Kind::Restraints).style);
        HCreatePlotSymbols symbols(&m_view, 0, 1);
        auto dir = static_cast<HCreatePlotSymbols::SymbolDirection>(rs.direction);
        if (rs.rodLength > 0) {
            symbols.SetRodRestraintRotation(dir, rs.cosines.c_str());
            symbols.InsertRodRestraint(F(a[0]), F(a[1]), F(a[2]), F(b[0]), F(b[1]), F(b[2]), F(e->od),
                                       rs.stiff, F(rs.rodLength), dir);
        } else {
            symbols.SetRestraintRotation(dir, rs.cosines.c_str());
            char unused[1] = {0};
            symbols.InsertRestraint(F(a[0]), F(a[1]), F(a[2]), F(b[0]), F(b[1]), F(b[2]), F(e->od),
                                    rs.stiff, rs.setOff, dir, unused);
        }
        Close();
    }

    void Hanger(const host::Hanger& h) {
        const host::Element* e = m_model.ElementsAt(h.node).front();
        const host::Vec3& a = m_model.nodes.at(h.node);
        Open(Kind::Hangers, h.node, h.node, Info(Kind::Hangers).style);
        HCreatePlotSymbols symbols(&m_view, 0, 1);
        // The hanger's vertical axis: Z (direction 3) in a Z-up model, Y (2) otherwise.
        auto dir = static_cast<HCreatePlotSymbols::SymbolDirection>(m_model.up == host::UpAxis::Z ? 3 : 2);
        symbols.InsertSpringHanger(F(a[0]), F(a[1]), F(a[2]), F(e->od), h.can ? 2 : 1, dir);
        Close();
    }

    void NodeSymbol(Kind kind, const char* style, const host::NodeItem& n, int which) {
        const host::Element* e = m_model.ElementsAt(n.node).front();
        const host::Vec3& a = m_model.nodes.at(n.node);
        const host::Vec3& b = m_model.nodes.at(e->from == n.node ? e->to : e->from);
        Open(kind, n.node, n.node, style);
        HCreatePlotSymbols symbols(&m_view, 0, 1);
        if (which == 0)
            symbols.InsertAnchor(F(a[0]), F(a[1]), F(a[2]), F(b[0]), F(b[1]), F(b[2]), F(e->od));
        else if (which == 1)
            symbols.InsertNozzle(F(a[0]), F(a[1]), F(a[2]), F(b[0]), F(b[1]), F(b[2]), F(e->od));
        else
            symbols.InsertFlangePC(F(a[0]), F(a[1]), F(a[2]), F(b[0]), F(b[1]), F(b[2]), F(e->od));
        Close();
    }

    void Tee(const host::NodeItem& t) {
        std::vector<const host::Element*> es = m_model.ElementsAt(t.node);
        CVector3D branches[3];
        float diameters[3];
        int centreEnds[3];
        for (int i = 0; i < 3; ++i) {
            const host::Vec3& a = m_model.nodes.at(es[i]->from);
            const host::Vec3& b = m_model.nodes.at(es[i]->to);
            branches[i].Set(F(a[0]), F(a[1]), F(a[2]), F(b[0]), F(b[1]), F(b[2]));
            diameters[i] = F(es[i]->od);
            centreEnds[i] = es[i]->from == t.node ? 1 : 0;
        }
        Open(Kind::Tees, t.node, t.node, Info(Kind::Tees).style);
        HCreatePlotSymbols symbols(&m_view, 0, 1);
        symbols.CreateTee(branches, diameters, centreEnds);
        Close();
    }

    void Steel(const host::SteelMember& s, int index) {
        Open(Kind::Structures, 0, 0, Info(Kind::Structures).style, "member " + std::to_string(index));
        HCreateStructure structure(&m_view, 0, 1);
        const host::Vec3& a = s.from;
        const host::Vec3& b = s.to;
        const auto& d = s.dims;
        float x1 = F(a[0]), y1 = F(a[1]), z1 = F(a[2]), x2 = F(b[0]), y2 = F(b[1]), z2 = F(b[2]);
        switch (s.section) {
        case host::SteelSection::Channel:
            structure.InsertChannel(x1, y1, z1, x2, y2, z2, F(d[0]), F(d[1]), F(d[2]), F(d[3]), F(s.turn));
            break;
        case host::SteelSection::WideFlange:
            structure.InsertWideChannel(x1, y1, z1, x2, y2, z2, F(d[0]), F(d[1]), F(d[2]), F(d[3]), F(s.turn));
            break;
        case host::SteelSection::Angle:
            structure.InsertAngle(x1, y1, z1, x2, y2, z2, F(d[0]), F(d[1]), F(d[2]), F(d[3]), F(s.turn));
            break;
        case host::SteelSection::Tee:
            structure.InsertStructuralTee(x1, y1, z1, x2, y2, z2, F(d[0]), F(d[1]), F(d[2]), F(d[3]), F(s.turn));
            break;
        case host::SteelSection::Box:
            structure.InsertUserDef(x1, y1, z1, x2, y2, z2, F(d[0]), F(d[1]), F(s.turn));
            break;
        }
        Close();
    }

private:
    static double Length(const host::Vec3& v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

    // The first element that starts where `e` ends: the one a bend at e's end turns onto.
    const host::Element* NextOf(const host::Element& e) const { return m_model.FirstFrom(e.to); }

    // How far `e` is trimmed at its start because the bend of the element before it
    // sweeps into it: the tangent length R·tan(α/2) of the bend's whole-degree angle.
    double StartTrim(const host::Element& e) const {
        for (const host::Element* pp : m_model.ElementsAt(e.from)) {
            const host::Element& p = *pp;
            if (!p.bendRadius || p.to != e.from || NextOf(p) != &e)
                continue;
            const host::Vec3& a = m_model.nodes.at(p.from);
            const host::Vec3& b = m_model.nodes.at(p.to);
            const host::Vec3& c = m_model.nodes.at(e.to);
            CVector3D e1(F(a[0]), F(a[1]), F(a[2]), F(b[0]), F(b[1]), F(b[2]));
            CVector3D e2(F(b[0]), F(b[1]), F(b[2]), F(c[0]), F(c[1]), F(c[2]));
            float alpha = e1 ^ &e2;
            // The bend builder's rounding: cut to whole degrees, lifting a hair below one.
            float lifted = std::trunc(alpha + 10 * HUtility::EH_Epsilon);
            alpha = std::trunc(alpha) < lifted ? lifted : std::trunc(alpha);
            if (alpha < 1)
                return 0;
            return std::tan(alpha * HUtility::PI / 180 / 2) * *p.bendRadius;
        }
        return 0;
    }

    void Open(Kind kind, int from, int to, const char* style, std::string name = {}) {
        if (name.empty())
            name = from == to ? std::to_string(from) : std::to_string(from) + "-" + std::to_string(to);
        // The kind's segment stays open around the element's, so that the names below are
        // looked up in it alone rather than along the whole path each time.
        HC_Open_Segment_By_Key(KindKey(kind));
        // Several symbols of one kind may stand on a node: number the later ones.
        std::string path = name;
        for (int n = 2; HC_QShow_Existence(path.c_str(), "self") > 0; ++n)
            path = name + " #" + std::to_string(n);
        m_segment = HC_Open_Segment(path.c_str());
        if (from > 0 || to > 0) {
            char options[64];
            std::snprintf(options, sizeof options, "from=%d,to=%d", from, to);
            HC_Set_User_Options(options);
        }
        HC_Style_Segment(style);
        // Each element is one of the plot's objects: Select by Window takes what lies in an
        // object segment, and a pick in any of its parts selects the whole element.
        HObjectManager::SetHObjectSegment(m_segment, CHoopsViewEx::kElementObjectKind);
        m_kind = kind;
    }

    void Close() {
        HC_Close_Segment();
        HC_Close_Segment();  // the kind's
        m_stats.counts[m_kind]++;
        if (m_kind != Kind::Structures)
            m_registry.Add(m_segment, HElementCollection::SegmentKey);
    }

    const host::PipingModel& m_model;
    HMyBaseView& m_view;
    HElementCollection& m_registry;
    PlotStats& m_stats;
    int m_facets;
public:
    // The segment the last element, support or member was drawn into.
    HC_KEY LastSegment() const { return m_segment; }

private:
    HC_KEY KindKey(Kind kind) {
        HC_KEY& key = m_kindKeys[static_cast<size_t>(kind)];
        if (key == -1) key = HC_Create_Segment(KindPath(kind).c_str());
        return key;
    }

    HC_KEY m_segment = -1;
    std::array<HC_KEY, std::size(kKinds)> m_kindKeys = [] {
        std::array<HC_KEY, std::size(kKinds)> keys;
        keys.fill(-1);
        return keys;
    }();
    Kind m_kind = Kind::Pipes;
};

} // namespace

PlotStats Plotter::Draw(const host::PipingModel& model, const std::function<void(long, long)>& progress) {
    PlotStats stats;
    if (!m_impl->started)
        return stats;
    HMyBaseView& view = *m_impl->view;
    view.SetSymbolScaleFactor(F(model.symbolScale));
    // The builders' default vertical axis is Y; the alternate value selects Z.
    view.SetUpDirection(model.up == host::UpAxis::Z ? UpDirectionAlternate : UpDirectionDefault);

    // Every kind's segment exists, so the view's kind toggles find them.
    for (const KindInfo& k : kKinds) {
        HC_Open_Segment(KindPath(k.kind).c_str());
        HC_Close_Segment();
    }

    ModelDrawer drawer(model, view, m_registry, stats, m_impl->options.facets);
    const long total = static_cast<long>(model.elements.size() + model.restraints.size() + model.hangers.size() +
                                         model.anchors.size() + model.nozzles.size() + model.flanges.size() +
                                         model.tees.size() + model.steel.size());
    long done = 0;
    using Source = Impl::Source;
    auto note = [&](Source source, std::size_t index) {
        m_impl->items[HC_Show_Original_Key(drawer.LastSegment())] = {source, index};
        if (progress && (++done % 64 == 0 || done == total))
            progress(done, total);
    };
    for (std::size_t i = 0; i < model.elements.size(); ++i) {
        drawer.Element(model.elements[i]);
        note(Source::Element, i);
    }
    for (std::size_t i = 0; i < model.restraints.size(); ++i) {
        drawer.Restraint(model.restraints[i]);
        note(Source::Restraint, i);
    }
    for (std::size_t i = 0; i < model.hangers.size(); ++i) {
        drawer.Hanger(model.hangers[i]);
        note(Source::Hanger, i);
    }
    for (std::size_t i = 0; i < model.anchors.size(); ++i) {
        drawer.NodeSymbol(Kind::Anchors, Info(Kind::Anchors).style, model.anchors[i], 0);
        note(Source::Anchor, i);
    }
    for (std::size_t i = 0; i < model.nozzles.size(); ++i) {
        drawer.NodeSymbol(Kind::Rigids, "/Style Library/Nozzles", model.nozzles[i], 1);
        note(Source::Nozzle, i);
    }
    for (std::size_t i = 0; i < model.flanges.size(); ++i) {
        drawer.NodeSymbol(Kind::Rigids, "/Style Library/Flanges", model.flanges[i], 2);
        note(Source::Flange, i);
    }
    for (std::size_t i = 0; i < model.tees.size(); ++i) {
        drawer.Tee(model.tees[i]);
        note(Source::Tee, i);
    }
    for (std::size_t i = 0; i < model.steel.size(); ++i) {
        drawer.Steel(model.steel[i], static_cast<int>(i) + 1);
        note(Source::Steel, i);
    }
    m_impl->drawn = std::make_unique<host::PipingModel>(model);

    // The model segment shows the library; a Y-up model is turned so that its up axis is
    // the view's vertical.
    HC_Open_Segment_By_Key(m_impl->model.GetModelKey());
    HC_Flush_Contents(".", "includes");
    HC_Include_Segment(kLibrary);
    // Measurements read the model's unit here.
    HC_Set_User_Options((std::string("units=") + UnitName(model.units)).c_str());
    if (model.up == host::UpAxis::Y)
        HC_Rotate_Object(90, 0, 0);
    HC_Close_Segment();

    float lo[3], hi[3];
    if (HC_Compute_Circumcuboid(kLibrary, lo, hi)) {
        stats.hasBox = true;
        for (int i = 0; i < 3; ++i) {
            stats.bboxMin[i] = lo[i];
            stats.bboxMax[i] = hi[i];
        }
    }
    view.SetGeometryChanged();
    view.ZoomToExtents();
    return stats;
}

const host::PipingModel* Plotter::DrawnModel() const { return m_impl->drawn.get(); }

void Plotter::SetExtraInfoLines(ExtraInfoLines provider) { m_impl->extraLines = std::move(provider); }

bool Plotter::Describe(long key, ElementInfo* info, long* segment) const {
    const host::PipingModel* model = m_impl->drawn.get();
    if (!model || !info)
        return false;
    // From the picked item up to the element's segment; a stale key ends the walk.
    const Impl::Item* item = nullptr;
    for (HC_KEY k = key; k != -1 && !item && HC_Show_Existence_By_Key(k, "self") > 0; k = HC_KShow_Owner_By_Key(k)) {
        const auto found = m_impl->items.find(HC_Show_Original_Key(k));
        if (found != m_impl->items.end()) {
            item = &found->second;
            if (segment)
                *segment = k;
        }
    }
    if (!item)
        return false;
    using Source = Impl::Source;
    const std::size_t i = item->index;
    switch (item->source) {
    case Source::Element: *info = DescribeElement(*model, model->elements[i]); break;
    case Source::Restraint: *info = DescribeRestraint(*model, model->restraints[i]); break;
    case Source::Hanger: *info = DescribeHanger(*model, model->hangers[i]); break;
    case Source::Anchor: *info = DescribeNodeItem(*model, model->anchors[i], "Anchor"); break;
    case Source::Nozzle: *info = DescribeNodeItem(*model, model->nozzles[i], "Nozzle"); break;
    case Source::Flange: *info = DescribeNodeItem(*model, model->flanges[i], "Flange"); break;
    case Source::Tee: *info = DescribeNodeItem(*model, model->tees[i], "Tee"); break;
    case Source::Steel: *info = DescribeSteel(*model, model->steel[i], static_cast<int>(i) + 1); break;
    }
    AppendExtraLines(*info, m_impl->extraLines);
    return true;
}

} // namespace ketra::plotter
