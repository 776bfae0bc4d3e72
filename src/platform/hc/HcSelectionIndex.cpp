// Bounds of items and segments, and the lazily rebuilt spatial index that picking and the
// circumcuboid calls share.
#include "platform/hc/GraphInternal.h"
#include "platform/hc/HcExtras.h"
#include "platform/sys/Parallel.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

namespace ketra::hc {

namespace {

namespace cm = CameraMath;

void AddPoint(Aabb& box, const Vec3& p) {
    if (std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z))
        box.Add(p.x, p.y, p.z);
}

void AddSphere(Aabb& box, const Vec3& c, float r) {
    r = std::fabs(r);
    if (!std::isfinite(r))
        return;
    AddPoint(box, {c.x - r, c.y - r, c.z - r});
    AddPoint(box, {c.x + r, c.y + r, c.z + r});
}

// Extent of the curve c + a cos t + b sin t along each axis is sqrt(a_i^2 + b_i^2).
void AddEllipse(Aabb& box, const Vec3& c, const Vec3& a, const Vec3& b) {
    const float ex = std::sqrt(a.x * a.x + b.x * b.x);
    const float ey = std::sqrt(a.y * a.y + b.y * b.y);
    const float ez = std::sqrt(a.z * a.z + b.z * b.z);
    AddPoint(box, {c.x - ex, c.y - ey, c.z - ez});
    AddPoint(box, {c.x + ex, c.y + ey, c.z + ez});
}

// Points with a coordinate that is not finite are left out. Lists without such points (all
// but damaged ones) take one branch-free pass: a shell's box is computed for every shell of a
// scene on its first pick.
void AddPoints(Aabb& box, const std::vector<Vec3>& points) {
    Aabb all = box;
    // x - x is 0 exactly when x is finite; a NaN or an infinity anywhere makes the sum NaN.
    float check = 0;
    for (const Vec3& p : points) {
        check += (p.x - p.x) + (p.y - p.y) + (p.z - p.z);
        all.min[0] = std::min(all.min[0], p.x);
        all.min[1] = std::min(all.min[1], p.y);
        all.min[2] = std::min(all.min[2], p.z);
        all.max[0] = std::max(all.max[0], p.x);
        all.max[1] = std::max(all.max[1], p.y);
        all.max[2] = std::max(all.max[2], p.z);
    }
    if (check == 0) {
        box = all;
        return;
    }
    for (const Vec3& p : points)
        AddPoint(box, p);
}

Vec3 Sub(const Vec3& a, const Vec3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

// The bounds of a segment's tree without its index, for the bounds asked of segments that
// are never picked (a model's extent right after it is drawn, say).
struct SegmentBounds {
    Aabb bounds;
    uint64_t stamp = 0;
    uint64_t checkedGeneration = 0;
    bool masked = false;  // something below is drawn away from its box (as SegmentIndex::masked)
};

struct IndexCache {
    std::unordered_map<Key, SegmentIndex> segments;
    std::unordered_map<Key, ItemIndex> items;
    std::unordered_map<Key, SegmentBounds> bounds;
    size_t sweepAt = 1024;
};

IndexCache& Cache() {
    static IndexCache cache;
    return cache;
}

// Drops the entries of deleted segments and items once the maps have grown.
void SweepIfLarge() {
    IndexCache& c = Cache();
    if (c.segments.size() + c.items.size() + c.bounds.size() < c.sweepAt)
        return;
    const Graph& g = Graph::Instance();
    std::erase_if(c.segments, [&](const auto& kv) { return g.FindSegment(kv.first) == nullptr; });
    std::erase_if(c.items, [&](const auto& kv) { return g.FindGeometry(kv.first) == nullptr; });
    std::erase_if(c.bounds, [&](const auto& kv) { return g.FindSegment(kv.first) == nullptr; });
    c.sweepAt = std::max<size_t>(1024, 2 * (c.segments.size() + c.items.size() + c.bounds.size()));
}

// True when `s` is already being indexed further up (an include cycle).
bool OnStack(const std::vector<const Segment*>& stack, const Segment* s) {
    return std::find(stack.begin(), stack.end(), s) != stack.end();
}

// The newest change anywhere below `segment`, with `below(s, stack)` bringing each child and
// included segment up to date and giving its own newest change. Every change touches the
// changed entity and its owner, so the maximum over the segments of the subtree (through
// includes) is exact.
template <typename Below>
uint64_t NewestChangeBelow(const Segment& segment, std::vector<const Segment*>& stack, Below below) {
    stack.push_back(&segment);
    uint64_t stamp = segment.changeCount;
    for (const auto& child : segment.children)
        stamp = std::max(stamp, below(*child, stack));
    for (const auto& inc : segment.includes)
        if (inc->target && !OnStack(stack, inc->target))
            stamp = std::max(stamp, below(*inc->target, stack));
    stack.pop_back();
    return stamp;
}

const SegmentBounds& BoundsBelow(const Segment& segment, std::vector<const Segment*>& stack);

// Brings the index of `segment` up to date. Only this segment's index is built: each child
// and included segment enters with the bounds, newest change and masking of its tree from
// the bounds cache, and gets an index of its own when a pick first reaches it. `stack` holds
// the segments above it on the way down (includes of those are left out: cycles).
const SegmentIndex& Validate(const Segment& segment, std::vector<const Segment*>& stack) {
    IndexCache& cache = Cache();
    SegmentIndex& idx = cache.segments[segment.key];
    const uint64_t generation = Graph::Instance().Generation();
    if (idx.checkedGeneration == generation)
        return idx;

    // Brings the bounds of everything below up to date; `idx` stays good (map entries stay
    // put while others are added).
    const uint64_t stamp = BoundsBelow(segment, stack).stamp;

    if (stamp != idx.stamp || idx.checkedGeneration == 0) {
        // Each entry's box depends only on what it shows and the newest change below it, so
        // an entry showing the same thing with the same stamp at the same place keeps its
        // box; an unchanged entry list only refits the tree. A first build of a small
        // segment costs a handful of allocations: a scene of tens of thousands of one-item
        // segments indexes them all on its first pick.
        const std::vector<Aabb>& oldBoxes = idx.bvh.Boxes();
        auto reusable = [&](const IndexEntry& e, size_t i) {
            return i < idx.entries.size() && i < oldBoxes.size() && idx.entries[i].SameThing(e) &&
                   idx.entries[i].stamp == e.stamp;
        };
        std::vector<IndexEntry> entries;
        std::vector<Aabb> boxes;
        const size_t count =
            segment.geometry.size() + segment.children.size() + segment.includes.size();
        entries.reserve(count);
        boxes.reserve(count);
        for (const auto& item : segment.geometry) {
            IndexEntry e;
            e.kind = IndexEntry::Kind::Item;
            e.item = item.get();
            e.stamp = item->changeCount;
            // A text's box is its anchor; its extent on screen is known only when picked.
            e.masked = item->type == GeometryKind::Text;
            boxes.push_back(reusable(e, entries.size()) ? oldBoxes[entries.size()] : ItemBounds(*item));
            entries.push_back(e);
        }
        // The bounds of children and includes were brought up to date above: one lookup
        // each gives what the entry needs of them.
        auto addBelow = [&](IndexEntry e, const Segment& below) {
            const SegmentBounds& tree = cache.bounds.find(below.key)->second;
            e.segment = &below;
            e.stamp = tree.stamp;
            e.masked = tree.masked;
            const bool moved = below.attributes && below.attributes->modellingMatrix;
            boxes.push_back(reusable(e, entries.size()) ? oldBoxes[entries.size()]
                            : moved ? TransformBox(tree.bounds, LocalMatrix(below))
                                    : tree.bounds);
            entries.push_back(e);
        };
        for (const auto& child : segment.children) {
            IndexEntry e;
            e.kind = IndexEntry::Kind::Child;
            addBelow(e, *child);
        }
        for (const auto& inc : segment.includes) {
            if (!inc->target || OnStack(stack, inc->target) || inc->target == &segment)
                continue;
            IndexEntry e;
            e.kind = IndexEntry::Kind::Include;
            e.include = inc.get();
            addBelow(e, *inc->target);
        }
        const bool sameEntries =
            idx.checkedGeneration != 0 && entries.size() == idx.entries.size() &&
            std::equal(entries.begin(), entries.end(), idx.entries.begin(),
                       [](const IndexEntry& a, const IndexEntry& b) { return a.SameThing(b); });
        if (!sameEntries)
            idx.bvh.BuildFrom(std::move(boxes));
        else if (!boxes.empty() && std::memcmp(boxes.data(), oldBoxes.data(), boxes.size() * sizeof(Aabb)) != 0 &&
                 !idx.bvh.Refit(boxes))
            idx.bvh.BuildFrom(std::move(boxes));
        idx.masked = OwnMaskTransform(segment) != nullptr ||
                     std::any_of(entries.begin(), entries.end(),
                                 [](const IndexEntry& e) { return e.masked; });
        idx.entries = std::move(entries);
        idx.bounds = idx.bvh.Bounds();
    }
    idx.stamp = stamp;
    idx.checkedGeneration = generation;
    return idx;
}

} // namespace

cm::Matrix4 LocalMatrix(const Segment& segment) {
    if (segment.attributes && segment.attributes->modellingMatrix)
        return cm::Matrix4::FromFloats(segment.attributes->modellingMatrix->data());
    return cm::Matrix4::Identity();
}

Aabb TransformBox(const Aabb& box, const cm::Matrix4& matrix) {
    Aabb out;
    if (box.Empty())
        return out;
    for (int i = 0; i < 8; ++i) {
        const cm::Vec3 p{(i & 1) ? box.max[0] : box.min[0], (i & 2) ? box.max[1] : box.min[1],
                         (i & 4) ? box.max[2] : box.min[2]};
        const cm::Vec3 q = cm::TransformPoint(matrix, p);
        if (std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z))
            out.Add(static_cast<float>(q.x), static_cast<float>(q.y), static_cast<float>(q.z));
    }
    return out;
}

