// Bends: placed where their CENTRE-POINT is their corner, else with the corner their arc's
// centre or their legs give; oriented along the runs; the items after them moved onto their
// corners; and the bend under a support found through a grid of their boxes.
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

void Builder::Bend(int ci) {
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
        b.notCorner = PcfError{c.position,
                               c.keyword + " needs a CENTRE-POINT: the corner where its legs meet"};
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

void Builder::AddTeedBranch(BendRecord& b, const Vec3& corner, double deflection) {
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

void Builder::OrientBends() {
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

void Builder::IndexBends() {
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

int Builder::OnBend(const Vec3& p) const {
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

void Builder::PlaceBends() {
    std::vector<BendRecord> placed;
    for (BendRecord& b : m_bends)
        if (PlaceBend(b))
            placed.push_back(b);
    m_bends = std::move(placed);
    m_at.resize(m_nodes.Size()); // corners found here are nodes of their own
}

bool Builder::PlaceBend(BendRecord& b) {
    const PcfComponent& c = m_components[b.component];
    if (b.corner >= 0) {
        double off = 0;
        const int leg = LegOffCorner(b, m_nodes.At(b.corner), &off);
        if (leg < 0)
            return true;
        const PcfComponent& other = m_components[m_edges[leg].component];
        b.notCorner =
            PcfError{b.centre, c.keyword + "'s CENTRE-POINT is " + Fixed(off) + " " + m_unit +
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
            assumed =
                c.keyword + "'s CENTRE-POINT is taken as the centre of its arc; the corner is";
        if (attempt == 1 &&
            (corner = PcfCornerFromLegs(c, LegsOf(b, b.p1), LegsOf(b, b.p2), m_tolerance, &how)))
            assumed =
                (c.centre ? c.keyword + "'s CENTRE-POINT is not the corner where its legs meet"
                          : c.keyword + " has no CENTRE-POINT") +
                "; the corner is taken " + how + ",";
        if (corner && TryCorner(b, *corner, assumed))
            return true;
    }
    LeaveOut(c, *b.notCorner);
    DropBranch(b);
    return false;
}

bool Builder::TryCorner(BendRecord& b, const Vec3& corner, const std::string& assumed) {
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

void Builder::DropBranch(BendRecord& b) {
    if (b.branchEdge < 0)
        return;
    Edge& e = m_edges[b.branchEdge];
    e.dropped = true;
    Unlink(b.branchEdge, e.a);
    Unlink(b.branchEdge, e.b);
    b.branchEdge = -1;
}

std::vector<int> Builder::Legs(const BendRecord& b, int end) const {
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

Vec3 Builder::Inward(int leg, int end) const {
    const Edge& e = m_edges[leg];
    return Unit(Sub(m_nodes.At(end), m_nodes.At(e.a == end ? e.b : e.a)));
}

int Builder::LegOffCorner(const BendRecord& b, const Vec3& corner, double* off) const {
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

std::vector<PcfLeg> Builder::LegsOf(const BendRecord& b, int end) const {
    std::vector<PcfLeg> legs;
    for (int ei : Legs(b, end))
        legs.push_back({Inward(ei, end), &m_components[m_edges[ei].component]});
    return legs;
}

void Builder::MoveOutLegs() {
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
                if (!e.dropped && e.b == out && !e.bendRadius && !e.movedToCorner && ei != b.edge) {
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

void Builder::KeepBendsDrawable() {
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

} // namespace ketra::host::pcf
