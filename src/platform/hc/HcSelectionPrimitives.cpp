// Window-space hit tests of picking: faces with holes, segments, widened segments and points,
// after clipping at the eye for perspective cameras.
#include "platform/hc/HcExtras.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ketra::hc::pick {

namespace {

namespace cm = CameraMath;

constexpr double kInf = 1e300;

double Dist2(double ax, double ay, double bx, double by) {
    const double dx = ax - bx, dy = ay - by;
    return dx * dx + dy * dy;
}

// Liang-Barsky: does the segment a-b meet the rectangle?
bool SegmentMeetsRect(const cm::Vec3& a, const cm::Vec3& b, double x0, double x1, double y0,
                      double y1) {
    double t0 = 0, t1 = 1;
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x - x0, x1 - a.x, a.y - y0, y1 - a.y};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0)
                return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return false;
    }
    return true;
}

// Closest point of a-b to (cx, cy) in x and y; z follows linearly (exact in window space,
// where straight lines stay straight).
cm::Vec3 ClosestOnSegment(const cm::Vec3& a, const cm::Vec3& b, double cx, double cy,
                          double* tOut = nullptr) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((cx - a.x) * dx + (cy - a.y) * dy) / len2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    if (tOut)
        *tOut = t;
    return {a.x + t * dx, a.y + t * dy, a.z + t * (b.z - a.z)};
}

bool InsideLoops(const std::vector<std::vector<cm::Vec3>>& loops, size_t used, double x, double y) {
    bool inside = false; // even-odd over every loop, so holes cut out
    for (size_t l = 0; l < used; ++l) {
        const auto& loop = loops[l];
        const size_t n = loop.size();
        for (size_t i = 0, j = n - 1; i < n; j = i++) {
            const cm::Vec3& a = loop[i];
            const cm::Vec3& b = loop[j];
            if ((a.y > y) != (b.y > y)) {
                const double xCross = a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y);
                if (x < xCross)
                    inside = !inside;
            }
        }
    }
    return inside;
}

// Depth of the loop's plane at (x, y) (Newell normal); the nearest vertex when edge-on.
double PlaneDepth(const std::vector<cm::Vec3>& loop, double x, double y) {
    double nx = 0, ny = 0, nz = 0, sx = 0, sy = 0, sz = 0, minZ = kInf;
    const size_t n = loop.size();
    for (size_t i = 0; i < n; ++i) {
        const cm::Vec3& a = loop[i];
        const cm::Vec3& b = loop[(i + 1) % n];
        nx += (a.y - b.y) * (a.z + b.z);
        ny += (a.z - b.z) * (a.x + b.x);
        nz += (a.x - b.x) * (a.y + b.y);
        sx += a.x;
        sy += a.y;
        sz += a.z;
        minZ = std::min(minZ, a.z);
    }
    const double len = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (n < 3 || !(std::fabs(nz) > 1e-12 * len))
        return minZ;
    sx /= static_cast<double>(n);
    sy /= static_cast<double>(n);
    sz /= static_cast<double>(n);
    return sz - (nx * (x - sx) + ny * (y - sy)) / nz;
}

} // namespace

Region Region::Point(double x, double y, double hx, double hy) {
    Region r;
    r.cx = x;
    r.cy = y;
    r.x0 = x - hx;
    r.x1 = x + hx;
    r.y0 = y - hy;
    r.y1 = y + hy;
    r.area = false;
    return r;
}

Region Region::Area(double left, double right, double bottom, double top) {
    Region r;
    r.x0 = left;
    r.x1 = right;
    r.y0 = bottom;
    r.y1 = top;
    r.cx = 0.5 * (left + right);
    r.cy = 0.5 * (bottom + top);
    r.area = true;
    return r;
}

void Region::ClipTo(double left, double right, double bottom, double top) {
    x0 = std::max(x0, left);
    x1 = std::min(x1, right);
    y0 = std::max(y0, bottom);
    y1 = std::min(y1, top);
    if (area && !Empty()) {
        cx = 0.5 * (x0 + x1);
        cy = 0.5 * (y0 + y1);
    }
}

