// Turns the component records of a PCF file into a PipingModel: snaps points into nodes,
// orients the runs, computes bends from their end points and corner, splits pipes where
// olets, supports and branches stand on them, and re-centres the co-ordinates.
// Used by the PCF reader; records arrive already converted to the model's length unit.
#pragma once

#include "host/PcfReader.h"

#include <optional>
#include <string>
#include <vector>

namespace ketra::host {

// How a component keyword is drawn.
enum class PcfShape {
    Linear,     // two END-POINTs (or one and CO-ORDS)
    Angle,      // two END-POINTs meeting at the CENTRE-POINT, drawn as two straight legs
    Bend,       // two END-POINTs and the corner (CENTRE-POINT); BRANCH1-POINT when teed
    Branching,  // legs from END-POINTs and BRANCHn-POINTs to the CENTRE-POINT
    Olet,       // CENTRE-POINT on the header pipe, BRANCH1-POINT
    Support,    // CO-ORDS
    Weld,       // a weld mark: not drawn
    Annotation, // flow arrows, messages, bolts, end positions and connections: not drawn
};

struct PcfKind {
    PcfShape shape = PcfShape::Annotation;
    bool rigid = false;     // drawn as a rigid of its length
    bool teeSymbol = false; // a TEE: the tee symbol where its three legs meet
};

// The component keywords this reader knows; null for any other keyword.
const PcfKind* FindPcfKind(const std::string& keyword);

// Raised for a file that cannot be drawn; the reader turns it into its message. Also what
// keeps one component out of the model while the rest is drawn.
struct PcfError {
    SourcePosition position;
    std::string what;
};

struct PcfPoint {
    Vec3 at{};
    double od = 0; // outer diameter from the bore, model units; 0: none given
    SourcePosition position;
};

struct PcfComponent {
    std::string keyword;
    PcfKind kind;
    SourcePosition position;
    std::vector<PcfPoint> ends;     // END-POINTs
    std::optional<PcfPoint> centre; // CENTRE-POINT
    std::vector<PcfPoint> branches; // BRANCH1-POINT, BRANCH2-POINT, ... in that order
    std::optional<PcfPoint> coords; // CO-ORDS
    std::vector<PcfPoint> taps;     // CO-ORDS of TAP-CONNECTION sub-records: branch connections
    std::string skey;               // upper-case
    std::string supportDirection;   // upper-case
    SourcePosition directionPosition;
    std::optional<double> bendRadius; // model units
    SourcePosition bendRadiusPosition;
    std::optional<double> angle; // as written
    SourcePosition anglePosition;
    std::optional<PcfError> error; // a point that could not be read: the component is left out
};

// A bend's shape from its END-POINTs and corner (the CENTRE-POINT, which must be present).
struct PcfBendShape {
    bool zeroLength = false; // all three points one: nothing to draw
    bool straight = false;   // turns by less than half a degree: drawn as a straight pipe
    double deflection = 0;   // degrees
    double radius = 0;       // BEND-RADIUS when it fits the geometry, else the geometry's
};

// Measures a bend (docs/pcf.md, "Bends"). Throws PcfError for a bend that cannot be drawn;
// adds a warning for a BEND-RADIUS or ANGLE that does not fit, and for a straight bend.
PcfBendShape MeasurePcfBend(const PcfComponent& c, double tolerance, const std::string& unit,
                            std::vector<std::pair<SourcePosition, std::string>>* warnings);

// A straight item at one END-POINT of a bend: its direction towards the bend (a unit vector).
struct PcfLeg {
    Vec3 inward{};
    const PcfComponent* component = nullptr; // for messages
};

// The corner of a bend `c` whose CENTRE-POINT is the centre of its arc: the centre must be as
// far from both END-POINTs (within 5 %), and the legs at them, of which there must be one,
// square to the radii. Nothing for a centre that is not so, or that halves a circle.
std::optional<Vec3> PcfCornerFromArcCentre(const PcfComponent& c, const std::vector<PcfLeg>& legs1,
                                           const std::vector<PcfLeg>& legs2, double tolerance);

// The corner of a bend `c` from the legs at its END-POINTs: where the first leg at each end
// meet, or with legs at one end only, the point on the first one's line as far from both
// END-POINTs. Nothing for parallel legs, a corner behind them, or no legs. `how` says which
// legs, for the warning ("where the legs at lines 4 and 12 meet").
std::optional<Vec3> PcfCornerFromLegs(const PcfComponent& c, const std::vector<PcfLeg>& legs1,
                                      const std::vector<PcfLeg>& legs2, double tolerance,
                                      std::string* how);

// True when p lies on the bend from p1 round to p2 with that corner and radius: within
// `reach` of its centre-line, on the arc's side of both tangent points.
bool PcfOnBend(const Vec3& p, const Vec3& p1, const Vec3& p2, const Vec3& corner, double radius,
               double reach, double tolerance);

// Adds the symbol of a SUPPORT record standing on `node` of `m`, whose first element runs along
// `axis` (a unit vector): an anchor, a hanger or a restraint, by its SKEY and SUPPORT-DIRECTION
// (docs/pcf.md). Sets `warning` for a direction it does not know.
void AddPcfSupport(PipingModel& m, const PcfComponent& c, int node, const Vec3& axis,
                   std::string* warning);

// Builds the model. Components that cannot be drawn are left out with an error in `report`;
// throws PcfError (the first such error) only when nothing can be drawn. Warnings and skipped
// records go into `report`.
// `unitName` is the model's unit as written in messages ("mm", "in").
PipingModel BuildPcfModel(std::vector<PcfComponent>& components, double snapTolerance,
                          const std::string& fileName, const std::string& unitName,
                          PcfReport& report);

} // namespace ketra::host
