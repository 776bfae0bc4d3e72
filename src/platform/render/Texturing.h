// Texture coordinates for textured faces: the item's triangles unshared (one vertex per
// corner) with world positions, normals and (u, v) made by the item's TextureMapping.
// No GL here.
#pragma once

#include "platform/render/DrawList.h"

#include <vector>

namespace ketra::render {

struct TexturedTriangles {
    std::vector<float> positions;  // world x, y, z per corner, 3 corners per triangle
    std::vector<float> normals;    // world, unit
    std::vector<float> uvs;        // u, v per corner; the texture repeats outside 0..1
    size_t CornerCount() const { return positions.size() / 3; }
};

// The object-space axis a cylinder mapping wraps around: the direction of greatest spread of
// the mesh's vertices (its principal axis) through their centroid.
struct MappingAxis {
    CameraMath::Vec3 origin, axis{0, 0, 1};
};
MappingAxis PrincipalAxis(const Mesh& mesh);

// Coordinates are made in object space, so the texture moves with the item.
// Cylinder: u = angle about the principal axis / 2 pi (0..1, seams fixed per triangle so no
// triangle spans the whole texture), v = position along the axis over the item's length
// (0..1). Natural: u and v along the largest and the next largest extent of the bounding
// box (0..1).
void BuildTexturedTriangles(const MeshDraw& draw, TexturedTriangles& out);

} // namespace ketra::render
