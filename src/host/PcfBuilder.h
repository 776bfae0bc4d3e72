// The builder behind BuildPcfModel, shared by the files that implement it: PcfModelBuilder.cpp
// reads components, connects them and writes the model; PcfBendPlacement.cpp places bends
// (their corners, orientation and the legs after them) and finds the bend under a support.
#pragma once

#include "host/PcfEdgeGrid.h"
#include "host/PcfModelBuilder.h"
#include "host/PcfNodeSet.h"
#include "host/PcfVector.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ketra::host::pcf {

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
    int edge = -1;                     // the bend element
    int branchEdge = -1;               // a teed bend's branch, from the middle of its arc
    SourcePosition centre;             // the CENTRE-POINT's line, else the component's
    std::optional<PcfError> notCorner; // why the CENTRE-POINT cannot be the corner
};

// Points closer than the tolerance are one node; a grid of tolerance-sized cells finds them.
class Builder {
public:
    Builder(std::vector<PcfComponent>& components, double tolerance, const std::string& fileName,
            const std::string& unitName, PcfReport& report)
        : m_components(components), m_tolerance(tolerance), m_fileName(fileName), m_unit(unitName),
          m_report(report), m_nodes(tolerance) {}

    PipingModel Build();

private:
    // ---- reading components -------------------------------------------------------------

    void Component(int ci);

    void Warn(const SourcePosition& p, const std::string& what);
    void Skip(const PcfComponent& c, const std::string& why);
    // A component that cannot be drawn at all: an error, though the rest of the file is drawn.
    void LeaveOut(const PcfComponent& c, const PcfError& e);
    [[noreturn]] void NothingToDraw() const;

    // A point in messages: hundredths of a millimetre or inch, tenths of a millimetre in metres.
    std::string Where(const Vec3& p) const;

    int Node(const Vec3& p);
    void Extend(const Vec3& p);

    // The outer diameter at a point of a component: its own bore, else the component's other
    // points, else the last one read.
    double OdOf(const PcfComponent& c, int end);
    double BranchOd(const PcfComponent& c, const PcfPoint& p);

    bool AddEdge(int ci, int a, int b, double odA, double odB, bool rigid);

    void Linear(int ci);

    // Branches joined to an in-line item by TAP-CONNECTION: the item is divided where each
    // branch leaves its axis, and a stub of the item runs out to the tap.
    void Taps(int ci, int a, int b, double odA, double odB);

    // A bend whose CENTRE-POINT measures as its corner is placed now; one without a usable
    // CENTRE-POINT waits for PlaceBends, which knows the legs around it.
    void Bend(int ci);

    // A teed bend: the branch leaves from the middle of the arc.
    void AddTeedBranch(BendRecord& b, const Vec3& corner, double deflection);

    void Branching(int ci);

    void Olet(int ci);

    // ---- connecting ---------------------------------------------------------------------

    void Index();
    void Grid(int e);
    int Degree(int node) const;
    void Link(int e);
    void Unlink(int e, int node);

    // Bends turn from the end reached first on a walk along the runs from their free ends,
    // so that a chain of bends follows one direction whatever order the file lists them in.
    void OrientBends();

    bool IsPipe(const Edge& e) const { return !e.dropped && !e.rigid && !e.bendRadius; }

    // Splits the straight pipe whose centre-line passes within `reach` of node n's point, at
    // that node. False when no pipe passes there.
    bool JoinToPipe(int n, double reach);

    void Split(int ei, int n);

    // A run end that stops on another pipe (an olet, a stub-in branch) is joined to it.
    void JoinDanglingEnds();

    // An olet whose CENTRE-POINT is on the header's surface rather than its centre-line starts
    // where the header's centre-line passes under that point.
    void JoinOletAtSurface(int n);

    void Support(int ci);

    // Bends by the cells their padded boxes reach: the arc lies inside the triangle of its
    // tangent points and corner, so that triangle's box, padded by the pipe's radius, holds
    // every point on the bend.
    void IndexBends();

    // The nearer end of the first bend whose arc passes through p; -1 when none does.
    int OnBend(const Vec3& p) const;

    // ---- bend corners -------------------------------------------------------------------

    // A bend's corner must lie on the lines of the straight items it joins. A bend whose
    // CENTRE-POINT is not that corner (the arc's centre, as some exporters write, or no point
    // at all) is drawn with the corner its geometry gives, and a warning; one that no corner
    // fits is left out.
    void PlaceBends();

    bool PlaceBend(BendRecord& b);

    // Places the bend with `corner` when its geometry fits: the legs as long, on the lines of
    // the items at its ends.
    bool TryCorner(BendRecord& b, const Vec3& corner, const std::string& assumed);

    void DropBranch(BendRecord& b);

    // The straight items of other components that end at one of a bend's ends.
    std::vector<int> Legs(const BendRecord& b, int end) const;

    // The direction of a leg into the bend at its end.
    Vec3 Inward(int leg, int end) const;

    // The first leg whose line passes farther from `corner` than its length allows; -1 when
    // the corner is on all of them.
    int LegOffCorner(const BendRecord& b, const Vec3& corner, double* off) const;

    // The straight items at one end of a bend, as the corner finders take them.
    std::vector<PcfLeg> LegsOf(const BendRecord& b, int end) const;

    // The element after a bend starts at the bend's corner, as the model format draws bends:
    // the item at the bend's far end is moved there and trimmed back by the drawing.
    void MoveOutLegs();

    void DropDuplicates();

    // A bend is drawn onto the first element that starts at its corner; where items lying on
    // one another left none, the bend is drawn as a straight run to its corner.
    void KeepBendsDrawable();

    // ---- the model ----------------------------------------------------------------------

    PipingModel Emit();

    // The axis of the first element at a node, as a unit vector.
    Vec3 AxisAt(int n) const;

    void PlaceSupport(PipingModel& m, const PcfComponent& c, int node, int n);

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

} // namespace ketra::host::pcf
