#include "platform/render/MeshBuilder.h"

#include "platform/sys/HugePages.h"
#include "platform/sys/Parallel.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <unordered_map>

namespace ketra::render {

namespace {

using V3 = std::array<float, 3>;

V3 Sub(const V3& a, const V3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
V3 CrossV(const V3& a, const V3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
float DotV(const V3& a, const V3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
V3 NormalizeV(V3 a) {
    const float length = std::sqrt(DotV(a, a));
    if (!(length > 1e-30f)) return {0, 0, 0};
    return {a[0] / length, a[1] / length, a[2] / length};
}

V3 PointAt(std::span<const float> points, int i) {
    return {points[3 * i], points[3 * i + 1], points[3 * i + 2]};
}

// Newell's method: robust for non-planar and concave loops.
V3 LoopNormal(std::span<const float> points, std::span<const int> loop) {
    V3 n{0, 0, 0};
    for (size_t i = 0; i < loop.size(); ++i) {
        const V3 a = PointAt(points, loop[i]);
        const V3 b = PointAt(points, loop[(i + 1) % loop.size()]);
        n[0] += (a[1] - b[1]) * (a[2] + b[2]);
        n[1] += (a[2] - b[2]) * (a[0] + b[0]);
        n[2] += (a[0] - b[0]) * (a[1] + b[1]);
    }
    return NormalizeV(n);
}

struct P2 {
    double x, y;
};

double Cross2(P2 o, P2 a, P2 b) { return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x); }

// Inside or on an edge: a reflex vertex touching an ear's edge blocks it. (Bridge copies of
// the ear's own corners are skipped by the caller.)
bool InTriangle(P2 p, P2 a, P2 b, P2 c) {
    const double d1 = Cross2(a, b, p), d2 = Cross2(b, c, p), d3 = Cross2(c, a, p);
    const bool negative = d1 < 0 || d2 < 0 || d3 < 0;
    const bool positive = d1 > 0 || d2 > 0 || d3 > 0;
    return !(negative && positive);
}

// Projects a loop onto the plane of its dominant normal axis.
void Project(std::span<const float> points, std::span<const int> loop, const V3& normal,
             std::vector<P2>& out) {
    int axis = 2;
    if (std::fabs(normal[0]) >= std::fabs(normal[1]) && std::fabs(normal[0]) >= std::fabs(normal[2]))
        axis = 0;
    else if (std::fabs(normal[1]) >= std::fabs(normal[2]))
        axis = 1;
    const int u = (axis + 1) % 3, v = (axis + 2) % 3;
    const double flip = normal[axis] < 0 ? -1.0 : 1.0;  // keep counter-clockwise loops positive
    out.clear();
    for (int i : loop) out.push_back({points[3 * i + u] * flip, points[3 * i + v]});
}

// Ear clipping of a simple polygon; emits triangles into `out` as positions in `p`. Falls back
// to a fan when no ear is found (self-intersecting input).
void EarClip(const std::vector<P2>& p, std::vector<int>& remaining, std::vector<int>& out) {
    const int n = static_cast<int>(p.size());
    remaining.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) remaining[static_cast<size_t>(i)] = i;
    double area = 0;
    for (int i = 0; i < n; ++i) area += p[i].x * p[(i + 1) % n].y - p[(i + 1) % n].x * p[i].y;
    const double orientation = area >= 0 ? 1.0 : -1.0;
    int guard = 0;
    while (remaining.size() > 3 && guard < n * n) {
        ++guard;
        bool clipped = false;
        const size_t m = remaining.size();
        for (size_t i = 0; i < m; ++i) {
            const int a = remaining[(i + m - 1) % m], b = remaining[i], c = remaining[(i + 1) % m];
            if (Cross2(p[a], p[b], p[c]) * orientation <= 0) continue;  // reflex or flat
            bool contains = false;
            for (size_t j = 0; j < m && !contains; ++j) {
                const int q = remaining[j];
                if (q == a || q == b || q == c) continue;
                if (p[q].x == p[a].x && p[q].y == p[a].y) continue;  // bridge duplicates
                if (p[q].x == p[c].x && p[q].y == p[c].y) continue;
                if (p[q].x == p[b].x && p[q].y == p[b].y) continue;
                const P2 t0 = orientation > 0 ? p[a] : p[c];
                const P2 t2 = orientation > 0 ? p[c] : p[a];
                contains = InTriangle(p[q], t0, p[b], t2);
            }
            if (contains) continue;
            out.insert(out.end(), {a, b, c});
            remaining.erase(remaining.begin() + static_cast<std::ptrdiff_t>(i));
            clipped = true;
            break;
        }
        if (!clipped) break;
    }
    for (size_t i = 1; i + 1 < remaining.size(); ++i)
        out.insert(out.end(), {remaining[0], remaining[i], remaining[i + 1]});
}

bool IsConvex(const std::vector<P2>& p) {
    const size_t n = p.size();
    int sign = 0;
    for (size_t i = 0; i < n; ++i) {
        const double c = Cross2(p[i], p[(i + 1) % n], p[(i + 2) % n]);
        if (c == 0) continue;
        const int s = c > 0 ? 1 : -1;
        if (sign == 0) sign = s;
        else if (s != sign) return false;
    }
    return true;
}

struct LoopRange {
    int begin = 0, count = 0;  // into the shell's flat loop list
};

struct Face {
    LoopRange outer;
    int firstHole = 0, holeCount = 0;  // into the shell's hole list
    int index = 0;                     // face number (positive counts in list order)
    V3 normal{0, 0, 1};
};

// Buffers reused from face to face, so triangulating a shell allocates only while they grow.
struct TriangulationScratch {
    std::vector<P2> projected;
    std::vector<int> remaining;
    std::vector<int> clipped;
    std::vector<int> merged;       // positions in the face's local list
    std::vector<int> mergedPoints; // the points at those positions
};

// Triangulates a face. `local` holds the face's point indices: the outline, then each hole in
// turn (`holeStarts` gives where each begins). Triangles are emitted into `out` as positions
// in `local`.
void Triangulate(std::span<const float> points, const Face& face, std::span<const int> local,
                 std::span<const LoopRange> holes, TriangulationScratch& scratch, std::vector<int>& out) {
    const int outerCount = face.outer.count;
    if (face.holeCount == 0) {
        if (outerCount == 3) {
            out.insert(out.end(), {0, 1, 2});
            return;
        }
        Project(points, local.first(static_cast<size_t>(outerCount)), face.normal, scratch.projected);
        if (IsConvex(scratch.projected)) {
            for (int i = 1; i + 1 < outerCount; ++i) out.insert(out.end(), {0, i, i + 1});
            return;
        }
        EarClip(scratch.projected, scratch.remaining, out);
        return;
    }
    // Join each hole to the outline by a bridge from its vertex to the nearest outline
    // vertex, giving one simple loop to clip.
    std::vector<int>& loop = scratch.merged;
    loop.resize(static_cast<size_t>(outerCount));
    for (int i = 0; i < outerCount; ++i) loop[static_cast<size_t>(i)] = i;
    int holeStart = outerCount;
    std::vector<int> merged;
    for (int h = 0; h < face.holeCount; ++h) {
        const int holeSize = holes[static_cast<size_t>(face.firstHole + h)].count;
        const int base = holeStart;
        holeStart += holeSize;
        if (holeSize < 3) continue;
        double best = 1e300;
        size_t bestLoop = 0;
        int bestHole = 0;
        for (size_t i = 0; i < loop.size(); ++i)
            for (int j = 0; j < holeSize; ++j) {
                const V3 d = Sub(PointAt(points, local[static_cast<size_t>(loop[i])]),
                                 PointAt(points, local[static_cast<size_t>(base + j)]));
                const double dist = DotV(d, d);
                if (dist < best) best = dist, bestLoop = i, bestHole = j;
            }
        merged.assign(loop.begin(), loop.begin() + static_cast<std::ptrdiff_t>(bestLoop) + 1);
        // Holes run opposite to the outline; walk the hole from the bridge vertex.
        for (int k = 0; k <= holeSize; ++k) merged.push_back(base + (bestHole + k) % holeSize);
        merged.insert(merged.end(), loop.begin() + static_cast<std::ptrdiff_t>(bestLoop), loop.end());
        loop.swap(merged);
    }
    scratch.mergedPoints.clear();
    for (int position : loop) scratch.mergedPoints.push_back(local[static_cast<size_t>(position)]);
    Project(points, scratch.mergedPoints, face.normal, scratch.projected);
    scratch.clipped.clear();
    EarClip(scratch.projected, scratch.remaining, scratch.clipped);
    for (int i : scratch.clipped) out.push_back(loop[static_cast<size_t>(i)]);
}

std::uint64_t EdgeId(int a, int b) {
    const auto lo = static_cast<std::uint32_t>(std::min(a, b));
    const auto hi = static_cast<std::uint32_t>(std::max(a, b));
    return (static_cast<std::uint64_t>(lo) << 32) | hi;
}

} // namespace

std::uint32_t PackColor(const Color& color, float alpha) {
    auto channel = [](float v) {
        return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
    };
    return channel(color.r) | channel(color.g) << 8 | channel(color.b) << 16 | channel(alpha) << 24;
}

namespace {

// The vertices made for each point, as a chain per point: a point has one vertex per
// distinct normal and colour (usually one to three).
struct Corner {
    std::int16_t n[3];
    std::uint32_t color;
    std::uint32_t vertex;
    int next;
    // Which of the point's faces (bit k: its k-th incident face) were smoothed into the
    // normal it was made for; 0 when not known.
    std::uint32_t smoothed;
};

// An edge, found again through a chain per lower point index.
struct EdgeRecord {
    std::uint32_t a, b, c, d;
    int lo, hi;
    int next;
    bool second = false;
};

// Working lists of the shell builder, kept per thread from shell to shell so that a scene of
// tens of thousands of small shells does not allocate them again for each.
struct ShellScratch {
    std::vector<Face> faces;
    std::vector<int> loops;
    std::vector<LoopRange> holes;
    std::vector<std::pair<int, int>> bareEdges;
    std::vector<int> incidentStart, incident, fill;
    std::vector<Corner> corners;
    std::vector<int> cornerHead;
    std::vector<std::int64_t> firstCorner, plain;
    std::vector<EdgeRecord> edgeRecords;
    std::vector<int> edgeHead;
    std::vector<int> local;
    std::vector<std::int64_t> localCorner;
    std::vector<int> triangleIndices;
    TriangulationScratch triangulation;
    bool busy = false;

