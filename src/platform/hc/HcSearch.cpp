// Segment specs, content filters, contents search and flushing.
#include "platform/hc/AttributeText.h"
#include "platform/hc/GraphInternal.h"
#include "platform/hc/OptionParser.h"

#include <algorithm>

using namespace ketra::hc;
using namespace ketra::hc::detail;

namespace ketra::hc::detail {

namespace {

struct FilterName {
    const char* name;
    int kind;  // 0 segments, 1 includes, 2 styles, 3 geometry bits, 4 attribute bits
    uint32_t bits;
};

constexpr uint32_t G(GeometryKind k) { return 1u << static_cast<int>(k); }
constexpr uint32_t A(AttributeKind k) { return 1u << static_cast<int>(k); }

constexpr FilterName kFilterNames[] = {
    {"segments", 0, 0}, {"segment", 0, 0}, {"subsegments", 0, 0}, {"subsegment", 0, 0},
    {"includes", 1, 0}, {"include", 1, 0}, {"styles", 2, 0}, {"style", 2, 0},
    {"geometry", 3, kAllGeometry},
    {"shells", 3, G(GeometryKind::Shell)}, {"shell", 3, G(GeometryKind::Shell)},
    {"polycylinders", 3, G(GeometryKind::PolyCylinder)}, {"polycylinder", 3, G(GeometryKind::PolyCylinder)},
    {"cylinders", 3, G(GeometryKind::Cylinder)}, {"cylinder", 3, G(GeometryKind::Cylinder)},
    {"lines", 3, G(GeometryKind::Line)}, {"line", 3, G(GeometryKind::Line)},
    {"polylines", 3, G(GeometryKind::Polyline)}, {"polyline", 3, G(GeometryKind::Polyline)},
    {"markers", 3, G(GeometryKind::Marker)}, {"marker", 3, G(GeometryKind::Marker)},
    {"text", 3, G(GeometryKind::Text)},
    {"polygons", 3, G(GeometryKind::Polygon)}, {"polygon", 3, G(GeometryKind::Polygon)},
    {"circles", 3, G(GeometryKind::Circle)}, {"circle", 3, G(GeometryKind::Circle)},
    {"ellipses", 3, G(GeometryKind::Ellipse)}, {"ellipse", 3, G(GeometryKind::Ellipse)},
    {"elliptical arcs", 3, G(GeometryKind::EllipticalArc)}, {"elliptical arc", 3, G(GeometryKind::EllipticalArc)},
    {"images", 3, G(GeometryKind::Image)}, {"image", 3, G(GeometryKind::Image)},
    {"distant lights", 3, G(GeometryKind::DistantLight)}, {"distant light", 3, G(GeometryKind::DistantLight)},
    {"lights", 3, G(GeometryKind::DistantLight)},
    {"cutting planes", 3, G(GeometryKind::CuttingPlane)}, {"cutting plane", 3, G(GeometryKind::CuttingPlane)},
    {"attributes", 4, kAllAttributes},
    {"color", 4, A(AttributeKind::Color)}, {"colors", 4, A(AttributeKind::Color)},
    {"colour", 4, A(AttributeKind::Color)},
    {"color map", 4, A(AttributeKind::ColorMap)},
    {"visibility", 4, A(AttributeKind::Visibility)},
    {"selectability", 4, A(AttributeKind::Selectability)},
    {"line pattern", 4, A(AttributeKind::LinePattern)},
    {"edge pattern", 4, A(AttributeKind::EdgePattern)},
    {"face pattern", 4, A(AttributeKind::FacePattern)},
    {"marker symbol", 4, A(AttributeKind::MarkerSymbol)},
    {"text alignment", 4, A(AttributeKind::TextAlignment)},
    {"line weight", 4, A(AttributeKind::LineWeight)},
    {"edge weight", 4, A(AttributeKind::EdgeWeight)},
    {"marker size", 4, A(AttributeKind::MarkerSize)},
    {"text font", 4, A(AttributeKind::TextFont)},
    {"rendering options", 4, A(AttributeKind::RenderingOptions)},
    {"heuristics", 4, A(AttributeKind::Heuristics)},
    {"callback", 4, A(AttributeKind::Callback)}, {"callbacks", 4, A(AttributeKind::Callback)},
    {"user options", 4, A(AttributeKind::UserOptions)}, {"user option", 4, A(AttributeKind::UserOptions)},
    {"user index", 4, A(AttributeKind::UserIndex)}, {"user indices", 4, A(AttributeKind::UserIndex)},
    {"handedness", 4, A(AttributeKind::Handedness)},
    {"modelling matrix", 4, A(AttributeKind::ModellingMatrix)},
    {"modeling matrix", 4, A(AttributeKind::ModellingMatrix)},
    {"camera", 4, A(AttributeKind::Camera)}, {"window", 4, A(AttributeKind::Window)},
    {"driver options", 4, A(AttributeKind::DriverOptions)},
};

bool GlobMatch(std::string_view pattern, std::string_view text) {
    // Case-insensitive '*' matching; iterative with backtracking on the last star.
    size_t p = 0, t = 0, star = std::string_view::npos, mark = 0;
    auto eq = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    };
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = t;
        } else if (p < pattern.size() && eq(pattern[p], text[t])) {
            ++p;
            ++t;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            t = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

void AddSubtree(Segment& s, std::vector<Segment*>& out) {
    out.push_back(&s);
    for (auto& c : s.children) AddSubtree(*c, out);
}

// Resolves a path that contains '*' components.
bool ExpandWildcards(const char* fn, std::string_view spec, std::vector<Segment*>& out) {
    Graph& graph = Graph::Instance();
    std::string_view p = spec;
    std::vector<Segment*> current;
    if (!p.empty() && p.front() == '/') {
        current.push_back(&graph.Root());
        p.remove_prefix(1);
    } else {
        // Resolve the part before the first wildcard component normally.
        const size_t star = p.find('*');
        const size_t cut = p.rfind('/', star);
        Segment* base = nullptr;
        std::string err;
        if (cut == std::string_view::npos) {
            base = graph.OpenSegment();
            if (!base) base = &graph.Root();
        } else {
            base = graph.Resolve(p.substr(0, cut), false, &err);
            p.remove_prefix(cut + 1);
        }
        if (!base) {
            ReportError(fn, HC_ERR_PATH, err);
            return false;
        }
        current.push_back(base);
    }
    while (!p.empty()) {
        const size_t slash = p.find('/');
        const std::string_view comp = Trim(p.substr(0, slash));
        p = slash == std::string_view::npos ? std::string_view{} : p.substr(slash + 1);
        if (comp.empty() || comp == ".") continue;
        std::vector<Segment*> next;
        for (Segment* s : current) {
            if (comp == "..") {
                if (s->owner) next.push_back(s->owner);
                continue;
            }
            for (auto& c : s->children)
                if (comp.find('*') != std::string_view::npos ? GlobMatch(comp, c->name)
                                                             : EqualsNoCase(comp, c->name))
                    next.push_back(c.get());
        }
        current.swap(next);
    }
    out.insert(out.end(), current.begin(), current.end());
    return true;
}

void Snapshot(const Segment& s, const ContentFilter& f, Graph::State::Search& search) {
    auto& r = search.results;
    if (f.includes)
        for (const auto& inc : s.includes) r.emplace_back("include", inc->VisibleKey());
    if (f.styles)
        for (const auto& st : s.styles) r.emplace_back("style", st->VisibleKey());
    if (f.geometry)
        for (const auto& g : s.geometry)
            if (f.geometry & (1u << static_cast<int>(g->type)))
                r.emplace_back(GeometryKindName(g->type), g->VisibleKey());
    if (f.attributes)
        for (int k = 0; k < static_cast<int>(AttributeKind::Count); ++k)
            if ((f.attributes & (1u << k)) &&
                HasAttribute(s.attributes.get(), s.userOptions.get(), static_cast<AttributeKind>(k)))
                r.emplace_back(AttributeKindName(static_cast<AttributeKind>(k)), s.VisibleKey());
    if (f.segments)
        for (const auto& c : s.children) r.emplace_back("segment", c->VisibleKey());
}

}  // namespace

bool ParseContentFilter(const char* fn, std::string_view text, ContentFilter& out) {
    out = ContentFilter{};
    std::vector<OptionItem> items;
    std::string err;
    if (!ParseOptionList(text, items, &err)) {
        ReportBadOption(fn, "filter", text, err);
        return false;
    }
    if (items.empty()) {
        ReportBadOption(fn, "filter", text, "empty filter");
        return false;
    }
    for (const OptionItem& it : items) {
        if (it.hasValue) {
            ReportBadOption(fn, "filter", text, "unexpected value for '" + it.name + "'");
            return false;
        }
        ContentFilter add;
        if (it.name == "everything") {
            add.segments = add.includes = add.styles = true;
            add.geometry = kAllGeometry;
            add.attributes = kAllAttributes;
        } else {
            const FilterName* found = nullptr;
            for (const FilterName& f : kFilterNames)
                if (it.name == f.name) found = &f;
            if (!found) {
                ReportBadOption(fn, "filter", text, "unknown type '" + it.name + "'");
                return false;
            }
            switch (found->kind) {
                case 0: add.segments = true; break;
                case 1: add.includes = true; break;
                case 2: add.styles = true; break;
                case 3: add.geometry = found->bits; break;
                default: add.attributes = found->bits; break;
            }
        }
        if (it.negated) {
            out.segments = out.segments && !add.segments;
            out.includes = out.includes && !add.includes;
            out.styles = out.styles && !add.styles;
            out.geometry &= ~add.geometry;
            out.attributes &= ~add.attributes;
        } else {
            out.segments = out.segments || add.segments;
            out.includes = out.includes || add.includes;
            out.styles = out.styles || add.styles;
            out.geometry |= add.geometry;
            out.attributes |= add.attributes;
        }
    }
    return true;
}

const char* AttributeKindName(AttributeKind kind) {
    static const char* const kNames[] = {
        "color",       "color map",    "visibility",    "selectability", "line pattern",
        "edge pattern", "face pattern", "marker symbol", "text alignment", "line weight",
        "edge weight", "marker size",  "text font",     "rendering options", "heuristics",
        "callback",    "user options", "user index",    "handedness",    "modelling matrix",
        "camera",      "window",       "driver options"};
    return kNames[static_cast<int>(kind)];
}

bool HasAttribute(const AttributeSet* set, const OptionMap* userOptions, AttributeKind kind) {
    if (kind == AttributeKind::UserOptions) return userOptions && !userOptions->Empty();
    if (!set) return false;
    const AttributeSet& a = *set;
    switch (kind) {
        case AttributeKind::Color: return a.color && !a.color->Empty();
        case AttributeKind::ColorMap: return a.colorMap.has_value();
        case AttributeKind::Visibility: return !a.visibility.Empty();
        case AttributeKind::Selectability: return !a.selectability.Empty();
        case AttributeKind::LinePattern: return a.linePattern.has_value();
        case AttributeKind::EdgePattern: return a.edgePattern.has_value();
        case AttributeKind::FacePattern: return a.facePattern.has_value();
        case AttributeKind::MarkerSymbol: return a.markerSymbol.has_value();
        case AttributeKind::TextAlignment: return a.textAlignment.has_value();
        case AttributeKind::LineWeight: return a.lineWeight.has_value();
        case AttributeKind::EdgeWeight: return a.edgeWeight.has_value();
        case AttributeKind::MarkerSize: return a.markerSize.has_value();
        case AttributeKind::TextFont: return !a.textFont.Empty();
        case AttributeKind::RenderingOptions: return !a.renderingOptions.Empty();
        case AttributeKind::Heuristics: return !a.heuristics.Empty();
        case AttributeKind::Callback: return !a.callbacks.Empty();
        case AttributeKind::UserOptions: break;  // above
        case AttributeKind::UserIndex: return !a.userIndex.empty();
        case AttributeKind::Handedness: return a.handedness.has_value();
        case AttributeKind::ModellingMatrix: return a.modellingMatrix.has_value();
        case AttributeKind::Camera: return a.camera.set;
        case AttributeKind::Window: return a.window.set;
        case AttributeKind::DriverOptions: return a.driver != nullptr;
        case AttributeKind::Count: break;
    }
    return false;
}

void ClearAttribute(Segment& segment, AttributeKind kind) {
    if (kind == AttributeKind::UserOptions) {
        segment.userOptions.reset();
        return;
    }
    if (!segment.attributes) return;
    AttributeSet& a = *segment.attributes;
    switch (kind) {
        case AttributeKind::Color: a.color.reset(); break;
        case AttributeKind::ColorMap: a.colorMap.reset(); break;
        case AttributeKind::Visibility: a.visibility = {}; break;
        case AttributeKind::Selectability: a.selectability = {}; break;
        case AttributeKind::LinePattern: a.linePattern.reset(); break;
        case AttributeKind::EdgePattern: a.edgePattern.reset(); break;
        case AttributeKind::FacePattern: a.facePattern.reset(); break;
        case AttributeKind::MarkerSymbol: a.markerSymbol.reset(); break;
        case AttributeKind::TextAlignment: a.textAlignment.reset(); break;
        case AttributeKind::LineWeight: a.lineWeight.reset(); break;
        case AttributeKind::EdgeWeight: a.edgeWeight.reset(); break;
        case AttributeKind::MarkerSize: a.markerSize.reset(); break;
        case AttributeKind::TextFont: a.textFont.Clear(); break;
        case AttributeKind::RenderingOptions: a.renderingOptions.Clear(); break;
        case AttributeKind::Heuristics: a.heuristics.Clear(); break;
        case AttributeKind::Callback: a.callbacks.Clear(); break;
        case AttributeKind::UserOptions: break;  // above
        case AttributeKind::UserIndex: a.userIndex.clear(); break;
        case AttributeKind::Handedness: a.handedness.reset(); break;
        case AttributeKind::ModellingMatrix: a.modellingMatrix.reset(); break;
        case AttributeKind::Camera: a.camera = Camera{}; break;
        case AttributeKind::Window: a.window = Window{}; break;
        case AttributeKind::DriverOptions: a.driver.reset(); break;
        case AttributeKind::Count: break;
    }
    if (a.Empty()) segment.attributes.reset();
}

bool ExpandSegmentSpec(const char* fn, std::string_view spec, std::vector<Segment*>& out) {
    out.clear();
    std::string_view s = Trim(spec);
    bool recursive = false;
    if (s.size() >= 3 && s.substr(s.size() - 3) == "...") {
        recursive = true;
        s = Trim(s.substr(0, s.size() - 3));
        if (!s.empty() && s.back() == '/' && s.size() > 1) s.remove_suffix(1);
        if (s.empty()) s = ".";
    }
    if (s.empty()) {
        ReportError(fn, HC_ERR_PATH, "empty segment path");
        return false;
    }
    Graph& graph = Graph::Instance();
    std::vector<Segment*> base;
    if (s.find('*') != std::string_view::npos) {
        if (!ExpandWildcards(fn, s, base)) return false;
    } else {
        if ((s.front() != '/' && s.front() != '?') && St().open.size() && !graph.OpenSegment()) {
            ReportError(fn, HC_ERR_STATE, "the open segment was deleted");
            return false;
        }
        std::string err;
        Segment* seg = graph.Resolve(s, false, &err);
        if (!seg) {
            ReportError(fn, HC_ERR_PATH, err);
            return false;
        }
        base.push_back(seg);
    }
    for (Segment* b : base) {
        if (recursive) AddSubtree(*b, out);
        else out.push_back(b);
    }
    return true;
}

}  // namespace ketra::hc::detail

