// Picking: HC_Compute_Selection (a point with the display's aperture) and
// HC_Compute_Selection_By_Area walk the tree below the start segment through the per-segment
// spatial index, test the pickable primitives in outer-window space and keep one hit per item
// and path; the HC_Show_Selection_* calls read the result.
//
// Rules (documented in docs/scene-graph.md and hc.h):
// - An item type is pickable where it is selectable and visible, or selectable "on!".
// - Faces are hit when the pick point lies inside them (holes excluded) or the pick rectangle
//   meets their outline; lines, polylines, edges and polycylinder axes when the rectangle
//   meets them (polycylinders widened by their projected radius); markers and images'
//   anchors when the rectangle holds their point; text anywhere over its extent on screen
//   (size, font and alignment as drawn; width from the installed text measurer).
// - A segment with the rendering option "mask transform" is picked where the renderer draws
//   it (its subtree facing the screen, at a fixed screen size for masked camera scale).
// - With the rendering option "lod" on, a shell is tested at the level the renderer draws.
// - Nothing behind the eye of a perspective camera and nothing outside the window is hit.
// - Results are sorted nearest the eye first ("no selection sorting": discovery order) and
//   cut to one plus the heuristic "related selection limit" (unlimited by default).
#include "platform/hc/AttributeText.h"
#include "platform/hc/GraphInternal.h"
#include "platform/hc/HcExtras.h"
#include "platform/hc/OptionParser.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

namespace ketra::hc {

namespace {

namespace cm = CameraMath;
using pick::PrimitiveHit;
using pick::Region;

// Level-of-detail thresholds shared with the renderer: below these projected sizes
// (pixels across the item's bounds) levels 1 and 2 are drawn.
constexpr double kLodLevel1Pixels = 48.0;
constexpr double kLodLevel2Pixels = 8.0;

struct Hit {
    Key item = kNoKey;
    std::vector<Key> path; // item first, display last
    int offset1 = -1, offset2 = -1, offset3 = -1;
    cm::Vec3 window;
    cm::Vec3 world;
    double depth = 0, distance = 0;
    size_t order = 0;
};

struct Selection {
    std::vector<Hit> hits;
    size_t current = 0;
};

Selection& Current() {
    static Selection selection;
    return selection;
}

// The attributes picking needs, resolved as Graph::Apply resolves them (styles first,
// without their matrices, then the segment's own), cheap to copy per segment.
struct PickAttributes {
    uint32_t visible = 0, selectable = 0, forced = 0;
    bool lod = false;
    cm::Matrix4 objectToWorld;
    // What sizes a text's extent.
    std::string textSize = "12 pts", textFontName = "sans serif", textAlignment = "**";

    void ApplyTextFont(const OptionMap& font) {
        if (const std::string* size = font.Find("size"))
            textSize = *size;
        if (const std::string* name = font.Find("name"))
            textFontName = *name;
    }

    static PickAttributes From(const NetAttributes& net) {
        PickAttributes p;
        p.ApplyTextFont(net.textFont);
        p.textAlignment = net.textAlignment;
        p.visible = net.visible;
        p.selectable = net.selectable;
        p.forced = net.selectableForced;
        p.lod = net.renderingOptions.IsOn("lod");
        p.objectToWorld = cm::Matrix4::FromFloats(net.modelling.data());
        return p;
    }
    void ApplyAttributes(const AttributeSet& a, bool withMatrix) {
        visible = (visible & ~a.visibility.mask) | (a.visibility.on & a.visibility.mask);
        const Selectability& s = a.selectability;
        selectable = (selectable & ~s.mask) | (s.on & s.mask);
        forced = (forced & ~s.mask) | (s.forced & s.mask);
        ApplyTextFont(a.textFont);
        if (a.textAlignment)
            textAlignment = *a.textAlignment;
        if (!a.renderingOptions.Empty() && a.renderingOptions.Has("lod"))
            lod = a.renderingOptions.IsOn("lod");
        if (withMatrix && a.modellingMatrix)
            objectToWorld =
                cm::Multiply(cm::Matrix4::FromFloats(a.modellingMatrix->data()), objectToWorld);
    }
    void ApplyStyles(const Segment& segment, int depth) {
        if (depth > 16)
            return; // styles that style each other
        for (const auto& ref : segment.styles) {
            if (!ref->target)
                continue;
            ApplyStyles(*ref->target, depth + 1);
            if (ref->target->attributes)
                ApplyAttributes(*ref->target->attributes, false);
        }
    }
    void Apply(const Segment& segment) {
        ApplyStyles(segment, 0);
        if (segment.attributes)
            ApplyAttributes(*segment.attributes, true);
    }
};

// What the walk knows at a segment.
struct WalkState {
    PickAttributes attributes;
    cm::Camera camera;
    double ax = 1, bx = 0, ay = 1, by = 0; // local window -> outer window
    double localWidth = 800, localHeight = 600;
    cm::Matrix4 worldToOuter, outerToWorld, objectToOuter;
    Region region; // pick region, clipped to the windows passed through
};

class Picker {
public:
    Picker(const DisplayWindow& window, bool area) : m_window(window), m_area(area) {}

