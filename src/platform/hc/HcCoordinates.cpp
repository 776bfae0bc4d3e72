// Coordinate spaces of a segment (object, world, viewpoint, local/outer window, local/outer
// pixels), the transforms between them, and circumcuboids and circumspheres.
#include "platform/hc/AttributeText.h"
#include "platform/hc/GraphInternal.h"
#include "platform/hc/HcExtras.h"
#include "platform/hc/OptionParser.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace ketra::hc {

namespace {

namespace cm = CameraMath;

enum class Space { Object, World, Viewpoint, LocalWindow, OuterWindow, LocalPixels, OuterPixels };

bool ParseSpace(const char* text, Space& out) {
    if (!text)
        return false;
    const std::string name = NormalizeName(text);
    static const std::pair<const char*, Space> kNames[] = {
        {"object", Space::Object},
        {"world", Space::World},
        {"viewpoint", Space::Viewpoint},
        {"local window", Space::LocalWindow},
        {"outer window", Space::OuterWindow},
        {"local pixels", Space::LocalPixels},
        {"outer pixels", Space::OuterPixels},
    };
    for (const auto& [n, s] : kNames)
        if (name == n) {
            out = s;
            return true;
        }
    return false;
}

// World to the given space (object is handled by the caller).
cm::Matrix4 FromWorld(const SegmentView& v, Space space) {
    using cm::Multiply;
    const cm::Matrix4 toLocal = Multiply(v.worldToViewpoint, v.viewpointToLocalWindow);
    switch (space) {
    case Space::World:
    case Space::Object:
        return cm::Matrix4::Identity();
    case Space::Viewpoint:
        return v.worldToViewpoint;
    case Space::LocalWindow:
        return toLocal;
    case Space::OuterWindow:
        return Multiply(toLocal, v.localToOuterWindow);
    case Space::LocalPixels:
        return Multiply(toLocal, v.localWindowToPixels);
    case Space::OuterPixels:
        return Multiply(Multiply(toLocal, v.localToOuterWindow), v.outerWindowToPixels);
    }
    return cm::Matrix4::Identity();
}

// The matrix from `in` to `out` coordinates; false when a needed inverse does not exist.
bool SpaceTransform(const SegmentView& v, Space in, Space out, cm::Matrix4& result) {
    cm::Matrix4 inToWorld;
    if (in == Space::Object) {
        inToWorld = v.objectToWorld;
    } else if (!cm::Invert(FromWorld(v, in), inToWorld)) {
        return false;
    }
    cm::Matrix4 worldToOut;
    if (out == Space::Object) {
        if (!cm::Invert(v.objectToWorld, worldToOut))
            return false;
    } else {
        worldToOut = FromWorld(v, out);
    }
    result = cm::Multiply(inToWorld, worldToOut);
    return true;
}

std::vector<const Segment*> TreeChain(const Segment& segment) {
    std::vector<const Segment*> chain;
    for (const Segment* s = &segment; s; s = s->owner)
        chain.push_back(s);
    std::reverse(chain.begin(), chain.end());
    return chain;
}

// Resolves an existing segment by path for the coordinate calls.
const Segment* ResolveExisting(const char* fn, const char* path) {
    if (!path) {
        ReportError(fn, HC_ERR_ARGUMENT, "segment is null");
        return nullptr;
    }
    std::string error;
    const Segment* s = Graph::Instance().Resolve(path, false, &error);
    if (!s)
        ReportError(fn, HC_ERR_PATH,
                    "no segment '" + std::string(path) + "'" + (error.empty() ? "" : ": " + error));
    return s;
}

bool ViewForPath(const char* fn, int count, const HC_KEY* keys, SegmentView& view) {
    if (count < 0 || (count > 0 && !keys)) {
        ReportError(fn, HC_ERR_ARGUMENT, "bad key path (negative count or null keys)");
        return false;
    }
    std::string error;
    if (!BuildSegmentViewForPath(count, keys, view, &error)) {
        ReportError(fn, HC_ERR_KEY, error.empty() ? "bad key path" : error);
        return false;
    }
    return true;
}

bool ParseSpaces(const char* fn, const char* inSystem, const char* outSystem, Space& in,
                 Space& out) {
    for (const char* text : {inSystem, outSystem}) {
        Space s;
        if (!ParseSpace(text, s)) {
            ReportError(fn, HC_ERR_OPTION,
                        std::string("unknown coordinate system '") + (text ? text : "(null)") +
                            "' (object, world, viewpoint, local window, outer window, local "
                            "pixels, outer pixels)");
            return false;
        }
    }
    ParseSpace(inSystem, in);
    ParseSpace(outSystem, out);
    return true;
}

void ConvertPoint(const char* fn, const SegmentView& view, const char* inSystem,
                  const void* inPosition, const char* outSystem, void* outPosition) {
    Space in, out;
    if (!ParseSpaces(fn, inSystem, outSystem, in, out))
        return;
    const float* p = static_cast<const float*>(inPosition);
    cm::Matrix4 m;
    if (!SpaceTransform(view, in, out, m)) {
        ReportError(fn, HC_ERR_ARGUMENT, "the transform between the systems is singular");
        return;
    }
    double w = 1;
    const cm::Vec3 q = cm::TransformPoint(m, {p[0], p[1], p[2]}, &w);
    if (w == 0 || !std::isfinite(q.x) || !std::isfinite(q.y) || !std::isfinite(q.z)) {
        ReportError(fn, HC_ERR_ARGUMENT, "the point has no image in the output system");
        return;
    }
    float* o = static_cast<float*>(outPosition);
    o[0] = static_cast<float>(q.x);
    o[1] = static_cast<float>(q.y);
    o[2] = static_cast<float>(q.z);
}

void WriteMatrix(const char* fn, const SegmentView& view, const char* inSystem,
                 const char* outSystem, float* matrix) {
    Space in, out;
    if (!ParseSpaces(fn, inSystem, outSystem, in, out))
        return;
    cm::Matrix4 m;
    if (!SpaceTransform(view, in, out, m)) {
        ReportError(fn, HC_ERR_ARGUMENT, "the transform between the systems is singular");
        return;
    }
    m.ToFloats(matrix);
}

bool WriteBox(const Aabb& box, void* min, void* max) {
    float* lo = static_cast<float*>(min);
    float* hi = static_cast<float*>(max);
    if (box.Empty()) {
        for (int i = 0; i < 3; ++i)
            lo[i] = hi[i] = 0;
        return false;
    }
    for (int i = 0; i < 3; ++i) {
        lo[i] = box.min[i];
        hi[i] = box.max[i];
    }
    return true;
}

bool WriteSphere(const Aabb& box, void* center, float* radius) {
    float* c = static_cast<float*>(center);
    if (box.Empty()) {
        c[0] = c[1] = c[2] = 0;
        *radius = 0;
        return false;
    }
    double sum = 0;
    for (int i = 0; i < 3; ++i) {
        c[i] = box.Centre(i);
        const double half = 0.5 * (static_cast<double>(box.max[i]) - box.min[i]);
        sum += half * half;
    }
    *radius = static_cast<float>(std::sqrt(sum));
    return true;
}

// Bounds of a keyed segment or item in its own object coordinates.
bool KeyBounds(const char* fn, HC_KEY key, Aabb& box) {
    Entity* e = detail::FindKey(fn, key);
    if (!e)
        return false;
    switch (e->kind) {
    case EntityKind::Segment:
        box = BoundsOf(static_cast<const Segment&>(*e));
        return true;
    case EntityKind::Geometry:
        box = ItemBounds(static_cast<const Geometry&>(*e));
        return true;
    case EntityKind::Include:
    case EntityKind::Style:
        if (const Segment* t = static_cast<const Reference&>(*e).target) {
            box = TransformBox(BoundsOf(*t), LocalMatrix(*t));
            return true;
        }
        break;
    }
    ReportError(fn, HC_ERR_KEY, "the key has no bounds");
    return false;
}

} // namespace