extern "C" {

void HC_Begin_Contents_Search(const char* segment, const char* filter) {
    const char* fn = __func__;
    Graph::State& st = St();
    Graph::State::Search search;
    if (!segment || !filter) {
        ReportError(fn, HC_ERR_ARGUMENT, "null segment or filter");
        st.searches.push_back(std::move(search));  // keeps Begin/End balanced
        return;
    }
    ContentFilter f;
    if (!ParseContentFilter(fn, filter, f)) {
        st.searches.push_back(std::move(search));
        return;
    }
    Graph::State::Frame* top = TopFrame();
    if (top && top->kind == Graph::State::Frame::Kind::Lod && Trim(segment) == ".") {
        if (Geometry* base = Graph::Instance().FindGeometry(top->key); base && base->Shell()) {
            for (const LodLevel& lod : base->Shell()->lods)
                if (lod.level == top->a)
                    for (const auto& g : lod.items)
                        if (f.geometry & (1u << static_cast<int>(g->type)))
                            search.results.emplace_back(GeometryKindName(g->type), g->VisibleKey());
        }
        st.searches.push_back(std::move(search));
        return;
    }
    std::vector<Segment*> segs;
    if (ExpandSegmentSpec(fn, segment, segs))
        for (Segment* s : segs) Snapshot(*s, f, search);
    st.searches.push_back(std::move(search));
}

bool HC_Find_Contents(char* type, HC_KEY* key) {
    Graph::State& st = St();
    if (st.searches.empty()) {
        ReportError(__func__, HC_ERR_STATE, "no contents search is active");
        return false;
    }
    Graph& graph = Graph::Instance();
    auto& s = st.searches.back();
    while (s.next < s.results.size()) {
        const auto& r = s.results[s.next++];
        // Items deleted since the search began are skipped.
        if (!graph.Find(r.second)) continue;
        if (type) CopyOut(r.first, type);
        if (key) *key = r.second;
        return true;
    }
    return false;
}

void HC_Show_Contents_Count(int* count) {
    Graph::State& st = St();
    if (!count) {
        ReportError(__func__, HC_ERR_ARGUMENT, "null count");
        return;
    }
    if (st.searches.empty()) {
        ReportError(__func__, HC_ERR_STATE, "no contents search is active");
        *count = 0;
        return;
    }
    *count = static_cast<int>(st.searches.back().results.size());
}

void HC_End_Contents_Search(void) {
    Graph::State& st = St();
    if (st.searches.empty()) {
        ReportError(__func__, HC_ERR_STATE, "no contents search is active");
        return;
    }
    st.searches.pop_back();
}

void HC_Flush_Contents(const char* segment, const char* filter) {
    const char* fn = __func__;
    if (!segment || !filter) {
        ReportError(fn, HC_ERR_ARGUMENT, "null segment or filter");
        return;
    }
    ContentFilter f;
    if (!ParseContentFilter(fn, filter, f)) return;
    std::vector<Segment*> segs;
    if (!ExpandSegmentSpec(fn, segment, segs)) return;
    Graph& graph = Graph::Instance();
    // Hold keys: flushing one segment may delete later ones of the list.
    std::vector<Key> keys;
    keys.reserve(segs.size());
    for (Segment* s : segs) keys.push_back(s->key);
    bool keptOpen = false;
    for (Key k : keys) {
        Segment* s = graph.FindSegment(k);
        if (!s) continue;
        if (f.geometry) {
            std::vector<Geometry*> doomed;
            for (auto& g : s->geometry)
                if (f.geometry & (1u << static_cast<int>(g->type))) doomed.push_back(g.get());
            for (Geometry* g : doomed) DeleteGeometry(*g);
        }
        if (f.includes)
            while (!s->includes.empty()) DeleteReference(*s->includes.back());
        if (f.styles)
            while (!s->styles.empty()) DeleteReference(*s->styles.back());
        if (f.segments) {
            std::vector<Segment*> doomed;
            for (auto& c : s->children) doomed.push_back(c.get());
            for (Segment* c : doomed) {
                if (IsOpen(*c)) {
                    keptOpen = true;
                    continue;
                }
                DeleteSegment(*c);
            }
        }
        if (f.attributes)
            for (int a = 0; a < static_cast<int>(AttributeKind::Count); ++a)
                if (f.attributes & (1u << a)) ClearAttribute(*s, static_cast<AttributeKind>(a));
        graph.Touch(*s);
    }
    if (keptOpen) ReportError(fn, HC_ERR_STATE, "open segments were not flushed");
}

}  // extern "C"
