#pragma once
// Structural steel sections computed in memory: the section outlines, their extrusion along
// the member axis, the box, and the members of InsertStructuralShape built from two section
// directions.

#include "geometry/ShellData.h"

#include <vector>

/// Section outlines as packed (x, y) pairs, in the order the extrusion uses.
/// Channel: flanges of thickness a and width b, web of thickness c on the −x side, depth d.
void ChannelOutline(float a, float b, float c, float d, std::vector<float>& xy);
/// I section: flanges of thickness a and width b, web of thickness c, clear web height d.
void WideChannelOutline(float a, float b, float c, float d, std::vector<float>& xy);
/// Angle: a leg of thickness a along −x over the height b + d, a leg of thickness c along the
/// top over the width d.
void AngleOutline(float a, float b, float c, float d, std::vector<float>& xy);
/// Tee: a flange of thickness a and width b at the top, a stem of width c down to −(a + d)/2 − a.
void StructuralTeeOutline(float a, float b, float c, float d, std::vector<float>& xy);

/// Extrudes an outline of k points from z = 0 to z = L: 2k points (index k + i is point i at
/// z = L) and the faces bottom (k; 0 … k − 1), the side quads (4; i, k + i, k + i + 1, i + 1)
/// for i = 1 … k − 1 (wrapping for the last), the side quad (4; 0, k, k + 1, 1) and the top
/// (k; 2k − 1 … k): 7k + 2 ints.
void ExtrudeOutline(const std::vector<float>& xy, float L, ShellData& out);

/// The box of width w (x), depth d (y) and height h (z): 8 points and 6 quads (30 ints).
void BuildBox(float w, float d, float h, ShellData& out);

/// The kinds of InsertStructuralShape.
enum StructuralShapeKind {
    ShapeWideChannel = 0,
    ShapeChannel = 1,
    ShapeAngle = 2,
    ShapeStructuralTee = 3,
    ShapeBox = 4,
};

/// A member of InsertStructuralShape in world coordinates: the section built from offsets along
/// the side vector w and the second section direction normalise(a × w), extruded along a = end −
/// start, turned about a by `turn` degrees, moved to the start. w = normalise((−a.z, 0, a.x)),
/// or normalise((−a.y, a.x, 0)) for the alternate up direction, when fixedSide is 0; (1, 0, 0)
/// otherwise. Where that w is zero or parallel to a (a member along the vertical, or along x
/// with a fixed side), a perpendicular axis is chosen instead so the section never collapses.
/// Returns false for an unknown kind or non-finite input.
bool BuildStructuralShape(int kind, const float start[3], const float end[3], float s1, float s2,
                          float s3, float s4, float turn, int fixedSide, bool alternateUp,
                          ShellData& out);