    void Walk(const Segment& segment, const WalkState& state) {
        const SegmentIndex& idx = IndexOf(segment, m_above);
        if (idx.entries.empty())
            return;
        m_above.push_back(&segment);
        auto visit = [&](uint32_t i) {
            const IndexEntry& e = idx.entries[i];
            switch (e.kind) {
            case IndexEntry::Kind::Item:
                TestItem(*e.item, state);
                break;
            case IndexEntry::Kind::Child:
                Descend(*e.segment, nullptr, state);
                break;
            case IndexEntry::Kind::Include:
                Descend(*e.segment, e.include, state);
                break;
            }
        };
        idx.bvh.Query(
            [&](const Aabb& box) {
                return pick::BoxMayOverlap(box, state.objectToOuter, state.region);
            },
            [&](uint32_t i) {
                if (!idx.entries[i].masked)
                    visit(i);
            });
        // Masked parts are drawn away from their boxes: they are visited whatever the box.
        if (idx.masked)
            for (uint32_t i = 0; i < idx.entries.size(); ++i)
                if (idx.entries[i].masked)
                    visit(i);
        m_above.pop_back();
    }

    void Start(const Segment& start, const WalkState& state, std::vector<Key> pathDown) {
        m_path = std::move(pathDown);
        Walk(start, state);
    }

