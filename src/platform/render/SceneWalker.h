// Builds a DrawList from the scene graph: walks a display (or any) segment through its
// subsegments, includes and styles, resolves net attributes (with attribute locks), applies
// the render mode, picks levels of detail by projected size, and collects lights, cutting
// planes and subwindows. No GL here: the result can be inspected by tests.
#pragma once

#include "platform/render/DrawList.h"
#include "platform/render/SharedShapes.h"

#include <string>
#include <unordered_map>

namespace ketra::render {

// Tessellated meshes by geometry key and variant (a tube's side count), reused while the
// item's change counter is unchanged. Each variant is kept on its own, so the coarser tubes of
// motion frames and the full ones of the frame at rest do not push each other out.
class MeshCache {
public:
    struct Entry {
        std::uint64_t changeCount = 0;
        std::shared_ptr<const Mesh> mesh;
        std::uint64_t stamp = 0;      // unique per built mesh
        std::uint64_t lastUsed = 0;   // frame number
        std::uint64_t users = 0;      // bits of the sharers whose latest frame used it
        // Set when the mesh is another item's, of which this item is a moved copy: the mesh
        // is drawn through this placement.
        std::shared_ptr<const ShapePlacement> placement;
        bool faceEdges = false;       // the mesh has the edges along its faces
    };
    // The cached entry for `key` and `variant` if its change counter matches, else null.
    const Entry* Find(HC_KEY key, std::uint64_t changeCount, int variant = 0);
    const Entry& Store(HC_KEY key, std::uint64_t changeCount, Mesh mesh, int variant = 0, bool faceEdges = false);
    // Stores a copy's entry: another item's mesh drawn through `placement`.
    const Entry& StoreCopy(HC_KEY key, std::uint64_t changeCount, std::shared_ptr<const Mesh> mesh,
                           const ShapePlacement& placement, int variant, bool faceEdges);
    // Meshes that moved copies of their shells may draw (see SharedShapes.h).
    ShapeTable& Shapes() { return m_shapes; }
    // Forgets the entry for `key` and `variant` (one about to be built again), so that its
    // mesh is freed before the new one is made rather than after.
    void Forget(HC_KEY key, int variant = 0);
    // Forgets entries not used during the last `frames` frames, except those the latest frame
    // of a sharer used. `user` (from Join) names the sharer whose frame this was; -1 for a
    // cache with one user.
    void EndFrame(std::uint64_t frames = 4, int user = -1);
    // Several renderers drawing the same scene (the panes of one window) share one cache: each
    // joins it, and the meshes its latest frame used stay however many frames the others draw
    // meanwhile. -1 when kMaxUsers already share it (that one's meshes stay only `frames`).
    int Join();
    void Leave(int user);
    static constexpr int kMaxUsers = 64;
    size_t Size() const { return m_entries.size(); }
    std::uint64_t Builds() const { return m_builds; }
    // Bytes the cached meshes hold (their lists as allocated, not counting the cache itself);
    // a copy's entry counts its placement, the mesh being counted with the shell it was built
    // for.
    size_t Bytes() const { return m_bytes; }

private:
    struct Slot {
        HC_KEY key;
        int variant;
        bool operator==(const Slot&) const = default;
    };
    struct SlotHash {
        size_t operator()(const Slot& s) const {
            return std::hash<HC_KEY>()(s.key) * 31u + static_cast<size_t>(s.variant);
        }
    };
    void Drop(const Entry& entry);

    std::unordered_map<Slot, Entry, SlotHash> m_entries;
    ShapeTable m_shapes;
    std::uint64_t m_frame = 1, m_nextStamp = 1, m_builds = 0;
    std::uint64_t m_users = 0;  // bits given out by Join
    size_t m_bytes = 0;
};

struct WalkSettings {
    int width = 800, height = 600;  // pixels of the window being drawn
    int renderMode = 0;             // see Renderer.h
    // Projected size (pixels across the item's bounds) below which level 1, and level 2,
    // are drawn when the rendering option "lod" is on.
    float lodLevel1Pixels = 48.0f;
    float lodLevel2Pixels = 8.0f;
    // Picks levels of detail by projected size whatever the rendering option "lod" says
    // (output made for one window size, such as a page's viewer).
    bool levelsOfDetail = false;
    // Tubes (polycylinders, cylinders) showing faces that are thinner than this on screen
    // are drawn as their axis, one pixel wide, in the faces' colour (0: never).
    float tubeLinePixels = 0;
    // Which sharer of the mesh cache walks (MeshCache::Join); -1 when it has one user.
    int meshCacheUser = -1;
};

// The rendering option "mask transform": the parts of the net transform a subtree drops.
// "(rotate, scale, perspective)" masks them in the camera and the modelling matrix;
// "(camera = (rotate, perspective), modelling matrix = (rotate, scale))" names each.
// Masking the camera's rotation draws the subtree screen-aligned at its anchor (the origin
// of the segment's net modelling matrix); masking its scale fixes one unit at half the
// window height in pixels (the default camera's field) whatever the zoom; masking
// perspective keeps the subtree's size independent of its depth.
struct MaskTransform {
    bool cameraRotate = false, cameraScale = false, cameraPerspective = false;
    bool modelRotate = false, modelScale = false;
    bool Any() const { return cameraRotate || cameraScale || cameraPerspective || modelRotate || modelScale; }
};
// Parses the option's value; false with *error for values the renderer cannot draw (it
// draws masks that include the camera's rotation, and the modelling matrix's rotation and
// scale together or not at all). "off" masks nothing.
bool ParseMaskTransform(const std::string& value, MaskTransform& out, std::string* error = nullptr);

// Fills `out` with what `segment` shows. False with a message when the key is not a segment.
bool BuildDrawList(HC_KEY segment, const WalkSettings& settings, MeshCache& cache,
                   DrawList& out, std::string* error = nullptr);

// Puts each layer's camera of a list built earlier back in step with the scene graph, for a
// frame in which nothing but cameras changed (Graph::ContentChanges() the same) and the list
// is not DrawList::cameraDependent. False when a camera's segment or camera is gone, or when
// the list is DrawList::orbitDependent and the main camera is no orbit of the one it was
// walked with: walk again.
bool RefreshCameras(DrawList& list);
// True when `moved` differs from `original` at most by an orbit about the target: the same
// target, distance, field and projection.
bool OrbitOf(const CameraMath::Camera& original, const CameraMath::Camera& moved);
// Moves whenever something a walk reads changes, except cameras.
std::uint64_t WalkInputChanges();

// Background gradient of a display segment (top and bottom window colours). Stays until
// cleared; the plain window colour is used when none is set.
void SetWindowGradient(HC_KEY segment, const Color& top, const Color& bottom);
void ClearWindowGradient(HC_KEY segment);

} // namespace ketra::render
