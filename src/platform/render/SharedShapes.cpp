#include "platform/render/SharedShapes.h"

#include "platform/hc/SceneGraph.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <span>

namespace ketra::render {

namespace cm = CameraMath;

namespace {

// The points and, for tubes, radii and caps of an item that can be shared. Filled in place
// (a cylinder's spans point into it).
struct Outline {
    std::span<const hc::Vec3> points;
    std::span<const float> radii;
    const std::vector<int>* faces = nullptr;  // shells
    hc::Capping capping = hc::Capping::None;
    bool tube = false;
    hc::Vec3 ends[2];
    float radius = 0;
};

bool OutlineOf(const hc::Geometry& item, Outline& o) {
    if (const hc::ShellData* shell = item.Shell()) {
        if (shell->elements || shell->faceList.empty() || shell->points.size() < kMinSharedShapePoints) return false;
        o.points = shell->points;
        o.faces = &shell->faceList;
    } else if (const auto* pc = std::get_if<hc::PolyCylinderData>(&item.data)) {
        if (pc->points.size() < 2 || pc->radii.empty()) return false;
        o.points = pc->points;
        o.radii = pc->radii;
        o.capping = pc->capping;
        o.tube = true;
    } else if (const auto* c = std::get_if<hc::CylinderData>(&item.data)) {
        o.ends[0] = c->first;
        o.ends[1] = c->second;
        o.radius = c->radius;
        o.points = o.ends;
        o.radii = std::span<const float>(&o.radius, 1);
        o.capping = c->capping;
        o.tube = true;
    } else {
        return false;
    }
    return true;
}

cm::Vec3 At(const Outline& o, int index) {
    const hc::Vec3& p = o.points[static_cast<size_t>(index)];
    return {p.x, p.y, p.z};
}

std::uint64_t Mix(std::uint64_t h, std::uint64_t v) {
    h ^= v + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
    return h;
}

// Three unit axes fixed to the item: along its probe's origin-far, then towards side in their
// plane, then their cross product (so a mirror image gets the opposite third axis). A straight
// tube has no side: its second axis is the direction its sides start from, as the tube builder
// picks it, so that a copy draws exactly the mesh of its own. (A bent tube is placed by its
// path; its sides may start at another angle about the path than its own would.)
bool Axes(const Outline& o, const ShapeProbe& probe, cm::Vec3 axes[3]) {
    const cm::Vec3 origin = At(o, probe.origin);
    const cm::Vec3 a = cm::Normalized(At(o, probe.far) - origin);
    if (cm::Length(a) == 0) return false;
    if (probe.straight) {
        const cm::Vec3 seed = std::fabs(a.z) < 0.9 ? cm::Vec3{0, 0, 1} : cm::Vec3{1, 0, 0};
        const cm::Vec3 u = cm::Normalized(cm::Cross(seed, a));
        axes[0] = a;
        axes[1] = u;
        axes[2] = cm::Cross(a, u);
        return true;
    }
    const cm::Vec3 n = cm::Normalized(cm::Cross(a, At(o, probe.side) - origin));
    if (cm::Length(n) == 0) return false;
    axes[0] = a;
    axes[1] = cm::Cross(n, a);
    axes[2] = n;
    return true;
}

} // namespace

ShapeProbe ProbeShape(const hc::Geometry& item, int facets) {
    ShapeProbe probe;
    Outline o;
    if (!OutlineOf(item, o)) return probe;
    const size_t n = o.points.size();
    probe.tube = o.tube;
    probe.facets = o.tube ? facets : 0;
    cm::Vec3 centre;
    for (const hc::Vec3& p : o.points) centre = centre + cm::Vec3{p.x, p.y, p.z};
    centre = centre * (1.0 / static_cast<double>(n));
    const cm::Vec3 origin = At(o, 0);
    double spread = 0, farthest = 0;
    for (size_t i = 0; i < n; ++i) {
        const cm::Vec3 p = At(o, static_cast<int>(i));
        const cm::Vec3 c = p - centre;
        spread += cm::Dot(c, c);
        const cm::Vec3 d = p - origin;
        const double dd = cm::Dot(d, d);
        // A tube's sides start from its first length: the first point apart from the first.
        if (o.tube ? (dd > 0 && farthest == 0) : dd > farthest) farthest = dd, probe.far = static_cast<int>(i);
    }
    if (!(farthest > 0) || !std::isfinite(spread)) return probe;
    const cm::Vec3 axis = (At(o, probe.far) - origin) * (1.0 / std::sqrt(farthest));
    double widest = 0;
    for (size_t i = 0; i < n; ++i) {
        const cm::Vec3 c = cm::Cross(axis, At(o, static_cast<int>(i)) - origin);
        const double cc = cm::Dot(c, c);
        if (cc > widest) widest = cc, probe.side = static_cast<int>(i);
    }
    probe.straight = !(widest > farthest * 1e-10);
    // A shell along one line spans no plane to place it by.
    if (probe.straight && !o.tube) return probe;

    std::uint64_t h = Mix(o.tube ? (probe.straight ? 0x74756265u : 0x62656e74u) : 0x7368656cu, n);
    if (o.faces) {
        h = Mix(h, o.faces->size());
        for (int v : *o.faces) h = Mix(h, static_cast<std::uint32_t>(v));
    } else {
        h = Mix(h, static_cast<std::uint64_t>(facets));
        h = Mix(h, static_cast<std::uint64_t>(o.capping));
        for (float r : o.radii) {
            std::uint32_t bits;
            std::memcpy(&bits, &r, sizeof bits);
            h = Mix(h, bits);
        }
    }
    // The mean squared distance from the centre, cut to 12 significant bits so that copies
    // differing in the last bits of their coordinates still meet (the placement then checks
    // every point).
    int exponent = 0;
    const double mantissa = std::frexp(spread / static_cast<double>(n), &exponent);
    h = Mix(h, static_cast<std::uint64_t>(std::llround(mantissa * 4096.0)));
    h = Mix(h, static_cast<std::uint64_t>(exponent + 2048));
    probe.hash = h;
    probe.usable = true;
    return probe;
}

std::optional<ShapePlacement> PlaceShape(const hc::Geometry& shapeItem, const ShapeProbe& probe,
                                         const hc::Geometry& copyItem, const ShapeProbe& copyProbe) {
    if (!probe.usable || !copyProbe.usable || probe.tube != copyProbe.tube || probe.facets != copyProbe.facets ||
        probe.straight != copyProbe.straight)
        return std::nullopt;
    Outline shape, copy;
    if (!OutlineOf(shapeItem, shape) || !OutlineOf(copyItem, copy)) return std::nullopt;
    if (copy.points.size() != shape.points.size() || copy.tube != shape.tube) return std::nullopt;
    if (shape.faces && *copy.faces != *shape.faces) return std::nullopt;
    if (shape.tube && (copy.capping != shape.capping || !std::ranges::equal(copy.radii, shape.radii)))
        return std::nullopt;
    cm::Vec3 from[3], to[3];
    if (!Axes(shape, probe, from) || !Axes(copy, probe, to)) return std::nullopt;
    // p x M = o' + sum_j ((p - o) . from_j) to_j: the rotation's row r, column k is
    // sum_j from_j[r] to_j[k].
    auto component = [](const cm::Vec3& v, int i) { return i == 0 ? v.x : i == 1 ? v.y : v.z; };
    ShapePlacement placed;
    cm::Matrix4& m = placed.matrix;
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 3; ++k) {
            double sum = 0;
            for (int j = 0; j < 3; ++j) sum += component(from[j], r) * component(to[j], k);
            m(r, k) = sum;
        }
    const cm::Vec3 o = At(shape, probe.origin), o2 = At(copy, probe.origin);
    const cm::Vec3 t = o2 - cm::TransformVector(m, o);
    m(3, 0) = t.x, m(3, 1) = t.y, m(3, 2) = t.z;

