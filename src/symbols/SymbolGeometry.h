// The arithmetic of the support symbols apart from the scene: restraint directions, the
// set-off from the pipe axis, and the point and face tables of the symbol primitives. The
// builder (HCreatePlotSymbols) inserts what these compute.
#pragma once

#include "geometry/CVector3D.h"
#include "geometry/ShellData.h"
#include "platform/mvo/HPoint.h"

#include <string_view>
#include <vector>

namespace ketra::symbols {

// Default direction vectors stored when no cosines are given, for SymbolDirection 1 to 6;
// (0, 0, 0) for any other value.
HPoint DefaultRestraintDirection(int direction);
HPoint DefaultRodDirection(int direction);

// The host's restraint type codes decide which components of a given direction are negated.
HPoint SignRestraintByType(int type, HPoint direction);
HPoint SignRodByType(int type, HPoint direction);

// Reads direction cosines "x, y, z" (parentheses allowed, replaced by blanks): the text is
// trimmed of white space and empty text gives false. Otherwise x is the text before the
// first comma, y the text between the first and second comma (0 when there is only one
// comma) and z the rest (0 when there is no comma), each read like atof (0 for text that is
// no number). A component that is not finite (NaN, infinity) makes the text unusable: false.
bool ParseCosines(std::string_view text, HPoint& cosines);

// The sign adjustment of parsed cosines by SymbolDirection.
HPoint SignRestraintCosines(int direction, HPoint cosines);
HPoint SignRodCosines(int direction, HPoint cosines);

// P(h) along an element: the point at distance h from its start (fromEnd 0) or from its end
// (fromEnd 1), as CVector3D::SetHeight gives it (the length rounded to 0.001; a zero length
// divides by 1).
HPoint PointAlong(CVector3D& element, float h, int fromEnd = 0);

// Distance from the pipe axis to the pipe surface along `direction` for a pipe of diameter
// `diameter` running from `node` to `other`: 0 when the direction lies within 5 degrees of
// the pipe axis, else (diameter / 2) / sin(angle).
float SetOffDistance(const HPoint& node, const HPoint& other, float diameter,
                     const HPoint& direction);

// The coarse (level 2) restraint: a triangle of edges at base b pointing along the whole-number
// part of `direction`, with a zigzag spring of five edges when `stiff` (3 or 9 points).
ShellData CoarseRestraint(const HPoint& base, const HPoint& direction, float scale, bool stiff);

// The 16 points of the restraint spring: 1.8 turns of diameter coilDiameter rising by half of
// `length` along the axis that `direction` names (z before x before y).
std::vector<HPoint> HelixPolylinePoints(const HPoint& start, float length, float coilDiameter,
                                        const HPoint& direction);

// A tube wound twice around +Z (CreateHelix): rings of `sides` points every `step` degrees.
// False (shell empty) when sides is below 1 or above 360 or step is 0.
bool HelixTube(float height, float coilRadius, int sides, int step, ShellData& shell);

// A cone of n side triangles and a base face: n base points, then the apex.
// Face-list length 5n + 1. Empty for n below 1.
ShellData Cone(const HPoint& baseCentre, float radius, float height, int n);

// Circle planes of the symbol builders: 0 the XY plane, 1 the XZ plane, 2 the YZ plane.
// Returns the axis normal to that plane (2 z, 1 y, 0 x) as GeneratePointsOnCircle takes it;
// any other value is taken as the XY plane.
int PlaneNormalAxis(int plane);

// n points on the circle about `centre` in `plane` (see PlaneNormalAxis), then the centre:
// filled, a fan of n triangles about the centre (4n ints); else n edges (3n ints). Empty for
// n below 1.
ShellData Circle(const HPoint& centre, float radius, int plane, int n, bool filled);

// n points on the circle joined by n edges (a closed ring without its centre, 3n ints).
ShellData Ring(const HPoint& centre, float radius, int plane, int n);

// One edge from a to b (2 points, face list 2 0 1).
ShellData Edge(const HPoint& a, const HPoint& b);

// The steel builder's box: w wide (x), d deep (y), h high (z) standing on the origin; 8 points
// and six quads.
ShellData Box(float w, float d, float h);

// Profile of a polycylinder: points and their radii.
struct Profile {
    std::vector<HPoint> points;
    std::vector<float> radii;
    void Add(const HPoint& p, float r) {
        points.push_back(p);
        radii.push_back(r);
    }
};

// The rigid element between p1 and p2 for a pipe of diameter D (InsertRigidPC).
Profile RigidProfile(const HPoint& p1, const HPoint& p2, float diameter, bool lineOnly);

// The pressure-vessel bellows (InsertPVExpJoint); n must be >= 1 and is the caller's to bound.
Profile BellowsProfile(int convolutions, const HPoint& p1, const HPoint& p2, float rootRadius,
                       float crestRadius, float knuckleRadius, float firstOffset, float rootPitch,
                       float crestWidth);

} // namespace ketra::symbols
