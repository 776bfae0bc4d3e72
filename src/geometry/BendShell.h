#pragma once
// The bend's geometry computed in memory: the angle rounding, the swept torus and the fused
// bend shell (straight run followed by the torus), and the point list of the polycylinder form.

#include "geometry/ShellData.h"

#include <vector>

/// The bend angle in whole degrees: truncated, except that an angle a hair (10 × epsilon) below
/// a whole degree is raised to it.
float RoundBendAngle(float alphaDegrees);

/// The sweep step of the torus for a whole-degree angle: the largest of 15, 14, … 1 that divides
/// it.
int ToroidSweepStep(int wholeDegrees);

/// The torus of a bend in its local frame (centre at the origin, bend plane XY, sweep from +X
/// towards +Y through trunc(a) degrees): (n + 1)·m points, the last m at the origin and used by
/// no face, and (m − 1)·n quads between consecutive rings. `b` does not change the shape.
/// Returns false for n outside 1 … 360 or non-finite input.
bool BuildToroid(float r, float R, float a, float b, int n, ShellData& out);

/// The fused bend shell of two elements A1→B1, A2→B2 with pipe radius r, bend radius R and n
/// facets, in world coordinates: the straight run from A1 to the near tangent point (n-facet
/// cylinder) followed by the torus. Returns false (out empty) when nothing is to be drawn:
/// second element of zero length, collinear elements, a rounded angle below 1 degree or of 180
/// degrees, a bend radius that is not positive, n outside 1 … 360, or non-finite input/results.
bool BuildBendShell(const float A1[3], const float B1[3], const float A2[3], const float B2[3],
                    float r, float R, int n, ShellData& out);

/// The points of the polycylinder form of the bend, from A1 through the near tangent point and
/// along the arc to the far tangent point (packed x, y, z). `skipStart` is set when the arc
/// reaches back past the first element's start, so the doubled start point is to be skipped
/// (the polycylinder then starts at points[3]). Returns false when nothing is to be drawn.
bool BuildBendPolyline(const float A1[3], const float B1[3], const float A2[3], const float B2[3],
                       float R, std::vector<float>& points, bool& skipStart);