    // Each point must land on its copy within a hundred-thousandth of the shape's length, or
    // a few steps of float at the copy's distance from the origin, whichever is more.
    double reach = 0, length = 0;
    for (const hc::Vec3& p : copy.points)
        reach = std::max({reach, std::fabs(static_cast<double>(p.x)), std::fabs(static_cast<double>(p.y)),
                          std::fabs(static_cast<double>(p.z))});
    for (size_t i = 0; i < shape.points.size(); ++i) length = std::max(length, cm::Length(At(shape, static_cast<int>(i)) - o));
    const double tolerance = std::max(1e-5 * length, 8.0 * std::numeric_limits<float>::epsilon() * reach);
    const double limit = tolerance * tolerance;
    placed.ownBounds = !shape.tube;
    placed.low.fill(std::numeric_limits<float>::infinity());
    placed.high.fill(-std::numeric_limits<float>::infinity());
    for (size_t i = 0; i < shape.points.size(); ++i) {
        const cm::Vec3 p = cm::TransformPoint(m, At(shape, static_cast<int>(i)));
        const hc::Vec3& q = copy.points[i];
        const cm::Vec3 miss = p - cm::Vec3{q.x, q.y, q.z};
        if (!(cm::Dot(miss, miss) <= limit)) return std::nullopt;
        const float xyz[3] = {q.x, q.y, q.z};
        for (int k = 0; k < 3; ++k) {
            placed.low[static_cast<size_t>(k)] = std::min(placed.low[static_cast<size_t>(k)], xyz[k]);
            placed.high[static_cast<size_t>(k)] = std::max(placed.high[static_cast<size_t>(k)], xyz[k]);
        }
    }
    return placed;
}