    std::vector<Hit>& Hits() { return m_hits; }

private:
    void Descend(const Segment& child, const Reference* include, const WalkState& parent) {
        if (m_path.size() > 4096)
            return; // absurd nesting: stop rather than exhaust the stack
        if (std::find(m_above.begin(), m_above.end(), &child) != m_above.end())
            return; // an include back into the chain above (indexes built elsewhere may hold it)
        if (include)
            m_path.push_back(include->VisibleKey());
        m_path.push_back(child.VisibleKey());

        WalkState state = parent;
        state.attributes.Apply(child);
        const AttributeSet* a = child.attributes.get();
        bool viewChanged = false;
        if (a && a->window.set) {
            const Window& w = a->window;
            const double sx = 0.5 * (static_cast<double>(w.right) - w.left);
            const double cx = 0.5 * (static_cast<double>(w.right) + w.left);
            const double sy = 0.5 * (static_cast<double>(w.top) - w.bottom);
            const double cy = 0.5 * (static_cast<double>(w.top) + w.bottom);
            state.bx += state.ax * cx;
            state.ax *= sx;
            state.by += state.ay * cy;
            state.ay *= sy;
            state.localWidth = std::fabs(state.ax) * m_window.widthPixels;
            state.localHeight = std::fabs(state.ay) * m_window.heightPixels;
            // Nothing outside a subwindow shows, so nothing there can be picked.
            const double x0 = state.bx - std::fabs(state.ax), x1 = state.bx + std::fabs(state.ax);
            const double y0 = state.by - std::fabs(state.ay), y1 = state.by + std::fabs(state.ay);
            state.region.ClipTo(x0, x1, y0, y1);
            viewChanged = true;
        }
        if (a && a->camera.set) {
            state.camera = ToMathCamera(a->camera);
            viewChanged = true;
        }
        if (!state.region.Empty()) {
            if (viewChanged)
                SetViewMatrices(state);
            // Drawn with parts of the transform masked: picked where it is drawn.
            MaskParts mask;
            if (SegmentMask(child, mask))
                state.attributes.objectToWorld =
                    MaskedModelling(state.attributes.objectToWorld, mask, state.camera,
                                    state.localWidth, state.localHeight);
            state.objectToOuter = cm::Multiply(state.attributes.objectToWorld, state.worldToOuter);
            Walk(child, state);
        }
        m_path.pop_back();
        if (include)
            m_path.pop_back();
    }

public:
    void SetViewMatrices(WalkState& state) const {
        const double aspect = state.localHeight > 0 ? state.localWidth / state.localHeight : 1.0;
        state.worldToOuter = cm::Multiply(cm::Multiply(cm::WorldToViewpoint(state.camera),
                                                       cm::ViewpointToWindow(state.camera, aspect)),
                                          cm::Multiply(cm::Scaling({state.ax, state.ay, 1}),
                                                       cm::Translation({state.bx, state.by, 0})));
        cm::Invert(state.worldToOuter, state.outerToWorld);
        state.region.nearW = state.camera.projection == cm::Projection::Perspective
                                 ? cm::CameraFrame(state.camera).distance * 1e-5
                                 : 0.0;
        state.region.perspective = state.camera.projection == cm::Projection::Perspective;
    }

private:
    // Pickable type bits for an item, from the segment's net values and the item's own.
    static uint32_t PickableTypes(const PickAttributes& net, const Geometry& item) {
        uint32_t visible = net.visible, selectable = net.selectable, forced = net.forced;
        if (item.attributes) {
            const Visibility& v = item.attributes->visibility;
            visible = (visible & ~v.mask) | (v.on & v.mask);
            const Selectability& s = item.attributes->selectability;
            selectable = (selectable & ~s.mask) | (s.on & s.mask);
            forced = (forced & ~s.mask) | (s.forced & s.mask);
        }
        return forced | (selectable & visible);
    }

    // The shell whose faces are tested: the item itself or the level of detail drawn.
    const Geometry& ShownLevel(const Geometry& item, const WalkState& state) const {
        const ShellData* shell = item.Shell();
        if (!shell || shell->lods.empty() || !state.attributes.lod)
            return item;
        const Aabb box = ItemBounds(item);
        if (box.Empty())
            return item;
        double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
        for (int c = 0; c < 8; ++c) {
            const cm::Vec3 p{(c & 1) ? box.max[0] : box.min[0], (c & 2) ? box.max[1] : box.min[1],
                             (c & 4) ? box.max[2] : box.min[2]};
            double w = 1;
            const cm::Vec3 q = cm::TransformPoint(state.objectToOuter, p, &w);
            if (w <= 0)
                return item; // behind the eye: full detail, as drawn
            minX = std::min(minX, q.x);
            maxX = std::max(maxX, q.x);
            minY = std::min(minY, q.y);
            maxY = std::max(maxY, q.y);
        }
        // Outer-window units to pixels of the display.
        const double dx = (maxX - minX) / 2 * m_window.widthPixels;
        const double dy = (maxY - minY) / 2 * m_window.heightPixels;
        const double pixels = std::sqrt(dx * dx + dy * dy);
        const int wanted = pixels < kLodLevel2Pixels ? 2 : pixels < kLodLevel1Pixels ? 1 : 0;
        if (wanted == 0)
            return item;
        const LodLevel* chosen = nullptr;
        for (const LodLevel& level : shell->lods)
            if (level.level <= wanted && !level.items.empty())
                chosen = &level;
        return chosen ? *chosen->items.front() : item;
    }

