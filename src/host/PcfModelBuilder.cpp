#include "host/PcfModelBuilder.h"

#include "host/PcfEdgeGrid.h"
#include "host/PcfNodeSet.h"
#include "host/PcfVector.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <limits>
#include <map>
#include <sstream>
#include <unordered_map>

namespace ketra::host {

namespace {

using namespace pcf;

struct Edge {
    int a = 0, b = 0;        // node indices
    double odA = 0, odB = 0; // outer diameters at a and b
    bool rigid = false;
    std::optional<double> bendRadius; // a bend element: b is the corner
    bool movedToCorner = false;       // its start was moved onto a bend's corner
    bool dropped = false;
    int component = -1;
};

struct BendRecord {
    int component = -1;
    int p1 = 0, p2 = 0;
    int corner = -1; // -1 until a corner is found
    double radius = 0, od = 0;
    int edge = -1;         // the bend element
    int branchEdge = -1;   // a teed bend's branch, from the middle of its arc
    SourcePosition centre; // the CENTRE-POINT's line, else the component's
    std::optional<PcfError> notCorner; // why the CENTRE-POINT cannot be the corner
};

// Points closer than the tolerance are one node; a grid of tolerance-sized cells finds them.
class Builder {
public:
    Builder(std::vector<PcfComponent>& components, double tolerance, const std::string& fileName,
            const std::string& unitName, PcfReport& report)
        : m_components(components), m_tolerance(tolerance), m_fileName(fileName), m_unit(unitName),
          m_report(report), m_nodes(tolerance) {}