Aabb ItemBounds(const Geometry& item) {
    Aabb box;
    switch (item.type) {
    case GeometryKind::Shell:
        if (const auto* d = std::get_if<ShellData>(&item.data)) {
            AddPoints(box, d->points);
            // A coarser level may reach further than the full shell; it can be drawn instead.
            for (const LodLevel& level : d->lods)
                for (const auto& part : level.items)
                    box.Add(ItemBounds(*part));
        }
        break;
    case GeometryKind::PolyCylinder:
        if (const auto* d = std::get_if<PolyCylinderData>(&item.data))
            for (size_t i = 0; i < d->points.size(); ++i) {
                const float r = d->radii.empty()       ? 0.f
                                : d->radii.size() == 1 ? d->radii[0]
                                                       : d->radii[std::min(i, d->radii.size() - 1)];
                AddSphere(box, d->points[i], r);
            }
        break;
    case GeometryKind::Cylinder:
        if (const auto* d = std::get_if<CylinderData>(&item.data)) {
            AddSphere(box, d->first, d->radius);
            AddSphere(box, d->second, d->radius);
        }
        break;
    case GeometryKind::Line:
        if (const auto* d = std::get_if<LineData>(&item.data)) {
            AddPoint(box, d->first);
            AddPoint(box, d->second);
        }
        break;
    case GeometryKind::Polyline:
    case GeometryKind::Polygon:
        if (const auto* d = std::get_if<PolylineData>(&item.data))
            AddPoints(box, d->points);
        break;
    case GeometryKind::Marker:
        if (const auto* d = std::get_if<MarkerData>(&item.data))
            AddPoint(box, d->position);
        break;
    case GeometryKind::Text:
        if (const auto* d = std::get_if<TextData>(&item.data))
            AddPoint(box, d->position);
        break;
    case GeometryKind::Image:
        if (const auto* d = std::get_if<ImageData>(&item.data))
            AddPoint(box, d->position);
        break;
    case GeometryKind::Circle:
        if (const auto* d = std::get_if<CircleData>(&item.data)) {
            // Radius times the in-plane part of each axis: r * sqrt(1 - n_i^2).
            const Vec3& n = d->normal;
            const float len = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
            const float r = std::fabs(d->radius);
            if (len > 0) {
                const float nx = n.x / len, ny = n.y / len, nz = n.z / len;
                const float ex = r * std::sqrt(std::max(0.f, 1 - nx * nx));
                const float ey = r * std::sqrt(std::max(0.f, 1 - ny * ny));
                const float ez = r * std::sqrt(std::max(0.f, 1 - nz * nz));
                AddPoint(box, {d->center.x - ex, d->center.y - ey, d->center.z - ez});
                AddPoint(box, {d->center.x + ex, d->center.y + ey, d->center.z + ez});
            } else {
                AddSphere(box, d->center, r);
            }
        }
        break;
    case GeometryKind::Ellipse:
    case GeometryKind::EllipticalArc:
        if (const auto* d = std::get_if<EllipseData>(&item.data))
            AddEllipse(box, d->center, Sub(d->major, d->center), Sub(d->minor, d->center));
        break;
    case GeometryKind::DistantLight:
    case GeometryKind::CuttingPlane:
        break;
    }
    return box;
}

