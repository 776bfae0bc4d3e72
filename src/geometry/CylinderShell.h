#pragma once
// The canonical faceted cylinder: the shell that HCreateCylinder builds around the origin with
// its axis along +Z, before it is placed on an element.

#include "geometry/ShellData.h"

#include <utility>
#include <vector>

struct CylinderSpec {
    float centre[3] = {0, 0, 0}; ///< bottom centre c
    float radius = 1;            ///< outer radius of the bottom end
    float height = 1;            ///< h
    int facets = 20;             ///< n
    int lidFlags = 1;            ///< 1: no lids; 2: top lid; 4: bottom lid
    int edgeOptions = 1;         ///< rims to mark (tube: 8 A, 16 C, 2 B, 4 D)
    float startAngle = 0;        ///< radians; (0, 360) means the full circle
    float endAngle = 360;
    float innerRadius = 0;       ///< non-zero and different from radius: a tube
    float topRadius = 0;         ///< non-zero: a reducer
    int concentric = 1;          ///< 0: eccentric reducer, see flatSide
    int flatSide = 0;            ///< 1: −x, 2: +x, 3: +y, 4: −y shift of the top centre
};

struct CylinderShell {
    ShellData shell;
    /// Rim edges (point index pairs) to be made visible on the shell.
    std::vector<std::pair<int, int>> markedEdges;
    /// Partial arcs: the turn about the canonical Z axis, in degrees, that moves the arc from
    /// angle 0 to startAngle. 0 for a full circle.
    double startTurnDegrees = 0;
};

/// Builds the canonical shell. Returns false (and leaves `out` empty) when the facet count is
/// below 1 or above kMaxFacets, or any input is not finite.
///
/// Layout: rings A (bottom, smaller radius), B (top, smaller radius), C and D (tube only, the
/// larger radius) of n points each, angle a_i = i·S/n for the swept angle S; then, for a solid
/// full shell with lids allowed, the bottom and top lid centres. Faces: the side quads (with a
/// closing quad or, for a partial arc, the start cap), the tube's other side (closing quad or end
/// cap), then the lids. A partial arc of a solid shell has no larger-radius rings to cap against,
/// so it gets two axis points (bottom, top centre) after its rings and is capped to the axis.
bool BuildCanonicalCylinder(const CylinderSpec& spec, CylinderShell& out);