    size_t Bytes() const {
        size_t bytes = faces.capacity() * sizeof(Face) + holes.capacity() * sizeof(LoopRange) +
                       bareEdges.capacity() * sizeof(bareEdges[0]) + corners.capacity() * sizeof(Corner) +
                       edgeRecords.capacity() * sizeof(EdgeRecord);
        for (const auto* list : {&loops, &incidentStart, &incident, &fill, &cornerHead, &edgeHead, &local, &triangleIndices})
            bytes += list->capacity() * sizeof(int);
        return bytes + (firstCorner.capacity() + plain.capacity() + localCorner.capacity()) * sizeof(std::int64_t);
    }
};

// Scratch larger than this is given back after the shell that grew it: a thread that once
// built a shell of a million faces does not hold hundreds of megabytes for good.
constexpr size_t kKeptScratchBytes = size_t{16} << 20;

// Faces of one shell worth handing to more than one thread.
constexpr size_t kParallelFaces = 8192;

// Hands out the thread's scratch, or a fresh one if it is in use further up the stack.
class ScratchLease {
public:
    ScratchLease() {
        static thread_local ShellScratch shared;
        if (shared.busy) {
            m_own = std::make_unique<ShellScratch>();
            m_scratch = m_own.get();
        } else {
            m_scratch = &shared;
        }
        m_scratch->busy = true;
    }
    ~ScratchLease() {
        if (m_scratch->Bytes() > kKeptScratchBytes) *m_scratch = ShellScratch{};
        m_scratch->busy = false;
    }
    ScratchLease(const ScratchLease&) = delete;
    ScratchLease& operator=(const ScratchLease&) = delete;
    ShellScratch& operator*() const { return *m_scratch; }

private:
    ShellScratch* m_scratch = nullptr;
    std::unique_ptr<ShellScratch> m_own;
};

} // namespace

Mesh BuildShellMesh(std::span<const float> points, std::span<const int> faceList,
                    const ShellExtras& extras) {
    Mesh mesh;
    mesh.faceEdges = extras.faceEdges;
    const int pointCount = static_cast<int>(points.size() / 3);
    ScratchLease lease;
    ShellScratch& work = *lease;
    // Faces, their loops and holes in flat lists: a shell of thousands of faces costs a few
    // allocations, not several per face.
    std::vector<Face>& faces = work.faces;
    std::vector<int>& loops = work.loops;
    std::vector<LoopRange>& holes = work.holes;
    std::vector<std::pair<int, int>>& bareEdges = work.bareEdges;
    faces.clear();
    loops.clear();
    holes.clear();
    bareEdges.clear();
    size_t triangleEstimate = 0;
    int faceNumber = 0;
    for (size_t i = 0; i < faceList.size();) {
        const int count = faceList[i];
        const size_t length = static_cast<size_t>(count < 0 ? -static_cast<long>(count) : count);
        if (count == 0) {
            ++i;
            continue;
        }
        if (i + 1 + length > faceList.size()) break;
        const std::span<const int> loop = faceList.subspan(i + 1, length);
        if (std::any_of(loop.begin(), loop.end(), [&](int v) { return v < 0 || v >= pointCount; }))
            break;
        i += 1 + length;
        if (count < 0) {
            if (!faces.empty() && length >= 3) {
                Face& owner = faces.back();
                // A hole belongs to the face before it; the face's holes stay contiguous
                // because nothing else is added in between.
                if (owner.holeCount == 0) owner.firstHole = static_cast<int>(holes.size());
                holes.push_back({static_cast<int>(loops.size()), static_cast<int>(length)});
                ++owner.holeCount;
                loops.insert(loops.end(), loop.begin(), loop.end());
                triangleEstimate += length + 2;
            }
            continue;
        }
        const int index = faceNumber++;
        if (index < static_cast<int>(extras.faceVisible.size()) && extras.faceVisible[index] &&
            !*extras.faceVisible[index])
            continue;
        if (count == 2) {
            bareEdges.emplace_back(loop[0], loop[1]);
            continue;
        }
        if (count < 3) continue;
        Face face;
        face.outer = {static_cast<int>(loops.size()), static_cast<int>(length)};
        face.index = index;
        loops.insert(loops.end(), loop.begin(), loop.end());
        faces.push_back(face);
        triangleEstimate += length - 2;
    }
    const std::span<const int> allLoops(loops);
    auto loopOf = [&](const LoopRange& r) {
        return allLoops.subspan(static_cast<size_t>(r.begin), static_cast<size_t>(r.count));
    };
    // Face normals, on every core for a large shell.
    sys::ParallelRanges(faces.size(), kParallelFaces, [&](size_t from, size_t to) {
        for (size_t f = from; f < to; ++f) faces[f].normal = LoopNormal(points, loopOf(faces[f].outer));
    });
    auto forEachVertex = [&](const Face& f, auto&& visit) {
        for (int v : loopOf(f.outer)) visit(v);
        for (int h = 0; h < f.holeCount; ++h)
            for (int v : loopOf(holes[static_cast<size_t>(f.firstHole + h)])) visit(v);
    };

    // Incident faces of each point, for smoothing.
    std::vector<int>& incidentStart = work.incidentStart;
    incidentStart.assign(static_cast<size_t>(pointCount) + 1, 0);
    for (const Face& f : faces) forEachVertex(f, [&](int v) { ++incidentStart[static_cast<size_t>(v) + 1]; });
    for (int v = 0; v < pointCount; ++v) incidentStart[v + 1] += incidentStart[v];
    std::vector<int>& incident = work.incident;
    incident.resize(static_cast<size_t>(incidentStart[pointCount]));
    {
        std::vector<int>& fill = work.fill;
        fill.assign(incidentStart.begin(), incidentStart.end() - 1);
        for (size_t fi = 0; fi < faces.size(); ++fi)
            forEachVertex(faces[fi], [&](int v) { incident[fill[v]++] = static_cast<int>(fi); });
    }

    const bool anyColor = !extras.faceColors.empty() || !extras.vertexColors.empty();
    const float cosCrease = std::cos(kCreaseAngleDegrees * 3.14159265f / 180.0f);
    std::vector<Corner>& corners = work.corners;
    corners.clear();
    std::vector<int>& cornerHead = work.cornerHead;
    cornerHead.assign(static_cast<size_t>(pointCount), -1);
    std::vector<std::int64_t>& firstCorner = work.firstCorner;
    firstCorner.assign(static_cast<size_t>(pointCount), -1);
    mesh.positions.reserve(static_cast<size_t>(pointCount) * 3);
    mesh.normals.reserve(static_cast<size_t>(pointCount));
    mesh.triangles.reserve(triangleEstimate * 3);
    // Every corner and every edge comes from one position of a loop: room for all of them at
    // once spares a large shell the copies of growing lists, and the heap they grew advised
    // for huge pages before it is filled.
    corners.reserve(loops.size() + bareEdges.size() * 2);
    if (extras.faceEdges) work.edgeRecords.reserve(loops.size() + bareEdges.size());
    sys::AdviseHeapGrowth();

    auto cornerOf = [&](const Face& face, int v) -> std::uint32_t {
        std::uint32_t color = 0;
        if (anyColor) {
            if (v < static_cast<int>(extras.vertexColors.size()) && extras.vertexColors[v])
                color = PackColor(*extras.vertexColors[v]);
            else if (face.index < static_cast<int>(extras.faceColors.size()) &&
                     extras.faceColors[face.index])
                color = PackColor(*extras.faceColors[face.index]);
        }
        V3 n{0, 0, 0};
        std::uint32_t smoothed = 0;
        if (v < static_cast<int>(extras.vertexNormals.size()) && extras.vertexNormals[v]) {
            n = NormalizeV(*extras.vertexNormals[v]);
        } else {
            const int first = incidentStart[v], count = incidentStart[v + 1] - first;
            for (int k = 0; k < count; ++k) {
                const V3& other = faces[static_cast<size_t>(incident[first + k])].normal;
                if (DotV(other, face.normal) >= cosCrease) {
                    n[0] += other[0];
                    n[1] += other[1];
                    n[2] += other[2];
                    if (k < 32) smoothed |= 1u << k;
                }
            }
            if (count > 32) smoothed = 0;
            // The same faces smoothed at this point give the same normal: a corner made for
            // them already is the one (most points are shared by several faces of one side).
            if (smoothed != 0)
                for (int c = cornerHead[static_cast<size_t>(v)]; c >= 0; c = corners[static_cast<size_t>(c)].next)
                    if (corners[static_cast<size_t>(c)].smoothed == smoothed && corners[static_cast<size_t>(c)].color == color)
                        return corners[static_cast<size_t>(c)].vertex;
            n = NormalizeV(n);
            if (n == V3{0, 0, 0}) n = face.normal;
        }
        const std::int16_t q[3] = {static_cast<std::int16_t>(std::lround(n[0] * 32000)),
                                   static_cast<std::int16_t>(std::lround(n[1] * 32000)),
                                   static_cast<std::int16_t>(std::lround(n[2] * 32000))};
        for (int c = cornerHead[static_cast<size_t>(v)]; c >= 0; c = corners[static_cast<size_t>(c)].next) {
            const Corner& corner = corners[static_cast<size_t>(c)];
            if (corner.n[0] == q[0] && corner.n[1] == q[1] && corner.n[2] == q[2] && corner.color == color)
                return corner.vertex;
        }
        const auto vertex = static_cast<std::uint32_t>(mesh.VertexCount());
        corners.push_back({{q[0], q[1], q[2]}, color, vertex, cornerHead[static_cast<size_t>(v)], smoothed});
        cornerHead[static_cast<size_t>(v)] = static_cast<int>(corners.size() - 1);
        mesh.positions.insert(mesh.positions.end(), {points[3 * v], points[3 * v + 1], points[3 * v + 2]});
        mesh.normals.push_back(PackNormal(n[0], n[1], n[2]));
        if (anyColor) mesh.colors.push_back(color);
        if (firstCorner[static_cast<size_t>(v)] < 0) firstCorner[static_cast<size_t>(v)] = vertex;
        return vertex;
    };

    // A plain vertex for edges that belong to no face.
    std::vector<std::int64_t>& plain = work.plain;
    plain.clear();
    auto plainOf = [&](int v) -> std::uint32_t {
        if (plain.empty()) plain.assign(static_cast<size_t>(pointCount), -1);
        std::int64_t& slot = plain[static_cast<size_t>(v)];
        if (slot < 0) {
            slot = static_cast<std::int64_t>(mesh.VertexCount());
            mesh.positions.insert(mesh.positions.end(), {points[3 * v], points[3 * v + 1], points[3 * v + 2]});
            mesh.normals.push_back(PackNormal(0.0f, 0.0f, 1.0f));
            if (anyColor) mesh.colors.push_back(0);
            if (firstCorner[static_cast<size_t>(v)] < 0) firstCorner[static_cast<size_t>(v)] = slot;
        }
        return static_cast<std::uint32_t>(slot);
    };

    std::vector<EdgeRecord>& edgeRecords = work.edgeRecords;
    edgeRecords.clear();
    std::vector<int>& edgeHead = work.edgeHead;
    edgeHead.assign(static_cast<size_t>(pointCount), -1);
    // The record of edge va-vb, made with `make` when it is new; second is false when new.
    auto findEdge = [&](int va, int vb, bool& isNew) -> EdgeRecord& {
        const int lo = std::min(va, vb), hi = std::max(va, vb);
        for (int e = edgeHead[static_cast<size_t>(lo)]; e >= 0; e = edgeRecords[static_cast<size_t>(e)].next)
            if (edgeRecords[static_cast<size_t>(e)].hi == hi) {
                isNew = false;
                return edgeRecords[static_cast<size_t>(e)];
            }
        isNew = true;
        edgeRecords.push_back({0, 0, 0, 0, lo, hi, edgeHead[static_cast<size_t>(lo)]});
        edgeHead[static_cast<size_t>(lo)] = static_cast<int>(edgeRecords.size() - 1);
        return edgeRecords.back();
    };

    std::vector<int>& local = work.local;               // the face's points: outline, then holes
    std::vector<std::int64_t>& localCorner = work.localCorner;  // vertex of each local position, made on first use
    std::vector<int>& triangleIndices = work.triangleIndices;
    TriangulationScratch& scratch = work.triangulation;
    auto cornerAt = [&](const Face& face, int position) -> std::uint32_t {
        std::int64_t& slot = localCorner[static_cast<size_t>(position)];
        if (slot < 0) slot = cornerOf(face, local[static_cast<size_t>(position)]);
        return static_cast<std::uint32_t>(slot);
    };
    auto addLoopEdges = [&](const Face& face, int begin, int n) {
        for (int k = 0; k < n; ++k) cornerAt(face, begin + k);
        for (int k = 0; k < n; ++k) {
            const int pa = begin + k, pb = begin + (k + 1) % n, pc = begin + (k + 2) % n;
            const int va = local[static_cast<size_t>(pa)], vb = local[static_cast<size_t>(pb)];
            if (va == vb) continue;
            const std::uint32_t third = cornerAt(face, pc);
            bool isNew = false;
            EdgeRecord& record = findEdge(va, vb, isNew);
            if (isNew) {
                record.a = cornerAt(face, pa);
                record.b = cornerAt(face, pb);
                record.c = third;
                record.d = record.a;
            } else if (!record.second) {
                record.d = third;
                record.second = true;
            }
        }
    };

    for (const Face& face : faces) {
        local.clear();
        forEachVertex(face, [&](int v) { local.push_back(v); });
        localCorner.assign(local.size(), -1);
        triangleIndices.clear();
        Triangulate(points, face, local, holes, scratch, triangleIndices);
        for (int position : triangleIndices) mesh.triangles.push_back(cornerAt(face, position));
        if (!extras.faceEdges) continue;
        addLoopEdges(face, 0, face.outer.count);
        int begin = face.outer.count;
        for (int h = 0; h < face.holeCount; ++h) {
            const int n = holes[static_cast<size_t>(face.firstHole + h)].count;
            addLoopEdges(face, begin, n);
            begin += n;
        }
    }
    for (const auto& [va, vb] : bareEdges) {
        if (va == vb) continue;
        bool isNew = false;
        EdgeRecord& record = findEdge(va, vb, isNew);
        if (isNew) {
            const std::uint32_t a = plainOf(va), b = plainOf(vb);
            // plainOf does not touch edgeRecords, so the reference is still good.
            record.a = a;
            record.b = b;
            record.c = a;
            record.d = a;
        }
    }

    std::unordered_map<std::uint64_t, Color> edgeColorById;
    for (const auto& [edge, color] : extras.edgeColors) edgeColorById[EdgeId(edge.first, edge.second)] = color;
    std::vector<std::uint64_t> hidden;
    for (const auto& [a, b] : extras.hiddenEdges) hidden.push_back(EdgeId(a, b));
    std::sort(hidden.begin(), hidden.end());
    mesh.edges.reserve(edgeRecords.size() * 4);
    for (const EdgeRecord& r : edgeRecords) {
        const std::uint64_t id = EdgeId(r.lo, r.hi);
        if (!hidden.empty() && std::binary_search(hidden.begin(), hidden.end(), id)) continue;
        mesh.edges.Append({r.a, r.b, r.c, r.d});
        if (!edgeColorById.empty()) {
            auto found = edgeColorById.find(id);
            mesh.edgeColors.push_back(found == edgeColorById.end() ? 0u : PackColor(found->second));
        }
    }
    if (!edgeColorById.empty() && mesh.edgeColors.size() != mesh.EdgeCount()) mesh.edgeColors.clear();

    // One marker per point that is used.
    mesh.markerVertices.reserve(static_cast<size_t>(pointCount));
    for (int v = 0; v < pointCount; ++v)
        if (firstCorner[static_cast<size_t>(v)] >= 0)
            mesh.markerVertices.push_back(static_cast<std::uint32_t>(firstCorner[static_cast<size_t>(v)]));

    if (mesh.VertexCount() > 0) {
        mesh.boundsMin = {mesh.positions[0], mesh.positions[1], mesh.positions[2]};
        mesh.boundsMax = mesh.boundsMin;
        for (size_t i = 0; i < mesh.positions.size(); i += 3)
            for (int k = 0; k < 3; ++k) {
                mesh.boundsMin[k] = std::min(mesh.boundsMin[k], mesh.positions[i + k]);
                mesh.boundsMax[k] = std::max(mesh.boundsMax[k], mesh.positions[i + k]);
            }
    }
    return mesh;
}

Mesh BuildTubeMesh(std::span<const float> points, std::span<const float> radii, bool capFirst,
                   bool capLast, int facets, bool faceEdges) {
    facets = std::clamp(facets, 3, 256);
    // Drop repeated points: they have no direction.
    std::vector<V3> centres;
    std::vector<float> radius;
    const size_t count = points.size() / 3;
    for (size_t i = 0; i < count; ++i) {
        const V3 p{points[3 * i], points[3 * i + 1], points[3 * i + 2]};
        const float r = radii.empty() ? 0.0f : (radii.size() == 1 ? radii[0] : radii[std::min(i, radii.size() - 1)]);
        if (!centres.empty()) {
            const V3 d = Sub(p, centres.back());
            if (DotV(d, d) == 0.0f) continue;
        }
        centres.push_back(p);
        radius.push_back(std::fabs(r));
    }
    if (centres.size() < 2) return {};
    const size_t n = centres.size();
    std::vector<V3> dirs(n);
    for (size_t i = 0; i < n; ++i) {
        const V3 in = i > 0 ? NormalizeV(Sub(centres[i], centres[i - 1])) : V3{0, 0, 0};
        const V3 out = i + 1 < n ? NormalizeV(Sub(centres[i + 1], centres[i])) : V3{0, 0, 0};
        dirs[i] = NormalizeV({in[0] + out[0], in[1] + out[1], in[2] + out[2]});
        if (dirs[i] == V3{0, 0, 0}) dirs[i] = out == V3{0, 0, 0} ? in : out;
    }
    // A frame carried along the tube (parallel transport) so the facets do not twist.
    V3 seed = std::fabs(dirs[0][2]) < 0.9f ? V3{0, 0, 1} : V3{1, 0, 0};
    V3 u = NormalizeV(CrossV(seed, dirs[0]));
    std::vector<float> ring;
    std::vector<int> faceList;
    ring.reserve(n * static_cast<size_t>(facets) * 3 + 6);
    for (size_t i = 0; i < n; ++i) {
        if (i > 0) {
            u = NormalizeV(Sub(u, {dirs[i][0] * DotV(u, dirs[i]), dirs[i][1] * DotV(u, dirs[i]),
                                   dirs[i][2] * DotV(u, dirs[i])}));
            if (u == V3{0, 0, 0}) u = NormalizeV(CrossV(seed, dirs[i]));
        }
        const V3 v = CrossV(dirs[i], u);
        // At a joint the ring is widened so the tube keeps its radius in both segments.
        float scale = 1.0f;
        if (i > 0 && i + 1 < n) {
            const float c = DotV(dirs[i], NormalizeV(Sub(centres[i + 1], centres[i])));
            if (c > 0.2f) scale = 1.0f / c;
        }
        for (int k = 0; k < facets; ++k) {
            const float angle = 2.0f * 3.14159265f * static_cast<float>(k) / static_cast<float>(facets);
            const float cu = std::cos(angle) * radius[i], sv = std::sin(angle) * radius[i];
            // Widen only across the bend plane: approximate by scaling the whole ring.
            ring.insert(ring.end(), {centres[i][0] + (u[0] * cu + v[0] * sv) * scale,
                                     centres[i][1] + (u[1] * cu + v[1] * sv) * scale,
                                     centres[i][2] + (u[2] * cu + v[2] * sv) * scale});
        }
    }
    for (size_t i = 0; i + 1 < n; ++i)
        for (int k = 0; k < facets; ++k) {
            const int a = static_cast<int>(i) * facets + k;
            const int b = static_cast<int>(i) * facets + (k + 1) % facets;
            faceList.insert(faceList.end(), {4, a, b, b + facets, a + facets});
        }
    if (capFirst) {
        faceList.push_back(facets);
        for (int k = facets - 1; k >= 0; --k) faceList.push_back(k);
    }
    if (capLast) {
        faceList.push_back(facets);
        const int base = static_cast<int>(n - 1) * facets;
        for (int k = 0; k < facets; ++k) faceList.push_back(base + k);
    }
    ShellExtras extras;
    extras.faceEdges = faceEdges;
    return BuildShellMesh(ring, faceList, extras);
}

Mesh BuildPolygonMesh(std::span<const float> points) {
    const int count = static_cast<int>(points.size() / 3);
    if (count < 2) return {};
    std::vector<int> faceList;
    faceList.push_back(count);
    for (int i = 0; i < count; ++i) faceList.push_back(i);
    return BuildShellMesh(points, faceList);
}

std::vector<float> EllipsePoints(const std::array<float, 3>& center,
                                 const std::array<float, 3>& major,
                                 const std::array<float, 3>& minor, double start, double end,
                                 int segments) {
    const V3 a = Sub(major, center), b = Sub(minor, center);
    if (!(end > start)) end += 1.0;
    const int steps = std::max(2, static_cast<int>(std::ceil(segments * (end - start))));
    std::vector<float> out;
    const bool full = end - start >= 1.0 - 1e-9;
    const int last = full ? steps - 1 : steps;
    for (int i = 0; i <= last; ++i) {
        const double t = 2.0 * 3.14159265358979 * (start + (end - start) * i / steps);
        const double c = std::cos(t), s = std::sin(t);
        for (int k = 0; k < 3; ++k) out.push_back(static_cast<float>(center[k] + a[k] * c + b[k] * s));
    }
    return out;
}

} // namespace ketra::render