bool BuildSegmentView(const std::vector<const Segment*>& chain, SegmentView& out) {
    if (chain.empty())
        return false;
    out.net = DefaultNetAttributes();
    for (const Segment* s : chain)
        Graph::Apply(out.net, *s);
    out.camera = EffectiveCamera(out.net);

    // The display is the first segment of the chain two levels below "/driver"; windows
    // set at or below it nest inside each other.
    size_t first = 0;
    out.window = DisplayWindow{};
    for (size_t i = 0; i < chain.size(); ++i)
        if (IsDisplaySegment(*chain[i])) {
            out.window = DisplayWindowOf(*chain[i]);
            first = i;
            break;
        }
    double ax = 1, bx = 0, ay = 1, by = 0; // local window -> outer window, per axis
    for (size_t i = first; i < chain.size(); ++i) {
        const Segment* s = chain[i];
        if (!s->attributes || !s->attributes->window.set)
            continue;
        const Window& w = s->attributes->window;
        const double sx = 0.5 * (static_cast<double>(w.right) - w.left);
        const double cx = 0.5 * (static_cast<double>(w.right) + w.left);
        const double sy = 0.5 * (static_cast<double>(w.top) - w.bottom);
        const double cy = 0.5 * (static_cast<double>(w.top) + w.bottom);
        bx += ax * cx;
        ax *= sx;
        by += ay * cy;
        ay *= sy;
    }
    const double width = out.window.widthPixels, height = out.window.heightPixels;
    out.localWidthPixels = std::fabs(ax) * width;
    out.localHeightPixels = std::fabs(ay) * height;
    const double aspect =
        out.localHeightPixels > 0 ? out.localWidthPixels / out.localHeightPixels : 1.0;

    out.objectToWorld = cm::Matrix4::FromFloats(out.net.modelling.data());
    // A masked segment on the chain: compose the matrices again, masking where it is set.
    bool anyMask = false;
    for (const Segment* s : chain)
        anyMask = anyMask || OwnMaskTransform(*s) != nullptr;
    if (anyMask) {
        cm::Matrix4 net = cm::Matrix4::Identity();
        for (const Segment* s : chain) {
            net = cm::Multiply(LocalMatrix(*s), net);
            MaskParts mask;
            if (SegmentMask(*s, mask))
                net = MaskedModelling(net, mask, out.camera, out.localWidthPixels,
                                      out.localHeightPixels);
        }
        out.objectToWorld = net;
    }
    out.worldToViewpoint = cm::WorldToViewpoint(out.camera);
    out.viewpointToLocalWindow = cm::ViewpointToWindow(out.camera, aspect);
    out.localToOuterWindow = cm::Multiply(cm::Scaling({ax, ay, 1}), cm::Translation({bx, by, 0}));
    out.localWindowToPixels = cm::WindowToPixels(out.localWidthPixels, out.localHeightPixels);
    out.outerWindowToPixels = cm::WindowToPixels(width, height);
    return true;
}