    // An area that holds an item's whole box holds every part of it: no face needs testing.
    // The position reported is then the item's first point.
    bool InsideArea(const Geometry& item, const WalkState& state, uint32_t types,
                    PrimitiveHit& best) const {
        const ShellData* shell = item.Shell();
        if (!m_area || !shell || !(types & kFaces) || shell->elements || shell->faceCount <= 0 ||
            shell->faceList.size() < 3 || !shell->lods.empty())
            return false;
        const Region& r = state.region;
        const Aabb box = ItemBounds(item);
        for (int c = 0; c < 8; ++c) {
            const cm::Vec3 p{(c & 1) ? box.max[0] : box.min[0], (c & 2) ? box.max[1] : box.min[1],
                             (c & 4) ? box.max[2] : box.min[2]};
            double w = 1;
            const cm::Vec3 q = cm::TransformPoint(state.objectToOuter, p, &w);
            if ((r.perspective && !(w >= r.nearW)) || !r.Contains(q.x, q.y))
                return false;
        }
        const int first = shell->faceList[1], second = shell->faceList[2];
        if (first < 0 || static_cast<size_t>(first) >= shell->points.size())
            return false;
        const Vec3& p = shell->points[static_cast<size_t>(first)];
        best.hit = true;
        best.position = cm::TransformPoint(state.objectToOuter, {p.x, p.y, p.z});
        best.distance = std::hypot(best.position.x - r.cx, best.position.y - r.cy);
        best.offset1 = first;
        best.offset2 = second;
        best.offset3 = 0;
        return true;
    }

    void TestItem(const Geometry& item, const WalkState& state) {
        const uint32_t types = PickableTypes(state.attributes, item);
        if (!(types & (kFaces | kEdges | kLines | kMarkers | kText)))
            return;
        PrimitiveHit best;
        if (!InsideArea(item, state, types, best))
            TestPrimitives(item, state, types, best);
        if (!best.hit)
            return;
        Hit h;
        h.item = item.VisibleKey();
        h.path.reserve(m_path.size() + 1);
        h.path.push_back(h.item);
        h.path.insert(h.path.end(), m_path.rbegin(), m_path.rend());
        h.offset1 = best.offset1;
        h.offset2 = best.offset2;
        h.offset3 = best.offset3;
        h.window = best.position;
        h.world = cm::TransformPoint(state.outerToWorld, best.position);
        h.depth = best.position.z;
        h.distance = best.distance;
        h.order = m_hits.size();
        m_hits.push_back(std::move(h));
    }

    void TestPrimitives(const Geometry& item, const WalkState& state, uint32_t types,
                        PrimitiveHit& best) {
        pick::ItemTester tester(state.objectToOuter, state.region, m_scratch);
        switch (item.type) {
        case GeometryKind::Shell: {
            const Geometry& shown = ShownLevel(item, state);
            // A level of detail may hold several shells; each is tested.
            if (&shown != &item && item.Shell()) {
                for (const LodLevel& level : item.Shell()->lods)
                    if (!level.items.empty() && level.items.front().get() == &shown)
                        for (const auto& part : level.items)
                            if (const ShellData* s = part->Shell())
                                tester.Shell(*s, ItemIndexOf(*part), types, best);
            } else if (const ShellData* s = item.Shell()) {
                tester.Shell(*s, ItemIndexOf(item), types, best);
            }
            break;
        }
        case GeometryKind::Polyline:
        case GeometryKind::Polygon:
            if (const auto* d = std::get_if<PolylineData>(&item.data)) {
                const bool closed = item.type == GeometryKind::Polygon;
                const uint32_t need = closed ? (kFaces | kEdges) : kLines;
                if (types & need)
                    tester.Polyline(d->points, closed, closed && (types & kFaces),
                                    ItemIndexOf(item), nullptr, best);
            }
            break;
        case GeometryKind::Line:
            if (const auto* d = std::get_if<LineData>(&item.data); d && (types & kLines)) {
                const std::vector<Vec3> pts{d->first, d->second};
                tester.Polyline(pts, false, false, nullptr, nullptr, best);
            }
            break;
        case GeometryKind::PolyCylinder:
            if (const auto* d = std::get_if<PolyCylinderData>(&item.data); d && (types & kFaces))
                tester.Polyline(d->points, false, false, ItemIndexOf(item), &d->radii, best);
            break;
        case GeometryKind::Cylinder:
            if (const auto* d = std::get_if<CylinderData>(&item.data); d && (types & kFaces)) {
                const std::vector<Vec3> pts{d->first, d->second};
                const std::vector<float> radii{d->radius};
                tester.Polyline(pts, false, false, nullptr, &radii, best);
            }
            break;
        case GeometryKind::Marker:
            if (const auto* d = std::get_if<MarkerData>(&item.data); d && (types & kMarkers))
                tester.Point(d->position, best);
            break;
        case GeometryKind::Text:
            if (const auto* d = std::get_if<TextData>(&item.data); d && (types & kText))
                TestText(*d, item, state, tester, best);
            break;
        case GeometryKind::Circle:
        case GeometryKind::Ellipse:
        case GeometryKind::EllipticalArc: {
            const bool arc = item.type == GeometryKind::EllipticalArc;
            const uint32_t need = arc ? kLines : (kFaces | kEdges);
            if (!(types & need))
                break;
            const std::vector<Vec3> pts = pick::CurvePoints(item);
            tester.Polyline(pts, !arc, !arc && (types & kFaces), nullptr, nullptr, best);
            // Offsets index the tessellation, which means nothing to the caller.
            best.offset1 = best.offset2 = best.offset3 = -1;
            break;
        }
        case GeometryKind::Image:
        case GeometryKind::DistantLight:
        case GeometryKind::CuttingPlane:
            break;
        }
    }

