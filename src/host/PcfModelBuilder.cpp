#include "host/PcfBuilder.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <limits>
#include <map>
#include <sstream>
#include <unordered_map>

namespace ketra::host::pcf {

PipingModel Builder::Build() {
    for (std::size_t i = 0; i < m_components.size(); ++i)
        Component(static_cast<int>(i));
    if (m_edges.empty() && m_bends.empty())
        NothingToDraw();
    Index();
    PlaceBends();
    if (m_edges.empty() && m_bends.empty())
        NothingToDraw();
    OrientBends();
    JoinDanglingEnds();
    IndexBends();
    for (int s : m_supports)
        Support(s);
    MoveOutLegs();
    DropDuplicates();
    KeepBendsDrawable();
    return Emit();
}

void Builder::Component(int ci) {
    PcfComponent& c = m_components[ci];
    if (c.error) {
        LeaveOut(c, *c.error);
        return;
    }
    switch (c.kind.shape) {
    case PcfShape::Annotation:
    case PcfShape::Weld:
        m_report.skipped[c.keyword]++;
        return;
    case PcfShape::Support:
        m_supports.push_back(ci);
        return;
    case PcfShape::Linear:
        Linear(ci);
        return;
    case PcfShape::Angle:
        if (c.centre && c.ends.size() >= 2) {
            double od = OdOf(c, 0);
            int a = Node(c.ends[0].at), m = Node(c.centre->at), b = Node(c.ends[1].at);
            bool any = AddEdge(ci, a, m, od, od, c.kind.rigid);
            any = AddEdge(ci, m, b, od, od, c.kind.rigid) || any;
            if (!any)
                Skip(c, "has zero length");
        } else {
            Linear(ci);
        }
        return;
    case PcfShape::Bend:
        Bend(ci);
        return;
    case PcfShape::Branching:
        Branching(ci);
        return;
    case PcfShape::Olet:
        Olet(ci);
        return;
    }
}

void Builder::Warn(const SourcePosition& p, const std::string& what) {
    m_report.warnings.push_back(m_fileName + ":" + std::to_string(p.line) + ":" +
                                std::to_string(p.column) + ": " + what);
}

void Builder::Skip(const PcfComponent& c, const std::string& why) {
    m_report.skipped[c.keyword]++;
    Warn(c.position, c.keyword + " " + why + "; skipped");
}

void Builder::LeaveOut(const PcfComponent& c, const PcfError& e) {
    m_report.skipped[c.keyword]++;
    m_report.errors.push_back(m_fileName + ":" + std::to_string(e.position.line) + ":" +
                              std::to_string(e.position.column) + ": error: " + e.what + "; the " +
                              c.keyword + " is left out");
    if (!m_firstError)
        m_firstError = e;
}

void Builder::NothingToDraw() const {
    if (m_firstError)
        throw *m_firstError;
    SourcePosition p = m_components.empty() ? SourcePosition{} : m_components.front().position;
    throw PcfError{p, "the file has no components that can be drawn"};
}

std::string Builder::Where(const Vec3& p) const {
    const int d = m_unit == "m" ? 4 : 2;
    return "(" + Fixed(p[0], d) + ", " + Fixed(p[1], d) + ", " + Fixed(p[2], d) + ")";
}

int Builder::Node(const Vec3& p) {
    int n = m_nodes.Snap(p);
    Extend(m_nodes.At(n));
    return n;
}

void Builder::Extend(const Vec3& p) {
    if (!m_report.hasBox) {
        m_report.boxMin = m_report.boxMax = p;
        m_report.hasBox = true;
        return;
    }
    for (int i = 0; i < 3; ++i) {
        m_report.boxMin[i] = std::min(m_report.boxMin[i], p[i]);
        m_report.boxMax[i] = std::max(m_report.boxMax[i], p[i]);
    }
}

double Builder::OdOf(const PcfComponent& c, int end) {
    if (end >= 0 && end < static_cast<int>(c.ends.size()) && c.ends[end].od > 0)
        return m_lastOd = c.ends[end].od;
    for (const PcfPoint& p : c.ends)
        if (p.od > 0)
            return m_lastOd = p.od;
    if (c.coords && c.coords->od > 0)
        return m_lastOd = c.coords->od;
    return m_lastOd;
}

double Builder::BranchOd(const PcfComponent& c, const PcfPoint& p) {
    if (p.od > 0)
        return p.od;
    return OdOf(c, 0);
}

bool Builder::AddEdge(int ci, int a, int b, double odA, double odB, bool rigid) {
    if (a == b)
        return false;
    Edge e;
    e.a = a;
    e.b = b;
    e.odA = odA;
    e.odB = odB;
    e.rigid = rigid;
    e.component = ci;
    m_edges.push_back(e);
    return true;
}

void Builder::Linear(int ci) {
    PcfComponent& c = m_components[ci];
    const PcfPoint* p0 = nullptr;
    const PcfPoint* p1 = nullptr;
    if (c.ends.size() >= 2) {
        p0 = &c.ends[0];
        p1 = &c.ends[1];
        if (c.ends.size() > 2)
            Warn(c.position, c.keyword + " has " + std::to_string(c.ends.size()) +
                                 " END-POINTs; the first two are drawn");
    } else if (c.ends.size() == 1 && c.coords) {
        p0 = &c.ends[0]; // a dial or other item that ends in the air
        p1 = &*c.coords;
    } else {
        Skip(c, "needs two END-POINTs");
        return;
    }
    double odA = OdOf(c, 0);
    double odB = p1->od > 0 ? p1->od : odA;
    if (!(odA > 0)) {
        Skip(c, "has no bore");
        return;
    }
    if (c.kind.rigid)
        odB = odA;
    if (c.keyword.rfind("PIPE", 0) == 0)
        m_report.pipeLength += Norm(Sub(p1->at, p0->at));
    int a = Node(p0->at), b = Node(p1->at);
    if (!c.taps.empty() && a != b) {
        Taps(ci, a, b, odA, odB);
        return;
    }
    if (!AddEdge(ci, a, b, odA, odB, c.kind.rigid)) {
        if (c.keyword == "GASKET")
            m_report.skipped[c.keyword]++; // a gasket between flanges often has no length
        else
            Skip(c, "has zero length");
    }
}

void Builder::Taps(int ci, int a, int b, double odA, double odB) {
    PcfComponent& c = m_components[ci];
    const Vec3 &pa = m_nodes.At(a), &pb = m_nodes.At(b);
    std::vector<std::pair<double, int>> stops; // along the axis, tap index
    for (std::size_t i = 0; i < c.taps.size(); ++i) {
        double t = 0;
        LineDistance(c.taps[i].at, pa, pb, &t);
        stops.push_back({std::clamp(t, 0.0, 1.0), static_cast<int>(i)});
    }
    std::sort(stops.begin(), stops.end());
    int last = a;
    for (auto [t, i] : stops) {
        int on = Node(Add(pa, Mul(Sub(pb, pa), t)));
        double odT = c.taps[i].od > 0 ? c.taps[i].od : odA;
        AddEdge(ci, last, on, odA, odA, c.kind.rigid);
        AddEdge(ci, on, Node(c.taps[i].at), odT, odT, c.kind.rigid);
        last = on;
    }
    AddEdge(ci, last, b, odA, odB, c.kind.rigid);
}

void Builder::Branching(int ci) {
    PcfComponent& c = m_components[ci];
    Vec3 centre{};
    if (c.centre) {
        centre = c.centre->at;
    } else if (c.ends.size() >= 2 && !c.branches.empty()) {
        // The centre is where the branch meets the run.
        double t = 0;
        LineDistance(c.branches[0].at, c.ends[0].at, c.ends[1].at, &t);
        centre = Add(c.ends[0].at, Mul(Sub(c.ends[1].at, c.ends[0].at), t));
    } else {
        Skip(c, "needs a CENTRE-POINT");
        return;
    }
    if (c.ends.empty() && c.branches.empty()) {
        Skip(c, "needs END-POINTs or BRANCH-POINTs");
        return;
    }
    const double od = OdOf(c, 0);
    if (!(od > 0)) {
        Skip(c, "has no bore");
        return;
    }
    int m = Node(centre);
    for (std::size_t i = 0; i < c.ends.size(); ++i) {
        double odi = c.ends[i].od > 0 ? c.ends[i].od : od;
        AddEdge(ci, Node(c.ends[i].at), m, odi, odi, c.kind.rigid);
    }
    for (const PcfPoint& p : c.branches) {
        double odb = BranchOd(c, p);
        AddEdge(ci, m, Node(p.at), odb, odb, c.kind.rigid);
    }
    if (c.kind.teeSymbol)
        m_teeNodes.push_back(m);
}

void Builder::Olet(int ci) {
    PcfComponent& c = m_components[ci];
    const PcfPoint* centre = c.centre ? &*c.centre : !c.ends.empty() ? &c.ends[0] : nullptr;
    if (!centre || c.branches.empty()) {
        Skip(c, "needs a CENTRE-POINT and a BRANCH1-POINT");
        return;
    }
    double od = BranchOd(c, c.branches[0]);
    if (!(od > 0)) {
        Skip(c, "has no bore");
        return;
    }
    int m = Node(centre->at);
    if (!AddEdge(ci, m, Node(c.branches[0].at), od, od, false)) {
        Skip(c, "has zero length");
    } else {
        m_teeNodes.push_back(m);
        m_oletNodes.push_back(m);
    }
}

void Builder::Index() {
    m_at.assign(m_nodes.Size(), {});
    double total = 0;
    for (std::size_t i = 0; i < m_edges.size(); ++i) {
        m_at[m_edges[i].a].push_back(static_cast<int>(i));
        m_at[m_edges[i].b].push_back(static_cast<int>(i));
        total += Norm(Sub(m_nodes.At(m_edges[i].b), m_nodes.At(m_edges[i].a)));
    }
    m_cell = std::max(50 * m_tolerance,
                      m_edges.empty() ? 0.0 : total / static_cast<double>(m_edges.size()));
    m_grid.Reset(m_cell);
    for (std::size_t i = 0; i < m_edges.size(); ++i)
        Grid(static_cast<int>(i));
}

void Builder::Grid(int e) {
    const Edge& edge = m_edges[e];
    if (!edge.bendRadius)
        m_grid.Insert(e, m_nodes.At(edge.a), m_nodes.At(edge.b),
                      std::max(edge.odA, edge.odB) / 2 + 2 * m_tolerance);
}

int Builder::Degree(int node) const {
    int n = 0;
    if (node < static_cast<int>(m_at.size()))
        for (int e : m_at[node])
            n += !m_edges[e].dropped;
    return n;
}

void Builder::Link(int e) {
    while (static_cast<int>(m_at.size()) < m_nodes.Size())
        m_at.emplace_back();
    m_at[m_edges[e].a].push_back(e);
    m_at[m_edges[e].b].push_back(e);
}

void Builder::Unlink(int e, int node) {
    auto& v = m_at[node];
    v.erase(std::remove(v.begin(), v.end(), e), v.end());
}

bool Builder::JoinToPipe(int n, double reach) {
    const Vec3& p = m_nodes.At(n);
    int best = -1;
    double bestDistance = reach;
    m_grid.Near(p, [&](int i) {
        const Edge& e = m_edges[i];
        if (!IsPipe(e) || e.a == n || e.b == n)
            return;
        const Vec3 &a = m_nodes.At(e.a), &b = m_nodes.At(e.b);
        double len = Norm(Sub(b, a));
        double t = 0;
        double d = LineDistance(p, a, b, &t);
        if (d <= bestDistance && t * len > m_tolerance && (1 - t) * len > m_tolerance &&
            (best < 0 || d < bestDistance || i < best)) {
            best = i;
            bestDistance = d;
        }
    });
    if (best < 0)
        return false;
    Split(best, n);
    return true;
}

void Builder::Split(int ei, int n) {
    Edge second = m_edges[ei];
    const Vec3 &a = m_nodes.At(second.a), &b = m_nodes.At(second.b);
    double t = 0;
    LineDistance(m_nodes.At(n), a, b, &t);
    double odN = second.odA + (second.odB - second.odA) * std::clamp(t, 0.0, 1.0);
    Unlink(ei, m_edges[ei].b);
    m_edges[ei].b = n;
    m_edges[ei].odB = second.odA == second.odB ? second.odA : odN;
    second.a = n;
    second.odA = m_edges[ei].odB;
    m_edges.push_back(second);
    Link(static_cast<int>(m_edges.size()) - 1);
    Grid(static_cast<int>(m_edges.size()) - 1); // the first piece stays in its old, larger cells
    m_at[n].push_back(ei);
}

void Builder::JoinDanglingEnds() {
    const int count = m_nodes.Size();
    std::vector<bool> corner(count, false);
    for (const BendRecord& b : m_bends)
        corner[b.corner] = true;
    for (int n = 0; n < count; ++n)
        if (Degree(n) == 1 && !corner[n] && !JoinToPipe(n, m_tolerance) &&
            std::find(m_oletNodes.begin(), m_oletNodes.end(), n) != m_oletNodes.end())
            JoinOletAtSurface(n);
}

void Builder::JoinOletAtSurface(int n) {
    const Vec3& p = m_nodes.At(n);
    int best = -1;
    double bestDistance = 0, bestT = 0;
    m_grid.Near(p, [&](int i) {
        const Edge& e = m_edges[i];
        if (!IsPipe(e) || e.a == n || e.b == n)
            return;
        const Vec3 &a = m_nodes.At(e.a), &b = m_nodes.At(e.b);
        double len = Norm(Sub(b, a)), t = 0;
        double d = LineDistance(p, a, b, &t);
        if (d <= std::max(e.odA, e.odB) / 2 + m_tolerance && t * len > m_tolerance &&
            (1 - t) * len > m_tolerance && (best < 0 || d < bestDistance)) {
            best = i;
            bestDistance = d;
            bestT = t;
        }
    });
    if (best < 0)
        return;
    const Vec3 &a = m_nodes.At(m_edges[best].a), &b = m_nodes.At(m_edges[best].b);
    int under = m_nodes.Add(Add(a, Mul(Sub(b, a), bestT)));
    while (static_cast<int>(m_at.size()) < m_nodes.Size())
        m_at.emplace_back();
    Split(best, under);
    for (int ei : std::vector<int>(m_at[n])) {
        Edge& e = m_edges[ei];
        (e.a == n ? e.a : e.b) = under;
        Unlink(ei, n);
        m_at[under].push_back(ei);
    }
    std::replace(m_teeNodes.begin(), m_teeNodes.end(), n, under);
}

void Builder::Support(int ci) {
    PcfComponent& c = m_components[ci];
    const PcfPoint* at = c.coords ? &*c.coords : !c.ends.empty() ? &c.ends[0] : nullptr;
    if (!at) {
        Skip(c, "needs CO-ORDS");
        return;
    }
    int n = m_nodes.Find(at->at);
    if (n < 0 || Degree(n) == 0) {
        // Not at a node: on a pipe, perhaps at its surface rather than its centre-line.
        double bestDistance = std::numeric_limits<double>::max();
        int best = -1;
        double bestT = 0;
        m_grid.Near(at->at, [&](int i) {
            const Edge& e = m_edges[i];
            if (e.dropped || e.bendRadius)
                return;
            const Vec3 &a = m_nodes.At(e.a), &b = m_nodes.At(e.b);
            double t = 0;
            double d = LineDistance(at->at, a, b, &t);
            double len = Norm(Sub(b, a));
            if (t * len < -m_tolerance || (1 - t) * len < -m_tolerance)
                return;
            if (d <= std::max(e.odA, e.odB) / 2 + m_tolerance &&
                (d < bestDistance || (d == bestDistance && i < best))) {
                best = i;
                bestDistance = d;
                bestT = t;
            }
        });
        if (best < 0)
            n = OnBend(at->at);
        if (best < 0 && n < 0) {
            Skip(c, "at " + Where(at->at) + " stands on no pipe");
            return;
        }
        const Edge& e = m_edges[std::max(best, 0)];
        const Vec3 &a = m_nodes.At(e.a), &b = m_nodes.At(e.b);
        const double len = Norm(Sub(b, a));
        if (best < 0) {
            // on a bend: drawn at its nearer end
        } else if (bestT * len <= m_tolerance || (e.rigid && bestT <= 0.5)) {
            n = e.a; // a rigid item is not divided: its nearer end carries the support
        } else if ((1 - bestT) * len <= m_tolerance || e.rigid) {
            n = e.b;
        } else {
            n = m_nodes.Add(Add(a, Mul(Sub(b, a), bestT)));
            while (static_cast<int>(m_at.size()) < m_nodes.Size())
                m_at.emplace_back();
            Split(best, n);
        }
    }
    Extend(m_nodes.At(n));
    m_pinned.resize(m_nodes.Size(), false);
    m_pinned[n] = true;
    m_placedSupports.push_back({ci, n});
}

void Builder::DropDuplicates() {
    std::map<std::pair<int, int>, int> seen;
    for (std::size_t i = 0; i < m_edges.size(); ++i) {
        Edge& e = m_edges[i];
        if (e.dropped)
            continue;
        if (e.a == e.b || Norm(Sub(m_nodes.At(e.b), m_nodes.At(e.a))) <= 1e-9) {
            e.dropped = true;
            continue;
        }
        auto key = std::minmax(e.a, e.b);
        auto [it, fresh] = seen.emplace(key, static_cast<int>(i));
        if (!fresh) {
            e.dropped = true;
            const PcfComponent& c = m_components[e.component];
            Warn(c.position,
                 c.keyword + " lies on the " + m_components[m_edges[it->second].component].keyword +
                     " at line " +
                     std::to_string(m_components[m_edges[it->second].component].position.line) +
                     "; drawn once");
        }
    }
}

PipingModel Builder::Emit() {
    PipingModel m;
    m.units = m_unit == "in" ? Units::Inches : Units::Millimetres;
    m.up = UpAxis::Z;
    for (std::size_t i = 0; i < m_report.pipelines.size() && i < 3; ++i)
        m.title += (i ? ", " : "") + m_report.pipelines[i];
    if (m_report.pipelines.size() > 3)
        m.title += " and " + std::to_string(m_report.pipelines.size() - 3) + " more";
    // Re-centred in double precision so that the drawing's single-precision co-ordinates
    // keep their resolution far from the plant origin.
    for (int i = 0; i < 3; ++i)
        m.origin[i] = (m_report.boxMin[i] + m_report.boxMax[i]) / 2;
    std::vector<int> ids(m_nodes.Size(), 0);
    int nextId = 10;
    auto id = [&](int n) {
        if (ids[n] == 0) {
            ids[n] = nextId;
            nextId += 10;
            m.nodes[ids[n]] = Sub(m_nodes.At(n), m.origin);
        }
        return ids[n];
    };
    for (const Edge& e : m_edges) {
        if (e.dropped)
            continue;
        Element el;
        el.from = id(e.a);
        el.to = id(e.b);
        el.delta = Sub(m_nodes.At(e.b), m_nodes.At(e.a));
        el.od = e.odA;
        if (std::fabs(e.odB - e.odA) > 1e-9 * std::max(1.0, e.odA) && !e.rigid && !e.bendRadius)
            el.reducerOd = e.odB;
        el.rigid = e.rigid;
        el.bendRadius = e.bendRadius;
        el.position = m_components[e.component].position;
        m.elements.push_back(el);
    }
    for (int n : m_teeNodes)
        if (ids[n] != 0 && Degree(n) == 3 &&
            std::none_of(m.tees.begin(), m.tees.end(),
                         [&](const NodeItem& t) { return t.node == ids[n]; }))
            m.tees.push_back({ids[n], m_components[m_edges[m_at[n].front()].component].position});
    for (auto [ci, n] : m_placedSupports)
        PlaceSupport(m, m_components[ci], ids[n], n);
    return m;
}

Vec3 Builder::AxisAt(int n) const {
    for (int ei : m_at[n]) {
        const Edge& e = m_edges[ei];
        if (!e.dropped)
            return Unit(Sub(m_nodes.At(e.b), m_nodes.At(e.a)));
    }
    return {1, 0, 0};
}

void Builder::PlaceSupport(PipingModel& m, const PcfComponent& c, int node, int n) {
    if (node == 0 || Degree(n) == 0) {
        m_report.skipped[c.keyword]++;
        Warn(c.position, c.keyword + " stands where no item is left; skipped");
        return;
    }
    std::string warning;
    AddPcfSupport(m, c, node, AxisAt(n), &warning);
    if (!warning.empty())
        Warn(c.directionPosition, warning);
}

} // namespace ketra::host::pcf

namespace ketra::host {

PipingModel BuildPcfModel(std::vector<PcfComponent>& components, double snapTolerance,
                          const std::string& fileName, const std::string& unitName,
                          PcfReport& report) {
    pcf::Builder builder(components, snapTolerance, fileName, unitName, report);
    return builder.Build();
}

} // namespace ketra::host