bool BuildSegmentViewForPath(int count, const Key* keys, SegmentView& out, std::string* error) {
    std::vector<const Segment*> chain;
    if (!Graph::Instance().PathChain(count, keys, chain, error))
        return false;
    if (chain.empty()) {
        if (error)
            *error = "no segment is open";
        return false;
    }
    return BuildSegmentView(chain, out);
}

} // namespace ketra::hc

using namespace ketra::hc;

namespace {

// Reports a null argument of `fn`; true when `missing`.
bool Missing(const char* fn, bool missing, const char* what) {
    if (missing)
        ReportError(fn, HC_ERR_ARGUMENT, std::string(what) + " is null");
    return missing;
}

// The view of the named segment (reported and false when there is none).
bool ViewOfSegment(const char* fn, const char* segment, SegmentView& view) {
    const Segment* s = ResolveExisting(fn, segment);
    if (!s)
        return false;
    BuildSegmentView(TreeChain(*s), view);
    return true;
}

// Bounds of the named segment's tree, or of a key's segment or item; empty when there is
// none (reported).
Aabb BoundsOfSegment(const char* fn, const char* segment) {
    const Segment* s = ResolveExisting(fn, segment);
    return s ? BoundsOf(*s) : Aabb{};
}

Aabb BoundsOfKey(const char* fn, HC_KEY key) {
    Aabb box;
    KeyBounds(fn, key, box);
    return box;
}

} // namespace

void HC_Compute_Coordinates(const char* segment, const char* in_system, const void* in_position,
                            const char* out_system, void* out_position) {
    static const char* fn = "HC_Compute_Coordinates";
    if (Missing(fn, !in_position || !out_position, "position"))
        return;
    SegmentView view;
    if (ViewOfSegment(fn, segment, view))
        ConvertPoint(fn, view, in_system, in_position, out_system, out_position);
}

void HC_Compute_Coordinates_By_Path(int count, const HC_KEY* keys, const char* in_system,
                                    const void* in_position, const char* out_system,
                                    void* out_position) {
    static const char* fn = "HC_Compute_Coordinates_By_Path";
    if (Missing(fn, !in_position || !out_position, "position"))
        return;
    SegmentView view;
    if (ViewForPath(fn, count, keys, view))
        ConvertPoint(fn, view, in_system, in_position, out_system, out_position);
}

void HC_Compute_Transform(const char* segment, const char* in_system, const char* out_system,
                          float* matrix) {
    static const char* fn = "HC_Compute_Transform";
    if (Missing(fn, !matrix, "matrix"))
        return;
    SegmentView view;
    if (ViewOfSegment(fn, segment, view))
        WriteMatrix(fn, view, in_system, out_system, matrix);
}

void HC_Compute_Transform_By_Path(int count, const HC_KEY* keys, const char* in_system,
                                  const char* out_system, float* matrix) {
    static const char* fn = "HC_Compute_Transform_By_Path";
    if (Missing(fn, !matrix, "matrix"))
        return;
    SegmentView view;
    if (ViewForPath(fn, count, keys, view))
        WriteMatrix(fn, view, in_system, out_system, matrix);
}

bool HC_Compute_Circumcuboid(const char* segment, void* min, void* max) {
    static const char* fn = "HC_Compute_Circumcuboid";
    return !Missing(fn, !min || !max, "output") && WriteBox(BoundsOfSegment(fn, segment), min, max);
}

bool HC_Compute_Circumcuboid_By_Key(HC_KEY key, void* min, void* max) {
    static const char* fn = "HC_Compute_Circumcuboid_By_Key";
    return !Missing(fn, !min || !max, "output") && WriteBox(BoundsOfKey(fn, key), min, max);
}

bool HC_Compute_Circumsphere(const char* segment, void* center, float* radius) {
    static const char* fn = "HC_Compute_Circumsphere";
    return !Missing(fn, !center || !radius, "output") &&
           WriteSphere(BoundsOfSegment(fn, segment), center, radius);
}

bool HC_Compute_Circumsphere_By_Key(HC_KEY key, void* center, float* radius) {
    static const char* fn = "HC_Compute_Circumsphere_By_Key";
    return !Missing(fn, !center || !radius, "output") &&
           WriteSphere(BoundsOfKey(fn, key), center, radius);
}