bool BoxMayOverlap(const Aabb& box, const cm::Matrix4& m, const Region& r) {
    if (box.Empty())
        return false;
    double minX = kInf, minY = kInf, maxX = -kInf, maxY = -kInf;
    int behind = 0;
    for (int c = 0; c < 8; ++c) {
        const double px = (c & 1) ? box.max[0] : box.min[0];
        const double py = (c & 2) ? box.max[1] : box.min[1];
        const double pz = (c & 4) ? box.max[2] : box.min[2];
        const double x = px * m(0, 0) + py * m(1, 0) + pz * m(2, 0) + m(3, 0);
        const double y = px * m(0, 1) + py * m(1, 1) + pz * m(2, 1) + m(3, 1);
        const double w = px * m(0, 3) + py * m(1, 3) + pz * m(2, 3) + m(3, 3);
        if (r.perspective && !(w >= r.nearW)) {
            ++behind;
            continue;
        }
        const double iw = (w == 1.0 || w == 0.0) ? 1.0 : 1.0 / w;
        minX = std::min(minX, x * iw);
        maxX = std::max(maxX, x * iw);
        minY = std::min(minY, y * iw);
        maxY = std::max(maxY, y * iw);
    }
    if (behind == 8)
        return false;
    if (behind > 0)
        return true; // crosses the eye plane: the projected box is unbounded
    return !(maxX < r.x0 || minX > r.x1 || maxY < r.y0 || minY > r.y1);
}

void PrimitiveHit::Consider(const PrimitiveHit& other) {
    if (!other.hit)
        return;
    if (!hit || other.position.z < position.z ||
        (other.position.z == position.z && other.distance < distance))
        *this = other;
}

Hom ItemTester::Project(const Vec3& p) const {
    const cm::Matrix4& m = m_matrix;
    const double x = p.x, y = p.y, z = p.z;
    return {x * m(0, 0) + y * m(1, 0) + z * m(2, 0) + m(3, 0),
            x * m(0, 1) + y * m(1, 1) + z * m(2, 1) + m(3, 1),
            x * m(0, 2) + y * m(1, 2) + z * m(2, 2) + m(3, 2),
            x * m(0, 3) + y * m(1, 3) + z * m(2, 3) + m(3, 3)};
}

namespace {

cm::Vec3 Divide(double x, double y, double z, double w) {
    if (w == 1.0 || w == 0.0)
        return {x, y, z};
    return {x / w, y / w, z / w};
}

} // namespace

double ItemTester::ProjectedRadius(const Vec3& p, float r) const {
    r = std::fabs(r);
    if (!(r > 0) || !std::isfinite(r))
        return 0;
    const Hom c = Project(p);
    if (m_region.perspective && !(c.w >= m_region.nearW))
        return 0;
    const cm::Vec3 cc = Divide(c.x, c.y, c.z, c.w);
    double best = 0;
    const Vec3 offsets[3] = {{p.x + r, p.y, p.z}, {p.x, p.y + r, p.z}, {p.x, p.y, p.z + r}};
    for (const Vec3& o : offsets) {
        const Hom h = Project(o);
        if (m_region.perspective && !(h.w >= m_region.nearW))
            continue;
        const cm::Vec3 q = Divide(h.x, h.y, h.z, h.w);
        best = std::max(best, std::sqrt(Dist2(q.x, q.y, cc.x, cc.y)));
    }
    return best;
}

void ItemTester::TestSegment(const Hom& a, const Hom& b, double tolerance, int ia, int ib, int face,
                             PrimitiveHit& best) const {
    Hom p = a, q = b;
    if (m_region.perspective) {
        const double da = p.w - m_region.nearW, db = q.w - m_region.nearW;
        if (da < 0 && db < 0)
            return;
        if (da < 0 || db < 0) {
            // Clip at the eye plane; the clipped end keeps its vertex number for the offsets.
            const double t = da / (da - db);
            const Hom c{p.x + t * (q.x - p.x), p.y + t * (q.y - p.y), p.z + t * (q.z - p.z),
                        p.w + t * (q.w - p.w)};
            (da < 0 ? p : q) = c;
        }
    }
    const cm::Vec3 wa = Divide(p.x, p.y, p.z, p.w);
    const cm::Vec3 wb = Divide(q.x, q.y, q.z, q.w);
    const Region& r = m_region;
    if (!SegmentMeetsRect(wa, wb, r.x0 - tolerance, r.x1 + tolerance, r.y0 - tolerance,
                          r.y1 + tolerance))
        return;
    double t = 0;
    const cm::Vec3 c = ClosestOnSegment(wa, wb, r.cx, r.cy, &t);
    PrimitiveHit h;
    h.hit = true;
    h.position = c;
    h.distance = std::max(0.0, std::sqrt(Dist2(c.x, c.y, r.cx, r.cy)) - tolerance);
    h.offset1 = t <= 0.5 ? ia : ib;
    h.offset2 = t <= 0.5 ? ib : ia;
    h.offset3 = face;
    best.Consider(h);
}