    // A text is hit anywhere over its extent on screen (it faces the screen as drawn).
    void TestText(const TextData& text, const Geometry& item, const WalkState& state,
                  pick::ItemTester& tester, PrimitiveHit& best) const {
        std::string size = state.attributes.textSize, family = state.attributes.textFontName,
                    alignment = state.attributes.textAlignment;
        if (item.attributes) {
            if (const std::string* s = item.attributes->textFont.Find("size"))
                size = *s;
            if (const std::string* n = item.attributes->textFont.Find("name"))
                family = *n;
            if (item.attributes->textAlignment)
                alignment = *item.attributes->textAlignment;
        }
        // Pixels of the em, as the renderer sizes text (points at 96 dpi).
        double value = 0;
        std::string unit;
        {
            std::string_view v = Trim(size);
            const size_t blank = v.find_first_of(" \t");
            if (!ParseNumber(v.substr(0, blank), value) || !(value > 0))
                value = 12, unit = "pts";
            else if (blank != std::string_view::npos)
                unit = NormalizeName(v.substr(blank));
        }
        const double outerPerPixelY = 2.0 / std::max(1, m_window.heightPixels);
        const double outerPerPixelX = 2.0 / std::max(1, m_window.widthPixels);
        double pixels = value * 96.0 / 72.0;
        if (unit == "pixels" || unit == "pixel" || unit == "px") {
            pixels = value;
        } else if (unit == "oru" || unit == "wru") {
            // World units: measured on screen at the text's anchor.
            const cm::Vec3 anchor = cm::TransformPoint(state.attributes.objectToWorld,
                                                       {text.position.x, text.position.y,
                                                        text.position.z});
            const cm::Frame frame = cm::CameraFrame(state.camera);
            const cm::Vec3 a = cm::TransformPoint(state.worldToOuter, anchor);
            const cm::Vec3 b = cm::TransformPoint(state.worldToOuter, anchor + frame.up * value);
            pixels = std::hypot(b.x - a.x, b.y - a.y) / outerPerPixelY;
        }
        if (!std::isfinite(pixels) || pixels <= 0) {
            tester.Point(text.position, best);
            return;
        }
        // The first family of the name list.
        std::string_view first = family;
        std::string_view inner;
        if (StripParentheses(first, inner))
            first = inner;
        first = Trim(first.substr(0, first.find(',')));
        const double width = MeasureTextWidth(text.text, std::string(first), pixels);
        const int lines = TextLineCount(text.text);
        const double w = width * outerPerPixelX,
                     h = pixels * (1 + (lines - 1) * kTextLineSpacing) * outerPerPixelY;
        const char ax = alignment.empty() ? '*' : alignment[0];
        const char ay = alignment.size() < 2 ? '*' : alignment[1];
        const double left = ax == '<' ? 0 : ax == '>' ? -w : -w / 2;
        const double bottom = ay == '^' ? -h : ay == 'v' ? 0 : -h / 2;
        tester.Rectangle(text.position, left, left + w, bottom, bottom + h, best);
    }

