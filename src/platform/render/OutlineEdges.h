// Which edges the outline modes (silhouette, hidden line) can show for a camera, found on the
// CPU so that only those reach the GPU: a smooth surface's facet edges are almost all hidden
// folds, and feeding every one through the line shader's silhouette test costs far more than
// this pass. GL-free.
#pragma once

#include "platform/render/DrawList.h"

#include <cstdint>
#include <vector>

namespace ketra::render {

// `positions` holds x, y, z per vertex (world space); `edges` four vertex indices per edge as
// meshes store them (a, b, then a vertex of the face on each side; a side whose vertex has
// a's position has no face). Appends to `kept` the number (counted from 0) of every edge
// that may be drawn: boundaries, folds sharper than acos(creaseCos), and edges whose two faces turn
// different sides to the camera or of which one is seen nearly edge-on (the line shader
// decides those exactly). Edges between two faces that both clearly face the camera, or
// both clearly face away, are left out.
//
// With `screen`, an edge whose two ends land under `screen->minPixels` apart in the picture is
// left out as well: on a plant seen whole, most edges are the rings and folds of items a few
// pixels across, each shorter than a pixel, and drawing them only darkens the faces' colours.
// Edges with an end at or behind the eye are kept.
struct OutlineScreen {
    CameraMath::Matrix4 worldToClip;
    float viewport[2] = {1, 1};  // pixels
    float minPixels = 0;
};
void SelectOutlineEdges(const std::vector<float>& positions,
                        const IndexList& edges, const CameraMath::Camera& camera,
                        float creaseCos, std::vector<std::uint32_t>& kept,
                        const OutlineScreen* screen = nullptr);

} // namespace ketra::render