void ShellFaces(const ShellData& shell, std::vector<FaceRange>& out) {
    out.clear();
    out.reserve(static_cast<size_t>(std::max(0, shell.faceCount)));
    const std::vector<int>& list = shell.faceList;
    const size_t n = list.size();
    size_t i = 0;
    while (i < n) {
        const int count = list[i];
        const size_t len = static_cast<size_t>(count < 0 ? -static_cast<long>(count) : count);
        const size_t next = i + 1 + len;
        if (count == 0 || next > n)
            break; // malformed tail: stop rather than read past the list
        if (count > 0)
            out.push_back({static_cast<uint32_t>(i), static_cast<uint32_t>(next)});
        else if (!out.empty())
            out.back().end = static_cast<uint32_t>(next); // a hole of the previous face
        i = next;
    }
}

// Faces of one shell whose boxes are worth working out on more than one thread.
constexpr size_t kParallelFaces = 1u << 15;

const ItemIndex* ItemIndexOf(const Geometry& item) {
    IndexCache& cache = Cache();
    const auto* shell = std::get_if<ShellData>(&item.data);
    const auto* poly = std::get_if<PolylineData>(&item.data);
    const auto* tube = std::get_if<PolyCylinderData>(&item.data);
    size_t primitives = 0;
    if (shell)
        primitives = static_cast<size_t>(std::max(0, shell->faceCount));
    else if (poly)
        primitives = poly->points.size();
    else if (tube)
        primitives = tube->points.size();
    if (primitives < kItemIndexThreshold)
        return nullptr;

    auto it = cache.items.find(item.key);
    if (it != cache.items.end() && it->second.changeCount == item.changeCount)
        return &it->second;
    SweepIfLarge();
    ItemIndex& idx = cache.items[item.key];
    idx.changeCount = item.changeCount;
    idx.faces.clear();
    std::vector<Aabb> boxes;
    if (shell) {
        ShellFaces(*shell, idx.faces);
        boxes.resize(idx.faces.size());
        const size_t np = shell->points.size();
        sys::ParallelRanges(idx.faces.size(), kParallelFaces, [&](size_t from, size_t to) {
            for (size_t i = from; i < to; ++i) {
                const FaceRange& f = idx.faces[i];
                Aabb b;
                for (uint32_t k = f.begin; k < f.end;) {
                    const int count = shell->faceList[k];
                    const uint32_t len = static_cast<uint32_t>(count < 0 ? -count : count);
                    for (uint32_t j = k + 1; j <= k + len; ++j) {
                        const int p = shell->faceList[j];
                        if (p >= 0 && static_cast<size_t>(p) < np)
                            AddPoint(b, shell->points[static_cast<size_t>(p)]);
                    }
                    k += len + 1;
                }
                boxes[i] = b;
            }
        });
    } else {
        const std::vector<Vec3>& pts = poly ? poly->points : tube->points;
        float r = 0;
        if (tube)
            for (float v : tube->radii)
                r = std::max(r, std::fabs(v));
        // A polygon's last segment closes the outline back to its first point.
        const bool closed = item.type == GeometryKind::Polygon;
        const size_t n = pts.size();
        const size_t segments = n < 2 ? 0 : (closed ? n : n - 1);
        for (size_t i = 0; i < segments; ++i) {
            Aabb b;
            AddSphere(b, pts[i], r);
            AddSphere(b, pts[(i + 1) % n], r);
            boxes.push_back(b);
        }
    }
    idx.bvh.BuildFrom(std::move(boxes));
    return &idx;
}

