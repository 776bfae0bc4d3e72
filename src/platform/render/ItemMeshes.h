// Geometry items of the scene graph as meshes, and the outlines that cutting planes leave on
// them. Used by the scene walk.
#pragma once

#include "platform/render/DrawList.h"

namespace ketra::hc {
struct Geometry;
}

namespace ketra::render {

// Sides of a tube (polycylinder, cylinder) drawn at full size.
constexpr int kTubeFacets = 16;

// The mesh of a shell (with its per-face, per-edge and per-vertex attributes), polycylinder,
// cylinder (with `tubeFacets` sides), polygon, circle or ellipse; an empty mesh for other kinds.
// Without `faceEdges` shells and tubes leave out the edges along their faces (ShellExtras).
Mesh TessellateItem(const hc::Geometry& item, int tubeFacets = kTubeFacets, bool faceEdges = true);

// Adds to the layer, as lines, the outline where each clipped item's faces meet its cutting
// planes (only the parts the set's other planes keep).
void AddSectionOutlines(Layer& layer);

} // namespace ketra::render
