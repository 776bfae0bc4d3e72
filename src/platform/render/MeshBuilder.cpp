#include "platform/render/MeshBuilder.h"

#include "platform/sys/HugePages.h"
#include "platform/sys/Parallel.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
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

// Working lists for one range of a shell's faces.
struct PartScratch {
    std::vector<Corner> corners;
    std::vector<int> cornerHead;
    std::vector<std::int64_t> firstCorner, plain;
    std::vector<EdgeRecord> edgeRecords;
    std::vector<int> edgeHead;
    std::vector<int> local;
    std::vector<std::int64_t> localCorner;
    std::vector<int> triangleIndices;
    std::vector<std::uint32_t> triangles;  // the range's, 3 vertices each
    std::vector<std::uint32_t> edges;      // the shell's, 4 vertices each (see Mesh::edges)
    // The points the range uses lie in [low, low + cornerHead.size()); the lists per point
    // cover only those.
    int low = 0;

    // Gives back what only making the range needed, on the thread that touched it: the
    // range's vertices, triangles, edges and first corners stay for joining.
    void ReleaseWorkingLists() {
        corners = {};
        cornerHead = {};
        edgeHead = {};
        plain = {};
        local = {};
        localCorner = {};
        triangleIndices = {};
    }

    std::int64_t FirstCorner(int v) const {
        const auto at = static_cast<size_t>(v - low);
        return v < low || at >= firstCorner.size() ? -1 : firstCorner[at];
    }
    TriangulationScratch triangulation;

    size_t Bytes() const {
        size_t bytes = corners.capacity() * sizeof(Corner) + edgeRecords.capacity() * sizeof(EdgeRecord) +
                       (triangles.capacity() + edges.capacity()) * sizeof(std::uint32_t);
        for (const auto* list : {&cornerHead, &edgeHead, &local, &triangleIndices})
            bytes += list->capacity() * sizeof(int);
        return bytes + (firstCorner.capacity() + plain.capacity() + localCorner.capacity()) * sizeof(std::int64_t);
    }
};

// Working lists of the shell builder, kept per thread from shell to shell so that a scene of
// tens of thousands of small shells does not allocate them again for each.
struct ShellScratch {
    std::vector<Face> faces;
    std::vector<int> loops;
    std::vector<LoopRange> holes;
    std::vector<std::pair<int, int>> bareEdges;
    std::vector<int> incidentStart, incident, fill;
    PartScratch part;  // the calling thread's range of faces
    bool busy = false;

    size_t Bytes() const {
        size_t bytes = faces.capacity() * sizeof(Face) + holes.capacity() * sizeof(LoopRange) +
                       bareEdges.capacity() * sizeof(bareEdges[0]) + part.Bytes();
        for (const auto* list : {&loops, &incidentStart, &incident, &fill})
            bytes += list->capacity() * sizeof(int);
        return bytes;
    }
};

// Scratch larger than this is given back after the shell that grew it: a thread that once
// built a shell of a million faces does not hold hundreds of megabytes for good.
constexpr size_t kKeptScratchBytes = size_t{16} << 20;

// Faces of one shell worth handing to more than one thread: for normals, and for vertices,
// triangles and edges.
constexpr size_t kParallelFaces = 8192;
constexpr size_t kParallelShellFaces = 32768;

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

// What the whole shell gives every range of its faces: points, faces with their normals and
// loops, and the faces around each point.
struct ShellContext {
    std::span<const float> points;
    const ShellExtras& extras;
    int pointCount;
    std::span<const Face> faces;
    std::span<const int> loops;
    std::span<const LoopRange> holes;
    std::span<const int> incidentStart, incident;
    bool anyColor;
    float cosCrease;

    template <class Visit> void ForEachVertex(const Face& f, Visit&& visit) const {
        for (int v : loops.subspan(static_cast<size_t>(f.outer.begin), static_cast<size_t>(f.outer.count))) visit(v);
        for (int h = 0; h < f.holeCount; ++h) {
            const LoopRange& hole = holes[static_cast<size_t>(f.firstHole + h)];
            for (int v : loops.subspan(static_cast<size_t>(hole.begin), static_cast<size_t>(hole.count))) visit(v);
        }
    }
};

