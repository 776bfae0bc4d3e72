// Turns scene geometry into Meshes: shells (face lists with holes, per-face and per-vertex
// colours, per-edge visibility, explicit vertex normals), tubes and flat outlines.
#pragma once

#include "platform/render/DrawList.h"

#include <optional>
#include <span>

namespace ketra::render {

// Optional per-element attributes of a shell. Spans may be empty; otherwise faceColors has
// one entry per face (in face-list order, holes excluded), vertex spans one per point.
struct ShellExtras {
    std::span<const std::optional<Color>> faceColors;
    std::span<const std::optional<Color>> vertexColors;
    std::span<const std::optional<std::array<float, 3>>> vertexNormals;
    std::span<const std::optional<bool>> faceVisible;
    // Edges made invisible (either order of the two point indices).
    std::span<const std::pair<int, int>> hiddenEdges;
    // Edges given their own colour.
    std::span<const std::pair<std::pair<int, int>, Color>> edgeColors;
    // False leaves out the edges along the faces (for a mesh only shown as faces); edges of
    // two-point faces, which are all such an item shows, are always made.
    bool faceEdges = true;
    // False builds a large shell on the calling thread alone; true splits its faces among
    // the cores, giving the same triangles and edges over the same points and normals, with
    // a point used on both sides of a split given a vertex on each.
    bool parallel = true;
};

// Faces whose normals differ by more than this share no smoothed normal.
constexpr float kCreaseAngleDegrees = 50.0f;

// Builds a mesh from a shell's points (x, y, z floats) and face list. Malformed entries (a
// count running past the list, an index outside the points) end the parse at that face; what
// came before is kept. Faces are triangulated by ear clipping in their own plane; holes are
// joined to their face by bridges.
Mesh BuildShellMesh(std::span<const float> points, std::span<const int> faceList,
                    const ShellExtras& extras = {});

// A tube through `points` with one radius per point (or one for all), `facets` sides, capped
// at the first and/or last point. Degenerate (zero-length) segments are skipped.
Mesh BuildTubeMesh(std::span<const float> points, std::span<const float> radii, bool capFirst,
                   bool capLast, int facets = 16, bool faceEdges = true);

// A flat filled outline (polygon, circle, ellipse) with its boundary as edges.
Mesh BuildPolygonMesh(std::span<const float> points);

// Points of an ellipse (or an arc of it, start/end as fractions of the turn from major toward
// minor), `segments` steps for the full turn.
std::vector<float> EllipsePoints(const std::array<float, 3>& center,
                                 const std::array<float, 3>& major,
                                 const std::array<float, 3>& minor, double start, double end,
                                 int segments = 64);

std::uint32_t PackColor(const Color& color, float alpha = 1.0f);

} // namespace ketra::render