    PipingModel Build() {
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

private:
    // ---- reading components -------------------------------------------------------------

    void Component(int ci) {
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

    void Warn(const SourcePosition& p, const std::string& what) {
        m_report.warnings.push_back(m_fileName + ":" + std::to_string(p.line) + ":" +
                                    std::to_string(p.column) + ": " + what);
    }
    void Skip(const PcfComponent& c, const std::string& why) {
        m_report.skipped[c.keyword]++;
        Warn(c.position, c.keyword + " " + why + "; skipped");
    }
    // A component that cannot be drawn at all: an error, though the rest of the file is drawn.
    void LeaveOut(const PcfComponent& c, const PcfError& e) {
        m_report.skipped[c.keyword]++;
        m_report.errors.push_back(m_fileName + ":" + std::to_string(e.position.line) + ":" +
                                  std::to_string(e.position.column) + ": error: " + e.what +
                                  "; the " + c.keyword + " is left out");
        if (!m_firstError)
            m_firstError = e;
    }
    [[noreturn]] void NothingToDraw() const {
        if (m_firstError)
            throw *m_firstError;
        SourcePosition p = m_components.empty() ? SourcePosition{} : m_components.front().position;
        throw PcfError{p, "the file has no components that can be drawn"};
    }

    // A point in messages: hundredths of a millimetre or inch, tenths of a millimetre in metres.
    std::string Where(const Vec3& p) const {
        const int d = m_unit == "m" ? 4 : 2;
        return "(" + Fixed(p[0], d) + ", " + Fixed(p[1], d) + ", " + Fixed(p[2], d) + ")";
    }

    int Node(const Vec3& p) {
        int n = m_nodes.Snap(p);
        Extend(m_nodes.At(n));
        return n;
    }
    void Extend(const Vec3& p) {
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

    // The outer diameter at a point of a component: its own bore, else the component's other
    // points, else the last one read.
    double OdOf(const PcfComponent& c, int end) {
        if (end >= 0 && end < static_cast<int>(c.ends.size()) && c.ends[end].od > 0)
            return m_lastOd = c.ends[end].od;
        for (const PcfPoint& p : c.ends)
            if (p.od > 0)
                return m_lastOd = p.od;
        if (c.coords && c.coords->od > 0)
            return m_lastOd = c.coords->od;
        return m_lastOd;
    }
    double BranchOd(const PcfComponent& c, const PcfPoint& p) {
        if (p.od > 0)
            return p.od;
        return OdOf(c, 0);
    }

    bool AddEdge(int ci, int a, int b, double odA, double odB, bool rigid) {
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

    void Linear(int ci) {
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

    // Branches joined to an in-line item by TAP-CONNECTION: the item is divided where each
    // branch leaves its axis, and a stub of the item runs out to the tap.
    void Taps(int ci, int a, int b, double odA, double odB) {
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

    // A bend whose CENTRE-POINT measures as its corner is placed now; one without a usable
    // CENTRE-POINT waits for PlaceBends, which knows the legs around it.
    void Bend(int ci) {
        PcfComponent& c = m_components[ci];
        if (c.ends.size() < 2) {
            Skip(c, "needs two END-POINTs");
            return;
        }
        BendRecord b;
        b.component = ci;
        b.centre = c.centre ? c.centre->position : c.position;
        const double od = OdOf(c, 0);
        if (!c.centre) {
            b.notCorner =
                PcfError{c.position, c.keyword + " needs a CENTRE-POINT: the corner where its legs meet"};
        } else if (!(od > 0)) {
            Skip(c, "has no bore");
            return;
        }
        b.od = od;
        PcfBendShape shape;
        if (c.centre) {
            std::vector<std::pair<SourcePosition, std::string>> warnings;
            try {
                shape = MeasurePcfBend(c, m_tolerance, m_unit, &warnings);
                for (const auto& [where, what] : warnings)
                    Warn(where, what);
            } catch (PcfError& e) {
                b.notCorner = std::move(e);
            }
        }
        if (shape.zeroLength) {
            Skip(c, "has zero length");
            return;
        }
        if (!(od > 0)) {
            Skip(c, "has no bore");
            return;
        }
        const Vec3 &p1 = c.ends[0].at, &p2 = c.ends[1].at;
        if (shape.straight) {
            AddEdge(ci, Node(p1), Node(p2), od, od, false);
            return;
        }
        b.p1 = Node(p1);
        b.p2 = Node(p2);
        if (!b.notCorner) {
            b.corner = Node(c.centre->at);
            b.radius = shape.radius;
            if (b.p1 == b.p2 || b.corner == b.p1 || b.corner == b.p2) {
                LeaveOut(c, {c.centre->position,
                             c.keyword + " is too small to draw at the snapping tolerance"});
                return;
            }
            AddTeedBranch(b, c.centre->at, shape.deflection);
        } else if (b.p1 == b.p2) {
            Skip(c, "has zero length");
            return;
        }
        m_bends.push_back(b);
    }

    // A teed bend: the branch leaves from the middle of the arc.
    void AddTeedBranch(BendRecord& b, const Vec3& corner, double deflection) {
        const PcfComponent& c = m_components[b.component];
        if (c.branches.empty())
            return;
        const Vec3 &p1 = c.ends[0].at, &p2 = c.ends[1].at;
        const double half = deflection * kPi / 360;
        Vec3 u1 = Unit(Sub(corner, p1)), u2 = Unit(Sub(p2, corner));
        Vec3 inward = Unit(Sub(u2, u1));
        Vec3 middle = Add(corner, Mul(inward, b.radius / std::cos(half) - b.radius));
        int m = m_nodes.Add(middle);
        const double od = BranchOd(c, c.branches[0]);
        if (AddEdge(b.component, m, Node(c.branches[0].at), od, od, false))
            b.branchEdge = static_cast<int>(m_edges.size()) - 1;
    }

    void Branching(int ci) {
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

    void Olet(int ci) {
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

    // ---- connecting ---------------------------------------------------------------------

    void Index() {
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
    void Grid(int e) {
        const Edge& edge = m_edges[e];
        if (!edge.bendRadius)
            m_grid.Insert(e, m_nodes.At(edge.a), m_nodes.At(edge.b),
                          std::max(edge.odA, edge.odB) / 2 + 2 * m_tolerance);
    }
    int Degree(int node) const {
        int n = 0;
        if (node < static_cast<int>(m_at.size()))
            for (int e : m_at[node])
                n += !m_edges[e].dropped;
        return n;
    }
    void Link(int e) {
        while (static_cast<int>(m_at.size()) < m_nodes.Size())
            m_at.emplace_back();
        m_at[m_edges[e].a].push_back(e);
        m_at[m_edges[e].b].push_back(e);
    }
    void Unlink(int e, int node) {
        auto& v = m_at[node];
        v.erase(std::remove(v.begin(), v.end(), e), v.end());
    }

    // Bends turn from the end reached first on a walk along the runs from their free ends,
    // so that a chain of bends follows one direction whatever order the file lists them in.
    void OrientBends() {
        std::vector<std::vector<int>> bendsAt(m_nodes.Size());
        for (std::size_t i = 0; i < m_bends.size(); ++i) {
            bendsAt[m_bends[i].p1].push_back(static_cast<int>(i));
            bendsAt[m_bends[i].p2].push_back(static_cast<int>(i));
        }
        std::vector<int> order(m_nodes.Size(), -1);
        int next = 0;
        std::deque<int> queue;
        auto walk = [&](int start) {
            if (order[start] >= 0)
                return;
            order[start] = next++;
            queue.push_back(start);
            while (!queue.empty()) {
                int n = queue.front();
                queue.pop_front();
                auto visit = [&](int m) {
                    if (order[m] < 0) {
                        order[m] = next++;
                        queue.push_back(m);
                    }
                };
                for (int e : m_at[n])
                    visit(m_edges[e].a == n ? m_edges[e].b : m_edges[e].a);
                for (int b : bendsAt[n])
                    visit(m_bends[b].p1 == n ? m_bends[b].p2 : m_bends[b].p1);
            }
        };
        for (int n = 0; n < m_nodes.Size(); ++n)
            if (m_at[n].size() + bendsAt[n].size() == 1)
                walk(n);
        for (int n = 0; n < m_nodes.Size(); ++n)
            walk(n);
        for (BendRecord& b : m_bends) {
            if (order[b.p2] < order[b.p1])
                std::swap(b.p1, b.p2);
            // A bend at a free end turns onto the item it joins: the drawing needs an element
            // after every bend, and a free leg would be one of its own.
            if (Degree(b.p2) == 0 && Degree(b.p1) > 0)
                std::swap(b.p1, b.p2);
            Edge e;
            e.a = b.p1;
            e.b = b.corner;
            e.odA = e.odB = b.od;
            e.bendRadius = b.radius;
            e.component = b.component;
            b.edge = static_cast<int>(m_edges.size());
            m_edges.push_back(e);
            Link(b.edge);
        }
    }

    bool IsPipe(const Edge& e) const { return !e.dropped && !e.rigid && !e.bendRadius; }

    // Splits the straight pipe whose centre-line passes within `reach` of node n's point, at
    // that node. False when no pipe passes there.
    bool JoinToPipe(int n, double reach) {
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

    void Split(int ei, int n) {
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
        Grid(static_cast<int>(m_edges.size()) -
             1); // the first piece stays in its old, larger cells
        m_at[n].push_back(ei);
    }

    // A run end that stops on another pipe (an olet, a stub-in branch) is joined to it.
    void JoinDanglingEnds() {
        const int count = m_nodes.Size();
        std::vector<bool> corner(count, false);
        for (const BendRecord& b : m_bends)
            corner[b.corner] = true;
        for (int n = 0; n < count; ++n)
            if (Degree(n) == 1 && !corner[n] && !JoinToPipe(n, m_tolerance) &&
                std::find(m_oletNodes.begin(), m_oletNodes.end(), n) != m_oletNodes.end())
                JoinOletAtSurface(n);
    }

    // An olet whose CENTRE-POINT is on the header's surface rather than its centre-line starts
    // where the header's centre-line passes under that point.
    void JoinOletAtSurface(int n) {
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

    void Support(int ci) {
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

    // Bends by the cells their padded boxes reach: the arc lies inside the triangle of its
    // tangent points and corner, so that triangle's box, padded by the pipe's radius, holds
    // every point on the bend.
    void IndexBends() {
        m_bendGrid.Reset(m_cell);
        for (std::size_t i = 0; i < m_bends.size(); ++i) {
            const BendRecord& b = m_bends[i];
            const Vec3 p1 = m_nodes.At(b.p1), p2 = m_nodes.At(b.p2), c = m_nodes.At(b.corner);
            Vec3 lo = p1, hi = p1;
            for (const Vec3& p : {p2, c})
                for (int k = 0; k < 3; ++k) {
                    lo[k] = std::min(lo[k], p[k]);
                    hi[k] = std::max(hi[k], p[k]);
                }
            m_bendGrid.Insert(static_cast<int>(i), lo, hi, b.od / 2 + 2 * m_tolerance);
        }
    }

    // The nearer end of the first bend whose arc passes through p; -1 when none does.
    int OnBend(const Vec3& p) const {
        int found = -1;
        m_bendGrid.Near(p, [&](int i) {
            if (found >= 0 && found < i)
                return;
            const BendRecord& b = m_bends[i];
            if (PcfOnBend(p, m_nodes.At(b.p1), m_nodes.At(b.p2), m_nodes.At(b.corner), b.radius,
                          b.od / 2 + m_tolerance, m_tolerance))
                found = i;
        });
        if (found < 0)
            return -1;
        const BendRecord& b = m_bends[found];
        return Norm(Sub(p, m_nodes.At(b.p1))) <= Norm(Sub(p, m_nodes.At(b.p2))) ? b.p1 : b.p2;
    }

    // ---- bend corners -------------------------------------------------------------------

    // A bend's corner must lie on the lines of the straight items it joins. A bend whose
    // CENTRE-POINT is not that corner (the arc's centre, as some exporters write, or no point
    // at all) is drawn with the corner its geometry gives, and a warning; one that no corner
    // fits is left out.
    void PlaceBends() {
        std::vector<BendRecord> placed;
        for (BendRecord& b : m_bends)
            if (PlaceBend(b))
                placed.push_back(b);
        m_bends = std::move(placed);
        m_at.resize(m_nodes.Size()); // corners found here are nodes of their own
    }

    bool PlaceBend(BendRecord& b) {
        const PcfComponent& c = m_components[b.component];
        if (b.corner >= 0) {
            double off = 0;
            const int leg = LegOffCorner(b, m_nodes.At(b.corner), &off);
            if (leg < 0)
                return true;
            const PcfComponent& other = m_components[m_edges[leg].component];
            b.notCorner = PcfError{
                b.centre, c.keyword + "'s CENTRE-POINT is " + Fixed(off) + " " + m_unit +
                              " off the line of the " + other.keyword + " at line " +
                              std::to_string(other.position.line) +
                              "; it must be the corner where the legs' centre-lines meet"};
        }
        // The arc's centre first: a point as far from both ends, square to the legs, is no
        // corner; then the legs' own lines.
        std::string how;
        for (int attempt = 0; attempt < 2; ++attempt) {
            std::optional<Vec3> corner;
            std::string assumed;
            if (attempt == 0 && c.centre &&
                (corner = PcfCornerFromArcCentre(c, LegsOf(b, b.p1), LegsOf(b, b.p2), m_tolerance)))
                assumed = c.keyword + "'s CENTRE-POINT is taken as the centre of its arc; the corner is";
            if (attempt == 1 &&
                (corner = PcfCornerFromLegs(c, LegsOf(b, b.p1), LegsOf(b, b.p2), m_tolerance, &how)))
                assumed = (c.centre ? c.keyword + "'s CENTRE-POINT is not the corner where its legs meet"
                                    : c.keyword + " has no CENTRE-POINT") +
                          "; the corner is taken " + how + ",";
            if (corner && TryCorner(b, *corner, assumed))
                return true;
        }
        LeaveOut(c, *b.notCorner);
        DropBranch(b);
        return false;
    }

    // Places the bend with `corner` when its geometry fits: the legs as long, on the lines of
    // the items at its ends.
    bool TryCorner(BendRecord& b, const Vec3& corner, const std::string& assumed) {
        const PcfComponent& c = m_components[b.component];
        PcfComponent moved = c;
        moved.centre = PcfPoint{corner, 0, b.centre};
        std::vector<std::pair<SourcePosition, std::string>> warnings;
        PcfBendShape shape;
        try {
            shape = MeasurePcfBend(moved, m_tolerance, m_unit, &warnings);
        } catch (const PcfError&) {
            return false;
        }
        double off = 0;
        if (shape.zeroLength || shape.straight || LegOffCorner(b, corner, &off) >= 0)
            return false;
        for (int end : {b.p1, b.p2}) // ahead of the legs, not back over them
            for (int leg : Legs(b, end))
                if (Dot(Inward(leg, end), Sub(corner, m_nodes.At(end))) <= 0)
                    return false;
        const int node = Node(corner);
        if (node == b.p1 || node == b.p2)
            return false;
        Warn(b.centre, assumed + " " + Where(corner));
        for (const auto& [where, what] : warnings)
            Warn(where, what);
        b.corner = node;
        b.radius = shape.radius;
        DropBranch(b);
        AddTeedBranch(b, corner, shape.deflection);
        if (b.branchEdge >= 0) {
            Link(b.branchEdge);
            Grid(b.branchEdge);
        }
        return true;
    }

    void DropBranch(BendRecord& b) {
        if (b.branchEdge < 0)
            return;
        Edge& e = m_edges[b.branchEdge];
        e.dropped = true;
        Unlink(b.branchEdge, e.a);
        Unlink(b.branchEdge, e.b);
        b.branchEdge = -1;
    }

    // The straight items of other components that end at one of a bend's ends.
    std::vector<int> Legs(const BendRecord& b, int end) const {
        std::vector<int> legs;
        for (int ei : m_at[end]) {
            const Edge& e = m_edges[ei];
            if (e.dropped || e.bendRadius || e.component == b.component ||
                Norm(Sub(m_nodes.At(e.b), m_nodes.At(e.a))) <= 2 * m_tolerance)
                continue;
            legs.push_back(ei);
        }
        return legs;
    }

    // The direction of a leg into the bend at its end.
    Vec3 Inward(int leg, int end) const {
        const Edge& e = m_edges[leg];
        return Unit(Sub(m_nodes.At(end), m_nodes.At(e.a == end ? e.b : e.a)));
    }

    // The first leg whose line passes farther from `corner` than its length allows; -1 when
    // the corner is on all of them.
    int LegOffCorner(const BendRecord& b, const Vec3& corner, double* off) const {
        for (int end : {b.p1, b.p2}) {
            const double leg = Norm(Sub(corner, m_nodes.At(end)));
            for (int ei : Legs(b, end)) {
                const Edge& e = m_edges[ei];
                const Vec3 &a = m_nodes.At(e.a), &z = m_nodes.At(e.b);
                const double len = Norm(Sub(z, a));
                *off = LineDistance(corner, a, z, nullptr);
                if (*off > std::max(2 * m_tolerance, 0.05 * leg) + 2 * m_tolerance * leg / len)
                    return ei;
            }
        }
        return -1;
    }

    // The straight items at one end of a bend, as the corner finders take them.
    std::vector<PcfLeg> LegsOf(const BendRecord& b, int end) const {
        std::vector<PcfLeg> legs;
        for (int ei : Legs(b, end))
            legs.push_back({Inward(ei, end), &m_components[m_edges[ei].component]});
        return legs;
    }

    // The element after a bend starts at the bend's corner, as the model format draws bends:
    // the item at the bend's far end is moved there and trimmed back by the drawing.
    void MoveOutLegs() {
        m_pinned.resize(m_nodes.Size(), false);
        for (const BendRecord& b : m_bends) {
            const int out = b.p2;
            int chosen = -1;
            for (int ei : m_at[out]) {
                const Edge& e = m_edges[ei];
                if (!e.dropped && e.a == out && ei != b.edge) {
                    chosen = ei;
                    break;
                }
            }
            if (chosen < 0) {
                for (int ei : m_at[out]) {
                    Edge& e = m_edges[ei];
                    if (!e.dropped && e.b == out && !e.bendRadius && !e.movedToCorner &&
                        ei != b.edge) {
                        std::swap(e.a, e.b);
                        std::swap(e.odA, e.odB);
                        chosen = ei;
                        break;
                    }
                }
            }
            if (chosen >= 0 && m_edges[chosen].b == b.corner)
                chosen = -1; // an item from the far end back to the corner: leave it be
            if (chosen >= 0 && (Degree(out) > 1 || !m_pinned[out])) {
                Edge& e = m_edges[chosen];
                Unlink(chosen, out);
                e.a = b.corner;
                e.movedToCorner = true;
                m_at[b.corner].push_back(chosen);
            } else {
                // Nothing to move (a free end) or the end holds a support: a leg of its own.
                Edge e;
                e.a = b.corner;
                e.b = out;
                e.odA = e.odB = b.od;
                e.component = b.component;
                e.movedToCorner = true;
                m_edges.push_back(e);
                Link(static_cast<int>(m_edges.size()) - 1);
            }
        }
    }

    void DropDuplicates() {
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
                     c.keyword + " lies on the " +
                         m_components[m_edges[it->second].component].keyword + " at line " +
                         std::to_string(m_components[m_edges[it->second].component].position.line) +
                         "; drawn once");
            }
        }
    }

    // A bend is drawn onto the first element that starts at its corner; where items lying on
    // one another left none, the bend is drawn as a straight run to its corner.
    void KeepBendsDrawable() {
        for (const BendRecord& b : m_bends) {
            Edge& bend = m_edges[b.edge];
            if (bend.dropped)
                continue;
            bool next = false;
            for (int ei : m_at[b.corner])
                next = next || (!m_edges[ei].dropped && m_edges[ei].a == b.corner && ei != b.edge);
            if (!next) {
                bend.bendRadius.reset();
                Warn(b.centre, m_components[b.component].keyword +
                         " has nothing to turn onto; drawn straight to its corner");
            }
        }
    }

    // ---- the model ----------------------------------------------------------------------

    PipingModel Emit() {
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
                m.tees.push_back(
                    {ids[n], m_components[m_edges[m_at[n].front()].component].position});
        for (auto [ci, n] : m_placedSupports)
            PlaceSupport(m, m_components[ci], ids[n], n);
        return m;
    }

    // The axis of the first element at a node, as a unit vector.
    Vec3 AxisAt(int n) const {
        for (int ei : m_at[n]) {
            const Edge& e = m_edges[ei];
            if (!e.dropped)
                return Unit(Sub(m_nodes.At(e.b), m_nodes.At(e.a)));
        }
        return {1, 0, 0};
    }

    void PlaceSupport(PipingModel& m, const PcfComponent& c, int node, int n) {
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

    std::vector<PcfComponent>& m_components;
    double m_tolerance;
    const std::string& m_fileName;
    std::string m_unit;
    PcfReport& m_report;
    PcfNodeSet m_nodes;
    std::vector<Edge> m_edges;
    PcfEdgeGrid m_grid;
    PcfEdgeGrid m_bendGrid; // bends by index in m_bends, once they are oriented
    double m_cell = 1;      // the grids' cell size
    std::vector<BendRecord> m_bends;
    std::vector<int> m_supports;
    std::vector<std::pair<int, int>> m_placedSupports; // component, node
    std::vector<int> m_teeNodes;
    std::vector<int> m_oletNodes;
    std::vector<std::vector<int>> m_at; // node -> edges
    std::vector<bool> m_pinned;         // nodes that hold a support
    double m_lastOd = 0;
    std::optional<PcfError> m_firstError; // of the components left out
};

} // namespace

PipingModel BuildPcfModel(std::vector<PcfComponent>& components, double snapTolerance,
                          const std::string& fileName, const std::string& unitName,
                          PcfReport& report) {
    Builder builder(components, snapTolerance, fileName, unitName, report);
    return builder.Build();
}

} // namespace ketra::host