void ItemTester::Point(const Vec3& point, PrimitiveHit& best) {
    const Hom h = Project(point);
    if (m_region.perspective && !(h.w >= m_region.nearW))
        return;
    const cm::Vec3 p = Divide(h.x, h.y, h.z, h.w);
    if (!m_region.Contains(p.x, p.y))
        return;
    PrimitiveHit hit;
    hit.hit = true;
    hit.position = p;
    hit.distance = std::sqrt(Dist2(p.x, p.y, m_region.cx, m_region.cy));
    hit.offset1 = 0;
    best.Consider(hit);
}

void ItemTester::Rectangle(const Vec3& point, double left, double right, double bottom,
                           double top, PrimitiveHit& best) {
    const Hom h = Project(point);
    if (m_region.perspective && !(h.w >= m_region.nearW))
        return;
    const cm::Vec3 p = Divide(h.x, h.y, h.z, h.w);
    const double x0 = p.x + left, x1 = p.x + right, y0 = p.y + bottom, y1 = p.y + top;
    if (x1 < m_region.x0 || x0 > m_region.x1 || y1 < m_region.y0 || y0 > m_region.y1)
        return;
    // Distance from the region's centre to the rectangle (0 inside it).
    const double dx = std::max({x0 - m_region.cx, 0.0, m_region.cx - x1});
    const double dy = std::max({y0 - m_region.cy, 0.0, m_region.cy - y1});
    PrimitiveHit hit;
    hit.hit = true;
    hit.position = p;
    hit.distance = std::sqrt(dx * dx + dy * dy);
    hit.offset1 = 0;
    best.Consider(hit);
}

void ItemTester::Polyline(const std::vector<Vec3>& points, bool closed, bool filled,
                          const ItemIndex* index, const std::vector<float>* radii,
                          PrimitiveHit& best) {
    const size_t n = points.size();
    if (n == 0)
        return;
    if (n == 1) {
        Point(points[0], best);
        return;
    }
    auto radiusAt = [&](size_t i) -> float {
        if (!radii || radii->empty())
            return 0.f;
        return radii->size() == 1 ? (*radii)[0] : (*radii)[std::min(i, radii->size() - 1)];
    };
    const size_t segments = closed ? n : n - 1;
    auto testSegment = [&](size_t i) {
        const size_t j = (i + 1) % n;
        double tolerance = 0;
        if (radii)
            tolerance = std::max(ProjectedRadius(points[i], radiusAt(i)),
                                 ProjectedRadius(points[j], radiusAt(j)));
        TestSegment(Project(points[i]), Project(points[j]), tolerance, static_cast<int>(i),
                    static_cast<int>(j), -1, best);
    };
    if (index) {
        index->bvh.Query([&](const Aabb& box) { return BoxMayOverlap(box, m_matrix, m_region); },
                         [&](uint32_t i) {
                             if (i < segments)
                                 testSegment(i);
                         });
    } else {
        for (size_t i = 0; i < segments; ++i)
            testSegment(i);
    }
    if (filled && n >= 3 && m_region.Contains(m_region.cx, m_region.cy)) {
        // The inside of a closed outline (a polygon, circle or ellipse).
        auto& loops = m_scratch.loops;
        if (loops.empty())
            loops.emplace_back();
        auto& loop = loops[0];
        loop.clear();
        bool behind = false;
        for (const Vec3& p : points) {
            const Hom h = Project(p);
            if (m_region.perspective && !(h.w >= m_region.nearW)) {
                behind = true;
                break;
            }
            loop.push_back(Divide(h.x, h.y, h.z, h.w));
        }
        if (!behind && InsideLoops(loops, 1, m_region.cx, m_region.cy)) {
            PrimitiveHit h;
            h.hit = true;
            h.position = {m_region.cx, m_region.cy, PlaneDepth(loop, m_region.cx, m_region.cy)};
            h.distance = 0;
            best.Consider(h);
        }
    }
}

