// Shells and tubes that are moved and turned copies of one another (shells: the same face list,
// their points in the same order; tubes: the same radii, caps and side count) are tessellated
// once: a plant repeats the same bends, tees, hangers, restraint symbols, steel and pipe
// lengths hundreds of times, each placed in world coordinates. A copy draws the first one's
// mesh through the rigid placement that carries that item onto it.
#pragma once

#include "platform/render/DrawList.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace ketra::hc {
struct Geometry;
}

namespace ketra::render {

// Where a copy stands: the matrix taking the first item's points onto the copy's (a rotation
// and a translation, row-vector convention), and for a shell the copy's own bounds in its
// item's space (a tube's mesh reaches beyond its points: its bounds are the mesh's, placed).
struct ShapePlacement {
    CameraMath::Matrix4 matrix;
    std::array<float, 3> low{}, high{};
    bool ownBounds = false;
};

// What an item is compared by: a hash of its kind, point count, spread about its centre (the
// same for any placement of it) and its face list, or its radii, caps and the side count its
// mesh is built with; and three of its points spanning it, by which a copy's placement is
// worked out (a straight tube is placed by the frame its sides are laid out from).
// `usable` is false for items not worth sharing or that cannot be placed.
struct ShapeProbe {
    std::uint64_t hash = 0;
    int origin = 0, far = 0, side = 0;
    int facets = 0;  // tubes
    bool tube = false;
    bool straight = false;  // a tube along one line
    bool usable = false;
};

// Shells with fewer points are built on their own: a copy's record costs about what their
// mesh does. (A tube's mesh has its side count of vertices for each point.)
constexpr size_t kMinSharedShapePoints = 8;

// `facets` is the side count a tube's mesh is built with (ignored for shells).
ShapeProbe ProbeShape(const hc::Geometry& item, int facets);

// The placement taking `shape` onto `copy` when both were probed alike, `copy` has the same face
// list (or radii and caps) and each of its points lies where the placement puts the matching
// point of `shape`, within what float coordinates of their size can hold. Mirror images are
// not copies (their faces turn the other way).
std::optional<ShapePlacement> PlaceShape(const hc::Geometry& shape, const ShapeProbe& shapeProbe,
                                         const hc::Geometry& copy, const ShapeProbe& copyProbe);

// The items whose meshes copies may take, by probe hash. Each is known by its graph key and
// change counter (an item changed or gone is no longer offered) and holds its meshes weakly:
// one with the edges along its faces and one without.
class ShapeTable {
public:
    struct Match {
        std::shared_ptr<const Mesh> mesh;
        ShapePlacement placement;
        bool faceEdges = false;  // the mesh has the edges along its faces
    };
    // A mesh of an item that `copy` is a copy of; with face edges when `edges`, else either.
    std::optional<Match> Find(const ShapeProbe& probe, const hc::Geometry& copy, bool edges);
    // Offers `mesh` (built from the item `key` at `changeCount`) to later copies.
    void Add(const ShapeProbe& probe, HC_KEY key, std::uint64_t changeCount, const std::shared_ptr<const Mesh>& mesh,
             bool edges);
    // Forgets shapes whose meshes are all gone.
    void Prune();
    size_t Size() const;

private:
    struct Shape {
        HC_KEY key;
        std::uint64_t changeCount;
        ShapeProbe probe;
        std::weak_ptr<const Mesh> meshes[2];  // without, with face edges
    };
    // Shapes kept per hash; more would be probes that collide, not copies.
    static constexpr size_t kShapesPerHash = 4;
    std::unordered_map<std::uint64_t, std::vector<Shape>> m_shapes;
};

} // namespace ketra::render