std::optional<ShapeTable::Match> ShapeTable::Find(const ShapeProbe& probe, const hc::Geometry& copy, bool edges) {
    if (!probe.usable) return std::nullopt;
    auto found = m_shapes.find(probe.hash);
    if (found == m_shapes.end()) return std::nullopt;
    const hc::Graph& graph = hc::Graph::Instance();
    for (const Shape& shape : found->second) {
        std::shared_ptr<const Mesh> mesh = shape.meshes[1].lock();
        const bool faceEdges = mesh != nullptr;
        if (!mesh && !edges) mesh = shape.meshes[0].lock();
        if (!mesh) continue;
        const hc::Geometry* item = graph.FindGeometry(shape.key);
        if (!item || item->changeCount != shape.changeCount || item == &copy) continue;
        if (auto placed = PlaceShape(*item, shape.probe, copy, probe)) return Match{std::move(mesh), *placed, faceEdges};
    }
    return std::nullopt;
}

void ShapeTable::Add(const ShapeProbe& probe, HC_KEY key, std::uint64_t changeCount,
                     const std::shared_ptr<const Mesh>& mesh, bool edges) {
    if (!probe.usable || !mesh) return;
    std::vector<Shape>& shapes = m_shapes[probe.hash];
    for (Shape& shape : shapes)
        if (shape.key == key && shape.changeCount == changeCount) {
            shape.meshes[edges ? 1 : 0] = mesh;
            return;
        }
    // A shape whose meshes are gone, or the oldest, makes room.
    auto stale = std::find_if(shapes.begin(), shapes.end(),
                              [](const Shape& s) { return s.meshes[0].expired() && s.meshes[1].expired(); });
    if (stale == shapes.end() && shapes.size() >= kShapesPerHash) stale = shapes.begin();
    Shape added{key, changeCount, probe, {}};
    added.meshes[edges ? 1 : 0] = mesh;
    if (stale != shapes.end())
        *stale = std::move(added);
    else
        shapes.push_back(std::move(added));
}

void ShapeTable::Prune() {
    for (auto it = m_shapes.begin(); it != m_shapes.end();) {
        std::vector<Shape>& shapes = it->second;
        std::erase_if(shapes, [](const Shape& s) { return s.meshes[0].expired() && s.meshes[1].expired(); });
        it = shapes.empty() ? m_shapes.erase(it) : std::next(it);
    }
}

size_t ShapeTable::Size() const {
    size_t size = 0;
    for (const auto& [hash, shapes] : m_shapes) size += shapes.size();
    return size;
}

} // namespace ketra::render