void ItemTester::Shell(const ShellData& shell, const ItemIndex* index, uint32_t types,
                       PrimitiveHit& best) {
    const bool faces = (types & kFaces) != 0;
    const bool edges = !faces && (types & kEdges) != 0;
    const bool lines = (types & (kEdges | kLines)) != 0;
    if (!faces && !edges && !lines)
        return;
    const std::vector<int>& list = shell.faceList;
    const size_t np = shell.points.size();
    const Region& r = m_region;
    auto& loops = m_scratch.loops;
    auto& loopIndices = m_scratch.loopIndices;
    auto& hom = m_scratch.hom;
    auto& ids = m_scratch.ids;

    auto testFace = [&](uint32_t faceIndex, const FaceRange& range) {
        if (shell.elements) {
            const auto it = shell.elements->faces.find(static_cast<int>(faceIndex));
            if (it != shell.elements->faces.end()) {
                const Visibility& v = it->second.visibility;
                if ((v.mask & kFaces) && !(v.on & kFaces))
                    return; // a hidden face shows nothing to pick
            }
        }
        size_t used = 0; // loops filled for this face
        int loopCount = 0;
        for (uint32_t k = range.begin; k < range.end;) {
            const int count = list[k];
            const uint32_t len = static_cast<uint32_t>(count < 0 ? -count : count);
            hom.clear();
            ids.clear();
            bool ok = true;
            for (uint32_t j = k + 1; j <= k + len; ++j) {
                const int idx = list[j];
                if (idx < 0 || static_cast<size_t>(idx) >= np) {
                    ok = false;
                    break;
                }
                hom.push_back(Project(shell.points[static_cast<size_t>(idx)]));
                ids.push_back(idx);
            }
            k += len + 1;
            if (!ok || hom.empty())
                continue;
            ++loopCount;
            const size_t m = hom.size();
            // Edges of the loop (also for two-point edge-only faces).
            const bool twoPoint = m == 2;
            if (twoPoint ? lines : edges) {
                const size_t segs = twoPoint ? 1 : m;
                for (size_t i = 0; i < segs; ++i)
                    TestSegment(hom[i], hom[(i + 1) % m], 0.0, ids[i], ids[(i + 1) % m],
                                static_cast<int>(faceIndex), best);
            }
            if (!faces || twoPoint)
                continue;
            // Clip the loop at the eye plane (Sutherland-Hodgman on w >= nearW).
            if (loops.size() <= used) {
                loops.emplace_back();
                loopIndices.emplace_back();
            }
            auto& loop = loops[used];
            auto& loopIds = loopIndices[used];
            loop.clear();
            loopIds.clear();
            for (size_t i = 0; i < m; ++i) {
                const Hom& a = hom[i];
                const Hom& b = hom[(i + 1) % m];
                const bool aIn = !r.perspective || a.w >= r.nearW;
                const bool bIn = !r.perspective || b.w >= r.nearW;
                if (aIn) {
                    loop.push_back(Divide(a.x, a.y, a.z, a.w));
                    loopIds.push_back(ids[i]);
                }
                if (aIn != bIn) {
                    const double t = (a.w - r.nearW) / (a.w - b.w);
                    loop.push_back(Divide(a.x + t * (b.x - a.x), a.y + t * (b.y - a.y),
                                          a.z + t * (b.z - a.z), a.w + t * (b.w - a.w)));
                    loopIds.push_back(aIn ? ids[i] : ids[(i + 1) % m]);
                }
            }
            if (loop.size() >= 3)
                ++used;
            else if (loopCount == 1)
                return; // the outline is behind the eye: so is the face
        }
        if (!faces || used == 0)
            return;
        PrimitiveHit h;
        if (r.Contains(r.cx, r.cy) && InsideLoops(loops, used, r.cx, r.cy)) {
            h.hit = true;
            h.distance = 0;
            h.position = {r.cx, r.cy, PlaneDepth(loops[0], r.cx, r.cy)};
        } else {
            // The outline (or a hole's) meets the rectangle: the face shows inside it.
            double bestD = kInf;
            for (size_t l = 0; l < used; ++l) {
                const auto& loop = loops[l];
                const size_t m = loop.size();
                for (size_t i = 0; i < m; ++i) {
                    const cm::Vec3& a = loop[i];
                    const cm::Vec3& b = loop[(i + 1) % m];
                    if (!SegmentMeetsRect(a, b, r.x0, r.x1, r.y0, r.y1))
                        continue;
                    const cm::Vec3 c = ClosestOnSegment(a, b, r.cx, r.cy);
                    const double d = std::sqrt(Dist2(c.x, c.y, r.cx, r.cy));
                    if (d < bestD) {
                        bestD = d;
                        h.hit = true;
                        h.distance = d;
                        h.position = c;
                    }
                }
            }
        }
        if (!h.hit)
            return;
        // Offsets: the outline's vertex nearest the hit and the nearer of its neighbours.
        const auto& outline = loops[0];
        const auto& outlineIds = loopIndices[0];
        const size_t m = outline.size();
        size_t nearest = 0;
        double nd = kInf;
        for (size_t i = 0; i < m; ++i) {
            const double d = Dist2(outline[i].x, outline[i].y, h.position.x, h.position.y);
            if (d < nd) {
                nd = d;
                nearest = i;
            }
        }
        const size_t prev = (nearest + m - 1) % m, next = (nearest + 1) % m;
        const cm::Vec3 cp =
            ClosestOnSegment(outline[prev], outline[nearest], h.position.x, h.position.y);
        const cm::Vec3 cn =
            ClosestOnSegment(outline[nearest], outline[next], h.position.x, h.position.y);
        const bool usePrev = Dist2(cp.x, cp.y, h.position.x, h.position.y) <
                             Dist2(cn.x, cn.y, h.position.x, h.position.y);
        h.offset1 = outlineIds[nearest];
        h.offset2 = outlineIds[usePrev ? prev : next];
        h.offset3 = static_cast<int>(faceIndex);
        best.Consider(h);
    };

    if (index) {
        index->bvh.Query([&](const Aabb& box) { return BoxMayOverlap(box, m_matrix, m_region); },
                         [&](uint32_t i) {
                             if (i < index->faces.size())
                                 testFace(i, index->faces[i]);
                         });
    } else {
        ShellFaces(shell, m_scratch.faces);
        for (uint32_t i = 0; i < m_scratch.faces.size(); ++i)
            testFace(i, m_scratch.faces[i]);
    }
}