// Makes the vertices, triangles and edges of a range of faces into one mesh: a vertex per
// point and distinct normal and colour, numbered in the order the faces first use them, and
// an edge record per pair of points, in the order the faces first give them.
class PartBuilder {
public:
    // The range uses points [low, high) only.
    PartBuilder(const ShellContext& shell, Mesh& mesh, PartScratch& work, int low, int high)
        : m_shell(shell), m_mesh(mesh), m_work(work) {
        const size_t points = static_cast<size_t>(std::max(0, high - low));
        work.low = low;
        work.corners.clear();
        work.cornerHead.assign(points, -1);
        work.firstCorner.assign(points, -1);
        work.plain.clear();
        work.edgeRecords.clear();
        work.edgeHead.assign(points, -1);
        work.triangles.clear();
    }

    // Room for the range's vertices, triangles, corners and edges at once spares a large
    // shell the copies of growing lists, and the heap they grew is advised for huge pages
    // before it is filled.
    void Reserve(size_t points, size_t triangles, size_t positions, size_t bareEdges, bool alone) {
        m_mesh.positions.reserve(points * 3);
        m_mesh.normals.reserve(points);
        m_work.triangles.reserve(triangles * 3);
        // Every corner and every edge comes from one position of a loop.
        m_work.corners.reserve(positions + bareEdges * 2);
        if (m_shell.extras.faceEdges) m_work.edgeRecords.reserve(positions + bareEdges);
        sys::AdviseHeapGrowth();
        // Lists too large for the heap have mappings of their own. Only a range made alone
        // asks for huge pages for them: threads faulting huge pages in at once made each
        // range slower than small pages did.
        if (!alone) return;
        Advise(m_mesh.positions);
        Advise(m_work.triangles);
        Advise(m_work.corners);
        Advise(m_work.edgeRecords);
    }

    void AddFaces(size_t from, size_t to) {
        for (size_t f = from; f < to; ++f) AddFace(m_shell.faces[f]);
    }

    // An edge that belongs to no face, between plain vertices.
    void AddBareEdge(int va, int vb) {
        if (va == vb) return;
        bool isNew = false;
        EdgeRecord& record = FindEdge(va, vb, isNew);
        if (isNew) {
            const std::uint32_t a = PlainOf(va), b = PlainOf(vb);
            // PlainOf does not touch the edge records, so the reference is still good.
            record.a = a;
            record.b = b;
            record.c = a;
            record.d = a;
        }
    }

private:
    size_t At(int v) const { return static_cast<size_t>(v - m_work.low); }

    template <class T> static void Advise(const std::vector<T>& list) {
        sys::AdviseBlock(list.data(), list.capacity() * sizeof(T));
    }