const SegmentIndex& IndexOf(const Segment& segment, std::vector<const Segment*> above) {
    SweepIfLarge();
    return Validate(segment, above);
}

namespace {

// The bounds (and newest change) of a segment's tree: its index's where that is up to date,
// else computed as the index computes them, without building an index.
const SegmentBounds& BoundsBelow(const Segment& segment, std::vector<const Segment*>& stack) {
    IndexCache& cache = Cache();
    const uint64_t generation = Graph::Instance().Generation();
    SegmentBounds& b = cache.bounds[segment.key];
    if (b.checkedGeneration == generation)
        return b;
    auto indexed = cache.segments.find(segment.key);
    if (indexed != cache.segments.end() && indexed->second.checkedGeneration == generation) {
        b.bounds = indexed->second.bounds;
        b.stamp = indexed->second.stamp;
        b.masked = indexed->second.masked;
        b.checkedGeneration = generation;
        return b;
    }
    const uint64_t stamp = NewestChangeBelow(segment, stack, [](const Segment& s, auto& st) { return BoundsBelow(s, st).stamp; });
    // `b` is still good: map entries stay put while others are added.
    if (stamp != b.stamp || b.checkedGeneration == 0) {
        Aabb box;
        // Masked as SegmentIndex::masked is: a mask transform here, a text (its box is its
        // anchor), or anything masked below.
        bool masked = OwnMaskTransform(segment) != nullptr;
        for (const auto& item : segment.geometry) {
            box.Add(ItemBounds(*item));
            masked = masked || item->type == GeometryKind::Text;
        }
        // Children and includes were brought up to date above.
        auto addBelow = [&](const Segment& below) {
            const SegmentBounds& tree = cache.bounds.find(below.key)->second;
            box.Add(below.attributes && below.attributes->modellingMatrix ? TransformBox(tree.bounds, LocalMatrix(below)) : tree.bounds);
            masked = masked || tree.masked;
        };
        for (const auto& child : segment.children)
            addBelow(*child);
        for (const auto& inc : segment.includes)
            if (inc->target && !OnStack(stack, inc->target) && inc->target != &segment)
                addBelow(*inc->target);
        b.bounds = box;
        b.masked = masked;
    }
    b.stamp = stamp;
    b.checkedGeneration = generation;
    return b;
}

} // namespace

Aabb BoundsOf(const Segment& segment) {
    SweepIfLarge();
    std::vector<const Segment*> stack;
    return BoundsBelow(segment, stack).bounds;
}

} // namespace ketra::hc