    DisplayWindow m_window;
    bool m_area = false;
    pick::Scratch m_scratch;
    std::vector<Key> m_path; // display first, down to the segment being walked
    std::vector<const Segment*> m_above; // the segments whose entries are being visited, outermost first
    std::vector<Hit> m_hits;
};

bool IsInTree(const Segment& inner, const Segment& outer) {
    for (const Segment* s = &inner; s; s = s->owner)
        if (s == &outer)
            return true;
    return false;
}

int RunSelection(const char* fn, const char* display, const char* start, const char* action,
                 double x0, double x1, double y0, double y1, bool area) {
    Selection& sel = Current();
    sel.hits.clear();
    sel.current = 0;
    if (!display || !start || !action) {
        ReportError(fn, HC_ERR_ARGUMENT, "display, start segment or action is null");
        return 0;
    }
    if (!std::isfinite(x0) || !std::isfinite(x1) || !std::isfinite(y0) || !std::isfinite(y1)) {
        ReportError(fn, HC_ERR_ARGUMENT, "the selection position is not finite");
        return 0;
    }
    Graph& g = Graph::Instance();
    std::string error;
    const Segment* shown = g.Resolve(display, false, &error);
    if (!shown) {
        ReportError(fn, HC_ERR_PATH,
                    "no display segment '" + std::string(display) + "'" +
                        (error.empty() ? "" : ": " + error));
        return 0;
    }
    const Segment* from = g.Resolve(start, false, &error);
    if (!from) {
        ReportError(fn, HC_ERR_PATH,
                    "no start segment '" + std::string(start) + "'" +
                        (error.empty() ? "" : ": " + error));
        return 0;
    }
    if (!IsInTree(*from, *shown)) {
        ReportError(fn, HC_ERR_PATH,
                    "start segment '" + std::string(start) + "' is not inside the display '" +
                        std::string(display) + "'");
        return 0;
    }

    std::vector<const Segment*> chain;
    for (const Segment* s = from; s; s = s->owner)
        chain.push_back(s);
    std::reverse(chain.begin(), chain.end());
    SegmentView view;
    BuildSegmentView(chain, view);
    const DisplayWindow window =
        IsDisplaySegment(*shown) ? DisplayWindowOf(*shown) : FindDisplayWindow(*shown);

    WalkState state;
    state.attributes = PickAttributes::From(view.net);
    state.camera = view.camera;
    state.ax = view.localToOuterWindow(0, 0);
    state.ay = view.localToOuterWindow(1, 1);
    state.bx = view.localToOuterWindow(3, 0);
    state.by = view.localToOuterWindow(3, 1);
    state.localWidth = view.localWidthPixels;
    state.localHeight = view.localHeightPixels;
    if (area) {
        state.region =
            Region::Area(std::min(x0, x1), std::max(x0, x1), std::min(y0, y1), std::max(y0, y1));
    } else {
        // The aperture is a square of twice the selection proximity on a side.
        const double cmWide = window.widthPixels / window.dpi * 2.54;
        const double cmHigh = window.heightPixels / window.dpi * 2.54;
        const double hx = cmWide > 0 ? 2.0 * window.selectionProximityCm / cmWide : 0.0;
        const double hy = cmHigh > 0 ? 2.0 * window.selectionProximityCm / cmHigh : 0.0;
        state.region = Region::Point(x0, y0, hx, hy);
    }
    state.region.ClipTo(-1, 1, -1, 1);
    state.region.ClipTo(state.bx - std::fabs(state.ax), state.bx + std::fabs(state.ax),
                        state.by - std::fabs(state.ay), state.by + std::fabs(state.ay));
    if (state.region.Empty())
        return 0;

    Picker picker(window, area);
    picker.SetViewMatrices(state);
    state.objectToOuter = cm::Multiply(state.attributes.objectToWorld, state.worldToOuter);

    // Keys from the display down to the start segment.
    std::vector<Key> pathDown;
    bool inside = false;
    for (const Segment* s : chain) {
        inside = inside || s == shown;
        if (inside)
            pathDown.push_back(s->VisibleKey());
    }
    picker.Start(*from, state, std::move(pathDown));

    std::vector<Hit>& hits = picker.Hits();
    const OptionMap& heuristics = view.net.heuristics;
    const std::string* sorting = heuristics.Find("selection sorting");
    if (!(sorting && EqualsNoCase(*sorting, "off")))
        std::stable_sort(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) {
            if (a.depth != b.depth)
                return a.depth < b.depth;
            if (a.distance != b.distance)
                return a.distance < b.distance;
            return a.order < b.order;
        });
    if (const std::string* limit = heuristics.Find("related selection limit")) {
        double n = 0;
        if (!EqualsNoCase(*limit, "off") && ParseNumber(*limit, n) && n >= 0 &&
            hits.size() > static_cast<size_t>(n) + 1)
            hits.resize(static_cast<size_t>(n) + 1);
    }
    sel.hits = std::move(hits);
    return static_cast<int>(sel.hits.size());
}

const Hit* CurrentHit(const char* fn) {
    Selection& sel = Current();
    if (sel.current >= sel.hits.size()) {
        ReportError(fn, HC_ERR_STATE, "there is no current selection");
        return nullptr;
    }
    return &sel.hits[sel.current];
}

} // namespace

} // namespace ketra::hc