    std::uint32_t CornerOf(const Face& face, int v) {
        const ShellExtras& extras = m_shell.extras;
        std::vector<Corner>& corners = m_work.corners;
        std::vector<int>& cornerHead = m_work.cornerHead;
        std::uint32_t color = 0;
        if (m_shell.anyColor) {
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
            const int first = m_shell.incidentStart[v], count = m_shell.incidentStart[v + 1] - first;
            for (int k = 0; k < count; ++k) {
                const V3& other = m_shell.faces[static_cast<size_t>(m_shell.incident[first + k])].normal;
                if (DotV(other, face.normal) >= m_shell.cosCrease) {
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
                for (int c = cornerHead[At(v)]; c >= 0; c = corners[static_cast<size_t>(c)].next)
                    if (corners[static_cast<size_t>(c)].smoothed == smoothed && corners[static_cast<size_t>(c)].color == color)
                        return corners[static_cast<size_t>(c)].vertex;
            n = NormalizeV(n);
            if (n == V3{0, 0, 0}) n = face.normal;
        }
        const std::int16_t q[3] = {static_cast<std::int16_t>(std::lround(n[0] * 32000)),
                                   static_cast<std::int16_t>(std::lround(n[1] * 32000)),
                                   static_cast<std::int16_t>(std::lround(n[2] * 32000))};
        for (int c = cornerHead[At(v)]; c >= 0; c = corners[static_cast<size_t>(c)].next) {
            const Corner& corner = corners[static_cast<size_t>(c)];
            if (corner.n[0] == q[0] && corner.n[1] == q[1] && corner.n[2] == q[2] && corner.color == color)
                return corner.vertex;
        }
        const auto vertex = static_cast<std::uint32_t>(m_mesh.VertexCount());
        corners.push_back({{q[0], q[1], q[2]}, color, vertex, cornerHead[At(v)], smoothed});
        cornerHead[At(v)] = static_cast<int>(corners.size() - 1);
        AddVertex(v, PackNormal(n[0], n[1], n[2]), color);
        return vertex;
    }

    std::uint32_t PlainOf(int v) {
        std::vector<std::int64_t>& plain = m_work.plain;
        if (plain.empty()) plain.assign(m_work.cornerHead.size(), -1);
        std::int64_t& slot = plain[At(v)];
        if (slot < 0) {
            slot = static_cast<std::int64_t>(m_mesh.VertexCount());
            AddVertex(v, PackNormal(0.0f, 0.0f, 1.0f), 0);
        }
        return static_cast<std::uint32_t>(slot);
    }

    void AddVertex(int v, std::uint32_t normal, std::uint32_t color) {
        const std::span<const float> points = m_shell.points;
        std::int64_t& first = m_work.firstCorner[At(v)];
        if (first < 0) first = static_cast<std::int64_t>(m_mesh.VertexCount());
        m_mesh.positions.insert(m_mesh.positions.end(), {points[3 * v], points[3 * v + 1], points[3 * v + 2]});
        m_mesh.normals.push_back(normal);
        if (m_shell.anyColor) m_mesh.colors.push_back(color);
    }

    // The record of edge va-vb, made when it is new; isNew tells which.
    EdgeRecord& FindEdge(int va, int vb, bool& isNew) {
        std::vector<EdgeRecord>& edgeRecords = m_work.edgeRecords;
        std::vector<int>& edgeHead = m_work.edgeHead;
        const int lo = std::min(va, vb), hi = std::max(va, vb);
        for (int e = edgeHead[At(lo)]; e >= 0; e = edgeRecords[static_cast<size_t>(e)].next)
            if (edgeRecords[static_cast<size_t>(e)].hi == hi) {
                isNew = false;
                return edgeRecords[static_cast<size_t>(e)];
            }
        isNew = true;
        edgeRecords.push_back({0, 0, 0, 0, lo, hi, edgeHead[At(lo)]});
        edgeHead[At(lo)] = static_cast<int>(edgeRecords.size() - 1);
        return edgeRecords.back();
    }

    std::uint32_t CornerAt(const Face& face, int position) {
        std::int64_t& slot = m_work.localCorner[static_cast<size_t>(position)];
        if (slot < 0) slot = CornerOf(face, m_work.local[static_cast<size_t>(position)]);
        return static_cast<std::uint32_t>(slot);
    }

    void AddLoopEdges(const Face& face, int begin, int n) {
        const std::vector<int>& local = m_work.local;
        for (int k = 0; k < n; ++k) CornerAt(face, begin + k);
        for (int k = 0; k < n; ++k) {
            const int pa = begin + k, pb = begin + (k + 1) % n, pc = begin + (k + 2) % n;
            const int va = local[static_cast<size_t>(pa)], vb = local[static_cast<size_t>(pb)];
            if (va == vb) continue;
            const std::uint32_t third = CornerAt(face, pc);
            bool isNew = false;
            EdgeRecord& record = FindEdge(va, vb, isNew);
            if (isNew) {
                record.a = CornerAt(face, pa);
                record.b = CornerAt(face, pb);
                record.c = third;
                record.d = record.a;
            } else if (!record.second) {
                record.d = third;
                record.second = true;
            }
        }
    }

    void AddFace(const Face& face) {
        std::vector<int>& local = m_work.local;  // the face's points: outline, then holes
        local.clear();
        m_shell.ForEachVertex(face, [&](int v) { local.push_back(v); });
        m_work.localCorner.assign(local.size(), -1);
        std::vector<int>& triangleIndices = m_work.triangleIndices;
        triangleIndices.clear();
        Triangulate(m_shell.points, face, local, m_shell.holes, m_work.triangulation, triangleIndices);
        for (int position : triangleIndices) m_work.triangles.push_back(CornerAt(face, position));
        if (!m_shell.extras.faceEdges) return;
        AddLoopEdges(face, 0, face.outer.count);
        int begin = face.outer.count;
        for (int h = 0; h < face.holeCount; ++h) {
            const int n = m_shell.holes[static_cast<size_t>(face.firstHole + h)].count;
            AddLoopEdges(face, begin, n);
            begin += n;
        }
    }

    const ShellContext& m_shell;
    Mesh& m_mesh;
    PartScratch& m_work;
};

// Appends the mesh and edges of the later ranges of a shell's faces to the first range's.
// A point used by faces of two ranges has a vertex in each (alike in position, normal and
// colour); an edge between two ranges' faces, made once in each, becomes one record whose
// second side is the later range's face, as one pass over all faces would have made it.
// Returns where each range's vertices begin.
std::vector<std::uint32_t> JoinParts(const ShellContext& shell, std::span<const size_t> partStart, Mesh& mesh,
                                     PartScratch& firstWork, std::span<const Mesh> later,
                                     std::span<const PartScratch> laterWork) {
    std::vector<EdgeRecord>& edges = firstWork.edgeRecords;
    const size_t parts = partStart.size() - 1;
    auto partOfFace = [&](int face) {
        return static_cast<size_t>(std::upper_bound(partStart.begin(), partStart.end(), static_cast<size_t>(face)) -
                                   partStart.begin()) - 1;
    };
    // Only an edge between points used by more than one range can have been made twice.
    // Faces around a point are in face order, so the first and last tell.
    std::vector<bool> shared(static_cast<size_t>(shell.pointCount), false);
    for (int v = 0; v < shell.pointCount; ++v) {
        const int first = shell.incidentStart[v], last = shell.incidentStart[v + 1] - 1;
        if (last > first) shared[static_cast<size_t>(v)] = partOfFace(shell.incident[first]) != partOfFace(shell.incident[last]);
    }
    std::unordered_map<std::uint64_t, size_t> made;
    auto acrossParts = [&](const EdgeRecord& r) {
        return shared[static_cast<size_t>(r.lo)] && shared[static_cast<size_t>(r.hi)];
    };
    for (size_t i = 0; i < edges.size(); ++i)
        if (acrossParts(edges[i])) made.emplace(EdgeId(edges[i].lo, edges[i].hi), i);

    size_t vertices = mesh.VertexCount();
    for (const Mesh& part : later) vertices += part.VertexCount();
    mesh.positions.reserve(vertices * 3);
    mesh.normals.reserve(vertices);
    if (!mesh.colors.empty()) mesh.colors.reserve(vertices);
    sys::AdviseHeapGrowth();
    sys::AdviseBlock(mesh.positions.data(), mesh.positions.capacity() * sizeof(float));
    std::vector<std::uint32_t> base(parts, 0);
    for (size_t k = 1; k < parts; ++k) {
        const Mesh& part = later[k - 1];
        const auto offset = static_cast<std::uint32_t>(mesh.VertexCount());
        base[k] = offset;
        mesh.positions.insert(mesh.positions.end(), part.positions.begin(), part.positions.end());
        mesh.normals.insert(mesh.normals.end(), part.normals.begin(), part.normals.end());
        mesh.colors.insert(mesh.colors.end(), part.colors.begin(), part.colors.end());
        std::vector<std::uint32_t>& triangles = firstWork.triangles;
        const size_t joined = triangles.size();
        triangles.resize(joined + laterWork[k - 1].triangles.size());
        for (size_t i = joined; i < triangles.size(); ++i) triangles[i] = laterWork[k - 1].triangles[i - joined] + offset;
        for (EdgeRecord r : laterWork[k - 1].edgeRecords) {
            r.a += offset, r.b += offset, r.c += offset, r.d += offset;
            if (acrossParts(r)) {
                const auto [at, isNew] = made.emplace(EdgeId(r.lo, r.hi), edges.size());
                if (!isNew) {
                    EdgeRecord& earlier = edges[at->second];
                    if (!earlier.second) {
                        earlier.d = r.c;
                        earlier.second = true;
                    }
                    continue;
                }
            }
            edges.push_back(r);
        }
    }
    return base;
}

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
    // Every face takes at least four entries of the list (a count and three points).
    loops.reserve(faceList.size());
    faces.reserve(faceList.size() / 4);
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
    // Face normals, on every core for a large shell.
    sys::ParallelRanges(faces.size(), kParallelFaces, [&](size_t from, size_t to) {
        for (size_t f = from; f < to; ++f)
            faces[f].normal = LoopNormal(points, allLoops.subspan(static_cast<size_t>(faces[f].outer.begin),
                                                                  static_cast<size_t>(faces[f].outer.count)));
    });

    // Incident faces of each point, in face order, for smoothing.
    std::vector<int>& incidentStart = work.incidentStart;
    incidentStart.assign(static_cast<size_t>(pointCount) + 1, 0);
    for (int v : loops) ++incidentStart[static_cast<size_t>(v) + 1];
    for (int v = 0; v < pointCount; ++v) incidentStart[v + 1] += incidentStart[v];
    std::vector<int>& incident = work.incident;
    incident.resize(static_cast<size_t>(incidentStart[pointCount]));
    const ShellContext shell{points, extras, pointCount, faces, loops, holes, incidentStart, incident,
                             !extras.faceColors.empty() || !extras.vertexColors.empty(),
                             std::cos(kCreaseAngleDegrees * 3.14159265f / 180.0f)};
    {
        std::vector<int>& fill = work.fill;
        fill.assign(incidentStart.begin(), incidentStart.end() - 1);
        for (size_t fi = 0; fi < faces.size(); ++fi)
            shell.ForEachVertex(faces[fi], [&](int v) { incident[fill[v]++] = static_cast<int>(fi); });
    }

    // A large shell's faces are split in ranges, one per core, each made into a mesh of its
    // own and joined after. Edges that belong to no face come after every face, so a shell
    // with them is made in one range.
    const size_t grain = extras.parallel && bareEdges.empty() ? kParallelShellFaces : SIZE_MAX;
    const size_t parts = sys::PartsFor(faces.size(), grain);
    std::vector<Mesh> later(parts - 1);
    std::vector<PartScratch> laterWork(parts - 1);
    std::vector<size_t> partStart(parts + 1, faces.size());
    auto buildPart = [&](size_t k, size_t from, size_t to) {
        partStart[k] = from;
        // A range of faces mostly uses a band of the points: its lists per point cover that.
        int low = 0, high = pointCount;
        if (parts > 1) {
            low = pointCount, high = 0;
            for (size_t f = from; f < to; ++f)
                shell.ForEachVertex(faces[f], [&](int v) {
                    low = std::min(low, v);
                    high = std::max(high, v + 1);
                });
        }
        PartBuilder builder(shell, k == 0 ? mesh : later[k - 1], k == 0 ? work.part : laterWork[k - 1], low, high);
        // The first range's mesh becomes the shell's: room for all of it.
        const double share = k == 0 ? 1.0 : static_cast<double>(to - from) / static_cast<double>(faces.size());
        builder.Reserve(static_cast<size_t>(pointCount * share), static_cast<size_t>(static_cast<double>(triangleEstimate) * share),
                        static_cast<size_t>(static_cast<double>(loops.size()) * share), bareEdges.size(), parts == 1);
        builder.AddFaces(from, to);
        if (k == 0)
            for (const auto& [va, vb] : bareEdges) builder.AddBareEdge(va, vb);
        else
            laterWork[k - 1].ReleaseWorkingLists();
    };
    if (faces.empty())
        buildPart(0, 0, 0);
    else
        sys::ParallelParts(faces.size(), grain, buildPart);
    std::vector<EdgeRecord>& edgeRecords = work.part.edgeRecords;
    const std::vector<std::uint32_t> partBase =
        parts > 1 ? JoinParts(shell, partStart, mesh, work.part, later, laterWork) : std::vector<std::uint32_t>{0};
    // No triangle or edge refers past the last vertex.
    const auto largest = static_cast<std::uint32_t>(mesh.VertexCount() == 0 ? 0 : mesh.VertexCount() - 1);
    mesh.triangles.Assign(std::move(work.part.triangles), largest);

    std::unordered_map<std::uint64_t, Color> edgeColorById;
    for (const auto& [edge, color] : extras.edgeColors) edgeColorById[EdgeId(edge.first, edge.second)] = color;
    std::vector<std::uint64_t> hidden;
    for (const auto& [a, b] : extras.hiddenEdges) hidden.push_back(EdgeId(a, b));
    std::sort(hidden.begin(), hidden.end());
    std::vector<std::uint32_t>& edges = work.part.edges;
    edges.clear();
    edges.reserve(edgeRecords.size() * 4);
    for (const EdgeRecord& r : edgeRecords) {
        const std::uint64_t id = EdgeId(r.lo, r.hi);
        if (!hidden.empty() && std::binary_search(hidden.begin(), hidden.end(), id)) continue;
        edges.insert(edges.end(), {r.a, r.b, r.c, r.d});
        if (!edgeColorById.empty()) {
            auto found = edgeColorById.find(id);
            mesh.edgeColors.push_back(found == edgeColorById.end() ? 0u : PackColor(found->second));
        }
    }
    mesh.edges.Assign(std::move(edges), largest);
    if (!edgeColorById.empty() && mesh.edgeColors.size() != mesh.EdgeCount()) mesh.edgeColors.clear();

    // One marker per point that is used: its first vertex, in the first range that uses it.
    mesh.markerVertices.reserve(static_cast<size_t>(pointCount));
    for (int v = 0; v < pointCount; ++v) {
        std::int64_t first = work.part.FirstCorner(v);
        for (size_t k = 1; first < 0 && k < parts; ++k) {
            const std::int64_t there = laterWork[k - 1].FirstCorner(v);
            if (there >= 0) first = there + partBase[k];
        }
        if (first >= 0) mesh.markerVertices.push_back(static_cast<std::uint32_t>(first));
    }

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