std::vector<Vec3> CurvePoints(const Geometry& item) {
    constexpr int kSteps = 64;
    std::vector<Vec3> out;
    auto add = [&](double x, double y, double z) {
        out.push_back({static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)});
    };
    if (const auto* c = std::get_if<CircleData>(&item.data)) {
        cm::Vec3 n = cm::Normalized({c->normal.x, c->normal.y, c->normal.z});
        cm::Vec3 u = cm::Normalized({c->points[0].x - c->center.x, c->points[0].y - c->center.y,
                                     c->points[0].z - c->center.z});
        if (cm::Length(u) == 0 || cm::Length(n) == 0)
            return out;
        const cm::Vec3 v = cm::Cross(n, u);
        const double r = c->radius;
        for (int i = 0; i < kSteps; ++i) {
            const double t = 2 * std::numbers::pi * i / kSteps;
            add(c->center.x + r * (u.x * std::cos(t) + v.x * std::sin(t)),
                c->center.y + r * (u.y * std::cos(t) + v.y * std::sin(t)),
                c->center.z + r * (u.z * std::cos(t) + v.z * std::sin(t)));
        }
    } else if (const auto* e = std::get_if<EllipseData>(&item.data)) {
        const double ax = e->major.x - e->center.x, ay = e->major.y - e->center.y,
                     az = e->major.z - e->center.z;
        const double bx = e->minor.x - e->center.x, by = e->minor.y - e->center.y,
                     bz = e->minor.z - e->center.z;
        double start = 0, end = 1;
        if (item.type == GeometryKind::EllipticalArc) {
            start = e->start;
            end = e->end;
            if (end < start)
                end += 1;
        }
        const bool full = item.type != GeometryKind::EllipticalArc;
        const int steps = full ? kSteps : kSteps + 1;
        for (int i = 0; i < steps; ++i) {
            const double f =
                full ? static_cast<double>(i) / kSteps : start + (end - start) * i / kSteps;
            const double t = 2 * std::numbers::pi * f;
            add(e->center.x + ax * std::cos(t) + bx * std::sin(t),
                e->center.y + ay * std::cos(t) + by * std::sin(t),
                e->center.z + az * std::cos(t) + bz * std::sin(t));
        }
    }
    return out;
}

} // namespace ketra::hc::pick

namespace ketra::hc {

namespace {
TextExtentMeasurer& Measurer() {
    static TextExtentMeasurer measurer = nullptr;
    return measurer;
}
} // namespace

void SetTextExtentMeasurer(TextExtentMeasurer measurer) { Measurer() = measurer; }

int TextLineCount(const std::u16string& text) {
    return 1 + static_cast<int>(std::count(text.begin(), text.end(), u'\n'));
}

double MeasureTextWidth(const std::u16string& text, const std::string& font, double pixelHeight) {
    double width = 0;
    if (Measurer() && Measurer()(text, font, pixelHeight, width) && std::isfinite(width) && width >= 0)
        return width;
    // The longest line.
    size_t longest = 0, start = 0;
    for (size_t end = text.find(u'\n'); ; end = text.find(u'\n', start)) {
        longest = std::max(longest, (end == std::u16string::npos ? text.size() : end) - start);
        if (end == std::u16string::npos) break;
        start = end + 1;
    }
    return 0.6 * pixelHeight * static_cast<double>(longest);
}

} // namespace ketra::hc