using namespace ketra::hc;

int HC_Compute_Selection(const char* display, const char* start_segment, const char* action,
                         double x, double y) {
    return RunSelection("HC_Compute_Selection", display, start_segment, action, x, x, y, y, false);
}

int HC_Compute_Selection_By_Area(const char* display, const char* start_segment, const char* action,
                                 double left, double right, double bottom, double top) {
    return RunSelection("HC_Compute_Selection_By_Area", display, start_segment, action, left, right,
                        bottom, top, true);
}

void HC_Show_Selection_Element(HC_KEY* key, int* offset1, int* offset2, int* offset3) {
    const Hit* h = CurrentHit("HC_Show_Selection_Element");
    if (key)
        *key = h ? h->item : kNoKey;
    if (offset1)
        *offset1 = h ? h->offset1 : -1;
    if (offset2)
        *offset2 = h ? h->offset2 : -1;
    if (offset3)
        *offset3 = h ? h->offset3 : -1;
}

void HC_Show_Selection_Keys_Count(int* count) {
    const Hit* h = CurrentHit("HC_Show_Selection_Keys_Count");
    if (count)
        *count = h ? static_cast<int>(h->path.size()) : 0;
}

void HC_Show_Selection_Keys(int* count, HC_KEY* keys) {
    static const char* fn = "HC_Show_Selection_Keys";
    if (!count || !keys) {
        ReportError(fn, HC_ERR_ARGUMENT, "count or keys is null");
        if (count)
            *count = 0;
        return;
    }
    const Hit* h = CurrentHit(fn);
    *count = h ? static_cast<int>(h->path.size()) : 0;
    if (h)
        std::copy(h->path.begin(), h->path.end(), keys);
}

void HC_Show_Selection_Position(float* window_x, float* window_y, float* window_z, float* world_x,
                                float* world_y, float* world_z) {
    const Hit* h = CurrentHit("HC_Show_Selection_Position");
    const cm::Vec3 win = h ? h->window : cm::Vec3{};
    const cm::Vec3 world = h ? h->world : cm::Vec3{};
    if (window_x)
        *window_x = static_cast<float>(win.x);
    if (window_y)
        *window_y = static_cast<float>(win.y);
    if (window_z)
        *window_z = static_cast<float>(win.z);
    if (world_x)
        *world_x = static_cast<float>(world.x);
    if (world_y)
        *world_y = static_cast<float>(world.y);
    if (world_z)
        *world_z = static_cast<float>(world.z);
}

bool HC_Find_Related_Selection(void) {
    Selection& sel = Current();
    if (sel.current + 1 >= sel.hits.size())
        return false; // the last item stays current
    ++sel.current;
    return true;
}
